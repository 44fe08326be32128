#include "symbolic/value.h"

#include <cassert>
#include <string>

#include "common/runtime.h"

namespace sym {

namespace {

const std::string boundary_exceeded = "value exceed the boundary";

}  // namespace

Value::Value(long value) : _value(0) {
    if (value < _lowest || value > _highest) throw common::UserError(__func__, boundary_exceeded);
    _value = static_cast<std::int32_t>(value);
}

Value Value::operator+(const Value& value) const {
    Value sum(*this);
    sum += value;
    return sum;
}

// Both finite operands lie within -99999 .. 99999, so the integer sum cannot
// overflow before the range test.
Value& Value::operator+=(const Value& value) {
    assert(_value != _min && value._value != _min);
    if (_value == _max._value || value._value == _max._value) {
        _value = _max._value;
        return *this;
    }
    _value += value._value;
    if (_value < _lowest || _value > _highest) throw common::UserError(__func__, boundary_exceeded);
    return *this;
}

std::ostream& operator<<(std::ostream& os, const Value& value) {
    if (value == Value::_max) return os << "Max";
    return os << value.value();
}

}  // namespace sym
