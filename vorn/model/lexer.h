#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "vorn/model/span.h"

namespace vorn {

// Token codes handed from the scanner to the parser; 0 is the end of input.
// PLUS, MINUS, MULTIPLY and DEVIDE have codes but no spelling.
enum Token : int {
    END = 0,
    LSB = 258,
    RSB,
    LMB,
    RMB,
    LAB,
    RAB,
    ARROW,
    TAIL,
    BACK_ARROW,
    ASSIGN,
    EQ,
    NE,
    GT,
    LT,
    GE,
    LE,
    SHARP,
    BAR,
    STAR,
    PLUS,
    MINUS,
    MULTIPLY,
    DEVIDE,
    SEMICOLON,
    COLON,
    COMMA,
    KNOW,
    TRUE,
    FALSE,
    DECL,
    RCONST,
    RTRANS,
    ACCESS,
    NAME,
    INT
};

// The value of the last token: the text of a NAME, the number of an INT.
struct TokenValue {
    long value = 0;
    std::string name;
};

extern TokenValue yylval;

// Position of the scanner: the current line (from 1) and the characters
// consumed on it. Comments leave the column unchanged.
extern int line;
extern int col;

// Where the last token that yylex returned stands in the input. For END: just
// past the input, with length 0.
extern Span token_span;

// Called for each character that belongs to no token, after its message on
// standard output, with the character's place. Unset by default.
extern std::function<void(const Span&)> unidentified_listener;

// Makes a copy of text the input and rewinds the position to line 1, column 0.
// The whole text is scanned, NUL bytes included.
void scan_string(std::string text);

// Offset in the input of the next character to scan.
size_t scan_offset();
// The input between two offsets.
std::string scanned_text(size_t from, size_t to);
// The whole input (valid until the next scan_string).
std::string_view scanned_input();

// The next token code, or END once the input is exhausted. Characters that
// belong to no token are reported on standard output and skipped.
int yylex();

// Printable name of a token code, e.g. "NAME" or "$end".
const char* token_name(int token);

}  // namespace vorn
