#pragma once

#include <ostream>

namespace sym {

// Strictness of a bound: strict ("<") or not ("<="). A strict bound is the
// tighter one, so it orders below a non-strict one. A default flag is non-strict.
class Strict {
public:
    constexpr Strict() : _strict(false) {}
    constexpr Strict(bool strict) : _strict(strict) {}
    Strict(const Strict&) = default;
    Strict& operator=(const Strict&) = default;

    bool strict() const { return _strict; }

    bool operator==(const Strict& strict) const { return _strict == strict._strict; }
    bool operator!=(const Strict& strict) const { return _strict != strict._strict; }
    bool operator<(const Strict& strict) const { return _strict && !strict._strict; }
    bool operator<=(const Strict& strict) const { return *this < strict || *this == strict; }
    bool operator>(const Strict& strict) const { return strict < *this; }
    bool operator>=(const Strict& strict) const { return strict <= *this; }

    // Chaining two bounds: strict when either is.
    Strict operator|(const Strict& strict) const { return Strict(_strict || strict._strict); }
    Strict& operator|=(const Strict& strict);
    // Conjunction: strict when both are.
    Strict operator&(const Strict& strict) const { return Strict(_strict && strict._strict); }
    Strict& operator&=(const Strict& strict);

private:
    bool _strict;
};

// A strict flag prints " <", a non-strict one "<="; both two characters wide.
std::ostream& operator<<(std::ostream& os, const Strict& strict);

}  // namespace sym
