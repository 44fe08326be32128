#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "vorn/model/span.h"

namespace vorn {

// A message about the model in the form compilers use and editors read:
//   MODEL:LINE:COL: error: MESSAGE [-WNAME]
//       the source line
//       ^~~~~
// followed by its notes in the same form. Without a span the message is
// about the whole model: "MODEL: error: MESSAGE".
enum class Severity { ERROR, WARNING, NOTE };

struct Note {
    std::optional<Span> span;
    std::string message;
};

struct Diagnostic {
    Severity severity = Severity::ERROR;
    std::optional<Span> span;
    std::string message;
    // The name of the warning ("unused-declaration"), shown in brackets.
    std::string warning;
    // A warning turned into an error by -Werror shows as [-Werror=NAME].
    bool promoted = false;
    std::vector<Note> notes;
};

// The colours of a terminal, as compilers use them.
struct Palette {
    bool on = false;
    const char* locus() const { return on ? "\033[1m" : ""; }
    const char* error() const { return on ? "\033[1;31m" : ""; }
    const char* warning() const { return on ? "\033[1;35m" : ""; }
    const char* note() const { return on ? "\033[1;36m" : ""; }
    const char* caret() const { return on ? "\033[1;32m" : ""; }
    const char* reset() const { return on ? "\033[m" : ""; }
};

// Whether to colour: --color=always or never, or (auto) when standard error is
// a terminal, NO_COLOR is unset or empty and TERM is not "dumb".
enum class ColorChoice { AUTO, ALWAYS, NEVER };
bool use_color(ColorChoice choice, bool error_is_terminal, const char* no_color, const char* term);

// Source lines longer than this are shown as a window around the column.
constexpr size_t max_shown_line = 160;

// Writes diagnostics about one model text.
class DiagnosticWriter {
public:
    // `model` is the name shown ("<stdin>" for standard input); the text must
    // outlive the writer.
    DiagnosticWriter(std::string model, std::string_view text, bool color, std::ostream& out);

    void report(const Diagnostic& diagnostic);
    // The text report() writes, without writing it.
    std::string render(const Diagnostic& diagnostic) const;

    size_t errors() const { return _errors; }
    size_t warnings() const { return _warnings; }
    const std::string& model() const { return _model; }
    std::string_view text() const { return _text; }

private:
    void entry(std::string& out, Severity severity, const std::optional<Span>& span, const std::string& message,
               const std::string& suffix) const;
    void excerpt(std::string& out, const Span& span) const;

    std::string _model;
    std::string_view _text;
    Palette _palette;
    std::ostream& _out;
    size_t _errors = 0;
    size_t _warnings = 0;
};

// The text between two quotes as a message shows a piece of the model: as
// written, cut to `limit` bytes, control bytes and bytes above 126 as \xHH.
std::string quoted(std::string_view text, size_t limit = 60);

// "1 argument", "2 arguments".
std::string count_of(size_t n, const char* singular, const char* plural);

// "3", "3 and 7", "3, 7 and 9": up to four line numbers, then how many more.
std::string line_list(const std::set<int>& lines);

}  // namespace vorn
