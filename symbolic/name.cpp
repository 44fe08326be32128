#include "symbolic/name.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include <cassert>
#include <map>

#include "symbolic/config.h"
#include "symbolic/print.h"

namespace sym {

namespace {

struct Texts {
    // Nodes of a map keep their address; the number of each text, and the texts by number.
    std::map<std::string, uint64_t> numbers;
    std::vector<const std::string*> by_number;
};

Texts& interned() {
    static Texts* texts = new Texts;
    return *texts;
}

uint64_t intern(const std::string& text) {
    Texts& texts = interned();
    auto found = texts.numbers.emplace(text, texts.by_number.size());
    if (found.second) texts.by_number.push_back(&found.first->first);
    return found.first->second;
}

}  // namespace

const std::vector<const std::string*>& Name::texts() { return interned().by_number; }

uint64_t Name::pack(Type type, uint64_t text, ID id) {
    assert(text <= TEXT_MASK && (uint64_t{id} >> (64 - ID_SHIFT)) == 0);
    return (uint64_t{id} << ID_SHIFT) | (text << 1) | static_cast<uint64_t>(type);
}

Name::Name(Type type, const std::string& name, ID id) : _bits(pack(type, intern(name), id)) {}

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
