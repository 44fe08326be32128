#include "vorn/report/run_replay.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "common/exception.h"
#include "symbolic/know.h"
#include "symbolic/renamer.h"
#include "symbolic/state.h"
#include "symbolic/term.h"
#include "symbolic/unifier.h"

namespace vorn {

namespace {

std::string text_of(const sym::Fact* fact, const sym::Unifier& unifier) {
    std::unique_ptr<sym::Fact> image(fact->map(unifier));
    std::ostringstream os;
    image->info(os);
    return os.str();
}

}  // namespace

namespace {

using Queries = std::vector<std::pair<sym::State*, bool>>;

// Where a replay stands after some steps; copied to try another way on.
struct Position {
    sym::Unifier unifier;
    // The current state of each process, and the processes created so far.
    std::map<size_t, const sym::State*> current;
    std::set<size_t> created;
    // The states the processes that were there from the start started in.
    std::vector<const sym::State*> initial;
    // The copies of the model rules of the steps taken, in order, and of
    // the steps inserted. They own the states above.
    std::vector<std::shared_ptr<const sym::StateRule>> taken;
    std::vector<std::shared_ptr<const sym::StateRule>> inserted;
};

// Replays a run, and where a process is not in the state a step needs, may
// insert further uses of the run's own one-process steps to move it on (the
// abstraction cuts how often a run repeats a step: a counter stepped five
// times may stand for one stepped four times).
class Replayer {
public:
    Replayer(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules, const Queries& queries,
             size_t insertions)
        : _run(run), _model_rules(model_rules), _queries(queries), _insertions(insertions) {
        for (const RunStep& step : run.steps) {
            const sym::StateRule* rule = model_rules.at(step.model->number);
            if (rule->type() != sym::StateRule::TRANSFR) continue;
            const auto& conversions = static_cast<const sym::StateTransRule*>(rule)->conversions();
            for (size_t c = 0; c < conversions.size() && c < step.conversions.size(); ++c)
                if (conversions[c].first == nullptr) _creatable.insert(step.conversions[c]);
            // A step that moves one process and reads no other state may be repeated.
            if (conversions.size() == 1 && conversions[0].first != nullptr && rule->states().empty() &&
                std::find(_repeatable.begin(), _repeatable.end(), rule) == _repeatable.end())
                _repeatable.push_back(rule);
        }
    }

    Replay replay() {
        try {
            if (from(0, Position(), _insertions)) return Replay();
        } catch (const common::UserError& error) {
            if (_failure.holds) fail(0, "model error: " + error.string());
        }
        return _failure;
    }

private:
    // The most positions a replay with insertions tries.
    static constexpr size_t most_tries = 4096;

    bool fail(size_t step, const std::string& problem) {
        // The failure of the replay as the run has it is the one reported.
        if (_failure.holds && !_inserting) {
            _failure.holds = false;
            _failure.step = step + 1;
            _failure.problem = problem;
        }
        return false;
    }

    std::shared_ptr<const sym::StateRule> fresh(const sym::StateRule* model) {
        static const sym::Unifier none;
        std::shared_ptr<sym::StateRule> rule(model->map(none, sym::StateRule::NONSELECTABLE));
        sym::Renamer renamer;
        rule->rename(renamer);
        return rule;
    }

    // The state a step finds its process in: the current one, or for a
    // process nobody creates, the state it starts in; null for a process
    // not yet created.
    const sym::State* found_in(Position& at, size_t process, const sym::State* state) {
        auto found = at.current.find(process);
        if (found != at.current.end()) return found->second;
        if (_creatable.count(process)) return nullptr;
        at.current[process] = state;
        at.initial.push_back(state);
        return state;
    }

