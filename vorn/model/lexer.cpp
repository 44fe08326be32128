#include "vorn/model/lexer.h"

#include <climits>
#include <cstddef>
#include <iostream>
#include <utility>

namespace vorn {

TokenValue yylval;
int line = 1;
int col = 0;
Span token_span;
std::function<void(const Span&)> unidentified_listener;

namespace {

std::string input;
size_t pos = 0;

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The character after the current one, or NUL past the end (no two-character
// token has NUL as its second character, so it never matches).
char peek_next() { return pos + 1 < input.size() ? input[pos + 1] : '\0'; }

// Moves a position counter forward. Past the largest int (a line of more than
// 2 GiB, or as many lines) it stays there instead of overflowing.
void advance(int& counter, size_t by) {
    counter = by > static_cast<size_t>(INT_MAX - counter) ? INT_MAX : counter + static_cast<int>(by);
}

int emit(int token, size_t length) {
    token_span = Span{line, col + 1, pos, length};
    pos += length;
    advance(col, length);
    return token;
}

// Like atoi, but clamped at INT_MAX instead of overflowing.
long decimal(const std::string& digits) {
    long value = 0;
    for (char c : digits) {
        int d = c - '0';
        if (value > (INT_MAX - d) / 10) return INT_MAX;
        value = value * 10 + d;
    }
    return value;
}

void unidentified(char c) {
    advance(col, 1);
    // A NUL shows as an empty text, as a C string would print it.
    std::string text = c == '\0' ? std::string() : std::string(1, c);
    std::cout << "Cannot identify " << text << " at line " << line << ", col " << col << std::endl;
    if (unidentified_listener) unidentified_listener(Span{line, col, pos, 1});
    pos += 1;
}

}  // namespace

void scan_string(std::string text) {
    input = std::move(text);
    pos = 0;
    line = 1;
    col = 0;
}

size_t scan_offset() { return pos; }

std::string_view scanned_input() { return input; }

std::string scanned_text(size_t from, size_t to) {
    if (from >= input.size() || to <= from) return "";
    return input.substr(from, to - from);
}

int yylex() {
    while (pos < input.size()) {
        char c = input[pos];
        char n = peek_next();
        switch (c) {
            case '(': return emit(LSB, 1);
            case ')': return emit(RSB, 1);
            case '[': return emit(LMB, 1);
            case ']':
                if (input.compare(pos, 3, "]->") == 0) return emit(ARROW, 3);
                return emit(RMB, 1);
            case '<':
                if (n == '-') return emit(BACK_ARROW, 2);
                if (n == ':') return emit(LT, 2);
                if (n == '=') return emit(LE, 2);
                return emit(LAB, 1);
            case '>':
                if (n == '=') return emit(GE, 2);
                return emit(RAB, 1);
            case '-':
                if (n == '[') return emit(TAIL, 2);
                unidentified(c);
                continue;
            case ':':
                if (n == '=') return emit(ASSIGN, 2);
                if (n == '>') return emit(GT, 2);
                return emit(COLON, 1);
            case '=':
                if (n == '=') return emit(EQ, 2);
                unidentified(c);
                continue;
            case '!':
                if (n == '=') return emit(NE, 2);
                return emit(RCONST, 1);
            case '/':
                if (n == '/') {
                    // A comment runs up to the next line feed; a carriage return
                    // inside it belongs to it. The column is not advanced.
                    size_t end = input.find('\n', pos);
                    pos = end == std::string::npos ? input.size() : end;
                    continue;
                }
                unidentified(c);
                continue;
            case '#': return emit(SHARP, 1);
            case '|': return emit(BAR, 1);
            case '*': return emit(STAR, 1);
            case ';': return emit(SEMICOLON, 1);
            case ',': return emit(COMMA, 1);
            case '$': return emit(DECL, 1);
            case '?': return emit(RTRANS, 1);
            case '%': return emit(ACCESS, 1);
            case ' ':
            case '\t':
                pos += 1;
                advance(col, 1);
                continue;
            case '\r':
                // CR LF is one line break; a lone CR is one as well.
                pos += n == '\n' ? 2 : 1;
                advance(line, 1);
                col = 0;
                continue;
            case '\n':
                pos += 1;
                advance(line, 1);
                col = 0;
                continue;
            default: break;
        }
        if (is_digit(c)) {
            size_t end = pos;
            while (end < input.size() && is_digit(input[end])) ++end;
            std::string digits = input.substr(pos, end - pos);
            yylval.value = decimal(digits);
            return emit(INT, digits.size());
        }
        if (is_letter(c)) {
            size_t end = pos;
            while (end < input.size() && (is_letter(input[end]) || is_digit(input[end]))) ++end;
            std::string word = input.substr(pos, end - pos);
            size_t length = word.size();
            if (word == "k") return emit(KNOW, length);
            if (word == "true") return emit(TRUE, length);
            if (word == "false") return emit(FALSE, length);
            yylval.name = std::move(word);
            return emit(NAME, length);
        }
        unidentified(c);
    }
    token_span = Span{line, col + 1, input.size(), 0};
    return END;
}

const char* token_name(int token) {
    switch (token) {
        case END: return "$end";
        case LSB: return "LSB";
        case RSB: return "RSB";
        case LMB: return "LMB";
        case RMB: return "RMB";
        case LAB: return "LAB";
        case RAB: return "RAB";
        case ARROW: return "ARROW";
        case TAIL: return "TAIL";
        case BACK_ARROW: return "BACK_ARROW";
        case ASSIGN: return "ASSIGN";
        case EQ: return "EQ";
        case NE: return "NE";
        case GT: return "GT";
        case LT: return "LT";
        case GE: return "GE";
        case LE: return "LE";
        case SHARP: return "SHARP";
        case BAR: return "BAR";
        case STAR: return "STAR";
        case PLUS: return "PLUS";
        case MINUS: return "MINUS";
        case MULTIPLY: return "MULTIPLY";
        case DEVIDE: return "DEVIDE";
        case SEMICOLON: return "SEMICOLON";
        case COLON: return "COLON";
        case COMMA: return "COMMA";
        case KNOW: return "KNOW";
        case TRUE: return "TRUE";
        case FALSE: return "FALSE";
        case DECL: return "DECL";
        case RCONST: return "RCONST";
        case RTRANS: return "RTRANS";
        case ACCESS: return "ACCESS";
        case NAME: return "NAME";
        case INT: return "INT";
        default: return "$undefined";
    }
}

}  // namespace vorn
