#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "model_fixture.h"
#include "symbolic/constant.h"
#include "symbolic/function.h"
#include "symbolic/implication.h"
#include "symbolic/indexer.h"
#include "symbolic/namer.h"
#include "symbolic/nonce.h"
#include "symbolic/renamer.h"
#include "symbolic/srule.h"
#include "symbolic/unifier.h"
#include "symbolic/variable.h"

using sym::StateConstRule;
using sym::StateRule;
using sym::StateTransRule;

namespace {

// Every answer of the implication test must be the reference algorithm's,
// and must issue exactly the names the reference issues.
class FastImplication : public ModelTest {
protected:
    template <class Rule>
    static bool implies(const Rule* general, const Rule* specific) {
        size_t before = sym::namer.index();
        bool reference = general->imply_reference(specific);
        size_t reference_names = sym::namer.index() - before;
        before = sym::namer.index();
        bool answer = general->imply(specific);
        EXPECT_EQ(sym::namer.index() - before, reference_names) << "names issued differ";
        EXPECT_EQ(answer, reference) << "answer differs from the reference";
        if (reference) {
            EXPECT_TRUE(sym::may_imply(general, specific)) << "the quick test rejected an implication";
        }
        return answer;
    }

    template <class Rule>
    static std::unique_ptr<Rule> renamed_copy(const Rule* rule) {
        sym::Unifier unifier;
        std::unique_ptr<Rule> copy(static_cast<Rule*>(rule->map(unifier, StateRule::NONSELECTABLE)));
        sym::Renamer renamer;
        copy->rename(renamer);
        return copy;
    }
};

}  // namespace

TEST_F(FastImplication, FewerPremisesImplyMoreAndNotTheReverse) {
    parse("! k(x) -[ ]-> k(f(x));\n"
          "! k(x), k(c[]) -[ ]-> k(f(x));\n");
    EXPECT_TRUE(implies(const_rule(0), const_rule(1)));
    EXPECT_FALSE(implies(const_rule(1), const_rule(0)));
}

TEST_F(FastImplication, OneVariableMustMeetOneTermEverywhere) {
    parse("! k(x), k(h(x)) -[ ]-> k(g(x));\n"
          "! k(a[]), k(h(b[])) -[ ]-> k(g(a[]));\n"
          "! k(a[]), k(h(a[])) -[ ]-> k(g(a[]));\n");
    EXPECT_FALSE(implies(const_rule(0), const_rule(1)));
    EXPECT_TRUE(implies(const_rule(0), const_rule(2)));
    EXPECT_FALSE(implies(const_rule(2), const_rule(0)));
}

TEST_F(FastImplication, PremisesMatchInjectivelyInAnyOrder) {
    // Both general premises could match the first specific one; only the
    // assignment that uses each specific premise once succeeds.
    parse("! k(p(x)), k(p(y)) -[ ]-> k(g(x, y));\n"
          "! k(p(b[])), k(p(a[])), k(c[]) -[ ]-> k(g(a[], b[]));\n"
          "! k(p(a[])), k(c[]) -[ ]-> k(g(a[], a[]));\n");
    EXPECT_TRUE(implies(const_rule(0), const_rule(1)));
    EXPECT_FALSE(implies(const_rule(0), const_rule(2)));
}

TEST_F(FastImplication, StatesEventsAndNoncesTakePart) {
    parse("$ S(*s, v); $ E(*n, v);\n"
          "! E([n], x) -[ S(a[], x) ]-> k(f([n]));\n"
          "! E([m], b[]) -[ S(a[], b[]) ]-> k(f([m]));\n"
          "! E([m], b[]) -[ S(a[], c[]) ]-> k(f([m]));\n"
          "! E([m], b[]) -[ S(d[], b[]) ]-> k(f([m]));\n");
    EXPECT_TRUE(implies(const_rule(0), const_rule(1)));
    EXPECT_FALSE(implies(const_rule(0), const_rule(2)));
    EXPECT_FALSE(implies(const_rule(0), const_rule(3)));
    EXPECT_FALSE(implies(const_rule(1), const_rule(0)));
}

TEST_F(FastImplication, ARuleAndItsCopyImplyEachOtherAndItself) {
    parse("$ S(*s, v);\n"
          "! k(x), k(enc(x, y)) -[ S(a[], y) ]-> k(pair(x, y));\n");
    auto copy = renamed_copy(const_rule(0));
    EXPECT_TRUE(implies(const_rule(0), copy.get()));
    EXPECT_TRUE(implies(copy.get(), const_rule(0)));
    // A rule shares every symbol with itself; the fast matcher leaves that to the reference.
    EXPECT_TRUE(implies(const_rule(0), const_rule(0)));
}

