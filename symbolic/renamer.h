#pragma once


#include "common/exception.h"
#include "symbolic/flat_map.h"
#include "symbolic/name.h"

namespace sym {

// Signal that a renamer holds no replacement for an identifier.
class NameNotExists : public common::Exception {};

// The memory of one renaming apart: old identifier to fresh name.
class Renamer {
public:
    Renamer() = default;

    // The replacement of name, issuing a fresh variable name on first sight.
    Name rename(const Name& name);
    // The stored replacement of id; NameNotExists when there is none.
    Name name(Name::ID id) const;

private:
    FlatMap<Name::ID, Name> _mapping;
};

}  // namespace sym
