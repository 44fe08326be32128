#pragma once

#include "vorn/cli/options.h"

namespace vorn {

// One verification run as the command line asks for it: reads the model (a
// file, or standard input for "-"), parses it, saturates the rules while a
// monitor watches the limits and draws progress, prints the report and writes
// the JSON results, then the verdict line on standard error. Every error and
// warning about the model is also shown on standard error in its located
// form. Answers the exit status: 0 finished, 3 stopped by a limit, 130 or 143
// stopped by a signal, with --expect 0 or status_not_expected when the run
// has a verdict (and no signal stopped it), 1 a failed write or a warning under -Werror, -1 (255)
// an unreadable file, an unwritable JSON path or a model without consistent
// rules. Model errors propagate as the exceptions of common/ (the caller
// reports them); a syntax error ends the process inside the parser. With
// --check, stops before the analysis, prints nothing on standard output and
// answers 1 for a model error.
int verify(const Options& options);

// The exit status of a run whose verdict is not the one --expect names.
constexpr int status_not_expected = 4;

}  // namespace vorn
