#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vorn/report/verdict.h"
#include "vorn/saturation/algorithm.h"

namespace sym {
class State;
}

namespace vorn {

// What the JSON results say about the run besides the engine's sets.
struct RunSummary {
    // As given on the command line ("-" for standard input).
    std::string model;
    // "rule" or "time" when a limit stopped the saturation; empty when it completed.
    std::string stopped_by;
    // The span printed as "Verification Time: ", in milliseconds.
    long long time_ms = 0;
    // Under the abstraction, for each target rule: whether it was found
    // through generalised rules and its run replays on the model's rules.
    std::vector<bool> replayed;
};

// Version of the layout below; raised when a field changes meaning or goes away.
constexpr int json_format_version = 1;

// The results as one JSON document (pretty-printed, ending in a line feed):
// format_version, model, completed, stopped_by, time_ms, rule_count,
// rule_sets (the size of each of the six sets), queries, verdict (result:
// "attack", "secure" or "none"; text: the verdict line after the model's
// name; query_lines, events, target_rules), and target_rules, each both as
// printed in the report and taken apart into its premises, its states and
// its conclusion.
std::string json_results(const Algorithm& engine, const std::vector<std::pair<sym::State*, bool>>& queries,
                         const RunSummary& summary, const Verdict& verdict);

}  // namespace vorn
