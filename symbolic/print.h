#pragma once

#include <charconv>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "symbolic/name.h"

namespace sym {

// Printed forms are built as text and handed to the stream's buffer in one
// piece per line: they are plain text without field widths or fills, so the
// formatting layer of the stream, which costs more than the copy itself, has
// nothing to do. The bytes, and the flush after every line, are the same.

// Text being printed: a character buffer whose appends are short inline copies.
class Text {
public:
    Text() = default;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    const char* data() const { return _data.get(); }
    size_t size() const { return _size; }
    void clear() { _size = 0; }
    std::string str() const { return std::string(data(), _size); }

    Text& operator+=(char c) {
        reserve(1);
        _data[_size++] = c;
        return *this;
    }
    Text& operator+=(const std::string& text) {
        append(text.data(), text.size());
        return *this;
    }
    Text& operator+=(const char* text) {
        append(text, std::strlen(text));
        return *this;
    }
    void append(const char* text, size_t length) {
        reserve(length);
        char* to = _data.get() + _size;
        if (length <= 16) {
            for (size_t i = 0; i < length; ++i) to[i] = text[i];
        } else {
            std::memcpy(to, text, length);
        }
        _size += length;
    }

    // Appends text, the mark and the number in decimal.
    void append_numbered(const std::string& text, const std::string& mark, size_t number) {
        reserve(text.size() + mark.size() + 20);
        char* to = _data.get() + _size;
        for (char c : text) *to++ = c;
        for (char c : mark) *to++ = c;
        char digits[20];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + number % 10);
            number /= 10;
        } while (number != 0);
        while (count > 0) *to++ = digits[--count];
        _size = static_cast<size_t>(to - _data.get());
    }

private:
    void reserve(size_t more) {
        if (_size + more > _capacity) grow(_size + more);
    }
    void grow(size_t needed);

    std::unique_ptr<char[]> _data;
    size_t _size = 0;
    size_t _capacity = 0;
};

inline void append_number(Text& out, size_t number) {
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, static_cast<size_t>(end - digits));
}

// A constant-type name prints as its text, any other as text@identifier.
void append_name(Text& out, const Name& name);

inline void emit(std::ostream& os, const Text& text) {
    os.rdbuf()->sputn(text.data(), static_cast<std::streamsize>(text.size()));
}

// Ends the line (as std::endl: a newline, then a flush), writes it and empties it.
inline void end_line(std::ostream& os, Text& line) {
    line += '\n';
    emit(os, line);
    line.clear();
    os.flush();
}

}  // namespace sym
