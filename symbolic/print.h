#pragma once

#include <charconv>
#include <ostream>
#include <string>

#include "symbolic/name.h"

namespace sym {

// Printed forms are built as text and handed to the stream's buffer in one
// piece per line: they are plain text without field widths or fills, so the
// formatting layer of the stream, which costs more than the copy itself, has
// nothing to do. The bytes, and the flush after every line, are the same.

inline void append_number(std::string& out, size_t number) {
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, end);
}

// A constant-type name prints as its text, any other as text@identifier.
void append_name(std::string& out, const Name& name);

inline void emit(std::ostream& os, const std::string& text) {
    os.rdbuf()->sputn(text.data(), static_cast<std::streamsize>(text.size()));
}

// Ends the line (as std::endl: a newline, then a flush), writes it and empties it.
inline void end_line(std::ostream& os, std::string& line) {
    line += '\n';
    emit(os, line);
    line.clear();
    os.flush();
}

}  // namespace sym
