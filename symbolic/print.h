#pragma once

#include <charconv>
#include <cstring>
#include <ostream>
#include <string>

#include "symbolic/name.h"

namespace sym {

// Writes printed forms straight into a stream's buffer. They are plain text
// without field widths or fills, so the formatting layer of the stream, which
// costs more than the copy itself, has nothing to do; the bytes are the same.
class Out {
public:
    explicit Out(std::ostream& os) : _os(os), _buffer(os.rdbuf()) {}

    Out& operator<<(const std::string& text) {
        _buffer->sputn(text.data(), static_cast<std::streamsize>(text.size()));
        return *this;
    }
    Out& operator<<(const char* text) {
        _buffer->sputn(text, static_cast<std::streamsize>(std::strlen(text)));
        return *this;
    }
    Out& operator<<(char c) {
        _buffer->sputc(c);
        return *this;
    }
    Out& operator<<(size_t number) {
        char digits[24];
        char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        _buffer->sputn(digits, end - digits);
        return *this;
    }
    // A constant-type name prints as its text, any other as text@identifier.
    Out& operator<<(const Name& name);
    // A line end with a flush, as std::endl.
    Out& endl() {
        _buffer->sputc('\n');
        _os.flush();
        return *this;
    }

private:
    std::ostream& _os;
    std::streambuf* _buffer;
};

}  // namespace sym
