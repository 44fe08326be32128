#pragma once

#include <cstddef>

namespace vorn {

// Where a piece of the model text is: the line (from 1) and column (from 1,
// counted in bytes) of its first character, its offset in the text as the
// scanner reads it, and its length in bytes.
struct Span {
    int line = 0;
    int col = 0;
    size_t offset = 0;
    size_t length = 0;

    bool known() const { return line > 0; }
    size_t end() const { return offset + length; }
};

// The span from the start of `first` to the end of `last`.
inline Span joined(const Span& first, const Span& last) {
    Span span = first;
    if (last.end() > first.offset) span.length = last.end() - first.offset;
    return span;
}

}  // namespace vorn
