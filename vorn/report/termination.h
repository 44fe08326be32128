#pragma once

#include <string>
#include <utility>
#include <vector>

#include "vorn/report/explain.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/settings.h"

namespace vorn {

// For a saturation that did not end: the option that may end it, given the
// settings it ran with (--levers, then --abstract), as one line; empty when
// both were on.
std::string ending_hint(const Settings& settings);

// Under the abstraction, for each target rule of the engine: whether it was
// found through generalised rules and the run of its derivation (one per
// target rule, in their order) replays on `model_rules`, the model's rules
// as the parser built them (consistent rules, then transfer rules), with the
// access queries `queries`: then the target is an attack all the same. Empty
// for a run without the abstraction.
std::vector<bool> replayed_targets(const Algorithm& engine, const std::vector<Derivation>& derivations,
                                   const std::vector<const sym::StateRule*>& model_rules,
                                   const std::vector<std::pair<sym::State*, bool>>& queries);

// For each target rule: whether it is only a possible attack, found through
// generalised rules and not replayed. Empty for a run without the abstraction.
std::vector<bool> possible_attacks(const Algorithm& engine, const std::vector<bool>& replayed);

// After the report of a run with the abstraction: how many target rules were
// found through generalised rules, how many of those the exact replay of
// their runs confirmed, and how many are only possible attacks. Empty for a
// run without it.
std::string abstraction_note(const Algorithm& engine, const std::vector<bool>& replayed);

}  // namespace vorn
