// Zones of difference bounds between timestamps.
#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <string>

#include "symbolic/constant.h"
#include "symbolic/namer.h"
#include "symbolic/numeric.h"
#include "symbolic/renamer.h"
#include "symbolic/timestamp.h"
#include "symbolic/unifier.h"

using namespace sym;

namespace {

NumZone zone_of(std::initializer_list<Name::ID> ids) {
    NumZone zone(false);
    for (Name::ID id : ids) zone.add(id);
    return zone;
}

std::string text(const NumZone& zone) {
    std::ostringstream os;
    os << zone;
    return os.str();
}

Numeric at_most(long value) { return Numeric(false, value); }
Numeric below(long value) { return Numeric(true, value); }

}  // namespace

TEST(NumZone, FreshTimestampsAreUnconstrainedAndPrintRowByRow) {
    NumZone zone = zone_of({7, 3});
    EXPECT_EQ(text(zone), "7:\t[<=:0]\t[ <:Max]\t\n3:\t[ <:Max]\t[<=:0]\t\n");
    EXPECT_EQ(zone.smaller(3, 7), NumZone::_max);
    EXPECT_EQ(text(NumZone(true)), "[EMPTY]\n");
    EXPECT_EQ(text(NumZone(false)), "");
}

TEST(NumZone, CyclesOfNegativeWeightOrStrictZeroWeightEmptyTheZone) {
    NumZone negative = zone_of({1, 2});
    negative.smaller(1, 2, at_most(-1));
    EXPECT_FALSE(negative.empty());
    negative.smaller(2, 1, at_most(0));
    EXPECT_TRUE(negative.empty());

    NumZone strict_zero = zone_of({1, 2});
    strict_zero.smaller(1, 2, below(0));
    strict_zero.smaller(2, 1, at_most(0));
    EXPECT_TRUE(strict_zero.empty());

    NumZone equal = zone_of({1, 2});
    equal.smaller(1, 2, at_most(0));
    equal.smaller(2, 1, at_most(0));
    EXPECT_FALSE(equal.empty());
    EXPECT_EQ(equal.smaller(2, 1), at_most(0));
}

TEST(NumZone, TighterBoundsPropagateAndLooserOnesChangeNothing) {
    NumZone zone = zone_of({1, 2, 3});
    zone.smaller(1, 2, at_most(1));
    zone.smaller(2, 3, below(2));
    EXPECT_EQ(zone.smaller(1, 3), below(3));

    std::string before = text(zone);
    zone.smaller(1, 2, at_most(4));
    zone.smaller(1, 2, at_most(1));
    zone.smaller(1, 3, at_most(3));
    EXPECT_EQ(text(zone), before);

    zone.smaller(1, 3, at_most(2));
    EXPECT_EQ(zone.smaller(1, 3), at_most(2));
    EXPECT_THROW(zone.smaller(1, 9, at_most(0)), std::out_of_range);
}

TEST(NumZone, ChangeRenamesOrMerges) {
    NumZone zone = zone_of({1, 2, 3});
    zone.smaller(1, 3, at_most(5));
    zone.change(1, 9);
    EXPECT_EQ(zone.smaller(9, 3), at_most(5));
    EXPECT_THROW(zone.smaller(1, 3), std::out_of_range);

    // Merging 9 into 2 makes them equal: 2 inherits the bound of 9.
    zone.smaller(2, 3, at_most(8));
    zone.smaller(3, 9, at_most(-1));
    zone.change(9, 2);
    EXPECT_THROW(zone.smaller(9, 3), std::out_of_range);
    EXPECT_EQ(zone.smaller(2, 3), at_most(5));
    EXPECT_EQ(zone.smaller(3, 2), at_most(-1));
    EXPECT_EQ(text(zone), "3:\t[<=:0]\t[<=:-1]\t\n2:\t[<=:5]\t[<=:0]\t\n");

    // Merging timestamps bounded apart is a contradiction.
    NumZone apart = zone_of({1, 2});
    apart.smaller(1, 2, below(0));
    apart.change(1, 2);
    EXPECT_TRUE(apart.empty());
}

TEST(NumZone, RemoveMovesTheLastTimestampIntoTheFreedIndex) {
    NumZone zone = zone_of({1, 2, 3});
    zone.smaller(3, 1, at_most(4));
    zone.smaller(1, 2, at_most(6));
    zone.remove(1);
    EXPECT_EQ(text(zone), "3:\t[<=:0]\t[<=:10]\t\n2:\t[ <:Max]\t[<=:0]\t\n");
    EXPECT_EQ(zone.smaller(3, 2), at_most(10));

    zone.remove(2);
    EXPECT_EQ(text(zone), "3:\t[<=:0]\t\n");
    EXPECT_THROW(zone.remove(2), std::out_of_range);
    zone.add(2);
    EXPECT_EQ(zone.smaller(2, 3), NumZone::_max);
}

