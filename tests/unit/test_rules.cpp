#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <tuple>

#include "common/runtime.h"
#include "model_fixture.h"
#include "symbolic/constant.h"
#include "symbolic/event.h"
#include "symbolic/implication.h"
#include "symbolic/indexer.h"
#include "symbolic/know.h"
#include "symbolic/namer.h"
#include "symbolic/renamer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"
#include "symbolic/variable.h"

using sym::StateRule;

namespace {

// Exposes the rule's process bookkeeping so tests can set up engine-made shapes.
struct OpenRule : sym::StateConstRule {
    using StateConstRule::StateConstRule;
    using StateRule::_partitions;
    using StateRule::_states;
};

sym::State* state(sym::Indexer& indexer, const std::string& predicate, const std::string& key,
                  const std::string& value) {
    sym::State* result = indexer.state(predicate);
    result->append(true, indexer.constant(key));
    result->append(false, indexer.variable(value));
    return result;
}

}  // namespace

using RuleModel = ModelTest;

TEST_F(RuleModel, StateIdentifiersContinueAcrossRules) {
    parse("$ A(*p); $ B(*p);\n"
          "! k(x) -[ A(a[]), B(a[]) ]-> k(f(x));\n"
          "! k(y) -[ A(b[]) ]-> k(g(y));\n");
    ASSERT_EQ(vorn::raw_const_rules.size(), 2u);
    EXPECT_EQ(text(*const_rule(0)),
              "know(x@0) : 1, 2\n--[\n1 - A(*a[]) : [1]\n2 - B(*a[]) : [1, 2]\n]-> know(f(x@0))\n");
    EXPECT_EQ(const_rule(1)->states().begin()->first, 3u);
    EXPECT_EQ(const_rule(0)->partitions().size(), 2u);
}

TEST(RuleBuilding, EveryStateResetsTheKnowledgeSets) {
    sym::Indexer indexer;
    sym::StateConstRule rule(indexer.know(indexer.constant("goal")));
    rule.add_predicate(indexer.know(indexer.constant("k1")));
    rule.add_state(state(indexer, "S", "a", "x"));
    rule.add_predicate(indexer.know(indexer.constant("k2")));
    EXPECT_EQ(rule.knows()[1].second.second, StateRule::SIDs{1});
    rule.add_state(state(indexer, "S", "b", "y"));
    for (const auto& know : rule.knows()) EXPECT_EQ(know.second.second, (StateRule::SIDs{1, 2}));
    EXPECT_EQ(rule.latest(), (StateRule::SIDs{1, 2}));

    sym::Event* event = indexer.event("E");
    event->append(false, indexer.constant("a"));
    rule.add_predicate(event);
    std::ostringstream os;
    rule.info(os);
    EXPECT_EQ(os.str(),
              "know(k1[]) : 1, 2, \nknow(k2[]) : 1, 2, \nE(a[])\n--[\n1 - S(*a[], x@5) : [1]\n"
              "2 - S(*b[], y@8) : [1, 2]\n]-> know(goal[])\n");

    // Timed knowledge and states are not premises; the fact stays the caller's.
    std::unique_ptr<sym::Fact> refused(indexer.state("S"));
    EXPECT_THROW(rule.add_predicate(refused.get()), common::UserError);
}

TEST_F(RuleModel, TransferRulePrintsCreatingConversionsAsEmpty) {
    parse("$ A(*p, v); $ B(*p);\n"
          "! k(a[]) -[ ]-> k(b[]);\n"
          "? k(m[]) -[ A(a[], x) ]-> <A(a[], x), A(a[], f(x))>, <, B(c[])>;\n");
    EXPECT_EQ(text(*trans_rule()),
              "know(m[]) : 1\n--[\n1 - A(*a[], x@4) : [1]\n]-> \n<A(*a[], x@4), A(*a[], f(x@4))>\n"
              "<[EMPTY], B(*c[])>\n");
    EXPECT_EQ(trans_rule()->select(), 0u);
}

