#include "symbolic/name.h"

#include <utility>

#include "symbolic/config.h"

namespace sym {

Name::Name(Type type, std::string name, ID id) : _type(type), _name(std::move(name)), _id(id) {}

std::ostream& operator<<(std::ostream& os, const Name& name) {
    os << name.name();
    if (name.type() != Name::CONSTANT) os << conf_append_index << name.id();
    return os;
}

}  // namespace sym
