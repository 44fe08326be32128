#include "symbolic/name.h"

#include <set>

#include "symbolic/config.h"
#include "symbolic/print.h"

namespace sym {

namespace {

// The interned texts; nodes of a set keep their address.
const std::string* intern(const std::string& text) {
    static std::set<std::string> texts;
    return &*texts.insert(text).first;
}

}  // namespace

Name::Name(Type type, const std::string& name, ID id) : _type(type), _name(intern(name)), _id(id) {}

std::ostream& operator<<(std::ostream& os, const Name& name) {
    Out(os) << name;
    return os;
}

Out& Out::operator<<(const Name& name) {
    *this << name.name();
    if (name.type() != Name::CONSTANT) *this << conf_append_index << name.id();
    return *this;
}

}  // namespace sym
