// Located diagnostics as they are written: the place, the source line with its
// caret and tildes, notes, colours, and the choice of colour.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "vorn/model/diagnostics.h"
#include "vorn/model/model_errors.h"
#include "vorn/model/similar_names.h"

using vorn::Diagnostic;
using vorn::DiagnosticWriter;
using vorn::Severity;
using vorn::Span;

namespace {

std::string render(const std::string& text, const Diagnostic& d, bool color = false) {
    std::ostringstream out;
    DiagnosticWriter writer("m.vorn", text, color, out);
    return writer.render(d);
}

Diagnostic at(int line, int col, size_t offset, size_t length, const std::string& message) {
    Diagnostic d;
    d.span = Span{line, col, offset, length};
    d.message = message;
    return d;
}

}  // namespace

TEST(Diagnostics, CaretAndTildesUnderTheSpanOnItsLine) {
    const std::string text = "$ A(x);\n! -[ Lamp(l[]) ]-> k(b[]);\n";
    // "Lamp" on line 2, column 6.
    EXPECT_EQ(render(text, at(2, 6, 13, 4, "state 'Lamp' is not declared")),
              "m.vorn:2:6: error: state 'Lamp' is not declared\n"
              "    ! -[ Lamp(l[]) ]-> k(b[]);\n"
              "         ^~~~\n");
    // A span running past its line is underlined to the line's end only.
    EXPECT_EQ(render(text, at(1, 3, 2, 40, "x")), "m.vorn:1:3: error: x\n    $ A(x);\n      ^~~~~\n");
    // An empty span at the end of the text is a caret just after the last character.
    EXPECT_EQ(render("! k(a[])", at(1, 9, 8, 0, "x")), "m.vorn:1:9: error: x\n    ! k(a[])\n            ^\n");
}

TEST(Diagnostics, TabsCarriageReturnsAndMultibyteCharactersKeepTheCaretAligned) {
    // A tab before the column stays a tab under it; a UTF-8 sequence is one column.
    std::string text = "!\t-[ \xC3\xA9 X(a) ]->\r\nk(b[]);";
    Diagnostic d = at(1, 9, 8, 1, "x");
    EXPECT_EQ(render(text, d), "m.vorn:1:9: error: x\n    !\t-[ \xC3\xA9 X(a) ]->\n     \t     ^\n");
    // A line after a lone carriage return.
    EXPECT_EQ(render("a\rbc\n", at(2, 2, 3, 1, "y")), "m.vorn:2:2: error: y\n    bc\n     ^\n");
    // Control bytes show as '?', one column each.
    EXPECT_EQ(render(std::string("a\0b@", 4), at(1, 4, 3, 1, "z")), "m.vorn:1:4: error: z\n    a?b@\n       ^\n");
}

TEST(Diagnostics, LongLinesShowAWindowAroundTheColumn) {
    std::string text(100000, ' ');
    text += "@";
    std::string shown = render(text, at(1, 100001, 100000, 1, "x"));
    std::istringstream lines(shown);
    std::string head, source, caret;
    std::getline(lines, head);
    std::getline(lines, source);
    std::getline(lines, caret);
    EXPECT_EQ(head, "m.vorn:1:100001: error: x");
    EXPECT_LE(source.size(), 4 + 3 + vorn::max_shown_line + 3);
    EXPECT_EQ(source.substr(0, 7), "    ...");
    EXPECT_EQ(source.back(), '@');
    // The caret stands under the '@'.
    EXPECT_EQ(caret.size(), source.size());
    EXPECT_EQ(caret.back(), '^');
}

