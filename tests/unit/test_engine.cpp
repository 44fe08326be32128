#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "model_fixture.h"
#include "symbolic/constant.h"
#include "symbolic/event.h"
#include "symbolic/indexer.h"
#include "symbolic/know.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/variable.h"
#include "vorn/saturation/algorithm.h"

using sym::StateConstRule;
using sym::StateRule;

namespace {

struct OpenRule : StateConstRule {
    using StateConstRule::StateConstRule;
    using StateRule::_partitions;
    using StateRule::_states;
};

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

template <class Rule>
void delete_all(std::list<Rule*>& rules) {
    for (Rule* rule : rules) delete rule;
    rules.clear();
}

}  // namespace

using Composition = ModelTest;

TEST_F(Composition, SameNamedProcessesOfOtherKeysGiveThreeCandidates) {
    parse("$ S(*p, v);\n"
          "! -[ S(z, w) ]-> k(f(z));\n"
          "! k(f(y)) -[ S(a[], u), S(b[], v) ]-> k(g(y));\n");
    std::list<StateRule*> results = const_rule(0)->compose(0, const_rule(1));
    ASSERT_EQ(results.size(), 3u);
    auto result = results.begin();
    // The highest consumer process first, the separate process last.
    EXPECT_NE(text(**result).find("]-> know(g(b[]))"), std::string::npos);
    EXPECT_EQ((*result)->partitions().size(), 2u);
    ++result;
    EXPECT_NE(text(**result).find("]-> know(g(a[]))"), std::string::npos);
    ++result;
    EXPECT_EQ((*result)->partitions().size(), 3u);
    EXPECT_TRUE(std::regex_search(text(**result), std::regex("know\\(g\\(z@[0-9]+\\)\\)")));
    delete_all(results);
}

TEST_F(Composition, ConfigurationsOnlyResolveConfigurations) {
    parse("$ S(*p);\n"
          "! -[ S(a[]) ]-> k(|c|);\n"
          "! k(f(y)) -[ ]-> k(g(y));\n"
          "! -[ S(b[]) ]-> k(f(b[]));\n"
          "! k(|d|), k(h(|d|)) -[ ]-> k(h(h(|d|)));\n");
    EXPECT_TRUE(const_rule(0)->compose(0, const_rule(1)).empty());
    EXPECT_TRUE(const_rule(2)->compose(1, const_rule(3)).empty());

    // A provider process unknown to the consumer stays a process of its own;
    // a consumer without states takes over the provider's latest states.
    std::list<StateRule*> results = const_rule(2)->compose(0, const_rule(1));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results.front()->partitions().size(), 1u);
    EXPECT_EQ(results.front()->latest().size(), 1u);
    EXPECT_EQ(results.front()->latest(), StateRule::SIDs{results.front()->states().begin()->first});
    delete_all(results);
}

TEST(Transfer, CoverSetsAreVisitedInSetOrder) {
    sym::Indexer indexer;
    sym::Event* goal = indexer.event("E");
    goal->append(false, indexer.variable("x"));
    OpenRule rule(goal);
    for (const char* value : {"x", "y"}) {
        sym::State* state = indexer.state("S");
        state->append(true, indexer.constant("a"));
        state->append(false, indexer.variable(value));
        rule.add_state(state);
    }
    // One process whose first state holds until the second: covers {1, 2} then {2}.
    rule._partitions = {{{1, 2}, {}}};
    rule._states.at(1).second = {1, 2};
    rule._states.at(2).second = {2};

    indexer.clear();
    sym::StateTransRule step;
    sym::State* from = indexer.state("S");
    from->append(true, indexer.constant("a"));
    from->append(false, indexer.variable("u"));
    sym::State* to = indexer.state("S");
    to->append(true, indexer.constant("a"));
    to->append(false, indexer.variable("v"));
    step.add_conversion(from, to);

    std::list<StateConstRule*> results = step.transfer(&rule);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results.front()->states().size(), 1u);  // both states replaced by the source
    EXPECT_EQ(results.back()->states().size(), 2u);   // the first state stays beside the source
    for (const StateConstRule* result : results) {
        ASSERT_EQ(result->partitions().size(), 1u);
        EXPECT_EQ(result->partitions()[0].second.size(), 1u);
    }
    delete_all(results);
}

