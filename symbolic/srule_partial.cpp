#include <algorithm>
#include <cassert>
#include <memory>

#include "symbolic/renamer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"

namespace sym {

namespace {

// Conversions with their candidate processes, matched one process each.
class ProcessMatching {
public:
    explicit ProcessMatching(const std::vector<std::vector<size_t>>& candidates) : _candidates(candidates) {}

    // The most conversions, among those not left out, that get a process of
    // their own.
    size_t size(const std::vector<bool>& left_out) {
        _owner.clear();
        _seen.clear();
        size_t matched = 0;
        for (size_t i = 0; i < _candidates.size(); ++i) {
            if (left_out[i]) continue;
            std::fill(_seen.begin(), _seen.end(), false);
            if (augment(i)) ++matched;
        }
        return matched;
    }

private:
    static constexpr size_t NONE = static_cast<size_t>(-1);

    bool augment(size_t conversion) {
        for (size_t process : _candidates[conversion]) {
            if (process >= _owner.size()) {
                _owner.resize(process + 1, NONE);
                _seen.resize(process + 1, false);
            }
            if (_seen[process]) continue;
            _seen[process] = true;
            if (_owner[process] == NONE || augment(_owner[process])) {
                _owner[process] = conversion;
                return true;
            }
        }
        return false;
    }

    const std::vector<std::vector<size_t>>& _candidates;
    std::vector<size_t> _owner;
    std::vector<bool> _seen;
};

// More conversions than this in one step are not looked at: the ways of
// choosing the lacking ones would be too many.
const size_t max_partial_conversions = 16;

}  // namespace

std::vector<size_t> StateTransRule::process_candidates(size_t index, const StateConstRule* rule) const {
    // As transfer(rule) chooses them.
    const State* target = _conversions.at(index).second;
    std::vector<size_t> candidates;
    for (size_t partition = 0; partition < rule->_partitions.size(); ++partition) {
        if (rule->first_state(rule->_partitions[partition])->same_key(target, nullptr, nullptr)) {
            candidates.push_back(partition);
            return candidates;
        }
    }
    for (size_t partition = 0; partition < rule->_partitions.size(); ++partition)
        if (rule->first_state(rule->_partitions[partition])->predicate().id() == target->predicate().id())
            candidates.push_back(partition);
    return candidates;
}

std::vector<StateTransRule::Partial> StateTransRule::transfer_partial(const StateConstRule* rule,
                                                                     PartialWatch* watch) const {
    std::vector<Partial> found;
    const size_t n = _conversions.size();
    if (n < 2 || n > max_partial_conversions) return found;
    std::vector<std::vector<size_t>> candidates;
    bool names_one = false;
    for (size_t i = 0; i < n; ++i) {
        candidates.push_back(process_candidates(i, rule));
        names_one = names_one || !candidates.back().empty();
    }
    // A rule that names no process of the step is not carried back through it.
    if (!names_one) return found;
    ProcessMatching matching(candidates);
    std::vector<bool> none(n, false);
    const size_t most = matching.size(none);
    // Every conversion has a process of its own: the transfer was tried in full.
    if (most == n) return found;
    const size_t lacking = n - most;

    try {
        // Every choice of `lacking` conversions that leaves the others a
        // process each, in the order of the bit masks.
        for (unsigned long mask = 1; mask < (1UL << n); ++mask) {
            if (static_cast<size_t>(__builtin_popcountl(mask)) != lacking) continue;
            std::vector<bool> left_out(n, false);
            std::vector<size_t> chosen;
            for (size_t i = 0; i < n; ++i) {
                if ((mask >> i) & 1UL) {
                    left_out[i] = true;
                    chosen.push_back(i);
                }
            }
            if (matching.size(left_out) != n - lacking) continue;
            std::unique_ptr<StateConstRule> completed(with_target_processes(rule, chosen));
            if (!completed) continue;
            if (watch) watch->completed(completed.get());
            std::list<StateConstRule*> rules = transfer(completed.get());
            if (watch) watch->carried(completed.get(), rules);
            if (rules.empty()) continue;
            found.push_back(Partial{std::move(chosen), std::move(rules)});
        }
    } catch (...) {
        for (Partial& partial : found)
            for (StateConstRule* made : partial.rules) delete made;
        throw;
    }
    return found;
}

StateConstRule* StateTransRule::with_target_processes(const StateConstRule* rule,
                                                      const std::vector<size_t>& conversions) const {
    Unifier none;
    std::unique_ptr<StateRule> copy(rule->map(none, NONSELECTABLE));
    SIDs added;
    for (size_t i = 0; i < conversions.size(); ++i) added.insert(next_sid());
    // The new processes hold together with the rule's latest states, after
    // every other state.
    SIDs together = copy->_latest;
    together.insert(added.begin(), added.end());
    for (auto& state : copy->_states) state.second.second.insert(added.begin(), added.end());
    auto sid = added.begin();
    for (size_t i : conversions) {
        std::unique_ptr<State> target(static_cast<State*>(_conversions.at(i).second->map(none)));
        auto res = copy->_states.emplace(*sid, std::make_pair(target.get(), together));
        assert(res.second);
        target.release();
        copy->_partitions.emplace_back(SIDs{*sid}, SIDs{});
        copy->_latest.insert(*sid);
        ++sid;
    }
    copy->changed();
    try {
        copy->validate();
    } catch (UnifyFailed&) {
        return nullptr;
    }
    Renamer renamer;
    copy->rename(renamer);
    copy->recompute_latest();
    return static_cast<StateConstRule*>(copy.release());
}

}  // namespace sym
