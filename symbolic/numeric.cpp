#include "symbolic/numeric.h"

#include <algorithm>
#include <cassert>

#include "symbolic/renamer.h"
#include "symbolic/term.h"
#include "symbolic/unifier.h"

namespace sym {

bool Numeric::operator<(const Numeric& numeric) const {
    if (_value != numeric._value) return _value < numeric._value;
    return _strict < numeric._strict;
}

bool Numeric::operator==(const Numeric& numeric) const {
    return _strict == numeric._strict && _value == numeric._value;
}

Numeric Numeric::operator+(const Numeric& numeric) const { return Numeric(_strict | numeric._strict, _value + numeric._value); }

std::ostream& operator<<(std::ostream& os, const Numeric& numeric) {
    return os << "[" << numeric.strict() << ":" << numeric.value() << "]";
}

constinit const Numeric NumZone::_max{Strict(true), Value::_max};
constinit const Numeric NumZone::_zero{Strict(false), Value()};

NumZone::NumZone(bool empty) : _empty(empty) {}

NumZone::NumZone(const NumZone& zone) = default;

void NumZone::add(Name::ID id) {
    if (_empty) return;
    Index n = _remapping.size();
    auto ret = _mapping.emplace(id, n);
    assert(ret.second == true);
    _remapping.push_back(id);
    for (auto& row : _zone) row.push_back(_max);
    _zone.emplace_back(n, _max);
    _zone.back().push_back(_zero);
}

// The last timestamp moves into the freed index.
void NumZone::remove(Name::ID id) {
    if (_empty) return;
    Index k = _mapping.at(id);
    Index last = _remapping.size() - 1;
    for (auto& row : _zone) {
        row[k] = row[last];
        row.pop_back();
    }
    _zone[k] = _zone[last];
    _zone.pop_back();
    _mapping[_remapping[last]] = k;
    _remapping[k] = _remapping[last];
    _mapping.erase(id);
    _remapping.pop_back();
}

void NumZone::change(Name::ID from, Name::ID to) {
    if (from == to || _empty) return;
    Index k = _mapping.at(from);
    auto ret = _mapping.emplace(to, k);
    if (ret.second) {
        _remapping[k] = to;
        _mapping.erase(from);
        return;
    }
    Index j = ret.first->second;
    update(k, j, _zero);
    update(j, k, _zero);
    remove(from);
}

void NumZone::clear() {
    _mapping.clear();
    _remapping.clear();
    _zone.clear();
    _empty = false;
}

void NumZone::ceil(const Numeric& n) {
    for (auto& row : _zone) {
        for (auto& entry : row) entry = std::min(entry, n);
    }
}

NumZone NumZone::map(const Unifier& unifier) const {
    NumZone result(*this);
    for (Name::ID id : _remapping) {
        Name::ID current = id;
        while (unifier.exist(current)) {
            const Term* term = unifier.evaluate(current);
            assert(term->type() == Term::Type::TMESP);
            current = term->name().id();
        }
        result.change(id, current);
    }
    return result;
}

// Walks a copy of the identifiers: change and remove reorder the indexes.
void NumZone::rename(const Renamer& renamer) {
    std::vector<Name::ID> ids(_remapping);
    for (Name::ID id : ids) {
        try {
            change(id, renamer.name(id).id());
        } catch (NameNotExists&) {
            remove(id);
        }
    }
}

void NumZone::update(Index x, Index y, const Numeric& n) {
    // A negative cycle, or a zero cycle with a strict step, admits no times.
    if (n + at(y, x) < _zero) {
        _empty = true;
        return;
    }
    if (!(n < at(x, y))) return;
    at(x, y) = n;
    // Only paths through x or y can have become shorter.
    Index size = _zone.size();
    for (Index i = 0; i < size; ++i) {
        for (Index j = 0; j < size; ++j) {
            at(i, j) = std::min(at(i, j), at(i, x) + at(x, j));
            at(i, j) = std::min(at(i, j), at(i, y) + at(y, j));
        }
    }
}

void NumZone::smaller(Name::ID a, Name::ID b, const Numeric& n) {
    if (_empty) return;
    update(_mapping.at(a), _mapping.at(b), n);
}

const Numeric& NumZone::smaller(Name::ID a, Name::ID b) const {
    assert(!_empty);
    return at(_mapping.at(a), _mapping.at(b));
}

void NumZone::close() {
    if (_empty) return;
    Index size = _zone.size();
    for (Index k = 0; k < size; ++k) {
        for (Index i = 0; i < size; ++i) {
            if (i != k) {
                for (Index j = 0; j < size; ++j) at(i, j) = std::min(at(i, j), at(i, k) + at(k, j));
            }
            if (at(i, i) < _zero) {
                _empty = true;
                return;
            }
        }
    }
}

NumZone NumZone::intersect(const NumZone& other) const {
    if (_empty || other._empty) return NumZone(true);
    NumZone zone(other);
    for (const auto& [id, index] : _mapping) {
        if (!other._mapping.count(id)) zone.add(id);
    }
    for (const auto& [i, row] : _mapping) {
        for (const auto& [j, column] : _mapping) {
            const Numeric& bound = at(row, column);
            if (i != j && bound != _max) zone.smaller(i, j, bound);
        }
    }
    zone.close();
    return zone;
}

NumZone::Relation NumZone::relation(const NumZone& other) const {
    if (_empty || other._empty) return Relation(_empty, other._empty);
    NumZone mine(*this);
    NumZone theirs(other);
    for (const auto& [id, index] : _mapping) {
        if (!other._mapping.count(id)) theirs.add(id);
    }
    for (const auto& [id, index] : other._mapping) {
        if (!_mapping.count(id)) mine.add(id);
    }
    bool belong = true;
    bool contain = true;
    for (const auto& [i, unused_i] : mine._mapping) {
        for (const auto& [j, unused_j] : mine._mapping) {
            if (belong) belong = mine.smaller(i, j) <= theirs.smaller(i, j);
            if (contain) contain = theirs.smaller(i, j) <= mine.smaller(i, j);
        }
    }
    return Relation(belong, contain);
}

std::ostream& operator<<(std::ostream& os, const NumZone& zone) {
    if (zone._empty) return os << "[EMPTY]" << std::endl;
    for (NumZone::Index i = 0; i < zone._zone.size(); ++i) {
        os << zone._remapping[i] << ":\t";
        for (const Numeric& entry : zone._zone[i]) os << entry << "\t";
        os << std::endl;
    }
    return os;
}

}  // namespace sym