TEST(Diagnostics, WholeModelMessagesNotesWarningsAndCounts) {
    std::ostringstream out;
    DiagnosticWriter writer("<stdin>", "$ A(x);\n", false, out);
    Diagnostic whole;
    whole.message = "the model has no consistent rule";
    writer.report(whole);
    Diagnostic warn = at(1, 3, 2, 1, "'A' is declared but no rule or access query uses it");
    warn.severity = Severity::WARNING;
    warn.warning = "unused-declaration";
    warn.notes.push_back({std::nullopt, "a note about nothing in particular"});
    warn.notes.push_back({Span{1, 1, 0, 1}, "here"});
    writer.report(warn);
    warn.severity = Severity::ERROR;
    warn.promoted = true;
    writer.report(warn);
    EXPECT_EQ(writer.errors(), 2u);
    EXPECT_EQ(writer.warnings(), 1u);
    std::string expected_warning =
        "<stdin>:1:3: warning: 'A' is declared but no rule or access query uses it [-Wunused-declaration]\n"
        "    $ A(x);\n"
        "      ^\n"
        "<stdin>: note: a note about nothing in particular\n"
        "<stdin>:1:1: note: here\n"
        "    $ A(x);\n"
        "    ^\n";
    std::string promoted = expected_warning;
    promoted.replace(promoted.find("warning:"), 8, "error:");
    promoted.replace(promoted.find("[-Wunused"), 9, "[-Werror=unused");
    EXPECT_EQ(out.str(), "<stdin>: error: the model has no consistent rule\n" + expected_warning + promoted);
}

TEST(Diagnostics, ColoursAsCompilersUseThem) {
    Diagnostic d = at(1, 1, 0, 1, "m");
    d.severity = Severity::WARNING;
    d.warning = "misspelling";
    d.notes.push_back({std::nullopt, "n"});
    EXPECT_EQ(render("!", d, true),
              "\033[1mm.vorn:1:1:\033[m \033[1;35mwarning:\033[m m\033[1;35m [-Wmisspelling]\033[m\n"
              "    !\n"
              "    \033[1;32m^\033[m\n"
              "\033[1mm.vorn:\033[m \033[1;36mnote:\033[m n\n");
    d.severity = Severity::ERROR;
    d.warning.clear();
    d.notes.clear();
    EXPECT_NE(render("!", d, true).find("\033[1;31merror:\033[m"), std::string::npos);
    EXPECT_EQ(render("!", d, false).find('\033'), std::string::npos);
}

TEST(Diagnostics, ColourChoice) {
    using vorn::ColorChoice;
    using vorn::use_color;
    EXPECT_TRUE(use_color(ColorChoice::AUTO, true, nullptr, "xterm"));
    EXPECT_TRUE(use_color(ColorChoice::AUTO, true, "", "xterm"));
    EXPECT_TRUE(use_color(ColorChoice::AUTO, true, nullptr, nullptr));
    EXPECT_FALSE(use_color(ColorChoice::AUTO, false, nullptr, "xterm"));
    EXPECT_FALSE(use_color(ColorChoice::AUTO, true, "1", "xterm"));
    EXPECT_FALSE(use_color(ColorChoice::AUTO, true, nullptr, "dumb"));
    EXPECT_TRUE(use_color(ColorChoice::ALWAYS, false, "1", "dumb"));
    EXPECT_FALSE(use_color(ColorChoice::NEVER, true, nullptr, "xterm"));
}

TEST(Diagnostics, QuotedTextAndEditDistance) {
    EXPECT_EQ(vorn::quoted("Lamp"), "Lamp");
    EXPECT_EQ(vorn::quoted(std::string("a\0\xff", 3)), "a\\x00\\xFF");
    EXPECT_EQ(vorn::quoted(std::string(100, 'S'), 4), "SSSS...");
    EXPECT_EQ(vorn::count_of(1, "argument", "arguments"), "1 argument");
    EXPECT_EQ(vorn::count_of(0, "argument", "arguments"), "0 arguments");

    using vorn::edit_distance;
    EXPECT_EQ(edit_distance("sent1", "sent1", 2), 0u);
    EXPECT_EQ(edit_distance("sent1", "snet1", 2), 1u);  // two neighbours swapped
    EXPECT_EQ(edit_distance("open", "opne", 2), 1u);
    EXPECT_EQ(edit_distance("lamp", "lamps", 2), 1u);
    EXPECT_EQ(edit_distance("read", "rest", 2), 2u);
    EXPECT_EQ(edit_distance("read", "rest", 1), 2u);  // past the bound: bound + 1
    EXPECT_EQ(edit_distance("gold", "code", 2), 3u);
    EXPECT_EQ(edit_distance("a", "abcd", 2), 3u);
    EXPECT_EQ(edit_distance(std::string(300, 'x'), std::string(300, 'x') + "y", 2), 3u);
}
