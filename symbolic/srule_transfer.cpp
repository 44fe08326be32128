#include <algorithm>
#include <cassert>
#include <iterator>
#include <memory>
#include <string>

#include "common/runtime.h"
#include "symbolic/implication.h"
#include "symbolic/know.h"
#include "symbolic/renamer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"
#include "symbolic/validation_record.h"

namespace sym {

namespace {

// What transfer(rule) works with; the buffers keep their memory from one call
// to the next (the call does not nest).
struct TransferScratch {
    // The first state of each process of the rule, with its predicate.
    std::vector<std::pair<const State*, Name::ID>> processes;
    // The candidate processes of all conversions, one range per conversion.
    std::vector<size_t> candidates;
    std::vector<std::pair<size_t, size_t>> ranges;
    // The odometer over the candidates, position 0 turning fastest.
    std::vector<size_t> choice, chosen;
    std::vector<StateRule::SIDs> covers, batch;
    // The admissible conversion maps, the first `kept` of them.
    std::vector<StateRule::ConversionMap> maps;
    size_t kept = 0;
    // Whether each state of the rule, by position, unifies on its own with
    // each conversion's target: UNTRIED, FITS or CLASHES; one row per conversion.
    std::vector<char> fits;
};

enum Fit : char { UNTRIED, FITS, CLASHES };

}  // namespace

std::list<StateConstRule*> StateTransRule::transfer(const StateConstRule* rule) const {
    std::list<StateConstRule*> result;
    thread_local TransferScratch scratch;
    TransferScratch& t = scratch;

    // A conversion whose target state names the predicate of no process of
    // the rule has no candidate, and the transfer no result: most pairs of a
    // final rule and a transfer rule end here.
    t.processes.clear();
    for (const auto& partition : rule->_partitions) {
        assert(partition.first.empty() == false);
        const State* state = rule->first_state(partition);
        t.processes.emplace_back(state, state->predicate().id());
    }
    for (const auto& conversion : _conversions) {
        Name::ID predicate = conversion.second->predicate().id();
        bool named = false;
        for (const auto& process : t.processes) named = named || process.second == predicate;
        if (!named) return result;
    }

    // Candidate processes for each conversion's target state: the process of
    // the same key, else every process of the same predicate.
    t.candidates.clear();
    t.ranges.clear();
    for (const auto& conversion : _conversions) {
        const State* target = conversion.second;
        size_t first = t.candidates.size();
        for (size_t index = 0; index < t.processes.size(); ++index) {
            if (t.processes[index].first->same_key(target, nullptr, nullptr)) {
                t.candidates.push_back(index);
                break;
            }
        }
        if (t.candidates.size() == first) {
            for (size_t index = 0; index < t.processes.size(); ++index)
                if (t.processes[index].second == target->predicate().id()) t.candidates.push_back(index);
        }
        assert(t.candidates.size() > first);
        t.ranges.emplace_back(first, t.candidates.size() - first);
    }

    // A conversion map makes rules only if every state it covers unifies
    // with its conversion's target on one substitution, and a state that
    // does not unify with the target on its own never does with more
    // bindings: maps with such a state are not built. That holds for rules
    // without configurations (a configuration may take a term whose
    // variables are bound, not one whose variables are free), and the test
    // must raise no model error, which consistent arities of both rules
    // ensure; features already at hand tell both, without recording arities
    // of rules not yet looked at.
    const bool screen = arities_consistent() && rule->_features && rule->_features->quick.pure && _features &&
                        _features->quick.pure;
    const size_t width = rule->_states.size();
    if (screen) t.fits.assign(_conversions.size() * width, UNTRIED);
    auto fits = [&](size_t i, SID sid) {
        size_t at = rule->_states.position(sid);
        char& fit = t.fits[i * width + at];
        if (fit == UNTRIED) {
            Unifier alone;
            try {
                fit = (rule->_states.begin() + static_cast<long>(at))->second.first->try_unify(_conversions[i].second,
                                                                                              alone)
                          ? FITS
                          : CLASHES;
            } catch (const common::UserError&) {
                // Left to the maps themselves, which raise it where they meet it.
                fit = FITS;
            }
        }
        return fit == FITS;
    };
    // Whether the chosen process of conversion i has states that may be
    // covered: every state without a source, at least one with one.
    auto may_cover = [&](size_t i, const SIDs& process) {
        if (_conversions[i].first == nullptr)
            return std::all_of(process.begin(), process.end(), [&](SID sid) { return fits(i, sid); });
        return std::any_of(process.begin(), process.end(), [&](SID sid) { return fits(i, sid); });
    };

    t.kept = 0;
    t.choice.assign(_conversions.size(), 0);
    for (bool more = true; more;) {
        t.chosen.clear();
        SIDs all;
        bool coverable = true;
        for (size_t i = 0; i < _conversions.size(); ++i) {
            t.chosen.push_back(t.candidates[t.ranges[i].first + t.choice[i]]);
            const SIDs& process = rule->_partitions.at(t.chosen.back()).first;
            if (screen && coverable) coverable = may_cover(i, process);
            all.insert(process.begin(), process.end());
        }
        if (!coverable) all.clear();

        // Candidate sets of replaced states: unions of ordering sets, in
        // ascending order of the sets, each once.
        t.covers.clear();
        for (SID sid : all) {
            const SIDs& ordering = rule->_states.at(sid).second;
            t.batch.clear();
            t.batch.push_back(ordering);
            for (const SIDs& cover : t.covers) {
                if (cover.count(sid)) continue;
                SIDs united = cover;
                united.insert(ordering.begin(), ordering.end());
                t.batch.push_back(std::move(united));
            }
            for (SIDs& cover : t.batch) t.covers.push_back(std::move(cover));
            std::sort(t.covers.begin(), t.covers.end());
            t.covers.erase(std::unique(t.covers.begin(), t.covers.end()), t.covers.end());
        }

        for (const SIDs& cover : t.covers) {
            if (t.maps.size() == t.kept) t.maps.emplace_back();
            ConversionMap& mC = t.maps[t.kept];
            mC.clear();
            bool admissible = true;
            for (size_t i = 0; i < _conversions.size() && admissible; ++i) {
                const SIDs& process = rule->_partitions.at(t.chosen[i]).first;
                if (_conversions[i].first == nullptr) {
                    admissible = std::includes(cover.begin(), cover.end(), process.begin(), process.end());
                    mC.emplace_back(t.chosen[i], process);
                } else {
                    SIDs covered;
                    std::set_intersection(cover.begin(), cover.end(), process.begin(), process.end(),
                                          std::inserter(covered, covered.end()));
                    admissible = !covered.empty();
                    mC.emplace_back(t.chosen[i], std::move(covered));
                }
                if (screen && admissible)
                    admissible = std::all_of(mC.back().second.begin(), mC.back().second.end(),
                                             [&](SID sid) { return fits(i, sid); });
            }
            if (admissible) ++t.kept;
        }

        // The next combination; done once every position has wrapped.
        more = false;
        for (size_t i = 0; i < t.choice.size() && !more; ++i) {
            if (++t.choice[i] < t.ranges[i].second)
                more = true;
            else
                t.choice[i] = 0;
        }
    }

    try {
        for (size_t k = 0; k < t.kept; ++k) result.splice(result.end(), transfer(t.maps[k], rule));
    } catch (...) {
        // A model error in a later conversion map: the rules built so far are still ours.
        for (StateConstRule* transferred : result) delete transferred;
        throw;
    }
    return result;
}

std::list<StateConstRule*> StateTransRule::transfer(const ConversionMap& mC, const StateConstRule* rule) const {
    assert(rule->_type == Type::CONSIST);
    assert(mC.size() == _conversions.size());
    std::list<StateConstRule*> result;
    Unifier unifier;
    for (size_t i = 0; i < mC.size(); ++i)
        for (SID sid : mC[i].second)
            if (!rule->_states.at(sid).first->try_unify(_conversions[i].second, unifier)) return result;
    if (!unifier.loopfree()) return result;
    try {
        for (const Mapping& mapping : partition_mappings(this, rule, unifier)) {
            StateConstRule* transferred = transfer(mapping, unifier, mC, rule);
            if (transferred) result.push_back(transferred);
        }
    } catch (...) {
        for (StateConstRule* transferred : result) delete transferred;
        throw;
    }
    return result;
}

bool StateTransRule::latest_before_step(const Mapping& mappings, const Unifier& unifier,
                                        const ConversionMap& mC) const {
    if (!_latest_from_providers) return false;
    for (size_t j = 0; j < _partitions.size(); ++j) {
        if (mappings.at(j) == NONSELECTABLE) continue;
        for (SID sid : _partitions[j].first) {
            if (_latest.count(sid) == 0) continue;
            auto found = _states.find(sid);
            if (found == _states.end()) continue;
            for (size_t i = 0; i < _conversions.size(); ++i) {
                if (_conversions[i].first == nullptr || mC.at(i).first != mappings[j]) continue;
                // A copy: the test must leave the substitution as it is. States
                // unify without generalising, so the test issues no name.
                Unifier trial = unifier;
                try {
                    if (!found->second.first->try_unify(_conversions[i].first, trial)) return true;
                } catch (const common::UserError&) {
                    // Arities that do not match: left to the steps that meet them.
                }
            }
        }
    }
    return false;
}

StateConstRule* StateTransRule::transfer(const Mapping& mappings, Unifier unifier, const ConversionMap& mC,
                                         const StateConstRule* rule) const {
    assert(_partitions.size() == mappings.size());
    std::unique_ptr<StateRule> ret;
    try {
        unify_mapped_keys(this, rule, mappings, unifier);

        ret.reset(rule->map(unifier, NONSELECTABLE));
        insert_base(ret.get(), unifier, NONSELECTABLE);

        // Copies of the source states, under fresh SIDs.
        std::vector<size_t> preC;
        SIDs sources;
        for (const auto& conversion : _conversions) {
            if (conversion.first == nullptr) {
                preC.push_back(NONSELECTABLE);
                continue;
            }
            SID sid = next_sid();
            std::unique_ptr<State> image(static_cast<State*>(conversion.first->map(unifier)));
            auto res = ret->_states.emplace(sid, std::make_pair(image.get(), SIDs{}));
            assert(res.second);
            image.release();
            preC.push_back(sid);
            sources.insert(sid);
        }

        // This rule's premises needed at its latest states are needed at the sources too.
        for (size_t i = ret->_knows.size() - _knows.size(); i < ret->_knows.size(); ++i) {
            SIDs& knowledge = ret->_knows[i].second.second;
            if (knowledge != _latest) continue;
            for (SID source : sources) {
                auto res = knowledge.insert(source);
                assert(res.second);
            }
        }

        for (SID source : sources) ret->_states.at(source).second.insert(sources.begin(), sources.end());

        for (const auto& entry : mC) {
            for (SID sid : rule->_partitions.at(entry.first).first) {
                if (entry.second.count(sid)) continue;
                ret->_states.at(sid).second.insert(sources.begin(), sources.end());
            }
            for (SID covered : entry.second) {
                const SIDs& ordering = ret->_states.at(covered).second;
                for (SID source : sources) ret->_states.at(source).second.insert(ordering.begin(), ordering.end());
            }
        }

        bool latest_before = latest_before_step(mappings, unifier, mC);
        for (const auto& state : _states) {
            SIDs& ordering = ret->_states.at(state.first).second;
            for (SID source : sources) {
                auto res = ordering.insert(source);
                assert(res.second);
            }
            if (_latest.count(state.first) == 0 || latest_before) continue;
            for (SID source : sources) {
                auto res = ret->_states.at(source).second.insert(state.first);
                assert(res.second);
            }
        }

        merge_partitions(this, mappings, ret.get());

        for (auto i = mC.begin(); i != mC.end(); ++i) {
            size_t source = preC.at(std::distance(mC.begin(), i));
            if (source == NONSELECTABLE) {
                assert(_conversions.at(std::distance(mC.begin(), i)).first == nullptr);
                continue;
            }
            ret->_partitions.at(i->first).first.insert(source);
            ret->_partitions.at(i->first).second.insert(source);
        }

        for (size_t i = 0; i < _conversions.size(); ++i) {
            if (_conversions[i].first != nullptr) continue;
            assert(mC.at(i).second.empty() == false);
            const State* replaced = rule->_states.at(*mC.at(i).second.begin()).first;
            ret->_past_states.push_back(static_cast<State*>(replaced->map(unifier)));
        }

        // Two conversions may cover one state; the candidate is then discarded.
        for (const auto& entry : mC) {
            for (SID covered : entry.second) {
                auto found = ret->_states.find(covered);
                if (found == ret->_states.end()) throw UnifyFailed();
                delete found->second.first;
                ret->_states.erase(found);
            }
        }

        if (ValidationRecorder* recorder = current_validation_recorder) recorder->converted(ret.get(), mC, preC);
        if (!ret->validated()) return nullptr;
        Renamer renamer;
        ret->rename(renamer);
        ret->recompute_latest();
    } catch (UnifyFailed&) {
        return nullptr;
    }
    return static_cast<StateConstRule*>(ret.release());
}

}  // namespace sym
