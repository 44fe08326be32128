// The versions of one process agree where no step of the model changes a
// state: unifying them there early drops the rules whose versions disagree,
// which no run has, and which the transfer back to the process's creation or
// the accessibility check would reject in the end.

#include <memory>

#include "symbolic/renamer.h"
#include "symbolic/srule_levers.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"

namespace sym {

Invariants Invariants::of(const std::list<StateTransRule*>& rules) {
    Invariants found;
    for (const StateTransRule* rule : rules) {
        for (const auto& conversion : rule->conversions()) {
            const State* from = conversion.first;
            const State* to = conversion.second;
            if (from == nullptr || from->predicate().id() != to->predicate().id()) continue;
            const auto& before = from->arguments();
            const auto& after = to->arguments();
            std::vector<bool>& changing = found._changing[from->predicate().id()];
            if (changing.size() < before.size()) changing.resize(before.size(), false);
            for (size_t i = 0; i < before.size(); ++i)
                if (i >= after.size() || !before[i].second->equal(after[i].second)) changing[i] = true;
        }
    }
    return found;
}

bool Invariants::invariant(Name::ID predicate, size_t position) const {
    auto found = _changing.find(predicate);
    return found == _changing.end() || position >= found->second.size() || !found->second[position];
}

Merge merge_invariant_versions(const StateRule* rule, const Invariants& invariants, StateRule*& merged) {
    merged = nullptr;
    Unifier unifier;
    bool any = false;
    for (const auto& partition : rule->partitions()) {
        const State* first = nullptr;
        for (StateRule::SID sid : partition.first) {
            auto state = rule->states().find(sid);
            if (state == rule->states().end()) continue;
            const State* version = state->second.first;
            if (first == nullptr) {
                first = version;
                continue;
            }
            const auto& ours = first->arguments();
            const auto& theirs = version->arguments();
            if (version->predicate().id() != first->predicate().id() || ours.size() != theirs.size()) continue;
            for (size_t i = 0; i < ours.size(); ++i) {
                if (ours[i].first || !invariants.invariant(first->predicate().id(), i)) continue;
                if (ours[i].second->equal(theirs[i].second)) continue;
                any = true;
                if (!ours[i].second->try_unify(theirs[i].second, unifier, Term::GENERALISE_DISABLED))
                    return Merge::CONTRADICTORY;
            }
        }
    }
    if (!any) return Merge::UNCHANGED;
    if (!unifier.loopfree()) return Merge::CONTRADICTORY;
    std::unique_ptr<StateRule> copy(rule->map(unifier, StateRule::NONSELECTABLE));
    if (!copy->try_validate()) return Merge::CONTRADICTORY;
    Renamer renamer;
    copy->rename(renamer);
    merged = copy.release();
    return Merge::MERGED;
}

}  // namespace sym