TEST_F(Composition, TransferNeedsAProcessForEveryConversion) {
    parse("$ S(*p); $ T(*p); $ E(m);\n"
          "! -[ S(a[]) ]-> E(a[]);\n"
          "? -[ ]-> <, T(a[])>;\n"
          "? -[ ]-> <S(b[]), S(a[])>;\n"
          "? -[ ]-> <, S(a[])>;\n");
    EXPECT_TRUE(trans_rule(0)->transfer(const_rule()).empty());
    std::list<StateConstRule*> moved = trans_rule(1)->transfer(const_rule());
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_NE(text(*moved.front()).find("S(*b[])"), std::string::npos);
    std::list<StateConstRule*> created = trans_rule(2)->transfer(const_rule());
    ASSERT_EQ(created.size(), 1u);
    EXPECT_TRUE(created.front()->states().empty());
    EXPECT_EQ(created.front()->past_states().size(), 1u);
    delete_all(moved);
    delete_all(created);
}

using Implication = ModelTest;

TEST_F(Implication, GeneralRulesImplySpecificOnes) {
    parse("$ A(*p);\n"
          "! k(f(x)) -[ ]-> k(g(x));\n"
          "! k(f(x)), k(h(x)) -[ ]-> k(g(x));\n"
          "! k(f(x)), k(h(x)) -[ ]-> k(c[]);\n"
          "! k(f(a[])), k(h(b[])) -[ ]-> k(c[]);\n"
          "! k(f(a[])), k(h(a[])) -[ ]-> k(c[]);\n");
    EXPECT_TRUE(const_rule(0)->imply(const_rule(1)));
    EXPECT_FALSE(const_rule(1)->imply(const_rule(0)));
    // Premises that match one by one but need two values for x.
    EXPECT_FALSE(const_rule(2)->imply(const_rule(3)));
    EXPECT_TRUE(const_rule(2)->imply(const_rule(4)));
}

TEST_F(Implication, ConversionsAreComparedPositionByPosition) {
    parse("$ A(*p, v);\n"
          "! k(a[]) -[ ]-> k(b[]);\n"
          "? -[ ]-> <, A(a[], x)>;\n"
          "? -[ ]-> <A(a[], y), A(a[], x)>;\n"
          "? -[ ]-> <, A(a[], c[])>;\n"
          "? -[ ]-> <, A(a[], c[])>, <, A(b[], c[])>;\n");
    EXPECT_FALSE(trans_rule(0)->imply(trans_rule(1)));
    EXPECT_FALSE(trans_rule(1)->imply(trans_rule(0)));
    EXPECT_TRUE(trans_rule(0)->imply(trans_rule(2)));
    EXPECT_FALSE(trans_rule(2)->imply(trans_rule(0)));
    // More conversions than the other rule has: no implication.
    EXPECT_FALSE(trans_rule(3)->imply(trans_rule(2)));
    EXPECT_TRUE(trans_rule(2)->imply(trans_rule(3)));
}

TEST_F(Implication, StateOrderMustBePreserved) {
    parse("$ A(*p); $ B(*p); $ E(m);\n"
          "! k(m[]) -[ A(x), B(y) ]-> E(f(x, y));\n"
          "! k(m[]) -[ B(y), A(x) ]-> E(f(x, y));\n");
    // A then B is not B then A.
    EXPECT_FALSE(const_rule(0)->imply(const_rule(1)));
    EXPECT_FALSE(const_rule(1)->imply(const_rule(0)));
}

using Engine = ModelTest;

TEST_F(Engine, HeldRulesRejectEqualNewcomersAndYieldToGeneralOnes) {
    parse("! k(f(a[])) -[ ]-> k(g(a[]));\n"
          "! k(f(b[])) -[ ]-> k(g(b[]));\n"
          "! k(f(a[])) -[ ]-> k(g(a[]));\n"
          "! k(f(x)) -[ ]-> k(g(x));\n");
    vorn::Algorithm engine;
    testing::internal::CaptureStdout();
    engine.close_const_rule(vorn::raw_const_rules);
    std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count(trace, "Adding failed. \n"), 1u);
    EXPECT_EQ(count(trace, "Adding Successful. \n"), 3u);
    EXPECT_EQ(count(trace, "\n-------------------------------------------\n\n"), 4u);
    EXPECT_TRUE(vorn::raw_const_rules.empty());
    EXPECT_EQ(engine.rule_count(), 1u);

    std::ostringstream report;
    engine.print_se_const_rules(report);
    EXPECT_EQ(report.str(), "Selectable Consistent Rules. \n\nSelect Rule at 0:\nknow(f(x@5)) : \n--[\n"
                            "]-> know(g(x@5))\n\n");
}

