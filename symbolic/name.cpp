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
    std::string text;
    append_name(text, name);
    emit(os, text);
    return os;
}

void append_name(std::string& out, const Name& name) {
    out += name.name();
    if (name.type() == Name::CONSTANT) return;
    out += conf_append_index;
    append_number(out, name.id());
}

}  // namespace sym
