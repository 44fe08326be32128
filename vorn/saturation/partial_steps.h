#pragma once

#include <cstddef>
#include <map>
#include <utility>
#include <vector>

#include "vorn/model/diagnostics.h"
#include "vorn/model/outline.h"
#include "vorn/model/warnings.h"
#include "vorn/saturation/algorithm.h"

namespace vorn {

// Gathers the partial steps of a run (see PartialStep): per step of the
// model and the conversions the final rules lack, how many final rules met
// it and how many rules it made or lost.
class PartialStepWatch : public Observer {
public:
    struct Key {
        // The step: its place among the rules of the outline, from 1 (0 when
        // not known).
        size_t step = 0;
        std::vector<size_t> lacking;
        bool operator<(const Key& other) const {
            return std::tie(step, lacking) < std::tie(other.step, other.lacking);
        }
    };
    struct Count {
        size_t final_rules = 0;
        size_t rules = 0;
        bool carried = false;
    };

    bool wants_partial_steps() const override { return true; }
    void partial_step(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                      const PartialStep& step) override;

    const std::map<Key, Count>& counts() const { return _counts; }

private:
    std::map<Key, Count> _counts;
};

// One diagnostic per step and lacked conversions, at the first conversion
// lacked: the warning partial-step for the rules lost, or a note for the
// rules that the settings carried back.
std::vector<Diagnostic> partial_step_diagnostics(const Outline& outline, const WarningSettings& settings,
                                                 const PartialStepWatch& watch);

}  // namespace vorn
