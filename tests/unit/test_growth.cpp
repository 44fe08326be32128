// The growth report of a stopped saturation: term shapes, nesting rules, and
// what the observer counts while a run goes on.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "model_fixture.h"
#include "symbolic/srule_levers.h"
#include "symbolic/know.h"
#include "vorn/report/growth.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

namespace {

// Standard output goes nowhere while alive: the engine traces every step.
class QuietOut {
public:
    QuietOut() : _saved(std::cout.rdbuf(_sink.rdbuf())) {}
    ~QuietOut() { std::cout.rdbuf(_saved); }

private:
    std::ostringstream _sink;
    std::streambuf* _saved;
};

// Stops the saturation by refusing the rule that would be one too many, as
// the rule limit does, or before a step, as the time limit does.
class Stopper : public vorn::Observer {
public:
    size_t admit_at_most = 0;
    size_t steps_at_most = 0;
    bool step(const vorn::Algorithm&, size_t) override { return steps_at_most == 0 || ++_steps <= steps_at_most; }
    bool admit(const vorn::Algorithm&, const sym::StateRule*) override {
        return admit_at_most == 0 || ++_admitted <= admit_at_most;
    }

private:
    size_t _steps = 0;
    size_t _admitted = 0;
};

class GrowthTest : public ModelTest {
protected:
    // Saturates the parsed model with the stopper first, as the command line
    // orders the observers, and returns the growth section.
    std::string run(vorn::Algorithm& engine) {
        {
            QuietOut quiet;
            engine.close_const_rule(vorn::raw_const_rules);
            engine.close_trans_rule(vorn::raw_trans_rules);
            engine.complete();
        }
        std::ostringstream os;
        growth.print(os, engine);
        return os.str();
    }

    static const sym::Term* concluded(size_t rule) {
        return static_cast<const sym::Know*>(const_rule(rule)->conclusion())->term();
    }

    vorn::Provenance provenance;
    vorn::Growth growth{provenance};
    Stopper stopper;
};

}  // namespace

TEST_F(ModelTest, TermDepthPathAndAbbreviationFollowTheDeepestArgument) {
    parse("$ S(*id);\n"
          "! -[ S(a[]) ]-> k(f(g(a[], h(h(c[]))), b[]));\n"
          "! -[ S(a[]) ]-> k(c[]);\n");
    const sym::Term* term = static_cast<const sym::Know*>(const_rule(0)->conclusion())->term();
    EXPECT_EQ(sym::term_depth(term), 4u);
    EXPECT_EQ(vorn::deepest_path(term), (std::vector<std::string>{"f", "g", "h", "h"}));
    EXPECT_EQ(vorn::abbreviated(term, 8), "f(g(a[], h(h(c[]))), b[])");
    EXPECT_EQ(vorn::abbreviated(term, 2), "f(g(a[], h(...)), b[])");
    EXPECT_EQ(vorn::abbreviated(term, 0), "f(...)");
    const sym::Term* constant = static_cast<const sym::Know*>(const_rule(1)->conclusion())->term();
    EXPECT_EQ(sym::term_depth(constant), 0u);
    EXPECT_TRUE(vorn::deepest_path(constant).empty());
}

TEST(Wraps, ASymbolAppliedToAValueTheRuleUsesElsewhereNestsIt) {
    // Extending a register: x becomes h(x, y).
    EXPECT_TRUE(vorn::wraps("? k(y) -[ ]-> <Pcr(t[], x), Pcr(t[], h(x, y))>;", "h"));
    // Nonces and configurations count as values too.
    EXPECT_TRUE(vorn::wraps("! -[ S([n]) ]-> k(f([n]));", "f"));
    EXPECT_TRUE(vorn::wraps("! k(|c|) -[ ]-> k(g(|c|, a[]));", "g"));
    // The pairing rule nests pairs, the projection does not build them.
    EXPECT_TRUE(vorn::wraps("! k(x), k(y) -[ ]-> k(pair(x, y));", "pair"));
    EXPECT_TRUE(vorn::wraps("! k(pair(x, y)) -[ ]-> k(x);", "pair"));
    // Constants, function terms and values used only inside the application do not.
    EXPECT_FALSE(vorn::wraps("! -[ S(a[]) ]-> k(f(seed[]));", "f"));
    EXPECT_FALSE(vorn::wraps("! k(f(g(x))) -[ ]-> k(c[]);", "f"));
    EXPECT_FALSE(vorn::wraps("! k(f(x, x)) -[ ]-> k(c[]);", "f"));
    // Other symbols, and a name that only starts like the symbol, are not it.
    EXPECT_FALSE(vorn::wraps("! k(x) -[ ]-> k(hash(x));", "h"));
    EXPECT_TRUE(vorn::wraps("! k(x) -[ ]-> k(hash(x));", "hash"));
    // A variable named like the symbol is a variable.
    EXPECT_FALSE(vorn::wraps("! k(h) -[ ]-> k(pk(h[]));", "h"));
}

