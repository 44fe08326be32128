#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vorn/report/explain.h"

namespace vorn {

// One use of a rule of the model in the run of the protocol that a
// derivation stands for: a rule the derivation uses twice is used twice.
struct RunStep {
    static constexpr size_t NONE = SIZE_MAX;

    // The derivation's step that is the model rule.
    const Origin* model = nullptr;
    // The processes of the run (numbered from 0) that the rule's states are
    // states of, in the order of its states (ascending SID); and those that
    // its conversions move, in the order of its conversions.
    std::vector<size_t> states;
    std::vector<size_t> conversions;
    // For each premise of the rule, in order: the step of the run whose
    // conclusion it takes, or NONE when no step provides it (an event, or
    // knowledge the target rule still assumes).
    std::vector<size_t> knowledge;
};

// The run of the protocol that a derivation stands for. Its steps are put
// in an order that keeps every ordering the derivation sets: each process
// takes its steps in the order of its states, a state is entered before a
// step uses it and used before a step leaves it, and knowledge is derived
// before a step uses it.
struct ProtocolRun {
    enum class Status {
        RUN,       // the steps are in such an order
        NO_ORDER,  // the orderings contradict each other: no order is a run
        TOO_LONG,  // more steps than asked for: not worked out
        NO_RECORD  // some step has no record of its states
    };
    Status status = Status::NO_RECORD;
    // The steps: in the order of the run for RUN, in derivation order for
    // NO_ORDER, none otherwise.
    std::vector<RunStep> steps;
    size_t processes = 0;
    // For NO_ORDER: steps of which each must come before the next, and the
    // last before the first.
    std::vector<const Origin*> cycle;
};

// Longer runs are not worked out: a derivation that uses its rules many times
// over is no run to read.
constexpr size_t max_run_steps = 5000;

// The run of a derivation whose provenance follows states. Steps left in
// any order by the derivation keep the order of the derivation's steps.
ProtocolRun protocol_run(const Derivation& derivation, size_t max_steps = max_run_steps);

}  // namespace vorn