    // Takes step i at `at`; on failure, `blocked` is the process whose state
    // did not fit, or NONE.
    bool take(size_t i, Position& at, size_t& blocked) {
        blocked = RunStep::NONE;
        const RunStep& step = _run.steps[i];
        std::shared_ptr<const sym::StateRule> rule = fresh(_model_rules.at(step.model->number));
        sym::Unifier& unifier = at.unifier;
        if (step.states.size() != rule->states().size() || step.knowledge.size() != rule->knows().size())
            return fail(i, "the step does not fit its model rule");
        size_t position = 0;
        for (const auto& state : rule->states()) {
            size_t process = step.states[position++];
            if (process == RunStep::NONE) return fail(i, "a state of no process");
            const sym::State* now = found_in(at, process, state.second.first);
            if (now == nullptr) return fail(i, "a state of a process not yet created");
            if (!now->try_unify(state.second.first, unifier) || !unifier.loopfree()) {
                blocked = process;
                return fail(i, "needs " + text_of(state.second.first, unifier) + " while its process is in " +
                                   text_of(now, unifier));
            }
        }
        if (rule->type() == sym::StateRule::TRANSFR) {
            const auto& conversions = static_cast<const sym::StateTransRule*>(rule.get())->conversions();
            if (step.conversions.size() != conversions.size()) return fail(i, "the step does not fit its model rule");
            for (size_t c = 0; c < conversions.size(); ++c) {
                size_t process = step.conversions[c];
                const sym::State* from = conversions[c].first;
                if (from == nullptr) {
                    if (at.current.count(process) || at.created.count(process))
                        return fail(i, "creates a process that already exists");
                    at.created.insert(process);
                } else {
                    const sym::State* now = found_in(at, process, from);
                    if (now == nullptr) return fail(i, "moves a process not yet created");
                    if (!now->try_unify(from, unifier) || !unifier.loopfree()) {
                        blocked = process;
                        return fail(i, "moves from " + text_of(from, unifier) + " while its process is in " +
                                           text_of(now, unifier));
                    }
                }
                at.current[process] = conversions[c].second;
            }
        }
        for (size_t k = 0; k < step.knowledge.size(); ++k) {
            size_t provider = step.knowledge[k];
            if (provider == RunStep::NONE) continue;
            if (provider >= i) return fail(i, "takes knowledge from a step that comes later");
            const sym::StateRule* giver = at.taken.at(provider).get();
            if (giver->type() != sym::StateRule::CONSIST) return fail(i, "takes knowledge from a transfer rule");
            const sym::Fact* conclusion = static_cast<const sym::StateConstRule*>(giver)->conclusion();
            const sym::Fact* premise = rule->knows()[k].first;
            if (!conclusion->try_unify(premise, unifier) || !unifier.loopfree())
                return fail(i, "needs " + text_of(premise, unifier) + " but step " + std::to_string(provider + 1) +
                                   " gives " + text_of(conclusion, unifier));
        }
        at.taken.push_back(std::move(rule));
        return true;
    }

    // Whether knowledge that no step gives is knowledge the attacker picks.
    bool picked(const sym::Know* premise, const sym::Unifier& unifier) {
        const sym::Term* term = premise->term()->map(unifier);
        sym::Term::Type type = term->type();
        sym::Term::release(term);
        return type == sym::Term::VARIA || type == sym::Term::TMESP || type == sym::Term::CONFG;
    }

