#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "vorn/model/diagnostics.h"
#include "vorn/model/warnings.h"
#include "vorn/report/verdict.h"
#include "vorn/saturation/settings.h"

namespace vorn {

// What the command line asks for a run.
struct Options {
    enum class Progress { AUTO, ON, OFF };

    // The model file, or "-" for standard input.
    std::string model;
    // No closure trace: only what is printed before the run and the report.
    bool report_only = false;
    // Most rules held in the five saturated sets; 0 for no bound.
    size_t max_rules = 0;
    // Most wall time of the analysis; zero for no bound.
    std::chrono::nanoseconds time_limit{0};
    // Most resident memory in megabytes (2^20 bytes); 0 for no bound.
    size_t max_memory_mb = 0;
    // The progress line: AUTO shows it when standard error is a terminal.
    Progress progress = Progress::AUTO;
    // Where the JSON results go, if anywhere.
    std::optional<std::string> json;
    // After the report, the derivation of each target rule.
    bool explain = false;
    // Where the derivations go as a Graphviz graph, if anywhere.
    std::optional<std::string> graph;
    // Read and build the model and print its diagnostics, without the analysis.
    bool check = false;
    // Colours in the diagnostics on standard error.
    ColorChoice color = ColorChoice::AUTO;
    // Which warnings are shown, and whether they count as errors.
    WarningSettings warnings;
    // After the report of a stopped saturation, what grows.
    bool growth = false;
    // The verdict the exit status is to compare with.
    Expectation expect = Expectation::NONE;
    // How the engine saturates: the levers and the abstraction.
    Settings settings;
};

// The term depth of --abstract alone, and the largest one accepted.
constexpr unsigned default_abstract_depth = 4;
constexpr size_t max_abstract_depth = 1000;

// The longest time limit accepted, in seconds.
constexpr long long max_time_limit_seconds = 1000000000;
// The largest memory limit accepted, in megabytes.
constexpr size_t max_memory_megabytes = size_t{1} << 30;

struct CommandLine {
    enum class Action {
        RUN,      // options are set
        HELP,     // print help_text() on standard output, status 0
        VERSION,  // print version_text() on standard output, status 0
        USAGE,    // not exactly one model: "Usage: vorn filename", status 255, and error
        ERROR     // print error on standard error, status 255
    };
    Action action = Action::USAGE;
    Options options;
    // Complete lines, each ended by a line feed.
    std::string error;
};

// Options and the model in any order, each option at most once in effect
// (the last one wins); "--" ends the options: every argument after it is a
// model. An argument that is not an option is a model; there must be one.
CommandLine parse_command_line(int argc, const char* const* argv);

// Positive whole number without sign, at most the largest size_t; false otherwise.
bool parse_positive_count(const std::string& text, size_t& value);
// Positive decimal number of seconds ("2", "0.25"), at most
// max_time_limit_seconds; a fraction finer than a nanosecond rounds up.
bool parse_positive_seconds(const std::string& text, std::chrono::nanoseconds& value);

std::string help_text();
std::string version_text();

}  // namespace vorn
