// What the test tools share: a stream that throws away what is written to
// it, and the reading of vorn's options as its command line would give them.
#pragma once

#include <ostream>
#include <string>

#include "vorn/cli/options.h"
#include "vorn/cli/run_monitor.h"

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

}  // namespace vorn
