// Extending fact pairings by one fact against its candidates.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "symbolic/combinator.h"
#include "symbolic/constant.h"
#include "symbolic/know.h"
#include "symbolic/namer.h"
#include "symbolic/unifier.h"

using namespace sym;

namespace {

typedef std::vector<std::vector<std::pair<const Fact*, const Fact*>>> Pairings;

Know* know(const char* text) { return new Know(new Constant(namer.constant(text))); }

}  // namespace

TEST(Combinator, ExtendsEveryPairingByEveryCandidate) {
    Know *f = know("f"), *g = know("g"), *a = know("a"), *b = know("b"), *c = know("c");
    Pairings pairings(1);
    combinator.combine(f, {a, b, c}, pairings);
    ASSERT_EQ(pairings.size(), 3u);
    std::set<const Fact*> partners;
    for (const auto& pairing : pairings) {
        ASSERT_EQ(pairing.size(), 1u);
        EXPECT_EQ(pairing.back().first, f);
        partners.insert(pairing.back().second);
    }
    EXPECT_EQ(partners, (std::set<const Fact*>{a, b, c}));

    // Three pairings times two candidates, each keeping its earlier pair.
    combinator.combine(g, {a, b}, pairings);
    ASSERT_EQ(pairings.size(), 6u);
    std::set<std::pair<const Fact*, const Fact*>> combinations;
    for (const auto& pairing : pairings) {
        ASSERT_EQ(pairing.size(), 2u);
        EXPECT_EQ(pairing[0].first, f);
        EXPECT_EQ(pairing[1].first, g);
        combinations.emplace(pairing[0].second, pairing[1].second);
    }
    EXPECT_EQ(combinations.size(), 6u);
    for (Know* fact : {f, g, a, b, c}) delete fact;
}

TEST(Combinator, NoCandidateFailsAndNoPairingStaysNone) {
    Know *f = know("f"), *a = know("a");
    Pairings pairings(2);
    EXPECT_THROW(combinator.combine(f, {}, pairings), UnifyFailed);
    EXPECT_EQ(pairings.size(), 2u);

    Pairings none;
    combinator.combine(f, {a}, none);
    EXPECT_TRUE(none.empty());
    delete f;
    delete a;
}
