#include "symbolic/unifier.h"

#include <cassert>

#include "symbolic/config.h"
#include "symbolic/toposort.h"

namespace sym {

void (*binding_follow_hook)() = nullptr;

Unifier::Unifier(const Unifier& other) : _mapping(other._mapping) {
    _maintain.reserve(other._maintain.size());
    for (const Term* term : other._maintain) _maintain.push_back(term->clone());
}

Unifier::~Unifier() {
    for (const Term* term : _maintain) Term::release(term);
}

void Unifier::maintain(const Term* term) { _maintain.push_back(term); }

void Unifier::map(Name::ID id, const Term* term, Term::Option option) {
    if (!try_map(id, term, option)) throw UnifyFailed();
}

namespace {

// Every this many bindings followed one inside another, the substitution is
// tested for a cycle.
const size_t follow_check = 1000;

struct Following {
    size_t& depth;
    explicit Following(size_t& d) : depth(d) { ++depth; }
    ~Following() { --depth; }
};

}  // namespace

bool Unifier::try_map(Name::ID id, const Term* term, Term::Option option) {
    if (term->name().id() == id) return true;
    auto found = _mapping.find(id);
    if (found != _mapping.end()) {
        if (binding_follow_hook) binding_follow_hook();
        // Without an occurs check, unification on a cyclic substitution can go
        // round the cycle for ever. Deep inside followed bindings, a cyclic
        // substitution fails the match: every caller of two-sided unification
        // rejects a substitution that is not loop-free, and once it has a cycle
        // no configuration can be bound, so no name would be issued before that.
        Following following(_following);
        if (_following % follow_check == 0 && !loopfree()) return false;
        return found->second->try_unify(term, *this, option);
    }
    _mapping.emplace(id, term);
    return true;
}

bool Unifier::equal(Name::ID id, const Term* term) {
    auto found = _mapping.find(id);
    if (found == _mapping.end()) return false;
    return term->equal(found->second);
}

std::set<unsigned> Unifier::keys() const {
    std::set<unsigned> result;
    for (const auto& binding : _mapping) {
        auto res = result.insert(binding.first);
        assert(res.second);
    }
    return result;
}

namespace {

// Depth-first search for a cycle through the bindings: a bound identifier
// whose term holds, through other bindings, the identifier itself.
class CycleSearch {
public:
    // The buffers keep their memory from one search to the next; searches do not nest.
    CycleSearch(const FlatMap<Name::ID, const Term*>& mapping, std::vector<char>& marks, std::vector<unsigned>& targets)
        : _mapping(mapping), _marks(marks), _targets(targets) {
        _marks.assign(mapping.size(), NEW);
        _targets.clear();
    }

    bool cyclic() {
        for (size_t i = 0; i < _mapping.size(); ++i)
            if (_marks[i] == NEW && visit(i)) return true;
        return false;
    }

private:
    enum Mark : char { NEW, ON_PATH, DONE };

    bool visit(size_t binding) {
        _marks[binding] = ON_PATH;
        // The targets of every binding on the path, one after another in one buffer.
        size_t first = _targets.size();
        append_subterm_ids((_mapping.begin() + static_cast<long>(binding))->second, Term::BINDABLE, _targets);
        size_t last = _targets.size();
        for (size_t t = first; t < last; ++t) {
            auto found = _mapping.find(_targets[t]);
            if (found == _mapping.end()) continue;
            size_t next = static_cast<size_t>(found - _mapping.begin());
            if (_marks[next] == ON_PATH) return true;
            if (_marks[next] == NEW && visit(next)) return true;
        }
        _targets.resize(first);
        _marks[binding] = DONE;
        return false;
    }

    const FlatMap<Name::ID, const Term*>& _mapping;
    std::vector<char>& _marks;
    std::vector<unsigned>& _targets;
};

}  // namespace

bool Unifier::loopfree() const {
    if (_mapping.empty()) return true;
    thread_local std::vector<char> marks;
    thread_local std::vector<unsigned> targets;
    return !CycleSearch(_mapping, marks, targets).cyclic();
}

std::ostream& operator<<(std::ostream& os, const Unifier& unifier) {
    for (const auto& binding : unifier._mapping) {
        os << binding.first << conf_data_separator;
        binding.second->info(os);
        os << std::endl;
    }
    return os;
}

}  // namespace sym
