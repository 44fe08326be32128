// The scanner: token table, longest match, positions and unknown characters.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "vorn/model/lexer.h"

using namespace vorn;

namespace {

// One scanned token: its code and, for NAME and INT, its value as text.
struct Lexeme {
    int token;
    std::string value;
    bool operator==(const Lexeme& other) const = default;
};

std::ostream& operator<<(std::ostream& os, const Lexeme& lexeme) {
    os << token_name(lexeme.token);
    if (!lexeme.value.empty()) os << "(" << lexeme.value << ")";
    return os;
}

std::vector<Lexeme> scan_all(const std::string& text) {
    scan_string(text);
    std::vector<Lexeme> result;
    for (int token = yylex(); token != END; token = yylex()) {
        std::string value;
        if (token == NAME) value = yylval.name;
        if (token == INT) value = std::to_string(yylval.value);
        result.push_back({token, value});
    }
    return result;
}

// The tokens of text; messages about unknown characters are dropped.
std::vector<Lexeme> tokens(const std::string& text) {
    testing::internal::CaptureStdout();
    std::vector<Lexeme> result = scan_all(text);
    testing::internal::GetCapturedStdout();
    return result;
}

// Scans text and returns what the scanner printed.
std::string messages(const std::string& text) {
    testing::internal::CaptureStdout();
    scan_all(text);
    return testing::internal::GetCapturedStdout();
}

Lexeme name(const std::string& text) { return {NAME, text}; }

}  // namespace

TEST(Lexer, EverySpelledToken) {
    std::vector<Lexeme> expected = {{LSB, ""},   {RSB, ""},       {LMB, ""},    {RMB, ""},    {LAB, ""},
                                    {RAB, ""},   {ARROW, ""},     {TAIL, ""},   {BACK_ARROW, ""},
                                    {ASSIGN, ""}, {EQ, ""},        {NE, ""},     {GT, ""},     {LT, ""},
                                    {GE, ""},    {LE, ""},        {SHARP, ""},  {BAR, ""},    {STAR, ""},
                                    {SEMICOLON, ""}, {COLON, ""}, {COMMA, ""},  {KNOW, ""},   {TRUE, ""},
                                    {FALSE, ""}, {DECL, ""},      {RCONST, ""}, {RTRANS, ""}, {ACCESS, ""}};
    EXPECT_EQ(tokens("( ) [ ] < > ]-> -[ <- := == != :> <: >= <= # | * ; : , k true false $ ! ? %"), expected);
    EXPECT_EQ(LSB, 258);
    EXPECT_EQ(SEMICOLON, 281);
    EXPECT_EQ(KNOW, 284);
    EXPECT_EQ(DECL, 287);
    EXPECT_EQ(NAME, 291);
    EXPECT_EQ(INT, 292);
}

TEST(Lexer, LongestMatchAndKeywords) {
    EXPECT_EQ(tokens("k(x)"), (std::vector<Lexeme>{{KNOW, ""}, {LSB, ""}, name("x"), {RSB, ""}}));
    EXPECT_EQ(tokens("kx(x)"), (std::vector<Lexeme>{name("kx"), {LSB, ""}, name("x"), {RSB, ""}}));
    EXPECT_EQ(tokens("kb truex falsehood true1 K"),
              (std::vector<Lexeme>{name("kb"), name("truex"), name("falsehood"), name("true1"), name("K")}));
    EXPECT_EQ(tokens("!a-[ ]->b;"), (std::vector<Lexeme>{{RCONST, ""}, name("a"), {TAIL, ""}, {ARROW, ""},
                                                           name("b"), {SEMICOLON, ""}}));
    // Without the arrow's tail "]" and "-" stay apart; "]-[" is "]" then "-[".
    EXPECT_EQ(tokens("]-["), (std::vector<Lexeme>{{RMB, ""}, {TAIL, ""}}));
    EXPECT_EQ(tokens("<<-<:"), (std::vector<Lexeme>{{LAB, ""}, {BACK_ARROW, ""}, {LT, ""}}));
    EXPECT_EQ(tokens("!!=:::="), (std::vector<Lexeme>{{RCONST, ""}, {NE, ""}, {COLON, ""}, {COLON, ""}, {ASSIGN, ""}}));
}