    // The checks once every step is taken.
    bool finish(const Position& at) {
        size_t last = _run.steps.empty() ? 0 : _run.steps.size() - 1;
        for (size_t i = 0; i < _run.steps.size(); ++i)
            for (size_t k = 0; k < _run.steps[i].knowledge.size(); ++k) {
                if (_run.steps[i].knowledge[k] != RunStep::NONE) continue;
                const sym::Know* premise = at.taken[i]->knows()[k].first;
                if (!picked(premise, at.unifier))
                    return fail(i, "needs " + text_of(premise, at.unifier) + ", which no step gives");
            }
        for (const auto& rule : at.inserted)
            for (const auto& premise : rule->knows())
                if (!picked(premise.first, at.unifier)) return fail(last, "a repeated step needs knowledge");
        // Every process that was there from the start is in a queried state;
        // a query that does not allow several processes takes one at most.
        std::vector<std::unique_ptr<sym::Fact>> starts;
        for (const sym::State* state : at.initial) starts.emplace_back(state->map(at.unifier));
        for (size_t p = 0; p < starts.size(); ++p) {
            bool queried = false;
            for (const auto& query : _queries) {
                sym::Unifier match;
                if (starts[p]->try_unify_to(query.first, match)) queried = true;
            }
            if (!queried)
                return fail(last, "a process starts in " + text_of(at.initial[p], at.unifier) +
                                      ", which no access query asks for");
        }
        std::vector<size_t> taken_by(_queries.size(), 0);
        std::function<bool(size_t)> assign = [&](size_t process) {
            if (process == starts.size()) return true;
            for (size_t q = 0; q < _queries.size(); ++q) {
                if (!_queries[q].second && taken_by[q] != 0) continue;
                sym::Unifier match;
                if (!starts[process]->try_unify_to(_queries[q].first, match)) continue;
                ++taken_by[q];
                if (assign(process + 1)) return true;
                --taken_by[q];
            }
            return false;
        };
        if (!assign(0)) return fail(last, "more processes start in a queried state than its query allows");
        return true;
    }

    // Replays the steps from i on, from `at`, with at most `budget` further insertions.
    bool from(size_t i, const Position& at, size_t budget) {
        if (i == _run.steps.size()) return finish(at);
        Position next = at;
        size_t blocked = RunStep::NONE;
        if (take(i, next, blocked)) return from(i + 1, next, budget);
        if (blocked == RunStep::NONE || budget == 0) return false;
        // Move the blocked process on by one more use of a repeatable step.
        for (const sym::StateRule* model : _repeatable) {
            if (++_tries > most_tries) return false;
            Position moved = at;
            std::shared_ptr<const sym::StateRule> rule = fresh(model);
            const auto& conversion = static_cast<const sym::StateTransRule*>(rule.get())->conversions().front();
            const sym::State* now = moved.current.at(blocked);
            if (!now->try_unify(conversion.first, moved.unifier) || !moved.unifier.loopfree()) continue;
            moved.current[blocked] = conversion.second;
            moved.inserted.push_back(std::move(rule));
            bool inserting = _inserting;
            _inserting = true;
            bool found = from(i, moved, budget - 1);
            _inserting = inserting;
            if (found) return true;
        }
        return false;
    }

    const ProtocolRun& _run;
    const std::vector<const sym::StateRule*>& _model_rules;
    const Queries& _queries;
    size_t _insertions;
    // The processes that some step creates.
    std::set<size_t> _creatable;
    std::vector<const sym::StateRule*> _repeatable;
    size_t _tries = 0;
    bool _inserting = false;
    Replay _failure;
};

}  // namespace

Replay replay_run(const ProtocolRun& run, const std::vector<const sym::StateRule*>& model_rules,
                  const std::vector<std::pair<sym::State*, bool>>& queries, size_t insertions) {
    return Replayer(run, model_rules, queries, insertions).replay();
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

bool run_replays(const Derivation& derivation, const std::vector<const sym::StateRule*>& model_rules,
                 const std::vector<std::pair<sym::State*, bool>>& queries) {
    ProtocolRun run = protocol_run(derivation);
    switch (run.status) {
        case ProtocolRun::Status::RUN: return replay_run(run, model_rules, queries, repeated_steps).holds;
        case ProtocolRun::Status::NO_ORDER: {
            std::optional<bool> some = some_order_replays(run, model_rules, queries, 8);
            return some && *some;
        }
        case ProtocolRun::Status::TOO_LONG:
        case ProtocolRun::Status::NO_RECORD: break;
    }
    return false;
}

}  // namespace vorn
