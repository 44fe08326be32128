#pragma once


#include "common/exception.h"
#include "symbolic/flat_map.h"
#include "symbolic/name.h"
#include "symbolic/term.h"

namespace sym {

// Signal that a renamer holds no replacement for an identifier.
class NameNotExists : public common::Exception {};

// The memory of one renaming apart: old identifier to fresh name, and to
// the renamed leaf that every occurrence of the old one becomes.
class Renamer {
public:
    Renamer() = default;
    Renamer(const Renamer&) = delete;
    Renamer& operator=(const Renamer&) = delete;
    ~Renamer();

    // The replacement of name, issuing a fresh variable name on first sight.
    Name rename(const Name& name);
    // The stored replacement of id; NameNotExists when there is none.
    Name name(Name::ID id) const;
    // The renamed leaf for `leaf`, one holder of which lets go of it: the
    // leaf itself renamed when that holder was its only one, else a new leaf;
    // later occurrences of the same leaf get the same renamed leaf. Names are
    // issued as rename(leaf->name()) issues them.
    Term* leaf(Term* leaf);

private:
    struct Renamed {
        Name name;
        // The renamed leaf, held by the renamer too; null until one is made.
        Term* leaf;
    };
    FlatMap<Name::ID, Renamed> _mapping;
};

}  // namespace sym
