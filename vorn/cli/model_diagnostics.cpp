#include "vorn/cli/model_diagnostics.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"
#include "vorn/model/warnings.h"

namespace vorn {

namespace {

bool color_wanted(ColorChoice choice) {
    return use_color(choice, isatty(STDERR_FILENO) == 1, std::getenv("NO_COLOR"), std::getenv("TERM"));
}

}  // namespace

std::string shown_model_name(const std::string& model) { return model == "-" ? "<stdin>" : model; }

ModelDiagnostics::ModelDiagnostics(const Options& options, std::string_view text, std::ostream& out)
    : _settings(options.warnings), _engine(options.settings), _writer(shown_model_name(options.model), text, color_wanted(options.color), out) {}

void ModelDiagnostics::unknown_character(const Span& span) {
    if (!_settings.enabled(WarningId::UNKNOWN_CHARACTER)) return;
    ++_unknown_characters;
    if (_unknown_characters > max_unknown_characters_shown) {
        if (_unknown_characters == max_unknown_characters_shown + 1) {
            Diagnostic more;
            more.severity = Severity::NOTE;
            more.message = "further characters that belong to no token are not shown";
            _writer.report(more);
        }
        return;
    }
    unsigned char c = static_cast<unsigned char>(span.offset < _writer.text().size() ? _writer.text()[span.offset] : 0);
    std::string what;
    if (c > 0x20 && c < 0x7F) {
        what = std::string("character '") + static_cast<char>(c) + "'";
    } else {
        static const char* digits = "0123456789ABCDEF";
        what = std::string("byte 0x") + digits[c >> 4] + digits[c & 15];
    }
    _writer.report(warning(WarningId::UNKNOWN_CHARACTER, _settings, span,
                           what + " belongs to no token and is skipped; names use letters and digits only"));
}

void ModelDiagnostics::parse() {
    unidentified_listener = [this](const Span& span) { unknown_character(span); };
    DiagnosticSink sink = [this](const Diagnostic& diagnostic) { _writer.report(diagnostic); };
    // A syntax error ends the process inside yyparse, after its located form.
    yyparse(sink);
    unidentified_listener = nullptr;
}

void ModelDiagnostics::no_consistent_rule() {
    Diagnostic d;
    d.message = "the model has no consistent rule ('! ... ;'), so there is nothing to analyse";
    _writer.report(d);
}

bool ModelDiagnostics::warn(bool has_transfer_rules) {
    for (const Diagnostic& d : model_warnings(model_outline, _settings, has_transfer_rules)) _writer.report(d);
    // A warning made an error is the only error reported before the analysis.
    return _settings.any_errors() && _writer.errors() > 0;
}

void ModelDiagnostics::analysis_starts() {
    _in_analysis = true;
    _analysis_start = std::chrono::steady_clock::now();
}

Observer* ModelDiagnostics::failure_watch(const Provenance& provenance) {
    _watch = std::make_unique<FailureWatch>(provenance);
    return _watch.get();
}

Observer* ModelDiagnostics::partial_step_watch(const Settings& settings) {
    if (!_settings.enabled(WarningId::PARTIAL_STEP) && !settings.partial_steps) return nullptr;
    _partial_steps = std::make_unique<PartialStepWatch>();
    return _partial_steps.get();
}

bool ModelDiagnostics::analysis_ended() {
    if (!_partial_steps) return false;
    size_t errors = _writer.errors();
    for (const Diagnostic& d : partial_step_diagnostics(model_outline, _settings, *_partial_steps)) _writer.report(d);
    return _writer.errors() > errors;
}

void ModelDiagnostics::failed(const common::UserError& error) {
    if (!_in_analysis) return;
    std::optional<FailureSite> site;
    if (_watch) {
        site = _watch->site();
    } else {
        // The second run may take as long as the first did, and a little more:
        // beyond that its answer is not worth the wait.
        auto now = std::chrono::steady_clock::now();
        auto budget = std::max<std::chrono::steady_clock::duration>(std::chrono::seconds(2),
                                                                     3 * (now - _analysis_start));
        site = replay_failure(std::string(_writer.text()), now + budget, _engine);
    }
    _writer.report(engine_error(model_outline, error, site));
}

}  // namespace vorn
