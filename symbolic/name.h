#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace sym {

// A symbol's source text with the identifier that is its identity. Texts are
// interned: every name with one text refers to one copy of it, by number, so
// a name is one word: the identifier, the text's number and the type.
class Name {
public:
    enum Type { CONSTANT = 0, VARIABLE = 1, _END = 2 };
    typedef size_t ID;

    Name(Type type, const std::string& name, ID id);
    // A name with the text of `like`.
    Name(Type type, const Name& like, ID id) : _bits(pack(type, like.text(), id)) {}
    Name(const Name&) = default;
    Name& operator=(const Name&) = default;

    Type type() const { return static_cast<Type>(_bits & 1); }
    const std::string& name() const { return *texts()[text()]; }
    ID id() const { return static_cast<ID>(_bits >> ID_SHIFT); }
    // Identifier, text and type in one word: equal only for the same name
    // from the same naming, where identifiers alone may repeat after the
    // counter starts over.
    uint64_t word() const { return _bits; }

    // Names are identified by their identifier alone.
    bool operator==(const Name& other) const { return id() == other.id(); }
    bool operator!=(const Name& other) const { return id() != other.id(); }

    // The interned texts, by number.
    static const std::vector<const std::string*>& texts();

private:
    // Identifier in the high 40 bits, text number in the next 23, type in the lowest.
    static const unsigned ID_SHIFT = 24;
    static const uint64_t TEXT_MASK = (uint64_t{1} << 23) - 1;

    static uint64_t pack(Type type, uint64_t text, ID id);
    uint64_t text() const { return (_bits >> 1) & TEXT_MASK; }

    uint64_t _bits;
};

// Constant-type names print as their text, all others as text@identifier.
std::ostream& operator<<(std::ostream& os, const Name& name);

}  // namespace sym
