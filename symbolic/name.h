#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace sym {

// A symbol's source text with the identifier that is its identity.
class Name {
public:
    enum Type { CONSTANT = 0, VARIABLE = 1, _END = 2 };
    typedef size_t ID;

    Name(Type type, std::string name, ID id);
    Name(const Name&) = default;
    Name& operator=(const Name&) = default;

    Type type() const { return _type; }
    const std::string& name() const { return _name; }
    ID id() const { return _id; }

    // Names are identified by their identifier alone.
    bool operator==(const Name& other) const { return _id == other._id; }
    bool operator!=(const Name& other) const { return _id != other._id; }

private:
    Type _type;
    std::string _name;
    ID _id;
};

// Constant-type names print as their text, all others as text@identifier.
std::ostream& operator<<(std::ostream& os, const Name& name);

}  // namespace sym
