#include "tests/tools/outline_check.h"

#include <iostream>
#include <optional>
#include <sstream>
#include <streambuf>

#include "common/exception.h"
#include "tests/tools/tool_support.h"
#include "vorn/cli/run_monitor.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

namespace vorn {

ExplainedRun run_explained(const std::string& text, const Options& options) {
    ExplainedRun run;
    std::streambuf* saved = std::cout.rdbuf(null_stream().rdbuf());
    run_model(run, text, options, true);
    std::cout.rdbuf(saved);
    if (run.end != ExplainedRun::End::MODEL_ERROR) run.derivations = derive_targets(*run.engine, *run.provenance);
    return run;
}

OutlineCheck check_outlines(const std::string& model, const std::string& text, const Options& options) {
    OutlineCheck check;
    ExplainedRun run = run_explained(text, options);
    if (run.end == ExplainedRun::End::MODEL_ERROR || run.derivations.empty()) {
        check.line = "skipped " + model + ": " + (run.derivations.empty() ? "no target rule" : run.why);
        return check;
    }
    // The model's rules again, as the parser builds them, to replay the runs on.
    std::streambuf* saved = std::cout.rdbuf(null_stream().rdbuf());
    scan_string(text);
    parse_model();
    std::cout.rdbuf(saved);
    std::vector<const sym::StateRule*> rules(raw_const_rules.begin(), raw_const_rules.end());
    rules.insert(rules.end(), raw_trans_rules.begin(), raw_trans_rules.end());
    std::ostringstream failures;
    for (size_t t = 0; t < run.derivations.size(); ++t) {
        ProtocolRun outline = protocol_run(run.derivations[t]);
        ++check.targets;
        if (outline.status == ProtocolRun::Status::NO_ORDER) {
            ++check.no_order;
            // The derivation identifies states so that its orderings make a
            // circle; the same steps may still make a run that identifies
            // states otherwise. A short one is tried in every order.
            std::optional<bool> some = some_order_replays(outline, rules, raw_accessable_states, 8);
            if (some && *some) ++check.no_order_but_run;
            continue;
        }
        if (outline.status == ProtocolRun::Status::NO_RECORD) {
            // Every rule of an explained run has its record: one missing is a fault.
            check.holds = false;
            failures << "  target " << t + 1 << ": no record of the states of its steps\n";
            continue;
        }
        if (outline.status != ProtocolRun::Status::RUN) {
            ++check.not_worked_out;
            continue;
        }
        ++check.runs;
        check.steps += outline.steps.size();
        Replay replay = replay_run(outline, rules, raw_accessable_states);
        if (!replay.holds) {
            check.holds = false;
            failures << "  target " << t + 1 << ", step " << replay.step << " (line "
                     << run.provenance->source(*outline.steps.at(replay.step - 1).model).line
                     << "): " << replay.problem << "\n";
        }
    }
    release_model();
    check.checked = true;
    std::ostringstream line;
    line << (check.holds ? "holds " : "FAILS ") << model << ": " << check.targets << " targets, " << check.runs
         << " runs of " << check.steps << " steps replayed";
    if (check.no_order)
        line << ", " << check.no_order << " without order (" << check.no_order_but_run
             << " of them with some other order of the same steps that replays)";
    if (check.not_worked_out) line << ", " << check.not_worked_out << " not worked out";
    if (run.end == ExplainedRun::End::STOPPED) line << " (stopped: " << run.why << ")";
    check.line = line.str() + "\n" + failures.str();
    if (check.line.back() == '\n') check.line.pop_back();
    return check;
}

}  // namespace vorn
