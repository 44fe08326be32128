#include <cassert>
#include <memory>
#include <string>

#include "symbolic/know.h"
#include "symbolic/renamer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"
#include "symbolic/validation_record.h"

namespace sym {

std::vector<StateRule::Mapping> StateRule::partition_mappings(const StateRule* provider, const StateRule* consumer,
                                                              const Unifier& unifier) {
    // The first state of each consumer process, with the hash of its key.
    thread_local std::vector<std::pair<const State*, uint64_t>> consumer_keys;
    consumer_keys.clear();
    for (const auto& partition : consumer->_partitions) {
        const State* state = consumer->first_state(partition);
        consumer_keys.emplace_back(state, state->key_hash(&unifier));
    }

    // For each provider process: the consumer process of the same key, if
    // any; otherwise the consumer processes of the same predicate name.
    const size_t depth = provider->_partitions.size();
    std::vector<size_t> same(depth, NONSELECTABLE);
    std::vector<std::vector<size_t>> named(depth);
    for (size_t d = 0; d < depth; ++d) {
        assert(provider->_partitions[d].first.empty() == false);
        const State* state = provider->first_state(provider->_partitions[d]);
        uint64_t key = state->key_hash(&unifier);
        for (size_t i = 0; i < consumer_keys.size(); ++i) {
            if (consumer_keys[i].second != key || !state->same_key(consumer_keys[i].first, &unifier, &unifier)) continue;
            same[d] = i;
            break;
        }
        if (same[d] != NONSELECTABLE) continue;
        for (size_t i = 0; i < consumer_keys.size(); ++i)
            if (consumer_keys[i].first->predicate().id() == state->predicate().id()) named[d].push_back(i);
    }

    // Depth first, as a last-in-first-out stack would visit the mappings: a
    // process of the same key is the one choice, and taken only once; else
    // the processes of the same name, last first, then a process of its own.
    std::vector<Mapping> complete;
    Mapping mapping;
    std::vector<bool> taken(consumer_keys.size(), false);
    auto search = [&](auto& self) -> void {
        const size_t d = mapping.size();
        if (d == depth) {
            complete.push_back(mapping);
            return;
        }
        auto choose = [&](size_t i) {
            bool was = i != NONSELECTABLE && taken[i];
            if (i != NONSELECTABLE) taken[i] = true;
            mapping.push_back(i);
            self(self);
            mapping.pop_back();
            if (i != NONSELECTABLE) taken[i] = was;
        };
        if (same[d] != NONSELECTABLE) {
            if (!taken[same[d]]) choose(same[d]);
            return;
        }
        for (size_t k = named[d].size(); k-- > 0;) choose(named[d][k]);
        choose(NONSELECTABLE);
    };
    search(search);
    return complete;
}

void StateRule::unify_mapped_keys(const StateRule* provider, const StateRule* consumer, const Mapping& mappings,
                                  Unifier& unifier) {
    for (size_t i = 0; i < mappings.size(); ++i) {
        if (mappings[i] == NONSELECTABLE) continue;
        if (!provider->first_state(provider->_partitions.at(i))
                 ->try_unify_key(consumer->first_state(consumer->_partitions.at(mappings[i])), unifier))
            throw UnifyFailed();
    }
    if (!unifier.loopfree()) throw UnifyFailed();
}

void StateRule::merge_partitions(const StateRule* provider, const Mapping& mappings, StateRule* ret) {
    const Partitions& _partitions = provider->_partitions;
    assert(mappings.size() == _partitions.size());
    for (size_t i = 0; i < _partitions.size(); ++i) {
        assert(_partitions.at(i).second.empty());
        size_t mapping = mappings[i];
        if (mapping == NONSELECTABLE) {
            ret->_partitions.push_back(_partitions[i]);
            continue;
        }
        for (SID sid : _partitions[i].first) {
            auto res = ret->_partitions.at(mapping).first.insert(sid);
            assert(res.second);
            if (!ret->_partitions.at(mapping).second.empty()) {
                assert(ret->_partitions.at(mapping).second.size() == 1);
                ret->_states.at(sid).second.insert(*ret->_partitions.at(mapping).second.begin());
            }
        }
    }
}

std::list<StateRule*> StateConstRule::compose(size_t index, const StateRule* rule) const {
    std::list<StateRule*> result;
    try {
        compose(index, rule, [&](StateRule* composed) { result.push_back(composed); });
    } catch (...) {
        // A model error in a later candidate: the rules built so far are still ours.
        for (StateRule* composed : result) delete composed;
        throw;
    }
    return result;
}

void StateConstRule::compose(size_t index, const StateRule* rule, const std::function<void(StateRule*)>& take) const {
    std::unique_ptr<Candidates> all = candidates(index, rule);
    if (!all) return;
    for (const Mapping& mapping : all->mappings) {
        StateRule* composed = compose(mapping, all->unifier, index, rule);
        if (composed) take(composed);
    }
}

size_t StateConstRule::count_compositions(size_t index, const StateRule* rule) const {
    std::unique_ptr<Candidates> all = candidates(index, rule);
    if (!all) return 0;
    return count_compositions(*all, 0, index, rule);
}

size_t StateConstRule::count_compositions(const Candidates& all, size_t first, size_t index,
                                          const StateRule* rule) const {
    // Counted rules are thrown away: nothing to record of them.
    ValidationRecorderScope unrecorded(nullptr);
    size_t count = 0;
    for (size_t m = first; m < all.mappings.size(); ++m) {
        std::unique_ptr<StateRule> built(build(all.mappings[m], all.unifier, index, rule));
        if (!built) continue;
        built->issue_renaming();
        ++count;
    }
    return count;
}

std::unique_ptr<StateConstRule::Candidates> StateConstRule::candidates(size_t index, const StateRule* rule) const {
    assert(this != rule);
    auto all = std::make_unique<Candidates>();
    const Know* premise = rule->_knows.at(index).first;
    if (_conclusion->type() == Fact::OKNOW) {
        bool provides_configuration = static_cast<const Know*>(_conclusion)->term()->type() == Term::CONFG;
        bool needs_configuration = premise->term()->type() == Term::CONFG;
        if (provides_configuration != needs_configuration) return nullptr;
    }
    if (!_conclusion->try_unify(premise, all->unifier) || !all->unifier.loopfree()) return nullptr;
    all->mappings = partition_mappings(this, rule, all->unifier);
    return all;
}

StateRule* StateConstRule::compose(const Mapping& mappings, Unifier unifier, size_t index,
                                   const StateRule* rule) const {
    StateRule* built = build(mappings, unifier, index, rule);
    if (built) {
        Renamer renamer;
        built->rename(renamer);
    }
    return built;
}

StateRule* StateConstRule::build(const Mapping& mappings, Unifier unifier, size_t index, const StateRule* rule) const {
    assert(_partitions.size() == mappings.size());
    std::unique_ptr<StateRule> ret;
    try {
        unify_mapped_keys(this, rule, mappings, unifier);

        ret.reset(rule->map(unifier, index));
        insert_base(ret.get(), unifier, NONSELECTABLE);

        // The provider's states hold no later than the resolved knowledge is needed.
        const auto& resolved = rule->_knows.at(index).second;
        for (const auto& state : _states) {
            for (SID sid : resolved.second) {
                auto suc = ret->_states.at(state.first).second.insert(sid);
                assert(suc.second == true);
            }
        }
        if (_states.empty()) {
            for (size_t i = ret->_knows.size() - _knows.size(); i < ret->_knows.size(); ++i)
                ret->_knows[i].second = resolved;
        }

        merge_partitions(this, mappings, ret.get());

        if (rule->_states.empty()) {
            assert(rule->_latest.size() == 0);
            ret->_latest = _latest;
            if (ret->type() == TRANSFR && !_latest.empty())
                static_cast<StateTransRule*>(ret.get())->_latest_from_providers = true;
        }

        if (!ret->validated()) return nullptr;
    } catch (UnifyFailed&) {
        return nullptr;
    }
    return ret.release();
}

}  // namespace sym
