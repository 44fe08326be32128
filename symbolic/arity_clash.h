#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "common/runtime.h"

namespace sym {

// A function, event or state met with two different numbers of arguments: a
// model error. It reports as the UserError it is and also names the symbol and
// both numbers, so that the driver can point at the uses in the model.
class ArityClash : public common::UserError {
public:
    enum class Kind { FUNCTION, EVENT, STATE };

    ArityClash(std::string function, std::string detail, Kind kind, std::string symbol, size_t arity,
               size_t other_arity)
        : UserError(std::move(function), std::move(detail)),
          _kind(kind),
          _symbol(std::move(symbol)),
          _arity(arity),
          _other_arity(other_arity) {}

    Kind kind() const { return _kind; }
    const std::string& symbol() const { return _symbol; }
    size_t arity() const { return _arity; }
    size_t other_arity() const { return _other_arity; }

private:
    Kind _kind;
    std::string _symbol;
    size_t _arity;
    size_t _other_arity;
};

}  // namespace sym
