#pragma once

#include <cstdint>
#include <ostream>

namespace sym {

// A bounded integer for time bounds. Ordinary values lie in -99999 .. 99999;
// the sentinels _min and _max, one step outside, stand for minus and plus
// infinity. A default value is 0.
class Value {
public:
    static const Value _min;
    static const Value _max;

    constexpr Value() : _value(0) {}
    // Throws UserError "value exceed the boundary" outside -99999 .. 99999, so
    // the sentinels are only obtained by copying _min or _max.
    Value(long value);
    Value(const Value&) = default;
    Value& operator=(const Value&) = default;

    std::int32_t value() const { return _value; }

    bool operator<(const Value& value) const { return _value < value._value; }
    bool operator>(const Value& value) const { return _value > value._value; }
    bool operator<=(const Value& value) const { return _value <= value._value; }
    bool operator>=(const Value& value) const { return _value >= value._value; }
    bool operator==(const Value& value) const { return _value == value._value; }
    bool operator!=(const Value& value) const { return _value != value._value; }

    // Plus infinity absorbs every finite addend; adding minus infinity is a
    // contract breach. A finite sum out of range throws UserError after this
    // value has taken it.
    Value& operator+=(const Value& value);
    Value operator+(const Value& value) const;

private:
    static constexpr std::int32_t _lowest = -99999;
    static constexpr std::int32_t _highest = 99999;

    struct Raw {};
    constexpr Value(std::int32_t raw, Raw) : _value(raw) {}

    // Tells a stored integer from a sentinel without building a Value from it.
    friend bool operator!=(std::int32_t raw, const Value& value) { return raw != value._value; }

    std::int32_t _value;
};

inline constexpr Value Value::_min{-100000, Raw{}};
inline constexpr Value Value::_max{100000, Raw{}};

// _max prints as "Max"; every other value, _min included, as its number.
std::ostream& operator<<(std::ostream& os, const Value& value);

}  // namespace sym
