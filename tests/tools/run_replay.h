#pragma once

// Replays the run of the protocol that --explain outlines for a target rule
// on the rules of the model, independently of how the run was worked out:
// each step is a fresh copy of its model rule, and one substitution, grown
// step by step, must make every step's states the current states of their
// processes, every conversion start from the current state of the process
// it moves (or create a process that did not exist), every premise that
// takes another step's conclusion take that of an earlier step, equal to it,
// and every process that was not created start in a queried state.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "symbolic/srule.h"
#include "vorn/cli/options.h"
#include "vorn/report/protocol_run.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

namespace vorn {

struct Replay {
    bool holds = true;
    // The first step (from 1) that could not be taken, and why.
    size_t step = 0;
    std::string problem;
};

// `model_rules` are the model's rules in the order of their sources
// (consistent rules, then transfer rules), as the parser builds them from
// the model text; `queries` are its access queries.
Replay replay_run(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules,
                  const std::vector<std::pair<sym::State*, bool>>& queries);

// The run with its steps in `order` (positions of the run's steps), the
// steps that provide knowledge renumbered.
ProtocolRun reordered(const ProtocolRun& run, const std::vector<size_t>& order);

// Whether some order of the run's steps replays (trying every order, each
// step after the steps whose conclusions it takes); none when the run has
// more than `most` steps.
std::optional<bool> some_order_replays(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules,
                                       const std::vector<std::pair<sym::State*, bool>>& queries, size_t most);

// One run of a model as `vorn --explain` makes it, without printing
// anything, kept alive with its records.
struct ExplainedRun {
    enum class End { COMPLETE, STOPPED, MODEL_ERROR };
    End end = End::COMPLETE;
    std::string why;
    // Declared before the engine, which may still report to them while it goes.
    std::unique_ptr<Observer> monitor;
    std::unique_ptr<Provenance> provenance;
    std::unique_ptr<Observers> observers;
    std::unique_ptr<Algorithm> engine;
    std::vector<Derivation> derivations;
};

ExplainedRun run_explained(const std::string& text, const Options& options);

// The outline of each target of `text` run with `options`, replayed on the
// model: one line per model ("holds MODEL: ...", "skipped MODEL: ..." or
// "FAILS MODEL: ..."), and whether none failed. Runs whose derivation has no
// order are counted as such, not as failures.
struct OutlineCheck {
    bool holds = true;
    bool checked = false;
    size_t targets = 0;
    size_t runs = 0;
    size_t steps = 0;
    size_t no_order = 0;
    // Of those, the ones for which some order of the same steps replays.
    size_t no_order_but_run = 0;
    // Runs too long to work out.
    size_t not_worked_out = 0;
    std::string line;
};

OutlineCheck check_outlines(const std::string& model, const std::string& text, const Options& options);

}  // namespace vorn
