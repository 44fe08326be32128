#include "vorn/model/diagnostics.h"

#include <algorithm>
#include <cstring>

namespace vorn {

namespace {

bool line_break(char c) { return c == '\n' || c == '\r'; }

// A byte that continues a UTF-8 sequence takes no column of its own on a terminal.
bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool control(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7F;
}

const char* severity_word(Severity severity) {
    switch (severity) {
        case Severity::ERROR: return "error";
        case Severity::WARNING: return "warning";
        case Severity::NOTE: return "note";
    }
    return "error";
}

}  // namespace

bool use_color(ColorChoice choice, bool error_is_terminal, const char* no_color, const char* term) {
    if (choice != ColorChoice::AUTO) return choice == ColorChoice::ALWAYS;
    if (!error_is_terminal) return false;
    if (no_color != nullptr && no_color[0] != '\0') return false;
    return term == nullptr || std::strcmp(term, "dumb") != 0;
}

DiagnosticWriter::DiagnosticWriter(std::string model, std::string_view text, bool color, std::ostream& out)
    : _model(std::move(model)), _text(text), _palette{color}, _out(out) {}

void DiagnosticWriter::report(const Diagnostic& diagnostic) {
    if (diagnostic.severity == Severity::ERROR) ++_errors;
    if (diagnostic.severity == Severity::WARNING) ++_warnings;
    _out << render(diagnostic) << std::flush;
}

std::string DiagnosticWriter::render(const Diagnostic& diagnostic) const {
    std::string out;
    std::string suffix;
    if (!diagnostic.warning.empty())
        suffix = (diagnostic.promoted ? " [-Werror=" : " [-W") + diagnostic.warning + "]";
    entry(out, diagnostic.severity, diagnostic.span, diagnostic.message, suffix);
    for (const Note& note : diagnostic.notes) entry(out, Severity::NOTE, note.span, note.message, "");
    return out;
}

void DiagnosticWriter::entry(std::string& out, Severity severity, const std::optional<Span>& span,
                             const std::string& message, const std::string& suffix) const {
    const char* colour = severity == Severity::ERROR     ? _palette.error()
                         : severity == Severity::WARNING ? _palette.warning()
                                                         : _palette.note();
    out += _palette.locus();
    out += _model;
    out += ':';
    if (span && span->known()) {
        out += std::to_string(span->line) + ':' + std::to_string(span->col) + ':';
    }
    out += _palette.reset();
    out += ' ';
    out += colour;
    out += severity_word(severity);
    out += ':';
    out += _palette.reset();
    out += ' ';
    out += message;
    if (!suffix.empty()) {
        out += colour;
        out += suffix;
        out += _palette.reset();
    }
    out += '\n';
    if (span && span->known()) excerpt(out, *span);
}

// The span's line, and under it a caret at the span's first column followed by
// a tilde under each further character of the span on that line.
void DiagnosticWriter::excerpt(std::string& out, const Span& span) const {
    size_t offset = std::min(span.offset, _text.size());
    // The line's ends are looked for no further than a shown window reaches:
    // a line longer than that is cut anyway, and scanning it whole for each
    // of many diagnostics on it would take time quadratic in its length.
    size_t reach = max_shown_line + 1;
    size_t begin = offset;
    while (begin > 0 && offset - begin < reach && !line_break(_text[begin - 1])) --begin;
    size_t end = offset;
    while (end < _text.size() && end - offset < reach && !line_break(_text[end])) ++end;
    // A long line is shown as a window around the column.
    size_t first = begin;
    size_t last = end;
    bool cut_before = false;
    bool cut_after = false;
    if (end - begin > max_shown_line) {
        size_t before = max_shown_line / 2;
        if (offset - begin > before) {
            first = offset - before;
            cut_before = true;
        }
        if (last - first > max_shown_line) {
            last = first + max_shown_line;
            cut_after = true;
        }
    }
    const std::string indent = "    ";
    std::string shown;
    std::string marks;
    if (cut_before) {
        shown += "...";
        marks += "   ";
    }
    size_t span_end = std::max(offset + 1, std::min(span.end(), last));
    bool marked = false;
    for (size_t i = first; i < last; ++i) {
        char c = _text[i];
        shown += control(c) ? '?' : c;
        if (continuation(c)) continue;
        if (i < offset) {
            marks += c == '\t' ? '\t' : ' ';
        } else if (i == offset) {
            marks += '^';
            marked = true;
        } else if (i < span_end) {
            marks += '~';
        }
    }
    // A span at the end of the line (a missing token) is marked just after it.
    if (!marked) marks += '^';
    if (cut_after) shown += "...";
    out += indent + shown + '\n';
    out += indent + _palette.caret() + marks + _palette.reset() + '\n';
}

std::string quoted(std::string_view text, size_t limit) {
    static const char* digits = "0123456789ABCDEF";
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == limit) {
            result += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E) {
            result += "\\x";
            result += digits[c >> 4];
            result += digits[c & 15];
        } else {
            result += static_cast<char>(c);
        }
    }
    return result;
}

std::string count_of(size_t n, const char* singular, const char* plural) {
    return std::to_string(n) + ' ' + (n == 1 ? singular : plural);
}

std::string line_list(const std::set<int>& lines) {
    std::string text;
    size_t shown = 0;
    for (int line : lines) {
        if (shown == 4) {
            text += " and " + std::to_string(lines.size() - shown) + " more";
            break;
        }
        if (shown > 0) text += shown + 1 == lines.size() ? " and " : ", ";
        text += std::to_string(line);
        ++shown;
    }
    return text;
}

}  // namespace vorn
