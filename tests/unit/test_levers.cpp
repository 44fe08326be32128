#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <sstream>
#include <string>

#include "model_fixture.h"
#include "symbolic/know.h"
#include "symbolic/srule.h"
#include "symbolic/srule_levers.h"

// The rule rewrites of the saturation's levers. What they must not change
// (the target rules) is checked over whole corpora by compare_targets; these
// tests pin down what each rewrite does to one rule.

namespace {


struct Deleter {
    void operator()(sym::StateRule* rule) const { delete rule; }
};
using Rule = std::unique_ptr<sym::StateRule, Deleter>;

std::string known(const sym::StateRule* rule, size_t i) {
    std::ostringstream os;
    rule->knows().at(i).first->term()->info(os);
    return os.str();
}

}  // namespace

using Levers = ModelTest;

// A function is a constructor only with its construction and every
// projection, each without states; its premises and conclusions split,
// nested applications too, each part keeping the premise's moment.
TEST_F(Levers, ConstructorsAreFoundAndSplit) {
    parse("$ S(*p);\n$ e(x);\n"
          "! k(x), k(y) -[ ]-> k(pair(x, y));\n! k(pair(x, y)) -[ ]-> k(x);\n! k(pair(x, y)) -[ ]-> k(y);\n"
          "! k(x), k(y) -[ ]-> k(senc(x, y));\n! k(senc(x, y)), k(y) -[ ]-> k(x);\n"
          "! k(x) -[ ]-> k(g(x));\n! k(g(x)) -[ S(a[]) ]-> k(x);\n"
          "! k(pair(a[], pair(x, b[]))) -[ S(x) ]-> e(x);\n"
          "! -[ S(x) ]-> k(pair(x, senc(x, a[])));\n");
    sym::Constructors constructors = sym::Constructors::of(vorn::raw_const_rules);
    ASSERT_EQ(constructors.functions().size(), 1u);
    EXPECT_EQ(constructors.functions().begin()->second, 2u);

    sym::StateConstRule* consumer = const_rule(7);
    sym::SidSet moment = consumer->knows().at(0).second.second;
    ASSERT_TRUE(sym::split_constructor_premises(consumer, constructors));
    ASSERT_EQ(consumer->knows().size(), 3u);
    for (const auto& premise : consumer->knows()) EXPECT_EQ(premise.second.second, moment);
    EXPECT_FALSE(sym::split_constructor_premises(consumer, constructors));

    std::list<sym::StateConstRule*> parts = sym::split_constructor_conclusion(const_rule(8), constructors);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_NE(text(*parts.front()).find("]-> know(x@"), std::string::npos);
    EXPECT_NE(text(*parts.back()).find("]-> know(senc(x@"), std::string::npos);
    for (sym::StateConstRule* part : parts) delete part;
    EXPECT_TRUE(sym::split_constructor_conclusion(const_rule(5), constructors).empty());
}

// The versions of one process, made by composing two rules that name it,
// are unified where no step changes the state; not where one does; and a
// rule whose versions disagree there is contradictory.
TEST_F(Levers, VersionsAgreeWhereNoStepChangesThem) {
    parse("$ Key(*id, lock);\n$ Bad(x);\n"
          "! -[ Key(c[], h(a[])) ]-> k(cert(h(a[])));\n"
          "! k(cert(m)) -[ Key(c[], l) ]-> Bad(l);\n"
          "! k(cert(m)) -[ Key(c[], b[]) ]-> Bad(m);\n"
          "? -[ ]-> <Key(c[], x), Key(c[], h(x))>;\n");
    std::list<sym::StateRule*> free_lock = const_rule(0)->compose(0, const_rule(1));
    std::list<sym::StateRule*> fixed_lock = const_rule(0)->compose(0, const_rule(2));
    ASSERT_EQ(free_lock.size(), 1u);
    ASSERT_EQ(fixed_lock.size(), 1u);
    Rule two_versions(free_lock.front()), clashing(fixed_lock.front());
    ASSERT_EQ(two_versions->states().size(), 2u);

    sym::Invariants unchanging = sym::Invariants::of({});
    sym::StateRule* merged = nullptr;
    ASSERT_EQ(sym::merge_invariant_versions(two_versions.get(), unchanging, merged), sym::Merge::MERGED);
    Rule kept(merged);
    EXPECT_NE(text(*kept).find("]-> Bad(h(a[]))"), std::string::npos) << text(*kept);
    EXPECT_EQ(sym::merge_invariant_versions(kept.get(), unchanging, merged), sym::Merge::UNCHANGED);
    EXPECT_EQ(sym::merge_invariant_versions(clashing.get(), unchanging, merged), sym::Merge::CONTRADICTORY);

    sym::Invariants extended = sym::Invariants::of(vorn::raw_trans_rules);
    EXPECT_EQ(sym::merge_invariant_versions(clashing.get(), extended, merged), sym::Merge::UNCHANGED);
}

// The selection passes over a premise that resolves with the conclusion,
// and only when another one is left.
TEST_F(Levers, SelectionAvoidsThePremiseThatLoops) {
    parse("! k(g(x)), k(enc(x, y)) -[ ]-> k(g(h(x)));\n! k(g(x)), k(g(y)) -[ ]-> k(g(h(x)));\n");
    size_t chosen = sym::select_avoiding_loops(const_rule(0));
    ASSERT_NE(chosen, sym::StateRule::NONSELECTABLE);
    EXPECT_EQ(known(const_rule(0), chosen).rfind("enc(", 0), 0u);
    EXPECT_EQ(sym::select_avoiding_loops(const_rule(1)), const_rule(1)->select());
}

// Generalising deep terms gives a rule that implies the original, and leaves
// a term that holds a variable of concluded knowledge as it is.
TEST_F(Levers, GeneralisedRulesImplyTheirOriginal) {
    parse("$ S(*p, q);\n$ e(x);\n"
          "! -[ S(a[], s(s(s(x)))) ]-> e(s(s(s(x))));\n"
          "! -[ S(a[], s(s(s(x)))) ]-> k(f(x));\n");
    sym::StateConstRule* deep = const_rule(0);
    Rule general(sym::generalise_deep_terms(deep, 2));
    ASSERT_TRUE(general);
    ASSERT_TRUE(general->try_validate());
    EXPECT_EQ(sym::process_depth(general.get()), 2u);
    EXPECT_TRUE(static_cast<const sym::StateConstRule*>(general.get())->imply(deep));
    EXPECT_FALSE(deep->imply(static_cast<const sym::StateConstRule*>(general.get())));
    EXPECT_FALSE(sym::generalise_deep_terms(deep, 3));
    EXPECT_FALSE(sym::generalise_deep_terms(const_rule(1), 2));
}
