// The located forms of the errors found while the model is read and built:
// where each points, what it says, its notes; and the outline of the model
// the parser keeps beside the rules.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "symbolic/namer.h"
#include "symbolic/srule.h"
#include "vorn/model/lexer.h"
#include "vorn/model/outline.h"
#include "vorn/model/parser.h"

using vorn::Diagnostic;

namespace {

// Parses the model; answers the diagnostics shown and whether an error was raised.
struct Parsed {
    std::vector<Diagnostic> shown;
    bool user_error = false;
    bool syntax_error = false;
};

Parsed parse(const std::string& model) {
    vorn::release_model();
    vorn::scan_string(model);
    Parsed parsed;
    try {
        vorn::parse_model([&](const Diagnostic& d) { parsed.shown.push_back(d); });
    } catch (const common::UserError&) {
        parsed.user_error = true;
    } catch (const vorn::SyntaxError&) {
        parsed.syntax_error = true;
    }
    return parsed;
}

class Located : public testing::Test {
protected:
    void TearDown() override { vorn::release_model(); }
};

struct Case {
    const char* model;
    int line;
    int col;
    size_t length;
    const char* says;
    int note_line;  // 0: no located note
    int note_col;
};

void expect_located(const Case& c, bool syntax) {
    SCOPED_TRACE(c.model);
    Parsed parsed = parse(c.model);
    EXPECT_EQ(parsed.syntax_error, syntax);
    EXPECT_EQ(parsed.user_error, !syntax);
    ASSERT_EQ(parsed.shown.size(), 1u);
    const Diagnostic& d = parsed.shown[0];
    EXPECT_EQ(d.severity, vorn::Severity::ERROR);
    ASSERT_TRUE(d.span.has_value());
    EXPECT_EQ(d.span->line, c.line);
    EXPECT_EQ(d.span->col, c.col);
    EXPECT_EQ(d.span->length, c.length);
    EXPECT_NE(d.message.find(c.says), std::string::npos) << d.message;
    if (c.note_line == 0) {
        for (const vorn::Note& note : d.notes) EXPECT_FALSE(note.span.has_value()) << note.message;
    } else {
        ASSERT_FALSE(d.notes.empty());
        ASSERT_TRUE(d.notes[0].span.has_value());
        EXPECT_EQ(d.notes[0].span->line, c.note_line);
        EXPECT_EQ(d.notes[0].span->col, c.note_col);
    }
}

}  // namespace

TEST_F(Located, ModelErrorsPointAtTheOffendingNameOrTerm) {
    const Case cases[] = {
        // The first use of an undeclared name, in each place a fact stands.
        {"$ L(*i, m);\n! -[ L(l[], on[]) ]-> Seen(l[]);\n", 2, 23, 4, "event 'Seen' is not declared", 0, 0},
        {"$ S(x);\n! k(a[]), Lamp(b[]) -[ ]-> k(c[]);\n", 2, 11, 4, "event 'Lamp' is not declared", 0, 0},
        {"$ S(x);\n? -[ ]-> <S(a[]), Door(a[])>;\n", 2, 19, 4, "state 'Door' is not declared", 0, 0},
        {"$ S(x);\n! -[ S(a[]) ]-> k(b[]);\n% Door(x) * true;\n", 3, 3, 4, "state 'Door' is not declared", 0, 0},
        // A declared name that looks alike is offered.
        {"$ Lamp(*i, m);\n! -[ Lapm(l[], on[]) ]-> k(b[]);\n", 2, 6, 4, "did you mean 'Lamp'?", 1, 3},
        {"$ Lamp(*i, m);\n$ Lamp(i);\n", 2, 3, 4, "'Lamp' is already declared", 1, 3},
        // The first argument too many; a note at the declaration.
        {"$ G(*n);\n! G([n], alice[], bob[]) -[ ]-> k(a[]);\n", 2, 10, 7, "has 3 arguments, but its declaration has 1 position",
         1, 1},
        {"$ G(*n, r);\n! G(alice[], c[]) -[ ]-> k(a[]);\n", 2, 5, 7, "position 1 of event 'G' is starred", 1, 5},
        // The later use of a rule-local name of another kind; a note at the earlier.
        {"$ L(*i, m);\n! k(x) -[ L([x], on[]) ]-> k(f(x));\n", 2, 14, 1, "'x' is a nonce here but a variable", 2, 5},
        {"$ L(*i);\n! -[ L(a[]) ]-> k(b[]);\n% L(x) * true;\n% L([x]) * true;\n", 4, 6, 1, "earlier in the access queries", 3,
         5},
        // Why a rule is not valid, as far as the text shows.
        {"$ L(*i, m);\n! k(a[]) -[ L(l[], on[]) ]-> k(a[]);\n", 2, 3, 6, "this premise is its own conclusion", 2, 30},
        {"$ L(*i, m);\n! -[ L(l[], on[]), L(l[], off[]) ]-> k(a[]);\n", 2, 20, 13, "two states of one process", 2, 6},
        {"$ L(m);\n! -[ L(on[]), L(off[]) ]-> k(a[]);\n", 2, 15, 8, "which has no starred position", 2, 6},
        {"$ G(*n, r);\n! G([n], a[]), G([n], b[]) -[ ]-> k(c[]);\n", 2, 16, 11, "two events draw the fresh nonce [n]", 2, 3},
        {"$ L(*i, m);\n! -[ L(l[], on[]) ]-> k(x);\n", 2, 25, 1, "the bare variable 'x'", 0, 0},
        // A name used with two numbers of arguments within one rule.
        {"! k(f(a[])), k(f(a[], b[])) -[ ]-> k(c[]);\n", 1, 16, 1, "function 'f' is used with 2 arguments here", 1, 5},
    };
    for (const Case& c : cases) expect_located(c, false);
}

