#include "symbolic/linear.h"

#include <algorithm>
#include <cassert>

namespace sym {

namespace {

enum class Components { ABOVE, EQUAL, BELOW };

// Compares two bound vectors of one size: ABOVE when some left component
// exceeds the right one, EQUAL when all agree, BELOW otherwise.
Components compare(const std::vector<Value>& left, const std::vector<Value>& right) {
    Components result = Components::EQUAL;
    for (size_t i = 0; i < left.size(); ++i) {
        if (right[i] < left[i]) return Components::ABOVE;
        if (left[i] < right[i]) result = Components::BELOW;
    }
    return result;
}

}  // namespace

Range::Range(size_t dimension) : _strict(true), _values(dimension, Value::_max) {}

Range::Range(size_t dimension, bool strict, long value) : _strict(strict), _values(dimension, Value(value)) {}

Range::Range(size_t dimension, const Strict& strict, const Value& value) : _strict(strict), _values(dimension, value) {}

Range::Range(const Strict& strict, const std::vector<Value>& values) : _strict(strict), _values(values) {}

Range& Range::operator=(const Range& range) {
    assert(_values.size() == range._values.size());
    _strict = range._strict;
    _values = range._values;
    return *this;
}

bool Range::operator<(const Range& range) const {
    assert(_values.size() == range._values.size());
    switch (compare(_values, range._values)) {
        case Components::ABOVE: return false;
        case Components::EQUAL: return _strict < range._strict;
        case Components::BELOW: return true;
    }
    return false;
}

bool Range::operator<=(const Range& range) const {
    assert(_values.size() == range._values.size());
    switch (compare(_values, range._values)) {
        case Components::ABOVE: return false;
        case Components::EQUAL: return _strict <= range._strict;
        case Components::BELOW: return true;
    }
    return false;
}

bool Range::operator<(const Aera& aera) const {
    assert(_values.size() == aera._dimension);
    for (const Range& range : aera._ranges) {
        if (*this < range) return true;
        if (range <= *this) return false;
    }
    return false;
}

bool Range::operator<=(const Aera& aera) const {
    assert(_values.size() == aera._dimension);
    for (const Range& range : aera._ranges) {
        if (*this <= range) return true;
        if (range < *this) return false;
    }
    return false;
}

Range& Range::operator+=(const Range& range) {
    assert(_values.size() == range._values.size());
    _strict |= range._strict;
    for (size_t i = 0; i < _values.size(); ++i) _values[i] += range._values[i];
    return *this;
}

Range Range::operator+(const Range& range) const {
    Range sum(*this);
    sum += range;
    return sum;
}

std::ostream& operator<<(std::ostream& os, const Range& range) {
    os << "[" << range.strict();
    for (const Value& value : range.values()) os << ":" << value;
    return os << "]";
}

Aera::Aera(size_t dimension) : _dimension(dimension), _ranges{Range(dimension)} {}

Aera::Aera(size_t dimension, bool strict, long value)
    : _dimension(dimension), _ranges{Range(dimension, strict, value)} {}

Aera::Aera(const Range& range) : _dimension(range.dimension()), _ranges{range} {}

Aera& Aera::operator=(const Aera& aera) {
    assert(aera._dimension == _dimension);
    _ranges = aera._ranges;
    return *this;
}

bool Aera::operator<(const Aera& aera) const {
    assert(_dimension == aera._dimension);
    return std::all_of(_ranges.begin(), _ranges.end(), [&aera](const Range& range) { return range < aera; });
}

bool Aera::operator<=(const Aera& aera) const {
    assert(_dimension == aera._dimension);
    return std::all_of(_ranges.begin(), _ranges.end(), [&aera](const Range& range) { return range <= aera; });
}

Aera& Aera::operator&=(const Range& range) {
    assert(range.dimension() == _dimension);
    // A copy, since range may be one of the held ranges that erasing moves.
    const Range incoming(range);
    for (auto held = _ranges.begin(); held != _ranges.end();) {
        if (*held <= incoming) return *this;
        if (incoming < *held) {
            held = _ranges.erase(held);
        } else {
            ++held;
        }
    }
    _ranges.push_back(incoming);
    return *this;
}

Aera& Aera::operator&=(const Aera& aera) {
    assert(aera._dimension == _dimension);
    const std::vector<Range> incoming(aera._ranges);
    for (const Range& range : incoming) *this &= range;
    return *this;
}

Aera Aera::operator&(const Range& range) const {
    Aera result(*this);
    result &= range;
    return result;
}

Aera Aera::operator&(const Aera& aera) const {
    Aera result(*this);
    result &= aera;
    return result;
}

Aera Aera::operator+(const Range& range) const {
    assert(range.dimension() == _dimension);
    Aera result(_dimension);
    for (const Range& held : _ranges) result &= held + range;
    return result;
}

Aera Aera::operator+(const Aera& aera) const {
    assert(aera._dimension == _dimension);
    Aera result(_dimension);
    for (const Range& held : _ranges) {
        for (const Range& other : aera._ranges) result &= other + held;
    }
    return result;
}

std::ostream& operator<<(std::ostream& os, const Aera& aera) {
    for (const Range& range : aera.ranges()) os << range << std::endl;
    return os;
}

}  // namespace sym
