#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "common/runtime.h"
#include "vorn/cli/options.h"
#include "vorn/model/diagnostics.h"
#include "vorn/saturation/engine_failure.h"
#include "vorn/saturation/partial_steps.h"
#include "vorn/saturation/provenance.h"

namespace vorn {

// The diagnostics of one run on standard error: the located form of every
// error about the model, from reading it to the analysis, and the warnings.
// What the run prints on standard output is not touched.
class ModelDiagnostics {
public:
    // `text` is the model as the scanner reads it; it must outlive this object.
    ModelDiagnostics(const Options& options, std::string_view text, std::ostream& out);

    // Parses the scanned model into the parser's globals as Helper::parse
    // does (a syntax error ends the process), showing each error located and
    // each character outside the token table as a warning.
    void parse();
    // The model has no consistent rule.
    void no_consistent_rule();
    // Shows the warnings about the parsed model; true when -Werror has made an
    // error of one (of these or of the scanner's): the run stops with status 1.
    bool warn(bool has_transfer_rules);
    // The analysis starts: a model error from now on comes from the engine.
    void analysis_starts();
    // An observer that keeps the origins of the rules that meet in a model
    // error, for a run that records origins anyway (--explain, --graph); it
    // must come after `provenance` among the run's observers.
    Observer* failure_watch(const Provenance& provenance);
    // An observer that gathers the partial steps of the run, when the warning
    // partial-step is on or the settings carry such steps back; null otherwise.
    Observer* partial_step_watch(const Settings& settings);
    // After the analysis: shows what that observer gathered; true when
    // -Werror has made an error of a warning.
    bool analysis_ended();
    // Shows where a model error that ended the run comes from. The errors
    // found while reading were shown already; one found by the engine is
    // traced to the model's rules, by a second run when no origins were kept.
    void failed(const common::UserError& error);

    const DiagnosticWriter& writer() const { return _writer; }

private:
    void unknown_character(const Span& span);

    WarningSettings _settings;
    // The engine's settings, for a second run.
    Settings _engine;
    DiagnosticWriter _writer;
    std::unique_ptr<FailureWatch> _watch;
    std::unique_ptr<PartialStepWatch> _partial_steps;
    bool _in_analysis = false;
    std::chrono::steady_clock::time_point _analysis_start;
    size_t _unknown_characters = 0;
};

// The model as diagnostics name it: as given, "<stdin>" for "-".
std::string shown_model_name(const std::string& model);

// Unknown characters shown one by one; more are summed up in one note.
constexpr size_t max_unknown_characters_shown = 20;

}  // namespace vorn