TEST_F(Located, SyntaxErrorsPointAtTheTokenThatDoesNotFit) {
    const Case cases[] = {
        {"$ L(*i);\n$ S(x)\n! -[ ]-> k(a[]);\n", 3, 1, 1, "expected ';' after the declaration, found '!'", 2, 7},
        {"! -[ L(k[]) ]-> k(a[]);\n", 1, 8, 1, "found reserved word 'k'", 0, 0},
        {"! -[ ]-> k(a[])", 1, 16, 0, "found the end of the file", 0, 0},
        {"! -[ ]-> k(a[]);\n$ L(x);\n", 2, 1, 1, "a declaration after the rules", 0, 0},
        {"$ L(x);\n! -[ ]-> k(a[]);\n% L(a[]) * true;\n! -[ ]-> k(b[]);\n", 4, 1, 1, "a rule after the access queries", 0, 0},
        {"! -[ L(a[], 12) ]-> k(a[]);\n", 1, 13, 2, "found number '12'", 0, 0},
        {"! k(a[], b[]) -[ ]-> k(c[]);\n", 1, 8, 1, "expected ')': k(...) holds one term", 0, 0},
        {"? -[ ]-> ;\n", 1, 10, 1, "expected a conversion", 0, 0},
        {"a", 1, 1, 1, "'$', '!', '?' or '%' to start an item, found name 'a'", 0, 0},
    };
    for (const Case& c : cases) expect_located(c, true);
    std::string deep = "! k(";
    for (int i = 0; i < 1001; ++i) deep += "f(";
    deep += "x";
    Case nested{deep.c_str(), 1, 5 + 2 * 1000 + 1, 1, "nested more than 1000 deep", 0, 0};
    expect_located(nested, true);
}

TEST_F(Located, ShowingErrorsIssuesNoName) {
    // The same model parsed with and without a place to show diagnostics builds
    // the same rules, with the same names.
    const std::string model = "$ L(*i, m);\n! k(x), k([n]) -[ L(l[], |c|) ]-> k(f(x, [n]));\n? -[ ]-> <L(l[], a[]), L(l[], b[])>;\n";
    auto printed = [&](bool show) {
        vorn::release_model();
        sym::namer = sym::_Namer();
        sym::StateRule::_sid = 0;
        vorn::scan_string(model);
        std::vector<Diagnostic> shown;
        if (show)
            vorn::parse_model([&](const Diagnostic& d) { shown.push_back(d); });
        else
            vorn::parse_model();
        std::ostringstream os;
        for (const auto* rule : vorn::raw_const_rules) rule->info(os);
        for (const auto* rule : vorn::raw_trans_rules) rule->info(os);
        return os.str();
    };
    EXPECT_EQ(printed(true), printed(false));
}

