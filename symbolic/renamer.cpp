#include "symbolic/renamer.h"

#include "symbolic/namer.h"

namespace sym {

Renamer::~Renamer() {
    for (const auto& entry : _mapping) Term::release(entry.second.leaf);
}

Name Renamer::rename(const Name& name) {
    auto found = _mapping.find(name.id());
    if (found != _mapping.end()) return found->second.name;
    Name fresh = namer.variable(name);
    _mapping.emplace(name.id(), Renamed{fresh, nullptr});
    return fresh;
}

Name Renamer::name(Name::ID id) const {
    auto found = _mapping.find(id);
    if (found == _mapping.end()) throw NameNotExists();
    return found->second.name;
}

Term* Renamer::leaf(Term* leaf) {
    Name::ID id = leaf->name().id();
    const Renamed* known = _mapping.lookup(id);
    if (known != nullptr && known->leaf != nullptr && known->leaf->type() == leaf->type()) {
        Term* renamed = known->leaf->clone();
        Term::release(leaf);
        return renamed;
    }
    Name fresh = known != nullptr ? known->name : rename(leaf->name());
    Term* renamed = leaf;
    if (leaf->_holders == 1) {
        leaf->_name = fresh;
    } else {
        renamed = leaf->with_name(fresh);
        Term::release(leaf);
    }
    Renamed& entry = *_mapping.lookup(id);
    if (entry.leaf == nullptr) entry.leaf = renamed->clone();
    return renamed;
}

}  // namespace sym