TEST_F(Engine, ConfigurationVariantIsQueuedEvenForRejectedConsistentRules) {
    parse("! k(|c|), k(x) -[ ]-> k(g(|c|, x));\n"
          "! k(|d|), k(y) -[ ]-> k(g(|d|, y));\n");
    vorn::Algorithm engine;
    testing::internal::CaptureStdout();
    engine.close_const_rule(vorn::raw_const_rules);
    std::string trace = testing::internal::GetCapturedStdout();
    // Two originals and their two variants, which select nothing.
    EXPECT_EQ(count(trace, "Try Add Selectable Consistent Rule at 0:"), 2u);
    EXPECT_EQ(count(trace, "Try Add Nonselectable Consistent Rule:"), 2u);
    EXPECT_EQ(count(trace, "Adding failed. "), 2u);
    EXPECT_EQ(engine.rule_count(), 2u);
}

TEST_F(Engine, ConfigurationVariantOfTransferRulesOnlyAfterAcceptance) {
    parse("$ A(*p);\n"
          "! k(a[]) -[ ]-> k(b[]);\n"
          "? k(|c|) -[ ]-> <A(a[]), A(|c|)>;\n"
          "? k(|d|) -[ ]-> <A(a[]), A(|d|)>;\n");
    vorn::Algorithm engine;
    testing::internal::CaptureStdout();
    engine.close_const_rule(vorn::raw_const_rules);
    engine.close_trans_rule(vorn::raw_trans_rules);
    std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count(trace, "Try Add Selectable Transfer Rule at 0:"), 2u);
    EXPECT_EQ(count(trace, "Try Add Nonselectable Transfer Rule:"), 1u);
    EXPECT_EQ(count(trace, "Adding failed. "), 1u);
}

TEST_F(Engine, FinalRulesNeverRemoveOlderOnes) {
    parse("$ E(m);\n"
          "! -[ ]-> E(a[]);\n"
          "! -[ ]-> E(x);\n"
          "! -[ ]-> E(b[]);\n");
    vorn::Algorithm engine;
    testing::internal::CaptureStdout();
    engine.close_const_rule(vorn::raw_const_rules);
    engine.complete();
    engine.analysis({});
    std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(count(trace, "Try Add Final Consistent Rule:"), 3u);
    EXPECT_EQ(count(trace, "Adding failed. "), 1u);
    // Without transfer rules the walk prints one empty line; an empty query reaches every final rule.
    EXPECT_EQ(count(trace, "Analysis Accessability : "), 2u);
    EXPECT_EQ(engine.rule_count(), 4u);
}

TEST_F(Engine, FinalRulesFromTransfersAreTransferredInTheSameWalk) {
    parse("$ S(*p, v); $ E(m);\n"
          "! -[ S(a[], c[]) ]-> E(a[]);\n"
          "? -[ ]-> <S(a[], b[]), S(a[], c[])>;\n"
          "? -[ ]-> <S(a[], d[]), S(a[], b[])>;\n"
          "% S(a[], d[]) * false;\n");
    vorn::Algorithm engine;
    testing::internal::CaptureStdout();
    engine.close_const_rule(vorn::raw_const_rules);
    engine.close_trans_rule(vorn::raw_trans_rules);
    engine.complete();
    engine.analysis(vorn::raw_accessable_states);
    std::string trace = testing::internal::GetCapturedStdout();
    // c from b, b from d: three final rules, each walked through both transfer rules.
    EXPECT_EQ(count(trace, "Transfer rule :"), 6u);
    EXPECT_EQ(count(trace, "Try Add Final Consistent Rule:"), 3u);
    EXPECT_EQ(count(trace, "Accessability Successful :"), 1u);
    std::ostringstream report;
    engine.print_target_rules(report);
    EXPECT_NE(report.str().find("S(*a[], d[])"), std::string::npos);
    EXPECT_EQ(engine.rule_count(), 6u);
}
