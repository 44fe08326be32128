#pragma once

#include <map>
#include <optional>
#include <string>

#include "symbolic/name.h"

namespace sym {

// Issues the identifiers of all names from one process-wide counter. Constants
// are interned by text; every variable request gets a new identifier.
class _Namer {
public:
    _Namer() = default;

    Name generate(const Name::Type& type, const std::string& name);
    Name variable(const std::string& name);
    // A fresh variable name with the text of `like`.
    Name variable(const Name& like);
    Name constant(const std::string& name);
    // The predicate of every knowledge fact, issued as a constant the first
    // time it is asked for.
    const Name& know() {
        if (!_know) _know = constant("know");
        return *_know;
    }

    // The identifier the next issued name receives.
    Name::ID index() const { return _index; }
    // Issues the next names from `index` on: only to build again, from the
    // same rules and in the same way, what was once built with those names.
    void reissue_from(Name::ID index) { _index = index; }

private:
    Name::ID _index = 0;
    std::map<std::string, Name> _constants;
    std::optional<Name> _know;
};

extern _Namer namer;

}  // namespace sym
