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

TEST(NumZone, CyclesOfNegativeWeightOrStrictZeroWeightEmptyTheZone) {
    EXPECT_EQ(text(zone_of({7, 3})), "7:\t[<=:0]\t[ <:Max]\t\n3:\t[ <:Max]\t[<=:0]\t\n");
    for (Numeric first : {at_most(-1), below(0), at_most(0)}) {
        NumZone zone = zone_of({1, 2});
        zone.smaller(1, 2, first);
        zone.smaller(2, 1, at_most(0));
        EXPECT_EQ(zone.empty(), first != at_most(0)) << first;
    }
    EXPECT_EQ(text(NumZone(true)), "[EMPTY]\n");
}

TEST(NumZone, TighterBoundsPropagateAndLooserOnesChangeNothing) {
    NumZone zone = zone_of({1, 2, 3});
    zone.smaller(1, 2, at_most(1));
    zone.smaller(2, 3, below(2));
    EXPECT_EQ(zone.smaller(1, 3), below(3));
    std::string before = text(zone);
    zone.smaller(1, 2, at_most(4));
    zone.smaller(1, 3, at_most(3));
    EXPECT_EQ(text(zone), before);
    EXPECT_THROW(zone.smaller(1, 9, at_most(0)), std::out_of_range);
}

TEST(NumZone, ChangeRenamesOrMergesAndRemoveMovesTheLastIndex) {
    NumZone zone = zone_of({1, 2, 3});
    zone.smaller(1, 3, at_most(5));
    zone.change(1, 9);
    EXPECT_EQ(zone.smaller(9, 3), at_most(5));
    EXPECT_THROW(zone.smaller(1, 3), std::out_of_range);

    // Merging 9 into 2 makes them equal; 3, the last, moves into the index of 9.
    zone.smaller(2, 3, at_most(8));
    zone.smaller(3, 9, at_most(-1));
    zone.change(9, 2);
    EXPECT_EQ(text(zone), "3:\t[<=:0]\t[<=:-1]\t\n2:\t[<=:5]\t[<=:0]\t\n");
    zone.remove(2);
    EXPECT_EQ(text(zone), "3:\t[<=:0]\t\n");

    NumZone apart = zone_of({1, 2});
    apart.smaller(1, 2, below(0));
    apart.change(1, 2);
    EXPECT_TRUE(apart.empty());
}

TEST(NumZone, RelationAndIntersectionWithEmptyAndPartlySharedZones) {
    NumZone tight = zone_of({1, 2}), loose = zone_of({1, 2, 3}), empty(true);
    tight.smaller(1, 2, at_most(1));
    loose.smaller(1, 2, at_most(5));
    auto relation = [](const NumZone& a, const NumZone& b) {
        NumZone::Relation r = a.relation(b);
        return std::to_string(r.belong) + std::to_string(r.contain);
    };
    EXPECT_EQ(relation(tight, tight), "11");
    EXPECT_EQ(relation(tight, loose), "10");
    EXPECT_EQ(relation(empty, tight), "10");
    EXPECT_EQ(relation(tight, empty), "01");

    NumZone other = zone_of({2, 3});
    other.smaller(2, 3, below(4));
    NumZone both = tight.intersect(other);
    EXPECT_EQ(both.smaller(1, 2), at_most(1));
    EXPECT_EQ(both.smaller(1, 3), below(5));
    other.add(1);
    other.smaller(2, 1, at_most(-2));
    EXPECT_TRUE(tight.intersect(other).empty());
    EXPECT_TRUE(tight.intersect(empty).empty());
    EXPECT_TRUE(empty.intersect(tight).empty());
}

TEST(NumZone, CloseFindsPathsPropagationMissesAndContradictions) {
    // Propagation through the ends of 3 - 4 misses the path 1, 3, 4, 2.
    NumZone zone = zone_of({1, 2, 3, 4});
    zone.smaller(1, 3, at_most(1));
    zone.smaller(4, 2, below(1));
    zone.smaller(3, 4, at_most(1));
    zone.close();
    EXPECT_EQ(zone.smaller(1, 2), below(3));

    zone.ceil(at_most(-1));
    EXPECT_EQ(zone.smaller(1, 1), at_most(-1));
    zone.close();
    EXPECT_TRUE(zone.empty());
    zone.clear();
    EXPECT_FALSE(zone.empty());
}

TEST(NumZone, MapMergesTimestampsSubstitutedByOneAndRenameDropsUnknownOnes) {
    Name a = namer.variable("a"), b = namer.variable("b"), c = namer.variable("c"), d = namer.variable("d");
    NumZone zone = zone_of({a.id(), b.id(), d.id()});
    zone.smaller(a.id(), d.id(), at_most(3));
    zone.smaller(b.id(), d.id(), at_most(5));

    Timestamp tb(b), tc(c);
    Unifier unifier;
    unifier.map(a.id(), &tb, Term::NONE);
    unifier.map(b.id(), &tc, Term::NONE);
    NumZone mapped = zone.map(unifier);
    EXPECT_EQ(mapped.smaller(c.id(), d.id()), at_most(3));
    EXPECT_EQ(text(mapped).find(std::to_string(c.id()) + ":"), 0u);
    EXPECT_THROW(mapped.smaller(b.id(), d.id()), std::out_of_range);

    Renamer renamer;
    Name fresh_a = renamer.rename(a), fresh_d = renamer.rename(d);
    zone.rename(renamer);
    EXPECT_EQ(zone.smaller(fresh_a.id(), fresh_d.id()), at_most(3));
    EXPECT_NE(text(zone).find("\n" + std::to_string(fresh_d.id()) + ":"), std::string::npos);
    EXPECT_THROW(zone.smaller(b.id(), b.id()), std::out_of_range);
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
