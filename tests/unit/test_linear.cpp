// Multi-dimensional ranges and areas of non-dominated ranges.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "symbolic/linear.h"

using namespace sym;

namespace {

template <typename T>
std::string text(const T& item) {
    std::ostringstream os;
    os << item;
    return os.str();
}

Range range(bool strict, std::vector<Value> values) { return Range(Strict(strict), values); }

}  // namespace

TEST(Range, PrintedFormsAndSums) {
    EXPECT_EQ(text(range(false, {1, 2})), "[<=:1:2]");
    EXPECT_EQ(text(Range(2)), "[ <:Max:Max]");
    EXPECT_EQ(text(Range(3, true, -4)), "[ <:-4:-4:-4]");
    EXPECT_EQ(text(range(false, {1, 2}) + range(true, {10, Value::_max})), "[ <:11:Max]");
    EXPECT_EQ(text(range(false, {1, 2}) + range(false, {-1, 3})), "[<=:0:5]");
    Range big = range(false, {1, 90000});
    EXPECT_THROW(big += range(false, {0, 10000}), common::UserError);
}

TEST(Range, OrderIsComponentwiseDominanceWithStrictnessAtEquality) {
    Range low = range(false, {1, 2}), high = range(false, {1, 3});
    EXPECT_TRUE(low < high);
    EXPECT_TRUE(low <= high);
    EXPECT_FALSE(high < low);
    EXPECT_FALSE(high <= low);
    // A smaller component anywhere on the right makes both tests false.
    Range crossed = range(false, {0, 5});
    EXPECT_FALSE(low < crossed || low <= crossed || crossed < low || crossed <= low);
    // Strictness is ignored when some component is smaller.
    EXPECT_TRUE(range(false, {1, 2}) < range(true, {1, 3}));
    // Equal components: strict is below non-strict; equal ranges are <= only.
    EXPECT_TRUE(range(true, {1, 2}) < low);
    EXPECT_FALSE(low < range(true, {1, 2}));
    EXPECT_FALSE(low < low);
    EXPECT_TRUE(low <= low);
    // Without components only the strictness counts.
    EXPECT_TRUE(Range(0, true, 0) < Range(0, false, 0));
    EXPECT_FALSE(Range(0, false, 0) <= Range(0, true, 0));
    EXPECT_TRUE(Range(0, false, 0) <= Range(0, false, 0));
}

TEST(Range, OrderAgainstAnAreaStopsAtTheFirstDecidingRange) {
    Aera area(range(false, {5, 1}));
    area &= range(false, {1, 5});
    EXPECT_TRUE(range(false, {0, 0}) < area);
    EXPECT_TRUE(range(false, {1, 5}) <= area);
    EXPECT_FALSE(range(false, {1, 5}) < area);
    // Below neither range: the first range does not decide, the second is below it.
    EXPECT_FALSE(range(false, {2, 6}) <= area);
    EXPECT_FALSE(range(false, {6, 6}) < area);
}

TEST(Aera, InsertionKeepsOnlyNonDominatedRanges) {
    Aera area(2);
    area &= range(false, {4, 4});
    EXPECT_EQ(text(area), "[<=:4:4]\n");

    // A newcomer that a held range is at most adds nothing.
    area &= range(false, {4, 9});
    area &= range(false, {4, 4});
    EXPECT_EQ(text(area), "[<=:4:4]\n");

    area &= range(false, {1, 8});
    area &= range(false, {6, 2});
    area &= range(false, {8, 0});
    EXPECT_EQ(area.ranges().size(), 4u);

    // Below the two adjacent ranges [<=:4:4] and [<=:1:8] (and not the others).
    area &= range(true, {1, 4});
    EXPECT_EQ(text(area), "[<=:6:2]\n[<=:8:0]\n[ <:1:4]\n");

    // Incomparable with everything: appended.
    area &= range(false, {0, 9});
    EXPECT_EQ(area.ranges().back().values()[1], Value(9));

    // Inserting an area inserts each of its ranges; an area below all absorbs it.
    Aera whole(2);
    whole &= area;
    EXPECT_EQ(text(whole), text(area));
    area &= Aera(2, true, -1);
    EXPECT_EQ(text(area), "[ <:-1:-1]\n");
    EXPECT_EQ(text(Aera(2) & range(false, {1, 1})), "[<=:1:1]\n");
}

TEST(Aera, OrderBetweenAreas) {
    Aera low(range(false, {1, 1}));
    low &= range(false, {0, 3});
    Aera high(2, false, 3);
    EXPECT_TRUE(low < high);
    EXPECT_TRUE(low <= high);
    EXPECT_FALSE(high < low);
    EXPECT_FALSE(high <= low);
    EXPECT_TRUE(high <= Aera(2));
    EXPECT_FALSE(Aera(2) <= high);
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
    EXPECT_EQ(text(Aera(2) + Aera(2)), "[ <:Max:Max]\n");
}

TEST(LinearDeathTest, DimensionsMustAgree) {
    Range one(1), two(2);
    EXPECT_DEATH((void)(one < two), "_values.size\\(\\) == range._values.size\\(\\)");
    EXPECT_DEATH(one = two, "_values.size\\(\\) == range._values.size\\(\\)");
    EXPECT_DEATH((void)(one < Aera(2)), "_values.size\\(\\) == aera._dimension");
    EXPECT_DEATH((void)(Aera(1) <= Aera(2)), "_dimension == aera._dimension");
    EXPECT_DEATH(Aera(1) &= two, "range.dimension\\(\\) == _dimension");
    EXPECT_DEATH((void)(Aera(1) + Aera(2)), "aera._dimension == _dimension");
}
