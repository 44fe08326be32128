#include "vorn/algorithm.h"

#include <cassert>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <iostream>
#include <string>

#include "common/runtime.h"
#include "symbolic/renamer.h"
#include "symbolic/unifier.h"

namespace vorn {

void (*closure_step_hook)() = nullptr;

using sym::StateConstRule;
using sym::StateRule;
using sym::StateTransRule;

// What an add operation reports to: the engine's observer, if any.
struct Watch {
    Observer* observer;
    const Algorithm& engine;
    bool& stopped;

    void dropped(const StateRule* rule) const {
        if (observer) observer->dropped(rule);
    }
    void failed(Meeting meeting, const StateRule* first, const StateRule* second) const {
        if (observer) observer->failed(meeting, first, second);
    }
};

namespace {

const std::string separator_short(43, '-');
const std::string separator_long(86, '-');

template <class Rule>
Rule* rule_of(Rule* rule) {
    return rule;
}
template <class Rule>
Rule* rule_of(const std::pair<size_t, Rule*>& entry) {
    return entry.second;
}

// Whether the held rule and the newcomer must be tested: false only when
// neither can imply the other by the quick features.
inline bool worth_testing(const sym::RuleFeatures::Quick& held, const sym::RuleFeatures::Quick& rule, bool removes) {
    return sym::may_imply_quick(held, rule) || (removes && sym::may_imply_quick(rule, held));
}

enum class Found { NO, YES, UNKNOWN };

// Whether a held rule implies the newcomer, for a list whose adds remove no
// held rule. When no held rule that holds a configuration passes the quick
// test, every test that remains is pure: none issues a name, so the answer
// does not depend on the order of the tests, and the most recent held rules,
// which are the ones that imply a newcomer far more often, go first. UNKNOWN
// when the tests must run in list order.
template <class Rule, class Entry>
Found implied_by_any(HeldIndex<Entry>& index, const Rule* rule, const StateRule*& partner) {
    const sym::RuleFeatures::Quick& quick = rule->features().quick;
    auto& slots = index.slots();
    for (size_t k : index.impure())
        if (slots[k].held && sym::may_imply_quick(slots[k].quick, quick)) return Found::UNKNOWN;
    for (size_t k = slots.size(); k-- > 0;) {
        if (!slots[k].held || !sym::may_imply_quick(slots[k].quick, quick)) continue;
        partner = rule_of(*slots[k].position);
        if (rule_of(*slots[k].position)->imply(rule)) return Found::YES;
    }
    return Found::NO;
}

// The shared add procedure: reject the newcomer when a held rule implies it,
// otherwise drop the held rules it implies (when `removes`) and append it.
// Held rules are visited in list order, through the index.
template <class Rule, class List, class Entry>
bool add_rule(List& list, HeldIndex<Entry>& index, Rule* rule, const Entry& entry, bool removes,
              const Watch& watch) {
    // The held rule being compared with the newcomer, for a model error.
    const StateRule* partner = nullptr;
    try {
        const sym::RuleFeatures::Quick& quick = rule->features().quick;
        // Skipping needs one arity per symbol: a model error must come up where it would.
        const bool skips = sym::arities_consistent();
        Found found = skips && !removes ? implied_by_any(index, rule, partner) : Found::UNKNOWN;
        auto& slots = index.slots();
        for (size_t k = 0; k < slots.size() && found == Found::UNKNOWN; ++k) {
            if (!slots[k].held) continue;
            if (skips && !worth_testing(slots[k].quick, quick, removes)) {
#ifdef VORN_CROSSCHECK
                Rule* held = rule_of(*slots[k].position);
                // Both tests must answer false here, as the full tests confirm.
                if (held->imply(rule) || (removes && rule->imply(held))) {
                    std::cerr << "index skipped a rule that implication relates" << std::endl;
                    std::abort();
                }
#endif
                continue;
            }
            Rule* held = rule_of(*slots[k].position);
            partner = held;
            if (held->imply(rule)) {
                found = Found::YES;
                break;
            }
            if (removes && rule->imply(held)) {
                partner = nullptr;
                watch.dropped(held);
                delete held;
                list.erase(slots[k].position);
                index.release(k);
            }
        }
#ifdef VORN_CROSSCHECK
        // Without removals, the answer found out of order is the answer in order.
        if (!removes && found != Found::UNKNOWN) {
            bool any = false;
            for (const auto& entry : list) any = any || rule_of(entry)->imply(rule);
            if (any != (found == Found::YES)) {
                std::cerr << "out-of-order search for an implying rule disagrees" << std::endl;
                std::abort();
            }
        }
#endif
        index.compact();
        if (found == Found::YES) {
            std::cout << "Adding failed. " << std::endl;
            watch.dropped(rule);
            delete rule;
            return false;
        }
        if (watch.observer && !watch.observer->admit(watch.engine, rule)) {
            watch.stopped = true;
            watch.dropped(rule);
            delete rule;
            return false;
        }
    } catch (const common::UserError&) {
        if (partner != nullptr) watch.failed(Meeting::IMPLICATION, partner, rule);
        delete rule;
        throw;
    } catch (...) {
        // The newcomer is owned here until it is appended.
        delete rule;
        throw;
    }
    std::cout << "Adding Successful. " << std::endl;
    list.push_back(entry);
    index.append(std::prev(list.end()), rule->features());
    return true;
}

// A copy of the rule that passes over its selected configuration premise.
template <class Rule>
Rule* configuration_variant(const Rule* rule, size_t select, const Watch& watch) {
    sym::Unifier unifier;
    Rule* copy = static_cast<Rule*>(rule->map(unifier, StateRule::NONSELECTABLE));
    copy->set_nonselectable_at(select);
    sym::Renamer renamer;
    copy->rename(renamer);
    if (watch.observer) watch.observer->varied(rule, copy);
    return copy;
}

// Composes the provider into the consumer's premise; reports and queues the results.
template <class Rule>
void compose_into(const StateConstRule* provider, size_t index, const Rule* consumer, std::list<Rule*>& queue,
                  const Watch& watch) {
    std::list<StateRule*> results;
    try {
        results = provider->compose(index, consumer);
    } catch (const common::UserError&) {
        watch.failed(Meeting::COMPOSITION, provider, consumer);
        throw;
    }
    if (results.empty()) return;
    if (watch.observer) watch.observer->composed(provider, index, consumer, results);
    std::cout << std::endl;
    provider->info(std::cout);
    std::cout << "Composes at index " << index << ":" << std::endl;
    consumer->info(std::cout);
    for (const StateRule* result : results) {
        std::cout << std::endl << "Composition Successful for :" << std::endl;
        result->info(std::cout);
    }
    for (StateRule* result : results) queue.push_back(static_cast<Rule*>(result));
}

void print_separator() { std::cout << std::endl << separator_short << std::endl << std::endl; }

template <class List>
void print_rules(std::ostream& os, const List& list, const std::string& heading, const std::string& label) {
    os << heading << std::endl << std::endl;
    for (const auto& entry : list) {
        os << label << std::endl;
        rule_of(entry)->info(os);
        os << std::endl;
    }
}

template <class List>
void print_selectable_rules(std::ostream& os, const List& list, const std::string& heading) {
    os << heading << std::endl << std::endl;
    for (const auto& entry : list) {
        os << "Select Rule at " << entry.first << ":" << std::endl;
        entry.second->info(os);
        os << std::endl;
    }
}

// Frees what is left in a work queue when an exception ends a closure.
template <class Rule>
struct QueueGuard {
    std::list<Rule*>& queue;
    ~QueueGuard() {
        if (std::uncaught_exceptions() == 0) return;
        for (Rule* rule : queue) delete rule;
        queue.clear();
    }
};

// Empties a work queue whose rules will never be tried.
template <class Rule>
void drain(std::list<Rule*>& queue, const Watch& watch) {
    for (Rule* rule : queue) {
        watch.dropped(rule);
        delete rule;
    }
    queue.clear();
}

template <class List>
void delete_rules(List& list) {
    for (auto& entry : list) delete rule_of(entry);
    list.clear();
}

}  // namespace

Algorithm::~Algorithm() {
    delete_rules(_se_const_rules);
    delete_rules(_ns_const_rules);
    delete_rules(_se_trans_rules);
    delete_rules(_ns_trans_rules);
    delete_rules(_final_rules);
    // Target rules live as long as the engine.
    delete_rules(_target_rules);
}

bool Algorithm::add_se_const_rule(size_t select, StateConstRule* rule) {
    assert(rule->select() == select && select != StateConstRule::NONSELECTABLE);
    std::cout << "Try Add Selectable Consistent Rule at " << select << ":" << std::endl;
    rule->info(std::cout);
    return add_rule(_se_const_rules, _se_const_index, rule, std::make_pair(select, rule), true, watch());
}

bool Algorithm::add_ns_const_rule(StateConstRule* rule) {
    assert(rule->select() == StateConstRule::NONSELECTABLE && rule->event_conclusion() == false);
    std::cout << "Try Add Nonselectable Consistent Rule:" << std::endl;
    rule->info(std::cout);
    return add_rule(_ns_const_rules, _ns_const_index, rule, rule, true, watch());
}

bool Algorithm::add_se_trans_rule(size_t select, StateTransRule* rule) {
    assert(rule->select() == select && select != StateConstRule::NONSELECTABLE);
    std::cout << "Try Add Selectable Transfer Rule at " << select << ":" << std::endl;
    rule->info(std::cout);
    return add_rule(_se_trans_rules, _se_trans_index, rule, std::make_pair(select, rule), true, watch());
}

bool Algorithm::add_ns_trans_rule(StateTransRule* rule) {
    assert(rule->select() == StateConstRule::NONSELECTABLE);
    std::cout << "Try Add Nonselectable Transfer Rule:" << std::endl;
    rule->info(std::cout);
    return add_rule(_ns_trans_rules, _ns_trans_index, rule, rule, true, watch());
}

bool Algorithm::add_final_rule(StateConstRule* rule) {
    assert(rule->select() == StateConstRule::NONSELECTABLE && rule->event_conclusion() == true);
    std::cout << "Try Add Final Consistent Rule:" << std::endl;
    rule->info(std::cout);
    return add_rule(_final_rules, _final_index, rule, rule, false, watch());
}

Watch Algorithm::watch() { return Watch{_observer, *this, _stopped}; }

bool Algorithm::next_step(size_t queued) {
    if (closure_step_hook) closure_step_hook();
    if (!_stopped && _observer && !_observer->step(*this, queued)) _stopped = true;
    if (_stopped) return false;
    ++_tried;
    return true;
}

void Algorithm::close_const_rule(std::list<StateConstRule*>& rules) {
    QueueGuard<StateConstRule> guard{rules};
    while (!rules.empty()) {
        if (!next_step(rules.size())) break;
        StateConstRule* rule = rules.front();
        rules.pop_front();
        size_t select = rule->select();
        bool event = rule->event_conclusion();
        bool added;
        if (select == StateRule::NONSELECTABLE) {
            added = event ? add_final_rule(rule) : add_ns_const_rule(rule);
        } else {
            if (rule->is_confg_at(select)) rules.push_back(configuration_variant(rule, select, watch()));
            added = add_se_const_rule(select, rule);
        }
        if (_stopped) break;
        if (added) {
            if (select != StateRule::NONSELECTABLE) {
                for (const StateConstRule* provider : _ns_const_rules)
                    compose_into(provider, select, rule, rules, watch());
            } else if (!event) {
                for (const auto& consumer : _se_const_rules)
                    compose_into<StateConstRule>(rule, consumer.first, consumer.second, rules, watch());
            }
        }
        print_separator();
    }
    drain(rules, watch());
}

void Algorithm::close_trans_rule(std::list<StateTransRule*>& rules) {
    QueueGuard<StateTransRule> guard{rules};
    while (!rules.empty()) {
        if (!next_step(rules.size())) break;
        StateTransRule* rule = rules.front();
        rules.pop_front();
        size_t select = rule->select();
        if (select == StateRule::NONSELECTABLE) {
            add_ns_trans_rule(rule);
        } else if (add_se_trans_rule(select, rule)) {
            if (rule->is_confg_at(select)) rules.push_back(configuration_variant(rule, select, watch()));
            for (const StateConstRule* provider : _ns_const_rules)
                compose_into(provider, select, rule, rules, watch());
        }
        if (_stopped) break;
        print_separator();
    }
    drain(rules, watch());
}

void Algorithm::complete() {
    std::cout << std::endl;
    // Final rules are only ever appended, so the walk reaches those added on the way.
    for (auto final_rule = _final_rules.begin(); final_rule != _final_rules.end() && !_stopped; ++final_rule) {
        for (const StateTransRule* transfer : _ns_trans_rules) {
            if (_stopped) break;
            transfer->info(std::cout);
            std::cout << "Transfer rule :" << std::endl;
            (*final_rule)->info(std::cout);
            std::cout << std::endl << separator_long << std::endl << std::endl;
            std::list<StateConstRule*> results;
            try {
                results = transfer->transfer(*final_rule);
            } catch (const common::UserError&) {
                if (_observer) _observer->failed(Meeting::TRANSFER, transfer, *final_rule);
                throw;
            }
            if (_observer) _observer->transferred(transfer, *final_rule, results);
            close_const_rule(results);
        }
    }
}

void Algorithm::analysis(std::vector<std::pair<sym::State*, bool>> queries) {
    for (const StateConstRule* final_rule : _final_rules) {
        StateRule* target = nullptr;
        try {
            target = final_rule->accessable(queries);
        } catch (const common::UserError&) {
            if (_observer) _observer->failed(Meeting::ACCESS, final_rule, nullptr);
            throw;
        }
        if (target == nullptr) continue;
        std::cout << "Analysis Accessability : " << std::endl;
        final_rule->info(std::cout);
        std::cout << std::endl;
        std::cout << "Accessability Successful :" << std::endl;
        target->info(std::cout);
        std::cout << std::endl;
        std::cout << separator_short << std::endl << std::endl;
        if (_observer) _observer->targeted(final_rule, target);
        _target_rules.push_back(static_cast<StateConstRule*>(target));
    }
}

void Algorithm::print_se_const_rules(std::ostream& os) const {
    print_selectable_rules(os, _se_const_rules, "Selectable Consistent Rules. ");
}

void Algorithm::print_ns_const_rules(std::ostream& os) const {
    print_rules(os, _ns_const_rules, "Not Selectable Consistent Rules. ", "Not Selectable Rule :");
}

void Algorithm::print_se_trans_rules(std::ostream& os) const {
    print_selectable_rules(os, _se_trans_rules, "Selectable Transfer Rules. ");
}

void Algorithm::print_ns_trans_rules(std::ostream& os) const {
    print_rules(os, _ns_trans_rules, "Not Selectable Transfer Rules. ", "Not Selectable Rule :");
}

void Algorithm::print_final_rules(std::ostream& os) const {
    print_rules(os, _final_rules, "Final Rules. ", "Final Rule :");
}

void Algorithm::print_target_rules(std::ostream& os) const {
    print_rules(os, _target_rules, "Target Rules. ", "Target Rule :");
}

std::vector<size_t> Algorithm::set_sizes() const {
    return {_se_const_rules.size(), _ns_const_rules.size(), _se_trans_rules.size(),
            _ns_trans_rules.size(), _final_rules.size(), _target_rules.size()};
}

size_t Algorithm::rule_count() const {
    return _se_const_rules.size() + _ns_const_rules.size() + _se_trans_rules.size() + _ns_trans_rules.size() +
           _final_rules.size() + _target_rules.size();
}

}  // namespace vorn