TEST(Lexer, Integers) {
    EXPECT_EQ(tokens("007"), (std::vector<Lexeme>{{INT, "7"}}));
    EXPECT_EQ(tokens("1a"), (std::vector<Lexeme>{{INT, "1"}, name("a")}));
    EXPECT_EQ(tokens("a1"), (std::vector<Lexeme>{name("a1")}));
    EXPECT_EQ(tokens("2147483647"), (std::vector<Lexeme>{{INT, std::to_string(INT_MAX)}}));
    // Too large for an int: clamped rather than overflowing.
    EXPECT_EQ(tokens("2147483648 99999999999999999999999"),
              (std::vector<Lexeme>{{INT, std::to_string(INT_MAX)}, {INT, std::to_string(INT_MAX)}}));
}

TEST(Lexer, UnknownCharactersAreReportedAndSkipped) {
    EXPECT_EQ(messages("ab\n\ncde@ f"), "Cannot identify @ at line 3, col 4\n");
    EXPECT_EQ(tokens("a_b"), (std::vector<Lexeme>{name("a"), name("b")}));
    EXPECT_EQ(messages("a_b"), "Cannot identify _ at line 1, col 2\n");
    EXPECT_EQ(messages("] ->"), "Cannot identify - at line 1, col 3\n");
    EXPECT_EQ(tokens("] ->"), (std::vector<Lexeme>{{RMB, ""}, {RAB, ""}}));
    EXPECT_EQ(messages("- / ="), "Cannot identify - at line 1, col 1\n"
                                 "Cannot identify / at line 1, col 3\n"
                                 "Cannot identify = at line 1, col 5\n");
    // Each byte of a multi-byte character is reported on its own.
    EXPECT_EQ(messages("\xc3\xa9"), "Cannot identify \xc3 at line 1, col 1\nCannot identify \xa9 at line 1, col 2\n");
}

TEST(Lexer, NulByteIsAnUnknownCharacter) {
    EXPECT_EQ(tokens(std::string("a\0b", 3)), (std::vector<Lexeme>{name("a"), name("b")}));
}

TEST(Lexer, LineBreaks) {
    // CR LF is one break, a lone CR is one, LF is one.
    EXPECT_EQ(messages("a\r\nb\rc\n@"), "Cannot identify @ at line 4, col 1\n");
    EXPECT_EQ(messages("\r\r\n@"), "Cannot identify @ at line 3, col 1\n");
}

TEST(Lexer, Comments) {
    EXPECT_EQ(tokens("a // b ; @\nc"), (std::vector<Lexeme>{name("a"), name("c")}));
    // A CR inside a comment belongs to it: only the LF breaks the line.
    EXPECT_EQ(messages("// x\r y\n@"), "Cannot identify @ at line 2, col 1\n");
    // A comment does not move the column.
    tokens("ab //comment");
    EXPECT_EQ(line, 1);
    EXPECT_EQ(col, 3);
    // Ends cleanly at the end of the text without a line break.
    EXPECT_EQ(tokens("// only a comment"), std::vector<Lexeme>{});
    EXPECT_EQ(tokens("x//"), (std::vector<Lexeme>{name("x")}));
}

TEST(Lexer, PositionsStopAtTheLargestInt) {
    // Only a text of more than 2 GiB gets there; the counters must not overflow.
    scan_string("ab@\n\n@");
    col = INT_MAX - 1;
    EXPECT_EQ(yylex(), NAME);
    EXPECT_EQ(col, INT_MAX);
    line = INT_MAX - 1;
    testing::internal::CaptureStdout();
    EXPECT_EQ(yylex(), END);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Cannot identify @ at line 2147483646, col 2147483647\n"
              "Cannot identify @ at line 2147483647, col 1\n");
    EXPECT_EQ(line, INT_MAX);
}

TEST(Lexer, PositionAfterEachToken) {
    scan_string("ab  ]->\n  \t(");
    EXPECT_EQ(yylex(), NAME);
    EXPECT_EQ(col, 2);
    EXPECT_EQ(yylex(), ARROW);
    EXPECT_EQ(col, 7);
    EXPECT_EQ(yylex(), LSB);
    EXPECT_EQ(line, 2);
    EXPECT_EQ(col, 4);
    EXPECT_EQ(yylex(), END);
    EXPECT_EQ(yylex(), END);
}