TEST(NumZone, RelationTestsInclusionBothWays) {
    NumZone tight = zone_of({1, 2});
    tight.smaller(1, 2, at_most(1));
    NumZone loose = zone_of({1, 2});
    loose.smaller(1, 2, at_most(5));
    NumZone::Relation self = tight.relation(tight);
    EXPECT_TRUE(self.belong && self.contain);
    NumZone::Relation r = tight.relation(loose);
    EXPECT_TRUE(r.belong);
    EXPECT_FALSE(r.contain);

    // A timestamp only the other zone knows is unconstrained here.
    NumZone wider = zone_of({1, 2, 3});
    wider.smaller(1, 2, at_most(1));
    r = tight.relation(wider);
    EXPECT_TRUE(r.belong && r.contain);
    wider.smaller(3, 1, at_most(0));
    r = tight.relation(wider);
    EXPECT_FALSE(r.belong);
    EXPECT_TRUE(r.contain);

    NumZone empty(true);
    r = empty.relation(tight);
    EXPECT_TRUE(r.belong);
    EXPECT_FALSE(r.contain);
    r = tight.relation(empty);
    EXPECT_FALSE(r.belong);
    EXPECT_TRUE(r.contain);
}

TEST(NumZone, IntersectKeepsTheBoundsOfBothAndCloses) {
    NumZone left = zone_of({1, 2});
    left.smaller(1, 2, at_most(3));
    NumZone right = zone_of({2, 3});
    right.smaller(2, 3, below(4));

    NumZone both = left.intersect(right);
    ASSERT_FALSE(both.empty());
    EXPECT_EQ(both.smaller(1, 2), at_most(3));
    EXPECT_EQ(both.smaller(2, 3), below(4));
    EXPECT_EQ(both.smaller(1, 3), below(7));
    NumZone::Relation r = both.relation(left);
    EXPECT_TRUE(r.belong);
    EXPECT_FALSE(r.contain);

    NumZone against = zone_of({1, 2});
    against.smaller(2, 1, at_most(-4));
    EXPECT_TRUE(left.intersect(against).empty());
    EXPECT_TRUE(left.intersect(NumZone(true)).empty());
    EXPECT_TRUE(NumZone(true).intersect(left).empty());
}

TEST(NumZone, CeilCapsEveryEntryAndCloseFindsTheContradiction) {
    NumZone zone = zone_of({1, 2});
    zone.smaller(1, 2, at_most(2));
    zone.ceil(below(1));
    EXPECT_EQ(text(zone), "1:\t[<=:0]\t[ <:1]\t\n2:\t[ <:1]\t[<=:0]\t\n");
    zone.close();
    EXPECT_FALSE(zone.empty());

    zone.ceil(at_most(-1));
    zone.close();
    EXPECT_TRUE(zone.empty());
    zone.clear();
    EXPECT_FALSE(zone.empty());
    EXPECT_EQ(text(zone), "");
}

TEST(NumZone, CloseComputesTheTightestBounds) {
    // Propagation through the ends of 3 - 4 misses the path 1, 3, 4, 2.
    NumZone zone = zone_of({1, 2, 3, 4});
    zone.smaller(1, 3, at_most(1));
    zone.smaller(4, 2, below(1));
    zone.smaller(3, 4, at_most(1));
    zone.close();
    ASSERT_FALSE(zone.empty());
    EXPECT_EQ(zone.smaller(1, 2), below(3));
    EXPECT_EQ(zone.smaller(3, 2), below(2));
    EXPECT_EQ(zone.smaller(1, 4), at_most(2));
}

TEST(NumZone, MapMergesTimestampsSubstitutedByOne) {
    Name a = namer.variable("a"), b = namer.variable("b"), c = namer.variable("c"), d = namer.variable("d");
    NumZone zone = zone_of({a.id(), b.id(), d.id()});
    zone.smaller(a.id(), d.id(), at_most(3));
    zone.smaller(b.id(), d.id(), at_most(5));

    Timestamp tb(b), tc(c);
    Unifier unifier;
    unifier.map(a.id(), &tb, Term::NONE);
    unifier.map(b.id(), &tc, Term::NONE);
    NumZone mapped = zone.map(unifier);
    EXPECT_THROW(mapped.smaller(a.id(), d.id()), std::out_of_range);
    EXPECT_THROW(mapped.smaller(b.id(), d.id()), std::out_of_range);
    EXPECT_EQ(mapped.smaller(c.id(), d.id()), at_most(3));
    EXPECT_EQ(text(mapped).find(std::to_string(c.id()) + ":"), 0u);
    // The source zone is left as it was.
    EXPECT_EQ(zone.smaller(b.id(), d.id()), at_most(5));
}

TEST(NumZone, RenameDropsTimestampsTheRenamerDoesNotKnow) {
    Name a = namer.variable("a"), b = namer.variable("b"), c = namer.variable("c");
    NumZone zone = zone_of({a.id(), b.id(), c.id()});
    zone.smaller(a.id(), c.id(), below(2));
    Renamer renamer;
    Name fresh_a = renamer.rename(a), fresh_c = renamer.rename(c);
    zone.rename(renamer);
    EXPECT_EQ(zone.smaller(fresh_a.id(), fresh_c.id()), below(2));
    EXPECT_THROW(zone.smaller(b.id(), b.id()), std::out_of_range);
    EXPECT_THROW(zone.smaller(a.id(), a.id()), std::out_of_range);
    EXPECT_EQ(text(zone).find(std::to_string(fresh_a.id()) + ":"), 0u);
}

TEST(NumZoneDeathTest, ContractBreaches) {
    NumZone zone = zone_of({1000});
    EXPECT_DEATH(zone.add(1000), "ret.second == true");
    EXPECT_DEATH(NumZone(true).smaller(1, 1), "!_empty");

    Constant k(namer.constant("k"));
    Unifier unifier;
    unifier.map(1000, &k, Term::NONE);
    EXPECT_DEATH(zone.map(unifier), "term->type\\(\\) == Term::Type::TMESP");
}