TEST_F(RuleModel, SelectionSkipsVariablesAndClearedConfigurations) {
    parse("$ E(m);\n! k(x), k(|c|), k(f(x)), E(x) -[ ]-> k(g(x, |c|));\n");
    StateRule* rule = const_rule();
    // After validation: function, configuration, variable.
    ASSERT_EQ(rule->knows().size(), 3u);
    EXPECT_EQ(rule->select(), 0u);
    EXPECT_FALSE(rule->is_confg_at(0));
    EXPECT_TRUE(rule->is_confg_at(1));
    rule->set_nonselectable_at(0);  // only configurations consult the flag
    EXPECT_EQ(rule->select(), 0u);

    sym::Unifier empty;
    std::unique_ptr<StateRule> rest(rule->map(empty, 0));
    ASSERT_EQ(rest->knows().size(), 2u);
    EXPECT_EQ(rest->select(), 0u);
    rest->set_nonselectable_at(0);
    EXPECT_EQ(rest->select(), StateRule::NONSELECTABLE);
    std::unique_ptr<StateRule> all(rule->map(empty, StateRule::NONSELECTABLE));
    EXPECT_EQ(text(*all), text(*rule));
}

TEST_F(RuleModel, RenameGivesFreshNamesAndStateIdentifiers) {
    parse("$ A(*p, v);\n! k(x) -[ A(a[], x), A(b[], y) ]-> k(f(x, y));\n");
    sym::StateConstRule* rule = const_rule();
    sym::Unifier empty;
    std::unique_ptr<sym::StateConstRule> copy(static_cast<sym::StateConstRule*>(rule->map(empty, StateRule::NONSELECTABLE)));
    sym::Renamer renamer;
    copy->rename(renamer);
    // Conclusion first, so its variables take the first fresh identifiers.
    EXPECT_EQ(text(*copy), "know(x@7) : 3, 4\n--[\n3 - A(*a[], x@7) : [3]\n4 - A(*b[], y@8) : [3, 4]\n"
                           "]-> know(f(x@7, y@8))\n");
    EXPECT_EQ(copy->partitions().size(), 2u);
    EXPECT_EQ(copy->partitions()[1].first, StateRule::SIDs{4});
    EXPECT_EQ(copy->latest(), (StateRule::SIDs{3, 4}));
    EXPECT_TRUE(rule->imply(copy.get()));
    EXPECT_TRUE(copy->imply(rule));
}

TEST(RuleRename, DropsProcessesWithoutStates) {
    sym::Indexer indexer;
    OpenRule rule(indexer.know(indexer.constant("goal")));
    rule.add_predicate(indexer.know(indexer.constant("k")));
    rule.add_state(state(indexer, "S", "a", "x"));
    rule._partitions.push_back({{99}, {}});
    sym::Renamer renamer;
    rule.rename(renamer);
    ASSERT_EQ(rule.partitions().size(), 1u);
    EXPECT_EQ(rule.partitions()[0].first, StateRule::SIDs{2});
}

TEST_F(RuleModel, EventsSharingAFreshNonceAreOneEvent) {
    parse("$ E(*n, m);\n! k(f(x)), E([n], a[]), E([n], x) -[ ]-> k(g(x));\n");
    EXPECT_EQ(text(*const_rule()), "know(f(a[])) : , \nE(*[n@3], a[])\n--[\n]-> know(g(a[]))\n");
}

TEST_F(RuleModel, PremisesEqualUnderTheSubstitutionAreMerged) {
    parse("$ E(*n, m);\n! k(f(x)), k(f(y)), E([n], x), E([n], y) -[ ]-> k(g(x, y));\n");
    StateRule* rule = const_rule();
    ASSERT_EQ(rule->knows().size(), 1u);
    ASSERT_EQ(rule->events().size(), 1u);
}

TEST_F(RuleModel, EqualEventsThatDrawNoFreshNonceAreNotMerged) {
    // Knowledge premises merge when equal; events only through a fresh nonce.
    parse("$ E(x);\n$ G(*n, m);\n! E(a[]), E(a[]), G([p], a[]), G([q], a[]), k(c[]), k(c[]) -[ ]-> k(b[]);\n");
    StateRule* rule = const_rule();
    EXPECT_EQ(rule->knows().size(), 1u);
    EXPECT_EQ(rule->events().size(), 4u);
}

