#include <algorithm>
#include <cassert>
#include <iterator>
#include <memory>
#include <string>

#include "common/runtime.h"
#include "symbolic/enumerator.h"
#include "symbolic/know.h"
#include "symbolic/renamer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"

namespace sym {

std::list<StateConstRule*> StateTransRule::transfer(const StateConstRule* rule) const {
    std::list<StateConstRule*> result;

    // Candidate processes of the rule for each conversion's target state.
    std::vector<std::vector<size_t>> partition_map;
    for (const auto& conversion : _conversions) {
        std::string key = conversion.second->key();
        std::vector<size_t> candidates;
        for (size_t index = 0; index < rule->_partitions.size(); ++index) {
            assert(rule->_partitions.at(index).first.empty() == false);
            if (rule->first_state(rule->_partitions[index])->key() == key) {
                candidates.push_back(index);
                break;
            }
        }
        if (candidates.empty()) {
            for (size_t index = 0; index < rule->_partitions.size(); ++index) {
                assert(rule->_partitions.at(index).first.empty() == false);
                if (rule->first_state(rule->_partitions[index])->predicate().id() == conversion.second->predicate().id())
                    candidates.push_back(index);
            }
        }
        if (candidates.empty()) return result;
        partition_map.push_back(std::move(candidates));
    }
    assert(partition_map.size() == _conversions.size());

    Enumerator enumerator;
    for (const auto& candidates : partition_map) enumerator.add_dimension(candidates.size());

    std::vector<ConversionMap> kept;
    do {
        const std::vector<unsigned>& choice = enumerator.current();
        std::vector<size_t> chosen;
        SIDs all;
        for (size_t i = 0; i < partition_map.size(); ++i) {
            chosen.push_back(partition_map[i].at(choice.at(i)));
            const SIDs& process = rule->_partitions.at(chosen.back()).first;
            all.insert(process.begin(), process.end());
        }

        // Candidate sets of replaced states: unions of ordering sets.
        std::set<SIDs> covers;
        for (SID sid : all) {
            const SIDs& ordering = rule->_states.at(sid).second;
            std::set<SIDs> batch;
            batch.insert(ordering);
            for (const SIDs& cover : covers) {
                if (cover.count(sid)) continue;
                SIDs united = cover;
                united.insert(ordering.begin(), ordering.end());
                batch.insert(std::move(united));
            }
            covers.insert(batch.begin(), batch.end());
        }

        for (const SIDs& cover : covers) {
            ConversionMap mC;
            bool admissible = true;
            for (size_t i = 0; i < _conversions.size() && admissible; ++i) {
                const SIDs& process = rule->_partitions.at(chosen[i]).first;
                if (_conversions[i].first == nullptr) {
                    admissible = std::includes(cover.begin(), cover.end(), process.begin(), process.end());
                    mC.emplace_back(chosen[i], process);
                } else {
                    SIDs covered;
                    std::set_intersection(cover.begin(), cover.end(), process.begin(), process.end(),
                                          std::inserter(covered, covered.end()));
                    admissible = !covered.empty();
                    mC.emplace_back(chosen[i], std::move(covered));
                }
            }
            if (admissible) kept.push_back(std::move(mC));
        }
    } while (enumerator.next());

    try {
        for (const ConversionMap& mC : kept) result.splice(result.end(), transfer(mC, rule));
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

        ret->validate();
        Renamer renamer;
        ret->rename(renamer);
        ret->recompute_latest();
    } catch (UnifyFailed&) {
        return nullptr;
    }
    return static_cast<StateConstRule*>(ret.release());
}

}  // namespace sym
