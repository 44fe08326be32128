#pragma once

// Runs a model as vorn --explain does and replays the outline of each of
// its target rules on the model (vorn/report/run_replay.h).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "symbolic/srule.h"
#include "vorn/cli/options.h"
#include "vorn/report/protocol_run.h"
#include "vorn/report/run_replay.h"
#include "tests/tools/tool_support.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

namespace vorn {

// One run of a model as `vorn --explain` makes it, without printing
// anything, kept alive with its records.
struct ExplainedRun : ToolRun {
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
