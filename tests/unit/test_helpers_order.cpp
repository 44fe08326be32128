// The odometer enumerator and the depth-first topological sort.
#include <gtest/gtest.h>

#include <vector>

#include "common/runtime.h"
#include "symbolic/enumerator.h"
#include "symbolic/toposort.h"

using namespace sym;

typedef std::vector<unsigned> Digits;

TEST(Enumerator, WalksEveryCombinationPositionZeroFastest) {
    Enumerator e;
    e.add_dimension(2);
    e.add_dimension(3);
    std::vector<Digits> seen{e.current()};
    while (e.next()) seen.push_back(e.current());
    EXPECT_EQ(seen, (std::vector<Digits>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}}));
    EXPECT_EQ(e.current(), (Digits{0, 0}));

    Enumerator single, none;
    single.add_dimension(1);
    EXPECT_FALSE(single.next());
    EXPECT_EQ(single.current(), Digits{0});
    EXPECT_FALSE(none.next());
    EXPECT_TRUE(none.current().empty());
}

TEST(Toposort, PlacesEveryNodeAfterItsTargets) {
    Toposort chain;
    chain.insert(1, {2});
    chain.insert(2, {3});
    EXPECT_EQ(chain.sort(), (Digits{3, 2, 1}));
    EXPECT_TRUE(chain.sort().empty());  // marks stay set

    // Nodes start in ascending order, targets are visited in ascending order,
    // and a node reached twice is placed once.
    Toposort order;
    order.insert(7, {});
    order.insert(5, {6, 2});
    order.insert(2, {});
    order.insert(6, {2});
    EXPECT_EQ(order.sort(), (Digits{2, 6, 5, 7}));

    // An unregistered target is appended each time it is reached.
    Toposort loose;
    loose.insert(1, {9});
    loose.insert(2, {9});
    EXPECT_EQ(loose.sort(), (Digits{9, 1, 9, 2}));
}

TEST(Toposort, CycleIsNotSortable) {
    Toposort self, ring;
    self.insert(1, {1});
    EXPECT_THROW(self.sort(), NotSortable);
    ring.insert(1, {2});
    ring.insert(2, {3});
    ring.insert(3, {1});
    EXPECT_THROW(ring.sort(), NotSortable);
}

TEST(Toposort, InsertingANodeTwiceIsSystemError) {
    Toposort graph;
    graph.insert(1, {});
    try {
        graph.insert(1, {2});
        ADD_FAILURE() << "no SystemError";
    } catch (const common::SystemError& e) {
        EXPECT_EQ(e.function(), "insert");
        EXPECT_EQ(e.detail(), "name already exists");
    }
}
