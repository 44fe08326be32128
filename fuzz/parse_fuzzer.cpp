// Fuzz target: the front end on arbitrary bytes. The input is read as the
// driver reads a model file, scanned, parsed, built into rules that are
// validated on the way, and the rules and queries are printed (to nowhere).
// Every located diagnostic (the errors, the unknown characters and the
// warnings) is rendered, and must point into the text at the line and column
// its offset stands for.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "fuzz/fuzz_support.h"
#include "symbolic/state.h"
#include "vorn/model/diagnostics.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"
#include "vorn/model/warnings.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// The line and column of an offset, counted as the scanner counts them: a
// line feed, a carriage return, or both together end a line, except that a
// comment runs to the next line feed and takes no column.
void check_place(const std::string& text, const vorn::Span& span) {
    require(span.offset <= text.size());
    int line = 1;
    int col = 1;
    for (size_t i = 0; i < span.offset; ++i) {
        if (text.compare(i, 2, "//") == 0) {
            size_t end = text.find('\n', i);
            if (end == std::string::npos || end >= span.offset) return;
            i = end - 1;
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' || text[i] == '\r') {
            ++line;
            col = 1;
        } else {
            ++col;
        }
    }
    require(span.line == line);
    require(span.col == col);
}

void check(const std::string& text, vorn::DiagnosticWriter& writer, const vorn::Diagnostic& diagnostic) {
    if (diagnostic.span) check_place(text, *diagnostic.span);
    for (const vorn::Note& note : diagnostic.notes)
        if (note.span) check_place(text, *note.span);
    require(!writer.render(diagnostic).empty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vorn_fuzz::silence_standard_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vorn_fuzz::start_like_a_fresh_process();
    std::string text = vorn_fuzz::as_read_by_driver(data, size);
    vorn::scan_string(text);
    std::ostringstream shown;
    vorn::DiagnosticWriter writer("fuzz.vorn", text, true, shown);
    vorn::WarningSettings settings;
    vorn::unidentified_listener = [&](const vorn::Span& span) {
        check(text, writer, vorn::warning(vorn::WarningId::UNKNOWN_CHARACTER, settings, span, "unknown"));
    };
    vorn_fuzz::run_guarded([&] {
        vorn::parse_model([&](const vorn::Diagnostic& diagnostic) { check(text, writer, diagnostic); });
        for (const sym::StateConstRule* rule : vorn::raw_const_rules) rule->info(std::cout);
        for (const sym::StateTransRule* rule : vorn::raw_trans_rules) rule->info(std::cout);
        for (const auto& query : vorn::raw_accessable_states) query.first->info(std::cout);
        for (const vorn::Diagnostic& diagnostic :
             vorn::model_warnings(vorn::model_outline, settings, !vorn::raw_trans_rules.empty()))
            check(text, writer, diagnostic);
    });
    vorn::unidentified_listener = nullptr;
    vorn::release_model();
    return 0;
}
