#include "vorn/saturation/algorithm.h"

#include <cassert>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <vector>

#include "common/runtime.h"
#include "symbolic/know.h"
#include "vorn/saturation/algorithm_watch.h"

// Adding a rule to one of the five held sets: the implication tests between
// the newcomer and the held rules, and the held-rule index that picks the
// rules worth testing.

namespace vorn {

using sym::StateConstRule;
using sym::StateRule;
using sym::StateTransRule;

namespace {

typedef FeatureIndex::Slot Slot;

// Whether the held rule and the newcomer must be tested: false only when
// neither can imply the other by their features, which implication itself
// finds out first without issuing a name.
template <class Rule>
bool worth_testing(const Rule* held, const Rule* rule, bool removes) {
    return sym::may_imply(held, rule) || (removes && sym::may_imply(rule, held));
}

enum class Found { NO, YES, UNKNOWN };

// Whether the rule concludes the knowledge of a configuration.
bool concludes_configuration(const StateRule* rule) {
    if (rule->type() != StateRule::CONSIST) return false;
    const sym::Fact* conclusion = static_cast<const StateConstRule*>(rule)->conclusion();
    return conclusion->type() == sym::Fact::OKNOW &&
           static_cast<const sym::Know*>(conclusion)->term()->type() == sym::Term::CONFG;
}

// Whether `general` makes `specific` redundant: it implies it. With the
// levers, whose order of work differs, a rule that concludes the knowledge of
// a configuration stands in only for a rule that concludes one too, since it
// resolves no other premise.
// `screened`: the quick test already admitted the pair (see imply).
template <class Rule>
bool redundant(const Rule* general, const Rule* specific, const Watch& watch, bool screened = false) {
    if (!general->imply(specific, screened)) return false;
    return watch.levers == nullptr || concludes_configuration(general) == concludes_configuration(specific);
}

#ifdef VORN_CROSSCHECK
// The flat scan: every held rule, in list order, that the tests admit. The
// index must have found exactly these.
template <class Rule, class Entry>
void compare_with_flat_scan(const HeldIndex<Entry>& index, const Rule* rule, bool removes,
                            const std::vector<Slot>& found, const std::vector<uint8_t>* sides = nullptr) {
    std::vector<Slot> flat;
    std::vector<uint8_t> flat_sides;
    for (Slot k = 0; k < index.slots(); ++k) {
        if (!index.held(k)) continue;
        const Rule* held = rule_of(*index.position(k));
        if (!worth_testing(held, rule, removes)) continue;
        flat.push_back(k);
        flat_sides.push_back((sym::may_imply(held, rule) ? FeatureIndex::GENERAL : 0) |
                             (removes && sym::may_imply(rule, held) ? FeatureIndex::SPECIFIC : 0));
    }
    if (flat != found || (sides && *sides != flat_sides)) {
        std::cerr << "held-rule index and flat scan disagree: " << found.size() << " against " << flat.size()
                  << " rules" << std::endl;
        std::abort();
    }
}
#endif

// The held rules to test against a newcomer, in list order: all of them
// when one symbol has been met with two arities (a model error must come
// up where it would), otherwise those the index finds. `sides` tells for
// each which tests the quick test admits (FeatureIndex::GENERAL, SPECIFIC),
// or 0 when it was not asked and both tests must run in full.
template <class Rule, class Entry>
void rules_to_test(HeldIndex<Entry>& index, const Rule* rule, bool removes, std::vector<Slot>& out,
                   std::vector<uint8_t>& sides) {
    out.clear();
    sides.clear();
    if (!sym::arities_consistent()) {
        for (Slot k = 0; k < index.slots(); ++k)
            if (index.held(k)) out.push_back(k);
        sides.assign(out.size(), 0);
        return;
    }
    index.implication_candidates(rule->features(), removes, out, &sides);
#ifdef VORN_CROSSCHECK
    compare_with_flat_scan(index, rule, removes, out, &sides);
#endif
}

// The newest held rules, tested before the index is asked: a newcomer that a
// held rule implies is most often implied by one held shortly before it.
const FeatureIndex::Slot recent_window = 32;

// Whether a held rule implies the newcomer, for a list whose adds remove no
// held rule. When no held rule that holds a configuration passes the quick
// test, every test that remains is pure: none issues a name, so the answer
// does not depend on the order of the tests, and the newest held rules go
// first, then the older ones as the index finds them. UNKNOWN
// when the tests must run in list order.
template <class Rule, class Entry>
Found implied_by_any(HeldIndex<Entry>& index, const Rule* rule, [[maybe_unused]] std::vector<Slot>& candidates,
                     const StateRule*& held_partner, const Watch& watch) {
    const sym::RuleFeatures& features = rule->features();
    if (index.impure_may_imply(features)) return Found::UNKNOWN;
    // Every rule tested here passed the quick test.
    auto implies = [&](Slot k) {
        const Rule* held = rule_of(*index.position(k));
        held_partner = held;
        return redundant(held, rule, watch, true);
    };
    const Slot older = index.slots() > recent_window ? index.slots() - recent_window : 0;
    for (Slot k = index.slots(); k-- > older;)
        if (index.held(k) && sym::may_imply_features(index.features(k), features) && implies(k)) return Found::YES;
#ifdef VORN_CROSSCHECK
    index.implication_candidates(features, false, candidates);
    compare_with_flat_scan(index, rule, false, candidates);
#endif
    // The walk stops at the first rule that implies the newcomer.
    return index.any_general(features, older, implies) ? Found::YES : Found::NO;
}

// The shared add procedure: reject the newcomer when a held rule implies it,
// otherwise drop the held rules it implies (when `removes`) and append it.
// Held rules are visited in list order.
template <class Rule, class List, class Entry>
bool add_rule(List& list, HeldIndex<Entry>& index, Rule* rule, const Entry& entry, bool removes, PartnerKey partner,
              const Watch& watch) {
    // The held rule being compared with the newcomer, for a model error.
    const StateRule* held_partner = nullptr;
    try {
        thread_local std::vector<Slot> candidates;
        thread_local std::vector<uint8_t> sides;
        // The newcomer's features record the arities of its symbols: computed
        // first, so that a symbol it meets with a second arity sends every
        // held rule to the tests below.
        rule->features();
        Found found = sym::arities_consistent() && !removes ? implied_by_any(index, rule, candidates, held_partner, watch)
                                                            : Found::UNKNOWN;
        if (found == Found::UNKNOWN) rules_to_test(index, rule, removes, candidates, sides);
        for (size_t i = 0; i < candidates.size() && found == Found::UNKNOWN; ++i) {
            Slot k = candidates[i];
            Rule* held = rule_of(*index.position(k));
            held_partner = held;
            // A test the quick test rejects answers false and issues no name: it is left out.
            bool screened = sides[i] != 0;
            if ((!screened || (sides[i] & FeatureIndex::GENERAL)) && redundant(held, rule, watch, screened)) {
                found = Found::YES;
                break;
            }
            if (removes && (!screened || (sides[i] & FeatureIndex::SPECIFIC)) && redundant(rule, held, watch, screened)) {
                held_partner = nullptr;
                watch.dropped(held);
                watch.pins.retire(held);
                list.erase(index.position(k));
                index.release(k);
            }
        }
#ifdef VORN_CROSSCHECK
        // Without removals, the answer found out of order is the answer in order.
        if (!removes && found != Found::UNKNOWN) {
            bool any = false;
            for (const auto& entry : list) any = any || redundant(rule_of(entry), rule, watch);
            if (any != (found == Found::YES)) {
                std::cerr << "out-of-order search for an implying rule disagrees" << std::endl;
                std::abort();
            }
        }
#endif
        index.compact();
        if (found == Found::YES) {
            if (watch.trace) *watch.trace << "Adding failed. " << std::endl;
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
        list.push_back(entry);
        index.append(std::prev(list.end()), &rule->features(), partner);
    } catch (const common::UserError&) {
        if (held_partner != nullptr) watch.failed(Meeting::IMPLICATION, held_partner, rule);
        if (list.empty() || rule_of(list.back()) != rule) {
            watch.dropped(rule);
            delete rule;
        }
        throw;
    } catch (...) {
        // The newcomer is owned here until it is appended.
        if (list.empty() || rule_of(list.back()) != rule) {
            watch.dropped(rule);
            delete rule;
        }
        throw;
    }
    if (watch.trace) *watch.trace << "Adding Successful. " << std::endl;
    return true;
}

}  // namespace

PartnerKey provider_key(const StateConstRule* rule) {
    const sym::Fact* conclusion = rule->conclusion();
    if (conclusion->type() != sym::Fact::OKNOW) return WILDCARD;
    return partner_key(static_cast<const sym::Know*>(conclusion)->term());
}

PartnerKey consumer_key(const StateRule* rule, size_t select) { return partner_key(rule->knows().at(select).first->term()); }

bool Algorithm::add_se_const_rule(size_t select, StateConstRule* rule) {
    assert(selection(rule) == select && select != StateConstRule::NONSELECTABLE);
    if (_trace) {
        *_trace << "Try Add Selectable Consistent Rule at " << select << ":" << std::endl;
        rule->info(*_trace);
    }
    return add_rule(_se_const_rules, _se_const_index, rule, std::make_pair(select, rule), true, consumer_key(rule, select), watch());
}

bool Algorithm::add_ns_const_rule(StateConstRule* rule) {
    assert(selection(rule) == StateConstRule::NONSELECTABLE && rule->event_conclusion() == false);
    if (_trace) {
        *_trace << "Try Add Nonselectable Consistent Rule:" << std::endl;
        rule->info(*_trace);
    }
    return add_rule(_ns_const_rules, _ns_const_index, rule, rule, true, provider_key(rule), watch());
}

bool Algorithm::add_se_trans_rule(size_t select, StateTransRule* rule) {
    assert(selection(rule) == select && select != StateConstRule::NONSELECTABLE);
    if (_trace) {
        *_trace << "Try Add Selectable Transfer Rule at " << select << ":" << std::endl;
        rule->info(*_trace);
    }
    return add_rule(_se_trans_rules, _se_trans_index, rule, std::make_pair(select, rule), true, consumer_key(rule, select), watch());
}

bool Algorithm::add_ns_trans_rule(StateTransRule* rule) {
    assert(selection(rule) == StateConstRule::NONSELECTABLE);
    if (_trace) {
        *_trace << "Try Add Nonselectable Transfer Rule:" << std::endl;
        rule->info(*_trace);
    }
    bool added = add_rule(_ns_trans_rules, _ns_trans_index, rule, rule, true, NOT_A_PARTNER, watch());
    if (added && _agenda) agenda_transfer_rule(rule);
    return added;
}

bool Algorithm::add_final_rule(StateConstRule* rule) {
    assert(selection(rule) == StateConstRule::NONSELECTABLE && rule->event_conclusion() == true);
    if (_trace) {
        *_trace << "Try Add Final Consistent Rule:" << std::endl;
        rule->info(*_trace);
    }
    bool added = add_rule(_final_rules, _final_index, rule, rule, false, NOT_A_PARTNER, watch());
    if (added && _agenda) agenda_final_rule(rule);
    return added;
}

}  // namespace vorn
