// What the test tools share: a stream that throws away what is written to
// it, and the reading of vorn's options as its command line would give them.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "vorn/cli/options.h"
#include "vorn/cli/run_monitor.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

namespace vorn {

// A stream that accepts everything and keeps nothing: the trace of a run whose
// trace must be written (the engine behaves so) but is not looked at.
std::ostream& null_stream();

// Options written as on vorn's command line (blank-separated), with the model
// last, as vorn reads them; false with a message when vorn would not run.
bool read_options(const std::string& text, const std::string& model, Options& options, std::string& error);

// The limits of the options for a run inside a test tool, which never fails
// to write and is never interrupted.
RunMonitor::Settings tool_limits(const Options& options);

// One run of a model inside a test tool, kept alive with its rules.
struct ToolRun {
    enum class End { COMPLETE, STOPPED, MODEL_ERROR };
    End end = End::COMPLETE;
    // What stopped the run ("rule", "time", ...) or the model error's text.
    std::string why;
    // Declared before the engine, which may still report to them while it goes.
    std::unique_ptr<Observer> monitor;
    std::unique_ptr<Provenance> provenance;
    std::unique_ptr<Observers> observers;
    std::unique_ptr<Algorithm> engine;
};

// Parses `text` and runs the saturation and the analysis as vorn would with
// `options` (their limits, their engine settings, with or without the trace,
// which goes nowhere), without printing the report; with `explain`, keeps
// the record of how each rule was made, following states, as --explain
// does. The parser's globals are released afterwards; the rules live in the
// run's engine. The analysis still writes to std::cout: silence it around
// the call when that matters.
void run_model(ToolRun& run, const std::string& text, const Options& options, bool explain);

}  // namespace vorn
