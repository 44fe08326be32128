#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "symbolic/strict.h"
#include "symbolic/value.h"

namespace sym {

class Aera;

// One bound per dimension, all sharing one strictness.
//
// Order between two ranges of one dimension: componentwise dominance. The left
// range is below the right one only when every component of the left is at most
// the matching component of the right. When some component is strictly smaller
// (and none larger), both < and <= hold whatever the strictness. When every
// component is equal, which includes ranges without components, the strictness
// decides: < holds when the left is strict and the right is not, <= when
// moreover both have the same strictness.
class Range {
public:
    // The unbounded range: strict, every component Max.
    explicit Range(size_t dimension);
    Range(size_t dimension, bool strict, long value);
    Range(size_t dimension, const Strict& strict, const Value& value);
    // One component per value.
    Range(const Strict& strict, const std::vector<Value>& values);
    Range(const Range&) = default;
    // Both ranges must have one dimension.
    Range& operator=(const Range& range);

    size_t dimension() const { return _values.size(); }
    const Strict& strict() const { return _strict; }
    const std::vector<Value>& values() const { return _values; }

    bool operator<(const Range& range) const;
    bool operator<=(const Range& range) const;
    // Against an area, decided by the first held range that this range is
    // below, or that is below this range, in the area's order.
    bool operator<(const Aera& aera) const;
    bool operator<=(const Aera& aera) const;

    // Componentwise sum; strict when either operand is.
    Range& operator+=(const Range& range);
    Range operator+(const Range& range) const;

private:
    Strict _strict;
    std::vector<Value> _values;
};

std::ostream& operator<<(std::ostream& os, const Range& range);

// A set of ranges of one dimension in which no range is at most another:
// inserting drops the newcomer when a held range is at most it, and drops every
// held range that the newcomer is below. Ranges keep their insertion order.
class Aera {
    friend class Range;

public:
    // The whole space: one strict range with every component Max.
    explicit Aera(size_t dimension);
    Aera(size_t dimension, bool strict, long value);
    explicit Aera(const Range& range);
    Aera(const Aera&) = default;
    // Both areas must have one dimension.
    Aera& operator=(const Aera& aera);

    size_t dimension() const { return _dimension; }
    const std::vector<Range>& ranges() const { return _ranges; }

    // Every range of this area is below the other area; an area without ranges
    // is below every area.
    bool operator<(const Aera& aera) const;
    bool operator<=(const Aera& aera) const;

    Aera& operator&=(const Range& range);
    Aera& operator&=(const Aera& aera);
    Aera operator&(const Range& range) const;
    Aera operator&(const Aera& aera) const;

    // Every held range plus range, inserted into the whole space.
    Aera operator+(const Range& range) const;
    // Every pairwise sum, inserted into the whole space.
    Aera operator+(const Aera& aera) const;

private:
    size_t _dimension;
    std::vector<Range> _ranges;
};

// Every range followed by a line end.
std::ostream& operator<<(std::ostream& os, const Aera& aera);

}  // namespace sym
