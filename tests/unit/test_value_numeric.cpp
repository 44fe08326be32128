// Bounded values and bounds.
#include <gtest/gtest.h>

#include "test_support.h"

#include <sstream>
#include <string>

#include "common/runtime.h"
#include "symbolic/numeric.h"

using namespace sym;

namespace {

// The function text of the boundary error that action throws.
template <typename F>
std::string boundary_error(F action) {
    try {
        action();
    } catch (const common::UserError& error) {
        EXPECT_EQ(error.detail(), "value exceed the boundary");
        return error.function();
    }
    return "no error";
}

}  // namespace

TEST(Value, BoundariesAndOverflowNameTheFailingOperation) {
    EXPECT_EQ(text(Value(99999)) + text(Value(-99999)), "99999-99999");
    EXPECT_EQ(boundary_error([] { Value v(100000); }), "Value");
    EXPECT_EQ(boundary_error([] { Value v(-100000); }), "Value");
    EXPECT_EQ(boundary_error([] { Value(60000) + Value(50000); }), "operator+=");
    EXPECT_EQ(boundary_error([] { Value(-60000) + Value(-50000); }), "operator+=");
    EXPECT_EQ(Value(99999) + Value(0), Value(99999));

    Value left(60000);
    EXPECT_THROW(left += Value(50000), common::UserError);
    EXPECT_EQ(left.value(), 110000);
}

TEST(Value, SentinelsOrderOutsideAndPlusInfinityAbsorbs) {
    EXPECT_LT(Value::_min, Value(-99999));
    EXPECT_GT(Value::_max, Value(99999));
    EXPECT_EQ(Value::_max + Value(5), Value::_max);
    EXPECT_EQ(Value(-99999) + Value::_max, Value::_max);
    EXPECT_EQ(text(Value::_max + Value::_max), "Max");
    EXPECT_EQ(text(Value::_min), "-100000");
}

TEST(ValueDeathTest, AddingMinusInfinityBreaksTheContract) {
    EXPECT_DEATH(Value(1) + Value::_min, "_value != _min && value._value != _min");
}

TEST(Numeric, OrderAtEqualValuesPutsTheStrictBoundFirst) {
    EXPECT_TRUE(Numeric(true, 3) < Numeric(false, 3));
    EXPECT_FALSE(Numeric(false, 3) < Numeric(true, 3));
    EXPECT_FALSE(Numeric(true, 3) < Numeric(true, 3));
    EXPECT_TRUE(Numeric(true, 3) <= Numeric(true, 3));
    EXPECT_TRUE(Numeric(true, 2) < Numeric(false, 3));
    EXPECT_TRUE(Numeric(false, 2) < Numeric(true, 3));
    EXPECT_NE(Numeric(false, 3), Numeric(true, 3));
}

TEST(Numeric, SumsChainBoundsAndPrint) {
    EXPECT_EQ(text(Numeric(false, 2) + Numeric(true, 3)), "[ <:5]");
    EXPECT_EQ(text(Numeric(false, 2) + Numeric(false, -3)), "[<=:-1]");
    Numeric absent(Strict(true), Value::_max);
    EXPECT_EQ(text(absent + Numeric(false, -7)), "[ <:Max]");
    EXPECT_EQ(text(Numeric(false, 4) + absent), "[ <:Max]");
    EXPECT_EQ(Strict(false) & Strict(true), Strict(false));
    EXPECT_THROW(Numeric(false, 90000) + Numeric(false, 10000), common::UserError);
}
