#pragma once

#include <string>

#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/settings.h"

namespace vorn {

// For a saturation that did not end: the option that may end it, given the
// settings it ran with (--levers, then --abstract), as one line; empty when
// both were on.
std::string ending_hint(const Settings& settings);

// After the report of a run with the abstraction: how many target rules were
// found through generalised rules, and are only possible attacks. Empty for a
// run without it.
std::string abstraction_note(const Algorithm& engine);

}  // namespace vorn
