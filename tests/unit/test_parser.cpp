// The parser: accepted language, syntax-error positions, when actions run,
// and the model it builds.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "symbolic/namer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

using namespace vorn;

namespace {

std::string text(const sym::Model& model) {
    std::ostringstream os;
    model.info(os);
    return os.str();
}

void parse(const std::string& model) {
    release_model();
    scan_string(model);
    parse_model();
}

// The message of the syntax error the model raises, or "" when it parses.
std::string syntax_error(const std::string& model) {
    try {
        parse(model);
    } catch (const SyntaxError& e) {
        return e.string();
    }
    return "";
}

// The detail of the UserError the model raises, or "" when it parses.
std::string user_error(const std::string& model) {
    try {
        parse(model);
    } catch (const common::UserError& e) {
        EXPECT_EQ(e.function(), "yyparse");
        return e.detail();
    }
    return "";
}

std::string nested(int depth) {
    std::string term = "a[]";
    for (int i = 0; i < depth; ++i) term = "f(" + term + ")";
    return term;
}

// Every test frees what it parsed, so that leak checking sees the model released.
class Parser : public testing::Test {
protected:
    void TearDown() override { release_model(); }
};

}  // namespace

TEST_F(Parser, EmptyAndBlankInputsGiveEmptyModel) {
    for (const char* model : {"", "  \n// nothing\n\t", "$ A(x);"}) {
        parse(model);
        EXPECT_TRUE(raw_const_rules.empty());
        EXPECT_TRUE(raw_trans_rules.empty());
        EXPECT_TRUE(raw_accessable_states.empty());
    }
}

TEST_F(Parser, SyntaxErrorsAreReportedAfterTheOffendingToken) {
    const std::string rule = "! k(a[]) -[ ]-> k(b[]);\n";
    struct Case {
        std::string model;
        std::string expected;
    };
    // Trailing commas, empty knowledge facts, numbers and misplaced sections
    // are covered end to end; these are the remaining shapes.
    std::vector<Case> cases = {
        {"a @ b", "Error - syntax error on line 1 col 1."},
        {"$ A(x);\n" + rule + "$ B(y);", "Error - syntax error on line 3 col 1."},
        {"$ A(*);", "Error - syntax error on line 1 col 6."},
        {"! k(a[], b[]) -[ ]-> k(b[]);", "Error - syntax error on line 1 col 8."},
        {"! k(k(x)) -[ ]-> k(b[]);", "Error - syntax error on line 1 col 5."},
        {"! k(a[]) -[ ]-> ;", "Error - syntax error on line 1 col 17."},
        {"! k(a[]) -[ k(x) ]-> k(b[]);", "Error - syntax error on line 1 col 13."},
        {"$ A(x);\n% A(x) * ;", "Error - syntax error on line 2 col 10."},
        {"! k(x) -[ ]-> k(b[]) ; ]-> ", "Error - syntax error on line 1 col 26."},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        std::string actual = syntax_error(c.model + "\n");
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(actual, c.expected) << c.model;
    }
}

TEST_F(Parser, AcceptsEmptyListsWhereTheGrammarDoes) {
    parse("$ A(); $ E(*n, x);\n"
          "! -[ ]-> k(a[]);\n"
          "! E() -[ A() ]-> k(f());\n"
          "? -[ ]-> <, A()>;\n");
    EXPECT_EQ(raw_const_rules.size(), 2u);
    EXPECT_EQ(raw_trans_rules.size(), 1u);
    EXPECT_EQ(decls.at("A"), std::vector<bool>{});
    EXPECT_EQ(decls.at("E"), (std::vector<bool>{true, false}));
}

// The parser's own model errors are raised under the name "yyparse".
TEST_F(Parser, ModelErrorsNameTheParser) {
    EXPECT_EQ(user_error("$ A(x);\n$ A(y);"), "A already declared");
    EXPECT_EQ(user_error("! E(a[]) -[ ]-> k(b[]);"), "E event not declared");
    EXPECT_EQ(user_error("$ S(x);\n! k(a[]) -[ S(a[], b[]) ]-> k(b[]);"), "S state has more arguments than declared");
    EXPECT_EQ(user_error("! k(a[]) -[ ]-> k(a[]);"), "raw rule is not valid");
}