TEST_F(FastImplication, ConfigurationsAreMatchedByTheReferenceWithItsNames) {
    parse("! k(|c|), k(h(|c|)) -[ ]-> k(f(|c|));\n"
          "! k(g(y)), k(h(g(y))) -[ ]-> k(f(g(y)));\n"
          "! k(g(y)), k(h(g(z))) -[ ]-> k(f(g(y)));\n");
    EXPECT_FALSE(const_rule(0)->features().quick.pure);
    EXPECT_TRUE(implies(const_rule(0), const_rule(1)));
    EXPECT_FALSE(implies(const_rule(0), const_rule(2)));
    EXPECT_FALSE(implies(const_rule(1), const_rule(0)));
}

TEST_F(FastImplication, TransferRulesCompareConversionsByPosition) {
    parse("$ A(*s, v); $ B(*s, v);\n"
          "? k(x) -[ ]-> <A(s[], x), B(s[], x)>;\n"
          "? k(y), k(c[]) -[ ]-> <A(s[], y), B(s[], y)>;\n"
          "? k(y) -[ ]-> <, B(s[], y)>;\n"
          "? k(y) -[ ]-> <A(s[], y), B(s[], y)>, <, A(t[], y)>;\n");
    EXPECT_TRUE(implies(trans_rule(0), trans_rule(1)));
    EXPECT_FALSE(implies(trans_rule(1), trans_rule(0)));
    // A converting and a creating conversion never match.
    EXPECT_FALSE(implies(trans_rule(0), trans_rule(2)));
    EXPECT_FALSE(implies(trans_rule(2), trans_rule(0)));
    // Extra conversions of the specific rule are not compared.
    EXPECT_TRUE(implies(trans_rule(0), trans_rule(3)));
    EXPECT_FALSE(implies(trans_rule(3), trans_rule(0)));
}

TEST_F(FastImplication, TwoAritiesOfOneSymbolLeaveTheModelErrorWhereItWas) {
    parse("! k(x) -[ ]-> k(f(x));\n"
          "! k(x), k(y) -[ ]-> k(f(x, y));\n");
    // Both rules are seen by the quick test before either is matched.
    EXPECT_TRUE(sym::may_imply(const_rule(0), const_rule(1)));
    EXPECT_FALSE(sym::arities_consistent());
    EXPECT_THROW(const_rule(0)->imply(const_rule(1)), common::UserError);
}

TEST_F(FastImplication, FeaturesFollowChangesOfTheRule) {
    parse("! k(x), k(c[]) -[ ]-> k(f(x));\n");
    StateConstRule* rule = const_rule(0);
    EXPECT_EQ(rule->features().quick.knows, 2u);
    sym::Renamer renamer;
    rule->rename(renamer);
    EXPECT_EQ(rule->features().quick.knows, 2u);
    EXPECT_TRUE(rule->features().fast_general);
}

TEST(Matcher, BindsOnceComparesAfterwardsAndUndoes) {
    sym::Indexer indexer;
    auto function = [&](const std::string& name, std::vector<sym::Term*> arguments) {
        sym::Function* f = indexer.function(name);
        for (sym::Term* argument : arguments) f->append(argument);
        return std::unique_ptr<sym::Term, sym::TermRelease>(f);
    };
    auto pattern = function("f", {indexer.variable("x"), indexer.variable("x")});
    auto same = function("f", {indexer.constant("a"), indexer.constant("a")});
    auto different = function("f", {indexer.constant("a"), indexer.constant("b")});
    auto nonce = function("f", {indexer.nonce("n"), indexer.nonce("n")});
    std::unique_ptr<sym::Term, sym::TermRelease> fresh(indexer.nonce("m"));
    std::unique_ptr<sym::Term, sym::TermRelease> variable(indexer.variable("v"));

    sym::Matcher matcher;
    EXPECT_TRUE(matcher.term(pattern.get(), same.get()));
    size_t mark = matcher.mark();
    EXPECT_FALSE(matcher.term(pattern.get(), different.get()));
    matcher.undo(0);
    EXPECT_FALSE(matcher.term(pattern.get(), different.get()));
    matcher.undo(0);
    EXPECT_TRUE(matcher.term(pattern.get(), nonce.get()));
    EXPECT_EQ(mark, 1u);
    // A nonce matches only a nonce.
    EXPECT_FALSE(matcher.term(fresh.get(), variable.get()));
    EXPECT_FALSE(matcher.unsure());
    // A symbol of both sides is left to the reference.
    EXPECT_FALSE(matcher.term(fresh.get(), fresh.get()));
    EXPECT_TRUE(matcher.unsure());
}
