#pragma once

#include <cstddef>
#include <map>
#include <ostream>
#include <vector>

#include "symbolic/name.h"
#include "symbolic/strict.h"
#include "symbolic/value.h"

namespace sym {

class Unifier;
class Renamer;

// A bound: less than _value when strict, at most _value otherwise. The strict
// bound at Value::_max is the absent bound. A default bound is "at most 0".
class Numeric {
public:
    constexpr Numeric() = default;
    Numeric(bool strict, long value) : _strict(strict), _value(value) {}
    constexpr Numeric(const Strict& strict, const Value& value) : _strict(strict), _value(value) {}
    Numeric(const Numeric&) = default;
    Numeric& operator=(const Numeric&) = default;

    const Strict& strict() const { return _strict; }
    const Value& value() const { return _value; }

    // Tighter first: by value, and at equal values the strict bound first.
    bool operator<(const Numeric& numeric) const;
    bool operator<=(const Numeric& numeric) const { return *this < numeric || *this == numeric; }
    bool operator>(const Numeric& numeric) const { return numeric < *this; }
    bool operator>=(const Numeric& numeric) const { return numeric <= *this; }
    bool operator==(const Numeric& numeric) const;
    bool operator!=(const Numeric& numeric) const { return !(*this == numeric); }

    // Chains two difference bounds: x - y ~ a and y - z ~ b give x - z ~ a + b,
    // strict when either step is, absent when either is absent.
    Numeric operator+(const Numeric& numeric) const;

private:
    Strict _strict;
    Value _value;
};

// Prints "[", the strictness, ":", the value, "]", e.g. "[<=:5]" or "[ <:Max]".
std::ostream& operator<<(std::ostream& os, const Numeric& numeric);

// A zone of difference constraints between timestamps: entry (i, j) of the
// square matrix bounds time(_remapping[i]) - time(_remapping[j]). An empty zone
// is contradictory; it ignores add, remove, change, smaller and close.
class NumZone {
public:
    typedef size_t Index;

    // belong: this zone lies inside the other; contain: the other lies inside this.
    struct Relation {
        Relation(bool belong, bool contain) : belong(belong), contain(contain) {}
        bool belong;
        bool contain;
    };

    static const Numeric _max;
    static const Numeric _zero;
    static constexpr Index _none = static_cast<Index>(-1);

    explicit NumZone(bool empty);
    NumZone(const NumZone& zone);
    NumZone& operator=(const NumZone&) = default;
    ~NumZone() = default;

    // A new timestamp, unconstrained.
    void add(Name::ID id);
    // Drops a timestamp; the last index moves into the freed place.
    void remove(Name::ID id);
    // Renames from to to, or merges from into to when to is already present.
    void change(Name::ID from, Name::ID to);
    // Adds the constraint a - b bounded by n, propagating through a and b.
    void smaller(Name::ID a, Name::ID b, const Numeric& n);
    // The current bound on a - b; the zone must not be empty.
    const Numeric& smaller(Name::ID a, Name::ID b) const;
    // Inclusion both ways; exact when both zones are closed.
    Relation relation(const NumZone& other) const;
    NumZone intersect(const NumZone& other) const;
    bool empty() const { return _empty; }
    // The zone under a substitution of timestamps by timestamps; timestamps
    // substituted by one are merged and made equal.
    NumZone map(const Unifier& unifier) const;
    // Renames every timestamp in place; those the renamer does not know are dropped.
    void rename(const Renamer& renamer);
    // Caps every entry, the diagonal included, at n.
    void ceil(const Numeric& n);
    // Floyd-Warshall closure, stopping at the first negative diagonal entry.
    void close();
    void clear();

    friend std::ostream& operator<<(std::ostream& os, const NumZone& zone);

protected:
    Numeric& at(Index i, Index j) { return _zone.at(i).at(j); }
    const Numeric& at(Index i, Index j) const { return _zone.at(i).at(j); }
    // Tightens entry (x, y) to n and propagates through rows and columns x and y.
    void update(Index x, Index y, const Numeric& n);

private:
    bool _empty;
    std::map<Name::ID, Index> _mapping;
    std::vector<Name::ID> _remapping;
    std::vector<std::vector<Numeric>> _zone;
};

// "[EMPTY]" for a contradictory zone, else one line per row: the identifier,
// ":", a tab, then every entry followed by a tab.
std::ostream& operator<<(std::ostream& os, const NumZone& zone);

}  // namespace sym
