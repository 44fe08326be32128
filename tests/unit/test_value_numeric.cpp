// Bounded values, strictness flags and bounds.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/runtime.h"
#include "symbolic/numeric.h"
#include "symbolic/strict.h"
#include "symbolic/value.h"

using namespace sym;

namespace {

template <typename T>
std::string text(const T& item) {
    std::ostringstream os;
    os << item;
    return os.str();
}

// The function text of the UserError that action throws.
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

TEST(Value, ConstructionAcceptsOnlyTheOrdinaryRange) {
    EXPECT_EQ(text(Value(99999)), "99999");
    EXPECT_EQ(text(Value(-99999)), "-99999");
    EXPECT_EQ(boundary_error([] { Value v(100000); }), "Value");
    EXPECT_EQ(boundary_error([] { Value v(-100000); }), "Value");
    EXPECT_EQ(boundary_error([] { Value v(1L << 40); }), "Value");
}

TEST(Value, SentinelsOrderOutsideEveryOrdinaryValueAndPrint) {
    EXPECT_LT(Value::_min, Value(-99999));
    EXPECT_GT(Value::_max, Value(99999));
    EXPECT_EQ(text(Value::_max), "Max");
    EXPECT_EQ(text(Value::_min), "-100000");
}

TEST(Value, FiniteSumOutOfRangeThrowsFromOperatorPlusAssign) {
    EXPECT_EQ(boundary_error([] { Value(60000) + Value(50000); }), "operator+=");
    EXPECT_EQ(boundary_error([] { Value(-60000) + Value(-50000); }), "operator+=");
    EXPECT_EQ(Value(99999) + Value(0), Value(99999));
    EXPECT_EQ(Value(-99999) + Value(99999), Value(0));

    // The left operand keeps the out-of-range sum.
    Value left(60000);
    EXPECT_THROW(left += Value(50000), common::UserError);
    EXPECT_EQ(left.value(), 110000);
}

TEST(Value, PlusInfinityAbsorbsEveryAddend) {
    EXPECT_EQ(Value::_max + Value(5), Value::_max);
    EXPECT_EQ(Value(5) + Value::_max, Value::_max);
    EXPECT_EQ(Value::_max + Value::_max, Value::_max);
    EXPECT_EQ(Value(-99999) + Value::_max, Value::_max);
    EXPECT_EQ(text(Value::_max + Value(5)), "Max");
}

TEST(ValueDeathTest, AddingMinusInfinityBreaksTheContract) {
    EXPECT_DEATH(Value(1) + Value::_min, "_value != _min && value._value != _min");
    EXPECT_DEATH(Value::_min + Value::_max, "_value != _min");
}

TEST(Strict, OrderCombinationAndPrintedForm) {
    Strict strict(true), loose(false);
    EXPECT_TRUE(strict < loose);
    EXPECT_FALSE(loose < strict);
    EXPECT_FALSE(strict < strict);
    EXPECT_TRUE(strict <= strict);
    EXPECT_TRUE(loose > strict);
    EXPECT_EQ(loose | strict, strict);
    EXPECT_EQ(loose | loose, loose);
    EXPECT_EQ(loose & strict, loose);
    EXPECT_EQ(strict & strict, strict);
    Strict flag(false);
    flag |= strict;
    EXPECT_EQ(flag, strict);
    flag &= loose;
    EXPECT_EQ(flag, loose);
    EXPECT_EQ(text(strict), " <");
    EXPECT_EQ(text(loose), "<=");
}

TEST(Numeric, OrderAtEqualValuesPutsTheStrictBoundFirst) {
    EXPECT_TRUE(Numeric(true, 3) < Numeric(false, 3));
    EXPECT_FALSE(Numeric(false, 3) < Numeric(true, 3));
    EXPECT_FALSE(Numeric(true, 3) < Numeric(true, 3));
    EXPECT_TRUE(Numeric(true, 3) <= Numeric(true, 3));
    EXPECT_TRUE(Numeric(true, 2) < Numeric(false, 3));
    EXPECT_TRUE(Numeric(false, 2) < Numeric(true, 3));
    EXPECT_FALSE(Numeric(true, 4) <= Numeric(false, 3));
    EXPECT_TRUE(Numeric(false, 3) > Numeric(true, 3));
    EXPECT_NE(Numeric(false, 3), Numeric(true, 3));
}

TEST(Numeric, SumsChainBoundsAndPrint) {
    EXPECT_EQ(text(Numeric(false, 2) + Numeric(true, 3)), "[ <:5]");
    EXPECT_EQ(text(Numeric(false, 2) + Numeric(false, -3)), "[<=:-1]");
    Numeric absent(Strict(true), Value::_max);
    EXPECT_EQ(text(absent), "[ <:Max]");
    EXPECT_EQ(text(absent + Numeric(false, -7)), "[ <:Max]");
    EXPECT_EQ(text(Numeric(false, 4) + absent), "[ <:Max]");
    EXPECT_THROW(Numeric(true, 100000), common::UserError);
    EXPECT_THROW(Numeric(false, 90000) + Numeric(false, 10000), common::UserError);
}
