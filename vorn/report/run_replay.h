#pragma once

// Replays the run of the protocol that a derivation stands for (its
// protocol_run) on the rules of the model, independently of how the run was
// worked out: each step is a fresh copy of its model rule, and one
// substitution, grown step by step, must make every step's states the
// current states of their processes, every conversion start from the current
// state of the process it moves (or create a process that did not exist),
// every premise that takes another step's conclusion take that of an earlier
// step, equal to it, every premise that no step gives knowledge the attacker
// picks (a variable, a timestamp or a configuration), and every process that
// was not created start in a queried state, as many to one queried state as
// the query allows. A run that replays is a run of the model: the event of its
// last step is reachable.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "symbolic/srule.h"
#include "vorn/report/explain.h"
#include "vorn/report/protocol_run.h"

namespace vorn {

struct Replay {
    bool holds = true;
    // The first step (from 1) that could not be taken, and why.
    size_t step = 0;
    std::string problem;
};

// `model_rules` are the model's rules in the order of their sources
// (consistent rules, then transfer rules), as the parser builds them from
// the model text; `queries` are its access queries. Where a process is not
// in the state that a step needs, the replay may insert up to `insertions`
// further uses of the run's steps that move one process and read no other
// state (a counter stepped once more), each needing knowledge the attacker
// picks only.
Replay replay_run(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules,
                  const std::vector<std::pair<sym::State*, bool>>& queries, size_t insertions = 0);

// The insertions the replay of a target found through generalised rules may make.
constexpr size_t repeated_steps = 32;

// The run with its steps in `order` (positions of the run's steps), the
// steps that provide knowledge renumbered.
ProtocolRun reordered(const ProtocolRun& run, const std::vector<size_t>& order);

// Whether some order of the run's steps replays (trying every order, each
// step after the steps whose conclusions it takes); none when the run has
// more than `most` steps.
std::optional<bool> some_order_replays(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules,
                                       const std::vector<std::pair<sym::State*, bool>>& queries, size_t most);

// Whether the run of a target rule's derivation replays on the model's
// rules: in the order of its outline (with repeated steps), or for an
// outline without order (of a few steps), in some order. A target that a run found through rules the
// abstraction generalised is an attack when its run replays.
bool run_replays(const Derivation& derivation, const std::vector<const sym::StateRule*>& model_rules,
                 const std::vector<std::pair<sym::State*, bool>>& queries);

}  // namespace vorn
