#include "tests/tools/run_replay.h"

#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <streambuf>

#include "common/exception.h"
#include "symbolic/know.h"
#include "symbolic/renamer.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"
#include "tests/tools/tool_support.h"
#include "vorn/cli/run_monitor.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

namespace vorn {

namespace {

std::string text_of(const sym::Fact* fact, const sym::Unifier& unifier) {
    std::unique_ptr<sym::Fact> image(fact->map(unifier));
    std::ostringstream os;
    image->info(os);
    return os.str();
}

}  // namespace

Replay replay_run(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules,
                  const std::vector<std::pair<sym::State*, bool>>& queries) {
    Replay replay;
    sym::Unifier unifier;
    std::vector<std::unique_ptr<sym::StateRule>> taken;
    // The current state of each process, and whether it was created in the run.
    std::map<size_t, const sym::State*> current;
    std::set<size_t> created;
    std::vector<const sym::State*> initial;
    auto fail = [&](size_t step, const std::string& problem) {
        replay.holds = false;
        replay.step = step + 1;
        replay.problem = problem;
        return replay;
    };
    // The processes that some step creates.
    std::set<size_t> creatable;
    for (const RunStep& step : run.steps) {
        const sym::StateRule* rule = model_rules.at(step.model->number);
        if (rule->type() != sym::StateRule::TRANSFR) continue;
        const auto& conversions = static_cast<const sym::StateTransRule*>(rule)->conversions();
        for (size_t c = 0; c < conversions.size() && c < step.conversions.size(); ++c)
            if (conversions[c].first == nullptr) creatable.insert(step.conversions[c]);
    }
    // The state a step finds its process in: the current one, or for a
    // process nobody creates, the state it starts in.
    auto found_in = [&](size_t process, const sym::State* state) -> const sym::State* {
        auto found = current.find(process);
        if (found != current.end()) return found->second;
        if (creatable.count(process)) return nullptr;
        current[process] = state;
        initial.push_back(state);
        return state;
    };
    try {
        for (size_t i = 0; i < run.steps.size(); ++i) {
            const RunStep& step = run.steps[i];
            const sym::StateRule* model = model_rules.at(step.model->number);
            sym::Unifier none;
            std::unique_ptr<sym::StateRule> rule(model->map(none, sym::StateRule::NONSELECTABLE));
            sym::Renamer renamer;
            rule->rename(renamer);
            if (step.states.size() != rule->states().size() || step.knowledge.size() != rule->knows().size())
                return fail(i, "the step does not fit its model rule");
            size_t position = 0;
            for (const auto& state : rule->states()) {
                size_t process = step.states[position++];
                if (process == RunStep::NONE) return fail(i, "a state of no process");
                const sym::State* now = found_in(process, state.second.first);
                if (now == nullptr) return fail(i, "a state of a process not yet created");
                if (!now->try_unify(state.second.first, unifier) || !unifier.loopfree())
                    return fail(i, "needs " + text_of(state.second.first, unifier) + " while its process is in " +
                                       text_of(now, unifier));
            }
            if (rule->type() == sym::StateRule::TRANSFR) {
                const auto& conversions = static_cast<const sym::StateTransRule*>(rule.get())->conversions();
                if (step.conversions.size() != conversions.size())
                    return fail(i, "the step does not fit its model rule");
                for (size_t c = 0; c < conversions.size(); ++c) {
                    size_t process = step.conversions[c];
                    const sym::State* from = conversions[c].first;
                    if (from == nullptr) {
                        if (current.count(process) || created.count(process))
                            return fail(i, "creates a process that already exists");
                        created.insert(process);
                    } else {
                        const sym::State* now = found_in(process, from);
                        if (now == nullptr) return fail(i, "moves a process not yet created");
                        if (!now->try_unify(from, unifier) || !unifier.loopfree())
                            return fail(i, "moves from " + text_of(from, unifier) + " while its process is in " +
                                               text_of(now, unifier));
                    }
                    current[process] = conversions[c].second;
                }
            }
            for (size_t k = 0; k < step.knowledge.size(); ++k) {
                size_t provider = step.knowledge[k];
                if (provider == RunStep::NONE) continue;
                if (provider >= i) return fail(i, "takes knowledge from a step that comes later");
                const sym::StateRule* giver = taken.at(provider).get();
                if (giver->type() != sym::StateRule::CONSIST) return fail(i, "takes knowledge from a transfer rule");
                const sym::Fact* conclusion = static_cast<const sym::StateConstRule*>(giver)->conclusion();
                const sym::Fact* premise = rule->knows()[k].first;
                if (!conclusion->try_unify(premise, unifier) || !unifier.loopfree())
                    return fail(i, "needs " + text_of(premise, unifier) + " but step " + std::to_string(provider + 1) +
                                       " gives " + text_of(conclusion, unifier));
            }
            taken.push_back(std::move(rule));
        }
        // Every process that was there from the start is in a queried state.
        for (const sym::State* state : initial) {
            std::unique_ptr<sym::Fact> start(state->map(unifier));
            bool queried = false;
            for (const auto& query : queries) {
                sym::Unifier match;
                if (start->try_unify_to(query.first, match)) queried = true;
            }
            if (!queried) return fail(run.steps.size() - 1, "a process starts in " + text_of(state, unifier) +
                                                                 ", which no access query asks for");
        }
    } catch (const common::UserError& error) {
        return fail(replay.step, "model error: " + error.string());
    }
    return replay;
}

ProtocolRun reordered(const ProtocolRun& run, const std::vector<size_t>& order) {
    ProtocolRun part;
    part.status = run.status;
    part.processes = run.processes;
    std::vector<size_t> position(run.steps.size(), RunStep::NONE);
    for (size_t i = 0; i < order.size(); ++i) position[order[i]] = i;
    for (size_t step : order) {
        RunStep copy = run.steps.at(step);
        for (size_t& provider : copy.knowledge)
            if (provider != RunStep::NONE) provider = position[provider];
        part.steps.push_back(std::move(copy));
    }
    return part;
}

std::optional<bool> some_order_replays(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules,
                                       const std::vector<std::pair<sym::State*, bool>>& queries, size_t most) {
    size_t n = run.steps.size();
    if (n > most) return std::nullopt;
    std::vector<size_t> order;
    std::vector<bool> placed(n, false);
    std::function<bool()> extend = [&]() -> bool {
        if (!replay_run(reordered(run, order), model_rules, queries).holds) return false;
        if (order.size() == n) return true;
        for (size_t step = 0; step < n; ++step) {
            if (placed[step]) continue;
            bool ready = true;
            for (size_t provider : run.steps[step].knowledge)
                if (provider != RunStep::NONE && !placed[provider]) ready = false;
            if (!ready) continue;
            placed[step] = true;
            order.push_back(step);
            bool found = extend();
            order.pop_back();
            placed[step] = false;
            if (found) return true;
        }
        return false;
    };
    return extend();
}

ExplainedRun run_explained(const std::string& text, const Options& options) {
    ExplainedRun run;
    RunMonitor::Settings limits = tool_limits(options);
    auto monitor = std::make_unique<RunMonitor>(limits);
    RunMonitor& watch = *monitor;
    run.monitor = std::move(monitor);
    std::streambuf* saved = std::cout.rdbuf(null_stream().rdbuf());
    try {
        scan_string(text);
        parse_model();
        run.provenance = std::make_unique<Provenance>(true);
        record_parsed_model(*run.provenance);
        run.observers = std::make_unique<Observers>(std::vector<Observer*>{&watch, run.provenance.get()});
        run.engine = std::make_unique<Algorithm>(run.observers.get());
        // A report-only run defers its compositions, as vorn -q does.
        run.engine->trace_to(options.report_only ? nullptr : &null_stream());
        run.engine->close_const_rule(raw_const_rules);
        run.engine->close_trans_rule(raw_trans_rules);
        run.engine->complete();
        run.engine->analysis(raw_accessable_states);
        run.derivations = derive_targets(*run.engine, *run.provenance);
    } catch (const common::_Exception& error) {
        run.end = ExplainedRun::End::MODEL_ERROR;
        run.why = error.string();
    } catch (const SyntaxError& error) {
        run.end = ExplainedRun::End::MODEL_ERROR;
        run.why = error.string();
    }
    std::cout.rdbuf(saved);
    release_model();
    if (run.end == ExplainedRun::End::COMPLETE && watch.stop() != RunMonitor::Stop::NONE) {
        run.end = ExplainedRun::End::STOPPED;
        run.why = watch.limit_name();
    }
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