// A construct that ends in a closing token (here a nonce and a declaration) is
// built as soon as that token is read, before anything after it is scanned.
TEST_F(Parser, ClosedConstructsAreBuiltBeforeTheNextScan) {
    testing::internal::CaptureStdout();
    try {
        parse("! k(x), k([x] @");
        ADD_FAILURE() << "accepted";
    } catch (const common::UserError& e) {
        EXPECT_EQ(e.detail(), "term type does not match nonce");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    testing::internal::CaptureStdout();
    EXPECT_EQ(user_error("$ A(x);\n$ A(y); @"), "A already declared");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// Names are issued inside out, left to right: arguments before the function or
// fact that holds them.
TEST_F(Parser, NamesAreIssuedInConstructionOrder) {
    parse("$ E(x, y);\n! E(x, f(y, c[])) -[ ]-> k(f(y, c[]));");
    EXPECT_EQ(sym::namer.constant("c").id(), 2u);
    EXPECT_EQ(sym::namer.constant("f").id(), 3u);
    EXPECT_EQ(sym::namer.constant("E").id(), 4u);
    ASSERT_EQ(raw_const_rules.size(), 1u);
    EXPECT_EQ(text(*raw_const_rules.front()), "E(x@0, f(y@1, c[]))\n--[\n]-> know(f(y@1, c[]))\n");
}

TEST_F(Parser, RuleLocalNamesAreScopedPerRuleButSharedByQueries) {
    parse("$ S(*p, x);\n"
          "! k(x) -[ S(x, a[]) ]-> k(h(x));\n"
          "! k(x) -[ S(x, a[]) ]-> k(h(x));\n"
          "? -[ ]-> <, S(a[], b[])>;\n"
          "% S(y, z) * true;\n"
          "% S(z, y) * false;\n");
    ASSERT_EQ(raw_const_rules.size(), 2u);
    EXPECT_EQ(text(*raw_const_rules.front()), "know(x@0) : 1\n--[\n1 - S(*x@0, a[]) : [1]\n]-> know(h(x@0))\n");
    EXPECT_EQ(text(*raw_const_rules.back()), "know(x@5) : 2\n--[\n2 - S(*x@5, a[]) : [2]\n]-> know(h(x@5))\n");
    ASSERT_EQ(raw_accessable_states.size(), 2u);
    EXPECT_EQ(text(*raw_accessable_states[0].first), "S(*y@7, z@8)");
    EXPECT_TRUE(raw_accessable_states[0].second);
    EXPECT_EQ(text(*raw_accessable_states[1].first), "S(*z@8, y@7)");
    EXPECT_FALSE(raw_accessable_states[1].second);
}

TEST_F(Parser, TransferRuleConversions) {
    parse("$ S(*p, x);\n"
          "? k(m) -[ S(p, m) ]-> <S(p, m), S(p, h(m))>, <, S(q[], m)>;\n");
    ASSERT_EQ(raw_trans_rules.size(), 1u);
    const sym::StateTransRule* rule = raw_trans_rules.front();
    ASSERT_EQ(rule->conversions().size(), 2u);
    EXPECT_EQ(text(*rule->conversions()[0].first), "S(*p@2, m@0)");
    EXPECT_EQ(text(*rule->conversions()[0].second), "S(*p@2, h(m@0))");
    EXPECT_EQ(rule->conversions()[1].first, nullptr);
    EXPECT_EQ(text(*rule->conversions()[1].second), "S(*q[], m@0)");
}

TEST_F(Parser, FewerArgumentsThanDeclaredUseTheLeadingFlags) {
    parse("$ S(x, *y, *z);\n! k(a[]) -[ S(u, v) ]-> k(b[]);");
    ASSERT_EQ(raw_const_rules.size(), 1u);
    EXPECT_EQ(text(*raw_const_rules.front()->states().begin()->second.first), "S(u@2, *v@3)");
}

TEST_F(Parser, NestingIsBoundedAt1000FunctionTerms) {
    parse("$ S(x);\n! k(" + nested(1000) + ") -[ S(" + nested(1000) + ") ]-> k(b[]);");
    EXPECT_EQ(raw_const_rules.size(), 1u);
    release_model();

    // The refused "(" ends at column 4 + 2 * 1001.
    EXPECT_EQ(syntax_error("! k(" + nested(1001) + ") -[ ]-> k(b[]);"),
              "Error - term nested too deeply on line 1 col 2006.");
    EXPECT_EQ(syntax_error("$ S(x);\n! -[ S(" + nested(1001) + ") ]-> k(b[]);"),
              "Error - term nested too deeply on line 2 col 2009.");
}

TEST_F(Parser, ManyRulesAndLongListsParse) {
    std::string model = "$ S(*p, x);\n";
    for (int i = 0; i < 10000; ++i) model += "! k(c" + std::to_string(i) + "[]) -[ ]-> k(d[]);\n";
    model += "? -[ ]-> <, S(a[], b[])>";
    for (int i = 0; i < 500; ++i) model += ", <, S(a" + std::to_string(i) + "[], b[])>";
    model += ";\n";
    for (int i = 0; i < 500; ++i) model += "% S(x, y) * true;\n";
    parse(model);
    EXPECT_EQ(raw_const_rules.size(), 10000u);
    ASSERT_EQ(raw_trans_rules.size(), 1u);
    EXPECT_EQ(raw_trans_rules.front()->conversions().size(), 501u);
    EXPECT_EQ(raw_accessable_states.size(), 500u);
}

TEST_F(Parser, DebugSwitchTracesOnStandardErrorOnly) {
    yydebug = 1;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    parse("$ A(x);");
    std::string trace = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(trace.find("Next token is NAME (A)"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Reducing decl A"), std::string::npos) << trace;
    yydebug = 0;
}