TEST_F(RuleModel, ContradictoryRulesAreRejected) {
    // Two processes with one key.
    EXPECT_THROW(parse("$ S(*p);\n! -[ S(a[]), S(a[]) ]-> k(b[]);\n"), common::UserError);
    vorn::release_model();
    // A rule that derives what it assumes.
    EXPECT_THROW(parse("! k(f(a[])) -[ ]-> k(f(a[]));\n"), common::UserError);
    vorn::release_model();
    // Unconstrained premises are dropped.
    parse("$ S(*p);\n! k(x), k(f(y)) -[ S(y) ]-> k(g(y));\n");
    ASSERT_EQ(const_rule()->knows().size(), 1u);
    EXPECT_EQ(const_rule()->knows()[0].first->term()->type(), sym::Term::FUNCT);
}

TEST_F(RuleModel, VariableConclusionWithoutSelectablePremiseIsAModelError) {
    testing::internal::CaptureStdout();
    try {
        parse("$ E(m);\n! E(x) -[ ]-> k(x);\n");
        FAIL() << "expected a model error";
    } catch (const common::UserError& error) {
        EXPECT_EQ(error.function(), "simplify");
        EXPECT_EQ(error.detail(), "if predicates are in set N, the conclusion should not be a variable");
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "E(x@0)\n--[\n]-> know(x@0)\n");
    vorn::release_model();
    // With a premise knowing the same variable the rule assumes its conclusion instead.
    EXPECT_THROW(parse("$ E(m);\n! k(x), E(x) -[ ]-> k(x);\n"), common::UserError);
}

TEST(RuleValidation, PastStateWithTheKeyOfAStateIsContradictory) {
    sym::Indexer indexer;
    // Built through a transfer with a creating conversion: the replaced state
    // becomes a past state, and a state with its key is then impossible.
    std::unique_ptr<sym::StateTransRule> transfer(new sym::StateTransRule());
    sym::State* created = indexer.state("S");
    created->append(true, indexer.constant("a"));
    transfer->add_conversion(nullptr, created);
    ASSERT_TRUE(transfer->try_validate());

    sym::Event* event = indexer.event("E");
    event->append(false, indexer.constant("m"));
    std::unique_ptr<sym::StateConstRule> target(new sym::StateConstRule(event));
    sym::State* held = indexer.state("S");
    held->append(true, indexer.constant("a"));
    target->add_state(held);
    ASSERT_TRUE(target->try_validate());

    std::list<sym::StateConstRule*> results = transfer->transfer(target.get());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results.front()->states().empty());
    EXPECT_EQ(results.front()->past_states().size(), 1u);
    for (auto* rule : results) delete rule;
}

