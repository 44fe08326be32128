#include "symbolic/name.h"

#include <algorithm>
#include <charconv>
#include <cstring>

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
    Text text;
    append_name(text, name);
    emit(os, text);
    return os;
}

void Text::grow(size_t needed) {
    size_t capacity = std::max<size_t>(needed, _capacity * 2 + 64);
    std::unique_ptr<char[]> data(new char[capacity]);
    if (_size > 0) std::memcpy(data.get(), _data.get(), _size);
    _data = std::move(data);
    _capacity = capacity;
}

void append_name(Text& out, const Name& name) {
    if (name.type() == Name::CONSTANT)
        out += name.name();
    else
        out.append_numbered(name.name(), conf_append_index, name.id());
}

}  // namespace sym
