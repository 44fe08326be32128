#include "symbolic/renamer.h"

#include "symbolic/namer.h"

namespace sym {

Name Renamer::rename(const Name& name) {
    auto found = _mapping.find(name.id());
    if (found != _mapping.end()) return found->second;
    Name fresh = namer.variable(name);
    _mapping.emplace(name.id(), fresh);
    return fresh;
}

Name Renamer::name(Name::ID id) const {
    auto found = _mapping.find(id);
    if (found == _mapping.end()) throw NameNotExists();
    return found->second;
}

}  // namespace sym
