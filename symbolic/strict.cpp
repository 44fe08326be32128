#include "symbolic/strict.h"

namespace sym {

Strict& Strict::operator|=(const Strict& strict) {
    _strict = _strict || strict._strict;
    return *this;
}

Strict& Strict::operator&=(const Strict& strict) {
    _strict = _strict && strict._strict;
    return *this;
}

std::ostream& operator<<(std::ostream& os, const Strict& strict) {
    return os << (strict.strict() ? " <" : "<=");
}

}  // namespace sym
