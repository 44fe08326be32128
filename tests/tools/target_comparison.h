#pragma once

// Runs of one model under two sets of command-line options in one process,
// and the comparison of their target rules up to renaming and implication.
// Used by the compare_targets tool and the unit tests; any engine option that
// the command line turns into engine settings can be compared this way.

#include <memory>
#include <string>
#include <vector>

#include "symbolic/srule.h"
#include "vorn/cli/options.h"
#include "vorn/saturation/algorithm.h"
#include "tests/tools/tool_support.h"

namespace vorn {

// What a comparison asks of the target rules of two runs A and B.
enum class TargetRelation {
    SAME,             // every target of each run is implied by a target of the other
    FIRST_IN_SECOND,  // every target of A is implied by a target of B
    SECOND_IN_FIRST   // every target of B is implied by a target of A
};

// "same", "first-in-second" or "second-in-first".
bool parse_target_relation(const std::string& name, TargetRelation& relation);

// One run of a model, kept alive with its rules.
struct ComparedRun : ToolRun {
    // Rules tried and held, for the summary line.
    size_t tried = 0;
    size_t held = 0;

    const std::list<sym::StateConstRule*>& targets() const;
};

// Parses `text` and runs the analysis as vorn would with `options` (their
// limits, their engine settings, with or without the trace, which goes
// nowhere), without printing the report. The parser's globals are released
// afterwards; the rules live in the returned engine. The analysis still
// writes to std::cout: silence it around the call when that matters.
ComparedRun run_for_comparison(const std::string& text, const Options& options);

struct TargetComparison {
    // False when a run ended by a model error, or a run whose targets must
    // imply the other's was stopped by a limit.
    bool compared = false;
    bool holds = true;      // the relation holds, or was not tested
    // Targets (1-based positions) of A implied by no target of B, and the reverse,
    // as far as the relation asks.
    std::vector<size_t> first_unmatched;
    std::vector<size_t> second_unmatched;
};

// Whether some rule of `general` implies `rule`.
bool implied_by_any(const sym::StateConstRule* rule, const std::list<sym::StateConstRule*>& general);

TargetComparison compare_targets(const ComparedRun& a, const ComparedRun& b, TargetRelation relation);

// "holds MODEL: same, targets 2 and 2 (rules 40 and 35)", "skipped MODEL: ...", "FAILS MODEL: ...".
std::string comparison_line(const std::string& model, const ComparedRun& a, const ComparedRun& b,
                            const TargetComparison& result);
// The targets without partner, printed.
std::string comparison_details(const ComparedRun& a, const ComparedRun& b, const TargetComparison& result);

}  // namespace vorn