TEST_F(GrowthTest, ARuleLimitStopsTheCounterAndTheSectionNamesItsNestingAndLine) {
    parse("$ Ctr(*id, value);\n"
          "$ Reached(v);\n"
          "\n"
          "? -[ ]-> <Ctr(c[], x), Ctr(c[], s(x))>;\n"
          "! -[ Ctr(c[], x) ]-> Reached(x);\n"
          "% Ctr(c[], zero[]) * false;\n");
    vorn::record_parsed_model(provenance);
    stopper.admit_at_most = 12;
    vorn::Observers observers({&stopper, &provenance, &growth});
    vorn::Algorithm engine(&observers);
    std::string section = run(engine);
    ASSERT_TRUE(engine.stopped());
    // The rules it counts as held are the engine's: the refused one is not among them.
    std::vector<size_t> held = engine.set_sizes();
    held.resize(5);
    EXPECT_EQ(growth.held_by_set(), held);
    EXPECT_EQ(section.rfind("\nGrowth of the rule sets:\n\n", 0), 0u);
    EXPECT_NE(section.find("  1. depth 10, in the conclusion of a final rule"), std::string::npos) << section;
    EXPECT_NE(section.find("     nested along it: s 10 times\n"
                           "     model lines that nest s in its derivation, with the times each is used:\n"
                           "       line 4 (10 times): ? -[ ]-> <Ctr(c[], x), Ctr(c[], s(x))>;\n"),
              std::string::npos)
        << section;
    // The stop row: 11 final rules and the transfer rule.
    EXPECT_NE(section.find("       0       0       0       1      11      12    stop       1      10\n"),
              std::string::npos)
        << section;
    EXPECT_NE(section.find("  no state was held with more than one key\n"), std::string::npos);
}

TEST_F(GrowthTest, AStopBeforeAStepIsReportedAlikeAndKeysThatChangeAreCounted) {
    parse("$ S(*id);\n"
          "$ Box(*content);\n"
          "$ Opened(x);\n"
          "! -[ S(a[]) ]-> k(f(seed[]));\n"
          "! k(f(x)) -[ S(a[]) ]-> k(f(f(x)));\n"
          "! k(f(x)) -[ Box(f(x)) ]-> Opened(f(x));\n");
    vorn::record_parsed_model(provenance);
    stopper.steps_at_most = 40;
    vorn::Observers observers({&stopper, &provenance, &growth});
    vorn::Algorithm engine(&observers);
    std::string section = run(engine);
    ASSERT_TRUE(engine.stopped());
    EXPECT_EQ(engine.rules_tried(), 40u);
    std::vector<size_t> held = engine.set_sizes();
    held.resize(5);
    EXPECT_EQ(growth.held_by_set(), held);
    EXPECT_NE(section.find("       line 5 ("), std::string::npos) << section;
    // Every box of a final rule holds another hash: the keys of Box keep changing.
    size_t at = section.find("  Box: ");
    ASSERT_NE(at, std::string::npos) << section;
    EXPECT_EQ(section.find("  S: ", at), std::string::npos) << "S keeps its one key";
    EXPECT_NE(section.find("Opened(f(seed[]))"), std::string::npos) << "the widest rule and its conclusion";
}

TEST_F(GrowthTest, SamplesStayFewAndEvenlySpacedOverALongRun) {
    parse("$ S(*id);\n"
          "! -[ S(a[]) ]-> k(f(seed[]));\n"
          "! k(f(x)) -[ S(a[]) ]-> k(f(f(x)));\n");
    vorn::record_parsed_model(provenance);
    stopper.steps_at_most = 300;
    vorn::Observers observers({&stopper, &provenance, &growth});
    vorn::Algorithm engine(&observers);
    std::string section = run(engine);
    const auto& samples = growth.samples();
    ASSERT_GE(samples.size(), vorn::Growth::max_samples / 2);
    ASSERT_LE(samples.size(), vorn::Growth::max_samples);
    EXPECT_EQ(samples.front().tried, 0u);
    size_t spacing = samples[1].tried - samples[0].tried;
    EXPECT_EQ(spacing & (spacing - 1), 0u) << "the spacing doubles each time the samples are thinned";
    for (size_t i = 1; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].tried - samples[i - 1].tried, spacing);
        EXPECT_GE(samples[i].deepest, samples[i - 1].deepest);
    }
    // The table shows at most nine of them and the stop.
    size_t rows = 0;
    std::istringstream lines(section);
    for (std::string line; std::getline(lines, line);)
        rows += line.size() > 10 && line.find_first_not_of(' ') < 10 && std::isdigit(static_cast<unsigned char>(line[9]));
    EXPECT_EQ(rows, 10u) << section;
}
