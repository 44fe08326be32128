// Multi-dimensional ranges and areas of non-dominated ranges.
#include <gtest/gtest.h>

#include "test_support.h"

#include <sstream>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "symbolic/linear.h"

using namespace sym;

namespace {

Range range(bool strict, std::vector<Value> values) { return Range(Strict(strict), values); }

}  // namespace

TEST(Range, SumsAndComponentwiseOrder) {
    EXPECT_EQ(text(range(false, {1, 2}) + range(true, {10, Value::_max})), "[ <:11:Max]");
    EXPECT_THROW(range(false, {1, 90000}) + range(false, {0, 10000}), common::UserError);

    Range low = range(false, {1, 2});
    EXPECT_TRUE(low < range(true, {1, 3}));
    EXPECT_FALSE(range(false, {1, 3}) <= low);
    // A smaller component anywhere on the right makes both tests false.
    Range crossed = range(false, {0, 5});
    EXPECT_FALSE(low < crossed || low <= crossed || crossed < low || crossed <= low);
    // Equal components, or none: the strict range is below; equal ranges are <= only.
    EXPECT_TRUE(range(true, {1, 2}) < low);
    EXPECT_FALSE(low < range(true, {1, 2}));
    EXPECT_TRUE(low <= low && !(low < low));
    EXPECT_TRUE(Range(0, true, 0) < Range(0, false, 0));
    EXPECT_FALSE(Range(0, false, 0) <= Range(0, true, 0));
}

TEST(Range, OrderAgainstAnAreaStopsAtTheFirstDecidingRange) {
    Aera area(range(false, {5, 1}));
    area &= range(false, {1, 5});
    EXPECT_TRUE(range(false, {0, 0}) < area);
    EXPECT_TRUE(range(false, {1, 5}) <= area);
    EXPECT_FALSE(range(false, {1, 5}) < area);
    EXPECT_FALSE(range(false, {2, 6}) <= area);
    EXPECT_TRUE(Aera(range(false, {0, 0})) < area);
    EXPECT_FALSE(Aera(2) <= area);
}

TEST(Aera, InsertionKeepsOnlyNonDominatedRanges) {
    Aera area(2);
    EXPECT_EQ(text(area), "[ <:Max:Max]\n");
    area &= range(false, {4, 4});
    area &= range(false, {4, 9});
    area &= range(false, {4, 4});
    EXPECT_EQ(text(area), "[<=:4:4]\n");

    area &= range(false, {1, 8});
    area &= range(false, {6, 2});
    area &= range(false, {8, 0});
    // Below the two adjacent ranges [4,4] and [1,8], and not the others.
    area &= range(true, {1, 4});
    EXPECT_EQ(text(area), "[<=:6:2]\n[<=:8:0]\n[ <:1:4]\n");
    EXPECT_EQ(text(Aera(2) & area), text(area));
    EXPECT_EQ(text(area & Aera(2, true, -1)), "[ <:-1:-1]\n");
}

TEST(Aera, SumsArePairwiseAndReduced) {
    Aera area(range(false, {1, 5}));
    area &= range(false, {5, 1});
    EXPECT_EQ(text(area + range(true, {1, 1})), "[ <:2:6]\n[ <:6:2]\n");
    Aera other(range(false, {0, 0}));
    other &= range(false, {-2, 10});
    // Sums in order: [1,5], [-1,15], [5,1], [3,11]; [1,5] is below the last, so it is dropped.
    EXPECT_EQ(text(area + other), "[<=:1:5]\n[<=:-1:15]\n[<=:5:1]\n");
    // Plus infinity absorbs, so the whole space stays the whole space.
    EXPECT_EQ(text(Aera(2) + range(false, {1, 2})), "[ <:Max:Max]\n");
}

TEST(LinearDeathTest, DimensionsMustAgree) {
    Range one(1), two(2);
    EXPECT_DEATH(one = two, "_values.size\\(\\) == range._values.size\\(\\)");
    EXPECT_DEATH((void)(one < Aera(2)), "_values.size\\(\\) == aera._dimension");
    EXPECT_DEATH((void)(Aera(1) <= Aera(2)), "_dimension == aera._dimension");
    EXPECT_DEATH(Aera(1) &= two, "range.dimension\\(\\) == _dimension");
    EXPECT_DEATH((void)(Aera(1) + Aera(2)), "aera._dimension == _dimension");
}
