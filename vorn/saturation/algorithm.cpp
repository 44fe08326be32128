#include "vorn/saturation/algorithm.h"

#include <cassert>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <iostream>
#include <sstream>
#include <string>

#include "common/runtime.h"
#include "symbolic/namer.h"
#include "symbolic/poll.h"
#include "symbolic/renamer.h"
#include "symbolic/unifier.h"
#include "vorn/saturation/agenda.h"
#include "vorn/saturation/algorithm_watch.h"

namespace vorn {

void (*closure_step_hook)() = nullptr;

using sym::StateConstRule;
using sym::StateRule;
using sym::StateTransRule;

namespace {

typedef FeatureIndex::Slot Slot;

const std::string separator_short(43, '-');
const std::string separator_long(86, '-');

// A copy of the rule that passes over its selected configuration premise.
template <class Rule>
Rule* configuration_variant(const Rule* rule, size_t select, const Watch& watch) {
    sym::Unifier unifier;
    Rule* copy = static_cast<Rule*>(rule->map(unifier, StateRule::NONSELECTABLE));
    copy->set_nonselectable_at(select);
    sym::Renamer renamer;
    copy->rename(renamer);
    if (watch.observer) watch.observer->varied(rule, copy);
    watch.made(rule, nullptr, std::list<const StateRule*>{copy});
    return copy;
}

#ifdef VORN_CROSSCHECK
size_t fingerprint(const StateRule* rule) {
    std::ostringstream text;
    rule->info(text);
    return std::hash<std::string>()(text.str());
}
#endif

// While the queue holds fewer rules than this, a run without a trace makes
// the rules of a composition at once: making them costs as much as counting
// them, which deferring takes first. A longer queue defers the rest.
const size_t eager_queue = 4096;

// Composes the provider into the consumer's premise; reports and queues the
// results. When they may be deferred, the first ones are made and queued while
// the queue is short; the others are counted, the identifiers they take are
// noted, and the composition is queued in their place.
template <class Rule>
void compose_into(const StateConstRule* provider, size_t index, const Rule* consumer, WorkQueue<Rule>& queue,
                  const Watch& watch, bool now = false) {
    if (watch.postponing && !now) {
        watch.postpone(provider, index, consumer, queue);
        return;
    }
    if (watch.defer) {
        std::shared_ptr<StateConstRule::Candidates> all;
        size_t next = 0;
        IssuedRange issued;
        size_t made = 0;
        // Made again from its start, a composition computes its candidates
        // again, with the names they took; one made in part keeps them.
        issued.names_from = sym::namer.index();
        issued.sids_from = StateRule::_sid;
        try {
            all = provider->candidates(index, consumer);
            if (!all) return;
            std::list<StateRule*> made_now;
            try {
                for (; next < all->mappings.size() && queue.size() + made_now.size() < eager_queue; ++next)
                    if (StateRule* result = provider->compose(all->mappings[next], all->unifier, index, consumer))
                        made_now.push_back(result);
            } catch (...) {
                for (StateRule* result : made_now) delete result;
                throw;
            }
            // Shown to the observer as soon as they are made, as a composition
            // made whole would be.
            if (watch.observer && !made_now.empty()) watch.observer->composed(provider, index, consumer, made_now);
            for (StateRule* result : made_now) queue.push(static_cast<Rule*>(result));
            if (next == all->mappings.size()) return;
            if (next > 0) {
                issued.names_from = sym::namer.index();
                issued.sids_from = StateRule::_sid;
            }
            made = provider->count_compositions(*all, next, index, consumer);
        } catch (const common::UserError&) {
            watch.failed(Meeting::COMPOSITION, provider, consumer);
            throw;
        }
        if (made == 0) return;
        issued.names_to = sym::namer.index();
        issued.sids_to = StateRule::_sid;
        Deferred<Rule> deferred{provider, index, consumer, made, issued, next, next > 0 ? all : nullptr, {}};
#ifdef VORN_CROSSCHECK
        // The count against the rules themselves, made from the same identifiers.
        sym::namer.reissue_from(issued.names_from);
        StateRule::_sid = issued.sids_from;
        std::list<StateRule*> results;
        if (next == 0) results = provider->compose(index, consumer);
        for (size_t m = next; m > 0 && m < all->mappings.size(); ++m)
            if (StateRule* result = provider->compose(all->mappings[m], all->unifier, index, consumer))
                results.push_back(result);
        for (StateRule* result : results) deferred.fingerprints.push_back(fingerprint(result));
        for (StateRule* result : results) delete result;
        if (results.size() != made || sym::namer.index() != issued.names_to || StateRule::_sid != issued.sids_to) {
            std::cerr << "counting compositions disagrees with making them" << std::endl;
            std::abort();
        }
#endif
        queue.push(deferred);
        if (watch.observer) watch.observer->deferred(provider, index, consumer);
        return;
    }
    std::list<StateRule*> results;
    try {
        results = provider->compose(index, consumer);
    } catch (const common::UserError&) {
        watch.failed(Meeting::COMPOSITION, provider, consumer);
        throw;
    }
    if (results.empty()) return;
    watch.made(provider, consumer, results);
    if (watch.observer) watch.observer->composed(provider, index, consumer, results);
    if (std::ostream* trace = watch.trace) {
        *trace << std::endl;
        provider->info(*trace);
        *trace << "Composes at index " << index << ":" << std::endl;
        consumer->info(*trace);
        for (const StateRule* result : results) {
            *trace << std::endl << "Composition Successful for :" << std::endl;
            result->info(*trace);
        }
    }
    for (StateRule* result : results) queue.push(static_cast<Rule*>(result));
}

// The most rules made at once from a deferred composition: one step may make
// a great many, of which the queue need only hold what is tried next.
const size_t deferred_chunk = 1024;

// Lets a deferred composition go, with the observer told.
template <class Rule>
void release(WorkQueue<Rule>& queue, const Deferred<Rule>& deferred, Observer* observer) {
    if (observer) observer->released(deferred.provider, deferred.consumer);
    queue.release(deferred);
}

// Makes the next rules of a deferred composition again, with the identifiers
// they took the first time, in its place at the front of the queue (and
// shows them to the observer); what is left of it stays deferred behind them.
template <class Rule>
void make_deferred(WorkQueue<Rule>& queue, Observer* observer) {
    Deferred<Rule> deferred = queue.take_deferred();
    std::list<StateRule*> results;
    bool rest = false;
    struct Restore {
        WorkQueue<Rule>& queue;
        const Deferred<Rule>& deferred;
        Observer* observer;
        bool& rest;
        std::list<StateRule*>& results;
        sym::Name::ID names = sym::namer.index();
        size_t sids = StateRule::_sid;
        ~Restore() {
            sym::namer.reissue_from(names);
            StateRule::_sid = sids;
            if (!rest) release(queue, deferred, observer);
            for (StateRule* result : results) delete result;
        }
    } restore{queue, deferred, observer, rest, results, sym::namer.index(), StateRule::_sid};
    sym::namer.reissue_from(deferred.issued.names_from);
    StateRule::_sid = deferred.issued.sids_from;
    auto candidates = deferred.candidates;
    if (!candidates) candidates = deferred.provider->candidates(deferred.index, deferred.consumer);
    size_t next = deferred.first_mapping;
    while (candidates && next < candidates->mappings.size() && results.size() < deferred_chunk) {
        StateRule* result =
            deferred.provider->compose(candidates->mappings[next++], candidates->unifier, deferred.index, deferred.consumer);
        if (result) results.push_back(result);
    }
    rest = results.size() < deferred.rules;
    bool same = rest ? candidates && next < candidates->mappings.size()
                     : results.size() == deferred.rules && sym::namer.index() == deferred.issued.names_to &&
                           StateRule::_sid == deferred.issued.sids_to;
#ifdef VORN_CROSSCHECK
    size_t at = deferred.fingerprints.size() - deferred.rules;
    for (const StateRule* result : results) same = same && fingerprint(result) == deferred.fingerprints.at(at++);
#endif
    if (!same) {
        std::cerr << "a deferred composition came out differently the second time" << std::endl;
        std::abort();
    }
    if (observer && !results.empty())
        observer->composed(deferred.provider, deferred.index, deferred.consumer, results);
    if (rest) {
        Deferred<Rule> left = deferred;
        left.rules -= results.size();
        left.first_mapping = next;
        left.candidates = candidates;
        left.issued.names_from = sym::namer.index();
        left.issued.sids_from = StateRule::_sid;
        queue.put_back(left);
    }
    queue.put_back(results);
    results.clear();
}

void print_separator(std::ostream* trace) {
    if (trace) *trace << std::endl << separator_short << std::endl << std::endl;
}

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

// Empties a work queue whose rules will never be tried.
template <class Rule>
void drain_queue(WorkQueue<Rule>& queue, const Watch& watch) {
    while (!queue.empty()) {
        if (queue.front_is_deferred()) {
            release(queue, queue.take_deferred(), watch.observer);
            continue;
        }
        Rule* rule = queue.take();
        watch.dropped(rule);
        delete rule;
    }
}

// The next rule to try: deferred compositions at the front are made first.
template <class Rule>
Rule* next_rule(WorkQueue<Rule>& queue, Observer* observer) {
    while (queue.front_is_deferred()) make_deferred(queue, observer);
    return queue.take();
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

Watch Algorithm::watch() {
    // The abstraction marks the rules of each composition when it is made;
    // the fair saturation makes them when their turn comes.
    bool defer = _trace == nullptr && (_observer == nullptr || !_observer->wants_compositions()) &&
                 !_settings.abstraction() && !_settings.fair;
    return Watch{_observer, *this, _stopped, _trace, *_pins, defer, _levers.get(), _fair_knowledge != nullptr};
}

bool Algorithm::next_step(size_t queued) {
    if (closure_step_hook) closure_step_hook();
    if (!_stopped && _observer && !_observer->step(*this, queued)) _stopped = true;
    if (_stopped) return false;
    ++_tried;
    return true;
}

// Asks the observer, from inside long rule operations, whether to go on.
struct EnginePoll : sym::Poll {
    Observer* observer;
    const Algorithm& engine;
    EnginePoll(Observer* observer, const Algorithm& engine) : observer(observer), engine(engine) {}
    bool stop() override { return !observer->keep_going(engine); }
};

template <class Rule>
void Algorithm::close(std::list<Rule*>& rules, void (Algorithm::*step)(WorkQueue<Rule>&)) {
    // Most transfers give no rule: nothing to close.
    if (rules.empty()) return;
    WorkQueue<Rule> queue(rules, *_pins);
    EnginePoll poll(_observer, *this);
    sym::PollScope scope(_observer ? &poll : nullptr);
    while (!queue.empty() && next_step(queue.size())) {
        try {
            (this->*step)(queue);
        } catch (const sym::Abandoned&) {
            _stopped = true;
        }
    }
    drain_queue(queue, watch());
}

void Algorithm::drain(WorkQueue<StateConstRule>& queue) { drain_queue(queue, watch()); }
void Algorithm::drain(WorkQueue<StateTransRule>& queue) { drain_queue(queue, watch()); }

void Algorithm::make_postponed(const PostponedComposition& composition) {
    struct Unpin {
        Pins& pins;
        const PostponedComposition& composition;
        ~Unpin() {
            pins.unpin(composition.provider);
            pins.unpin(composition.consumer);
        }
    } unpin{*_pins, composition};
    if (composition.consistent)
        compose_into(composition.provider, composition.index,
                     static_cast<const StateConstRule*>(composition.consumer), *composition.consistent, watch(), true);
    else
        compose_into(composition.provider, composition.index,
                     static_cast<const StateTransRule*>(composition.consumer), *composition.transfer, watch(), true);
}

void Algorithm::close_const_rule(std::list<StateConstRule*>& rules) { close(rules, &Algorithm::const_step); }

void Algorithm::const_step(WorkQueue<StateConstRule>& rules) {
    StateConstRule* rule = next_rule(rules, _observer);
    if (_levers && (rule = prepare(rule, rules)) == nullptr) {
        print_separator(_trace);
        return;
    }
    size_t select = selection(rule);
    bool event = rule->event_conclusion();
    bool added;
    if (select == StateRule::NONSELECTABLE) {
        added = event ? add_final_rule(rule) : add_ns_const_rule(rule);
    } else {
        if (rule->is_confg_at(select)) queue_for(rule, rules).push(configuration_variant(rule, select, watch()));
        added = add_se_const_rule(select, rule);
    }
    if (_stopped) return;
    if (added) {
        if (select != StateRule::NONSELECTABLE) {
            _ns_const_index.partner_candidates(consumer_key(rule, select), _partners);
            WorkQueue<StateConstRule>& queue = queue_for(rule, rules);
            for (Slot k : _partners) compose_into(*_ns_const_index.position(k), select, rule, queue, watch());
        } else if (!event) {
            _se_const_index.partner_candidates(provider_key(rule), _partners);
            for (Slot k : _partners) {
                const auto& consumer = *_se_const_index.position(k);
                compose_into<StateConstRule>(rule, consumer.first, consumer.second, queue_for(consumer.second, rules),
                                             watch());
            }
            // Taking turns, a provider also meets the selectable transfer rules held.
            if (_fair_transfers) {
                _se_trans_index.partner_candidates(provider_key(rule), _partners);
                for (Slot k : _partners) {
                    const auto& consumer = *_se_trans_index.position(k);
                    compose_into<StateTransRule>(rule, consumer.first, consumer.second, *_fair_transfers, watch());
                }
            }
        }
    }
    print_separator(_trace);
}

void Algorithm::close_trans_rule(std::list<StateTransRule*>& rules) { close(rules, &Algorithm::trans_step); }

void Algorithm::trans_step(WorkQueue<StateTransRule>& rules) {
    StateTransRule* rule = next_rule(rules, _observer);
    if (_levers && (rule = prepare(rule)) == nullptr) {
        print_separator(_trace);
        return;
    }
    size_t select = selection(rule);
    if (select == StateRule::NONSELECTABLE) {
        add_ns_trans_rule(rule);
    } else if (add_se_trans_rule(select, rule)) {
        if (rule->is_confg_at(select)) rules.push(configuration_variant(rule, select, watch()));
        _ns_const_index.partner_candidates(consumer_key(rule, select), _partners);
        for (Slot k : _partners) compose_into(*_ns_const_index.position(k), select, rule, rules, watch());
    }
    if (_stopped) return;
    print_separator(_trace);
}

bool Algorithm::transfer_step(const StateConstRule* final_rule, const StateTransRule* transfer,
                              std::list<StateConstRule*>& results) {
    if (_trace) {
        transfer->info(*_trace);
        *_trace << "Transfer rule :" << std::endl;
        final_rule->info(*_trace);
        *_trace << std::endl << separator_long << std::endl << std::endl;
    }
    bool shown = false;
    try {
        results = transfer_final(transfer, final_rule, shown);
    } catch (const sym::Abandoned&) {
        _stopped = true;
        return false;
    } catch (const common::UserError&) {
        if (_observer) _observer->failed(Meeting::TRANSFER, transfer, final_rule);
        throw;
    }
    if (_observer && !shown) _observer->transferred(transfer, final_rule, results);
    if (_levers) _levers->inherit(transfer, final_rule, results);
    return true;
}

void Algorithm::complete() {
    if (_trace) *_trace << std::endl;
    EnginePoll poll(_observer, *this);
    sym::PollScope scope(_observer ? &poll : nullptr);
    // Final rules are only ever appended, so the walk reaches those added on the way.
    for (auto final_rule = _final_rules.begin(); final_rule != _final_rules.end() && !_stopped; ++final_rule) {
        for (const StateTransRule* transfer : _ns_trans_rules) {
            if (_stopped) break;
            std::list<StateConstRule*> results;
            if (!transfer_step(*final_rule, transfer, results)) break;
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
        _targets_abstracted.push_back(abstracted(final_rule));
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
