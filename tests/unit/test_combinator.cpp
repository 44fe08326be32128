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

TEST(Combinator, ExtendsEveryPairingByEveryCandidate) {
    Know f(new Constant(namer.constant("f"))), g(new Constant(namer.constant("g")));
    Know a(new Constant(namer.constant("a"))), b(new Constant(namer.constant("b")));
    std::vector<std::vector<std::pair<const Fact*, const Fact*>>> pairings(1);
    EXPECT_THROW(combinator.combine(&f, {}, pairings), UnifyFailed);

    combinator.combine(&f, {&a, &b, &g}, pairings);
    combinator.combine(&g, {&a, &b}, pairings);
    ASSERT_EQ(pairings.size(), 6u);
    std::set<std::pair<const Fact*, const Fact*>> seen;
    for (const auto& pairing : pairings) {
        ASSERT_EQ(pairing.size(), 2u);
        EXPECT_EQ(pairing[0].first, &f);
        EXPECT_EQ(pairing[1].first, &g);
        seen.emplace(pairing[0].second, pairing[1].second);
    }
    EXPECT_EQ(seen.size(), 6u);

    decltype(pairings) none;
    combinator.combine(&f, {&a}, none);
    EXPECT_TRUE(none.empty());
}
