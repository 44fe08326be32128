#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace sym {

// A symbol's source text with the identifier that is its identity. Texts are
// interned: every name with one text points at one copy of it, so names are
// small and cheap to copy.
class Name {
public:
    enum Type { CONSTANT = 0, VARIABLE = 1, _END = 2 };
    typedef size_t ID;

    Name(Type type, const std::string& name, ID id);
    // A name with the text of `like`.
    Name(Type type, const Name& like, ID id) : _type(type), _name(like._name), _id(id) {}
    Name(const Name&) = default;
    Name& operator=(const Name&) = default;

    Type type() const { return _type; }
    const std::string& name() const { return *_name; }
    ID id() const { return _id; }

    // Names are identified by their identifier alone.
    bool operator==(const Name& other) const { return _id == other._id; }
    bool operator!=(const Name& other) const { return _id != other._id; }

private:
    Type _type;
    const std::string* _name;
    ID _id;
};

// Constant-type names print as their text, all others as text@identifier.
std::ostream& operator<<(std::ostream& os, const Name& name);

}  // namespace sym