// A transfer leaves out the conversion maps that cover a state unable to
// unify with its conversion's target, once both rules' features are known.
// Run with and without that, from the same counters, it must make the same
// rules and issue the same names and state identifiers.
TEST(RuleTransfer, MapsLeftOutForStatesThatCannotUnifyChangeNothing) {
    sym::forget_arities();
    // The counters as they were, for the tests that follow.
    const sym::Name::ID names_before = sym::namer.index();
    const size_t sids_before = StateRule::_sid;
    sym::Indexer indexer;
    auto phase = [&](const std::string& predicate, const std::string& key, bool constant_key,
                     const std::string& at, const std::string& value) {
        sym::State* result = indexer.state(predicate);
        result->append(true, constant_key ? static_cast<sym::Term*>(indexer.constant(key))
                                          : static_cast<sym::Term*>(indexer.variable(key)));
        result->append(false, indexer.constant(at));
        result->append(false, indexer.variable(value));
        return result;
    };
    // A step that moves a process of S from p1 to p2 and creates another in p2.
    std::unique_ptr<sym::StateTransRule> step(new sym::StateTransRule());
    step->add_conversion(phase("S", "k", false, "p1", "v"), phase("S", "k", false, "p2", "v"));
    step->add_conversion(nullptr, phase("S", "n", false, "p2", "w"));
    ASSERT_TRUE(step->try_validate());
    // Four processes of S: two in p2, which the step may have made, two in
    // phases it cannot have made, and a process of T.
    sym::Event* event = indexer.event("E");
    event->append(false, indexer.variable("x"));
    std::unique_ptr<sym::StateConstRule> final_rule(new sym::StateConstRule(event));
    final_rule->add_state(phase("S", "a", true, "p2", "x"));
    final_rule->add_state(phase("S", "b", true, "p3", "y"));
    final_rule->add_state(phase("S", "c", true, "p2", "z"));
    final_rule->add_state(phase("S", "d", true, "p0", "u"));
    final_rule->add_state(phase("T", "e", true, "p2", "x"));
    ASSERT_TRUE(final_rule->try_validate());

    const sym::Name::ID names = sym::namer.index();
    const size_t sids = StateRule::_sid;
    auto transfer = [&] {
        sym::namer.reissue_from(names);
        StateRule::_sid = sids;
        std::ostringstream made;
        for (sym::StateConstRule* rule : step->transfer(final_rule.get())) {
            rule->info(made);
            delete rule;
        }
        return std::make_tuple(made.str(), sym::namer.index(), StateRule::_sid);
    };
    auto plain = transfer();
    EXPECT_FALSE(std::get<0>(plain).empty());
    step->features();
    final_rule->features();
    ASSERT_TRUE(sym::arities_consistent());
    EXPECT_EQ(transfer(), plain);
    sym::namer.reissue_from(names_before);
    StateRule::_sid = sids_before;
}

TEST(RuleValidation, RedundantStatesFoldIntoOneOfThem) {
    sym::Indexer indexer;
    OpenRule rule(indexer.know(indexer.constant("goal")));
    rule.add_predicate(indexer.know(indexer.constant("k")));
    rule.add_state(state(indexer, "S", "a", "x"));
    rule.add_state(state(indexer, "S", "a", "y"));
    rule._partitions = {{{1, 2}, {}}};
    ASSERT_TRUE(rule.try_validate());
    ASSERT_EQ(rule.states().size(), 1u);
    EXPECT_EQ(rule.states().begin()->first, 1u);
    EXPECT_EQ(rule.knows()[0].second.second, (StateRule::SIDs{1, 2}));

    // Two states each later than the other: only the earlier one is folded away.
    OpenRule mutual(indexer.know(indexer.constant("goal")));
    mutual.add_predicate(indexer.know(indexer.constant("k")));
    mutual.add_state(state(indexer, "S", "a", "u"));
    mutual.add_state(state(indexer, "S", "a", "v"));
    mutual._partitions = {{{3, 4}, {}}};
    mutual._states.at(3).second = {3, 4};
    ASSERT_TRUE(mutual.try_validate());
    ASSERT_EQ(mutual.states().size(), 1u);
    EXPECT_EQ(mutual.states().begin()->first, 4u);
}

TEST_F(RuleModel, AccessMatchesEachProcessToAQueriedState) {
    // Queried states are instances of the rule's states.
    parse("$ A(*p); $ E(*n);\n! -[ A(x), A(y) ]-> E([n]);\n% A(a[]) * false;\n");
    sym::StateConstRule* rule = const_rule();
    EXPECT_EQ(rule->accessable(vorn::raw_accessable_states), nullptr);

    vorn::raw_accessable_states[0].second = true;
    std::unique_ptr<StateRule> target(rule->accessable(vorn::raw_accessable_states));
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->states().size(), 2u);
    // Each attempt renames its copy, also the one that found no match.
    EXPECT_EQ(target->states().begin()->first, 5u);

    // Two distinct queried states may each take one process.
    sym::Indexer indexer;
    sym::State* second = indexer.state("A");
    second->append(true, indexer.constant("b"));
    vorn::raw_accessable_states[0].second = false;
    vorn::raw_accessable_states.emplace_back(second, false);
    std::unique_ptr<StateRule> both(rule->accessable(vorn::raw_accessable_states));
    EXPECT_NE(both, nullptr);
}
