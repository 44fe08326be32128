// The engine's side of the levers of its settings: the rewrites of a rule
// taken from a queue, the choice of the premise to resolve, and the marks of
// the abstraction.

#include <memory>

#include "symbolic/know.h"
#include "symbolic/renamer.h"
#include "symbolic/srule_levers.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/agenda.h"
#include "vorn/saturation/levers.h"

namespace vorn {

using sym::StateConstRule;
using sym::StateRule;
using sym::StateTransRule;

Algorithm::Algorithm() = default;

Algorithm::Algorithm(Observer* observer, const Settings& settings) : _observer(observer), _settings(settings) {}

bool Algorithm::abstracted(const StateRule* rule) const { return _levers && _levers->marked(rule); }

size_t Algorithm::selection(const StateRule* rule) const {
    return _settings.avoid_loops ? sym::select_avoiding_loops(rule) : rule->select();
}

WorkQueue<StateConstRule>& Algorithm::queue_for(const StateConstRule* consumer, WorkQueue<StateConstRule>& rules) {
    if (_fair_events == nullptr) return rules;
    return consumer->event_conclusion() ? *_fair_events : *_fair_knowledge;
}

void Algorithm::forget(const StateRule* rule) {
    if (_levers) _levers->forget(rule);
    if (_agenda && rule->type() == StateRule::TRANSFR) forget_transfer(static_cast<const StateTransRule*>(rule));
}

namespace {

// A copy of the rule with its constructor premises split, validated and
// renamed apart; null when the rule has none; `rule` itself stays.
template <class Rule>
Rule* split_premises(const Rule* rule, const sym::Constructors& constructors, bool& contradictory) {
    contradictory = false;
    bool any = false;
    for (const auto& premise : rule->knows()) any = any || constructors.applied(premise.first->term());
    if (!any) return nullptr;
    static const sym::Unifier none;
    std::unique_ptr<Rule> copy(static_cast<Rule*>(rule->map(none, StateRule::NONSELECTABLE)));
    sym::split_constructor_premises(copy.get(), constructors);
    if (!copy->try_validate()) {
        contradictory = true;
        return nullptr;
    }
    sym::Renamer renamer;
    copy->rename(renamer);
    return copy.release();
}

// Validates a new rule and renames it apart, which also forgets the states
// validation folded; deletes it and answers false when it is contradictory.
bool valid(StateRule* rule) {
    if (!rule->try_validate()) {
        delete rule;
        return false;
    }
    sym::Renamer renamer;
    rule->rename(renamer);
    return true;
}

}  // namespace

// Each rewrite replaces the rule by a new one (the observer is shown both,
// then the old one leaves), drops it, or splits it into parts that go to the
// front of the queue in its place.
StateConstRule* Algorithm::prepare(StateConstRule* rule, WorkQueue<StateConstRule>& queue) {
    auto replace = [&](StateRule* result, Observer::Rewrite how) {
        if (_observer) _observer->rewritten(rule, result, how, 0);
        _levers->inherit(rule, nullptr, std::list<const StateRule*>{result});
        if (_observer) _observer->dropped(rule);
        forget(rule);
        delete rule;
        rule = static_cast<StateConstRule*>(result);
    };
    auto drop = [&] {
        if (_observer) _observer->dropped(rule);
        forget(rule);
        delete rule;
        return nullptr;
    };
    if (_settings.split_constructors && !_levers->constructors().empty()) {
        std::list<StateConstRule*> parts = sym::split_constructor_conclusion(rule, _levers->constructors());
        if (!parts.empty()) {
            std::list<StateConstRule*> kept;
            size_t argument = 0;
            for (StateConstRule* part : parts) {
                if (!valid(part)) {
                    ++argument;
                    continue;
                }
                if (_observer) _observer->rewritten(rule, part, Observer::Rewrite::PROJECTED, argument++);
                _levers->inherit(rule, nullptr, std::list<const StateRule*>{part});
                kept.push_back(part);
            }
            queue.put_back(kept);
            return drop();
        }
        bool contradictory = false;
        if (StateConstRule* split = split_premises(rule, _levers->constructors(), contradictory))
            replace(split, Observer::Rewrite::SPLIT);
        else if (contradictory)
            return drop();
    }
    if (_settings.merge_versions) {
        StateRule* merged = nullptr;
        switch (sym::merge_invariant_versions(rule, _levers->invariants(), merged)) {
            case sym::Merge::UNCHANGED: break;
            case sym::Merge::CONTRADICTORY: return drop();
            case sym::Merge::MERGED: replace(merged, Observer::Rewrite::MERGED); break;
        }
    }
    if (_settings.depth_bound != 0) {
        if (StateConstRule* general = sym::generalise_deep_terms(rule, _settings.depth_bound)) {
            if (!valid(general)) return drop();
            replace(general, Observer::Rewrite::GENERALISED);
            _levers->mark(rule);
        }
    }
    return rule;
}

StateTransRule* Algorithm::prepare(StateTransRule* rule) {
    if (!_settings.split_constructors || _levers->constructors().empty()) return rule;
    bool contradictory = false;
    StateTransRule* split = split_premises(rule, _levers->constructors(), contradictory);
    if (split == nullptr && !contradictory) return rule;
    if (split && _observer) _observer->rewritten(rule, split, Observer::Rewrite::SPLIT, 0);
    if (split) _levers->inherit(rule, nullptr, std::list<const StateRule*>{split});
    if (_observer) _observer->dropped(rule);
    forget(rule);
    delete rule;
    return split;
}

void Algorithm::saturate(std::list<StateConstRule*>& const_rules, std::list<StateTransRule*>& trans_rules) {
    if (!_settings.plain()) _levers = std::make_unique<Levers>(_settings, const_rules, trans_rules);
    if (_settings.fair) {
        saturate_fairly(const_rules, trans_rules);
        return;
    }
    close_const_rule(const_rules);
    close_trans_rule(trans_rules);
    complete();
}

}  // namespace vorn