TEST_F(Located, TheOutlineHoldsEveryPieceWithItsPlace) {
    const std::string model =
        "// a model\n"
        "$ Door(*id, mode); $ Opened(id);\n"
        "? k(code[]) -[ ]-> <Door(d[], locked[]), Door(d[], open[])>,\n"
        "   <, Door([n], new[])>;\n"
        "! Opened(z), k(pair(|c|, y)) -[ Door(x, open[]) ]-> Opened(x);\n"
        "% Door(d[], locked[]) * false;\n";
    vorn::scan_string(model);
    vorn::parse_model();
    const vorn::Outline& o = vorn::model_outline;
    ASSERT_EQ(o.decls.size(), 2u);
    EXPECT_EQ(o.text(o.decls[0].name), "Door");
    EXPECT_EQ(o.decls[0].starred, (std::vector<bool>{true, false}));
    EXPECT_EQ(o.text(o.decls[0].positions[0]), "*id");
    ASSERT_NE(o.declaration("Opened"), nullptr);
    EXPECT_EQ(o.declaration("Opened")->name.line, 2);
    EXPECT_EQ(o.declaration("Nothing"), nullptr);

    ASSERT_EQ(o.rules.size(), 2u);
    const vorn::RuleOutline& step = o.rules[0];
    EXPECT_TRUE(step.transfer);
    EXPECT_EQ(step.marker.line, 3);
    EXPECT_EQ(o.text(step.whole).substr(0, 11), "? k(code[])");
    EXPECT_EQ(o.text(step.whole).back(), ';');
    ASSERT_EQ(step.conversions.size(), 2u);
    EXPECT_EQ(o.text(step.conversions[0].from->whole), "Door(d[], locked[])");
    EXPECT_FALSE(step.conversions[1].from.has_value());
    EXPECT_EQ(step.conversions[1].to.name.line, 4);
    EXPECT_EQ(step.conversions[1].to.args[0].kind, vorn::TermOutline::Kind::NONCE);
    EXPECT_EQ(o.text(step.conversions[1].to.args[0].whole), "[n]");

    const vorn::RuleOutline& goal = o.rules[1];
    EXPECT_FALSE(goal.transfer);
    ASSERT_EQ(goal.premises.size(), 2u);
    EXPECT_EQ(goal.premises[0].kind, vorn::FactOutline::Kind::EVENT);
    EXPECT_EQ(goal.premises[1].kind, vorn::FactOutline::Kind::KNOW);
    const vorn::TermOutline& pair = goal.premises[1].args[0];
    EXPECT_EQ(pair.kind, vorn::TermOutline::Kind::FUNCTION);
    EXPECT_EQ(pair.args[0].kind, vorn::TermOutline::Kind::CONFIGURATION);
    EXPECT_EQ(pair.args[1].kind, vorn::TermOutline::Kind::VARIABLE);
    EXPECT_EQ(o.text(goal.states[0].whole), "Door(x, open[])");
    ASSERT_TRUE(goal.conclusion.has_value());
    EXPECT_EQ(o.text(goal.conclusion->name), "Opened");

    ASSERT_EQ(o.queries.size(), 1u);
    EXPECT_FALSE(o.queries[0].reusable);
    EXPECT_EQ(o.text(o.queries[0].whole), "% Door(d[], locked[]) * false;");

    // Uses of the global names, in the order of the text, with their numbers of arguments.
    std::vector<std::string> uses;
    for (const vorn::SymbolUse& use : vorn::symbol_uses(o))
        uses.push_back(std::string(vorn::kind_word(use.kind)) + " " + std::string(use.name) + "/" +
                       std::to_string(use.arity) + (use.in_query ? " q" : ""));
    EXPECT_EQ(uses, (std::vector<std::string>{"constant code/0", "state Door/2", "constant d/0", "constant locked/0",
                                              "state Door/2", "constant d/0", "constant open/0", "state Door/2",
                                              "constant new/0", "event Opened/1", "function pair/2", "state Door/2",
                                              "constant open/0", "event Opened/1", "state Door/2 q", "constant d/0 q",
                                              "constant locked/0 q"}));
}
