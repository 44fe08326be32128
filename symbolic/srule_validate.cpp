#include <algorithm>
#include <cassert>
#include <iostream>
#include <memory>
#include <string>

#include "common/runtime.h"
#include "symbolic/event.h"
#include "symbolic/know.h"
#include "symbolic/poll.h"
#include "symbolic/renamer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"
#include "symbolic/validation_record.h"

namespace sym {

namespace {

// Facts that left the rule during validation; deleted when validation ends,
// after the substitution that points into them has been applied.
struct Removeables {
    std::vector<Fact*> facts;
    ~Removeables() {
        for (Fact* fact : facts) delete fact;
    }
    void add(Fact* fact) { facts.push_back(fact); }
};

}  // namespace

void IdCounts::add_group(std::vector<unsigned>& ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    _ids.insert(_ids.end(), ids.begin(), ids.end());
    _sorted = false;
}

void IdCounts::add_fact(const Fact* fact, unsigned long mask) {
    thread_local std::vector<unsigned> ids;
    ids.clear();
    append_subterm_ids(fact, mask, ids);
    add_group(ids);
}

void IdCounts::add_group(const std::set<unsigned>& ids) {
    thread_local std::vector<unsigned> copy;
    copy.assign(ids.begin(), ids.end());
    add_group(copy);
}

unsigned IdCounts::count(unsigned id) const {
    if (!_sorted) {
        std::sort(_ids.begin(), _ids.end());
        _sorted = true;
    }
    auto range = std::equal_range(_ids.begin(), _ids.end(), id);
    return static_cast<unsigned>(range.second - range.first);
}

IdCounts StateRule::count_body(unsigned long mask) const {
    IdCounts counts;
    for (const auto& know : _knows) counts.add_fact(know.first, mask);
    for (const Event* event : _events) counts.add_fact(event, mask);
    for (const auto& state : _states) counts.add_fact(state.second.first, mask);
    return counts;
}

void StateRule::drop_unconstrained(const IdCounts& counts) {
    for (auto know = _knows.begin(); know != _knows.end();) {
        const Term* term = know->first->term();
        if ((term->type() == Term::VARIA || term->type() == Term::CONFG) && counts.count(term->name().id()) == 1) {
            delete know->first;
            know = _knows.erase(know);
            continue;
        }
        ++know;
    }
}

bool StateRule::try_validate() {
    try {
        return validated();
    } catch (UnifyFailed&) {
        return false;
    }
}

void StateRule::validate() {
    if (!validated()) throw UnifyFailed();
}

// Answers false where validate() throws: an exception costs far more than
// the test, and most rules that fail, fail here.
bool StateRule::validated() {
    poll();
    changed();
    Removeables removeables;
    Unifier unifier;
    // What validation does, for a recorder that follows states and premises.
    ValidationRecorder* recorder = current_validation_recorder;

    // Close the ordering sets transitively.
    for (bool grown = true; grown;) {
        grown = false;
        for (auto& state : _states) {
            SIDs copy = state.second.second;
            for (SID later : copy) {
                if (later == state.first) continue;
                auto found = _states.find(later);
                if (found == _states.end()) continue;
                for (SID sid : found->second.second)
                    if (state.second.second.insert(sid).second) grown = true;
            }
        }
    }

    // Events that generate the same fresh nonce are one event: for each
    // nonce, in ascending order, the events that generate it, in order.
    if (_events.size() >= 2) {
        thread_local std::vector<std::pair<unsigned, size_t>> positions;
        thread_local std::vector<unsigned> nonces;
        positions.clear();
        for (size_t i = 0; i < _events.size(); ++i) {
            nonces.clear();
            _events[i]->append_fresh_nonces(unifier, nonces);
            for (unsigned id : nonces) positions.emplace_back(id, i);
        }
        std::sort(positions.begin(), positions.end());
        positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
        // Runs of one nonce with more than one event, as [first, last).
        auto each_shared = [&](auto visit) {
            for (size_t first = 0, last; first < positions.size(); first = last) {
                for (last = first + 1; last < positions.size() && positions[last].first == positions[first].first;)
                    ++last;
                if (last - first >= 2) visit(first, last);
            }
        };
        bool unified = true;
        each_shared([&](size_t first, size_t last) {
            size_t p = positions[first].second;
            for (size_t k = first + 1; k < last && unified; ++k)
                unified = _events[p]->try_unify(_events[positions[k].second], unifier);
        });
        if (!unified) return false;
        each_shared([&](size_t first, size_t last) {
            for (size_t k = first + 1; k < last; ++k) {
                size_t q = positions[k].second;
                if (_events[q] == nullptr) continue;
                removeables.add(_events[q]);
                _events[q] = nullptr;
            }
        });
        _events.erase(std::remove(_events.begin(), _events.end(), nullptr), _events.end());
    }

    if (!unifier.loopfree()) return false;

    // The substitution is complete from here on: each state's key is hashed
    // once, and keys of equal hashes are compared term by term.
    struct Key {
        SID sid;
        const State* state;
        uint64_t hash;
    };
    thread_local std::vector<Key> keys;
    keys.clear();
    for (const auto& state : _states)
        keys.push_back(Key{state.first, state.second.first, state.second.first->key_hash(&unifier)});
    auto key_of = [&](SID sid) -> const Key& {
        return *std::lower_bound(keys.begin(), keys.end(), sid, [](const Key& entry, SID s) { return entry.sid < s; });
    };
    auto same = [&](const Key& a, const Key& b) {
        return a.hash == b.hash && a.state->same_key(b.state, &unifier, &unifier);
    };

    // A state must not have the key of a state that no longer holds.
    if (!_past_states.empty()) {
        thread_local std::vector<Key> past;
        past.clear();
        for (const State* state : _past_states) past.push_back(Key{0, state, state->key_hash(&unifier)});
        for (size_t p = 0; p < past.size(); ++p) {
            for (const Key& key : keys)
                if (same(key, past[p])) return false;
            for (size_t q = p + 1; q < past.size(); ++q)
                if (same(past[q], past[p])) return false;
        }
    }

    // Two processes cannot have the same key.
    thread_local std::vector<const Key*> process_keys;
    process_keys.clear();
    for (auto i = _partitions.begin(); i != _partitions.end(); ++i) {
        assert(i->first.empty() == false);
        for (SID sid : i->first) {
            if (_states.find(sid) == _states.end()) continue;
            const Key& key = key_of(sid);
            for (const Key* other : process_keys)
                if (same(*other, key)) return false;
            process_keys.push_back(&key);
            break;
        }
    }

    IdCounts counts = count_body(Term::BINDABLE);
    counts.add_group(conclusion_subterms(Term::BINDABLE));

    // A state is redundant beside an earlier state of its process when nothing
    // lies between them and it differs only in variables used nowhere else.
    // Folds, in ascending order of the folded state.
    thread_local std::vector<std::pair<SID, SID>> redundant;
    redundant.clear();
    auto folded = [&](SID sid) {
        for (const auto& fold : redundant)
            if (fold.first == sid) return true;
        return false;
    };
    for (const auto& state : _states) {
        const SID s = state.first;
        const Key& key = key_of(s);
        for (SID p : state.second.second) {
            if (p == s || folded(p)) continue;
            auto previous = _states.find(p);
            if (previous == _states.end() || !same(key_of(p), key)) continue;
            bool between = false;
            for (SID d : state.second.second) {
                if (d == s || previous->second.second.count(d)) continue;
                auto found = _states.find(d);
                if (found != _states.end() && found->second.second.count(p)) {
                    between = true;
                    break;
                }
            }
            if (between) continue;
            Unifier match;
            if (!state.second.first->try_unify_to(previous->second.first, match) || !match.loopfree()) continue;
            bool local = true;
            for (unsigned id : match.keys()) {
                if (counts.count(id) != 1) {
                    local = false;
                    break;
                }
            }
            if (!local) continue;
            redundant.emplace_back(s, p);
            break;
        }
    }
    for (const auto& fold : redundant) {
        auto state = _states.find(fold.first);
        removeables.add(state->second.first);
        for (auto& know : _knows)
            if (know.second.second.count(fold.first)) know.second.second.insert(fold.second);
        _states.erase(state);
    }

    // Rebuild the premises under the substitution, merging duplicates. An
    // empty substitution maps every fact to an equal copy: the facts stay.
    const bool identity = unifier.empty();
    Knows knows;
    knows.reserve(_knows.size());
    // For the recorder: the entry of the new list that each premise went to.
    thread_local std::vector<size_t> entry_of;
    entry_of.clear();
    try {
        for (auto& know : _knows) {
            // Held until it has a place: equal() throws on functions of different arity.
            std::unique_ptr<Know> image(identity ? know.first : static_cast<Know*>(know.first->map(unifier)));
            if (identity) know.first = nullptr;
            auto used = knows.end();
            for (auto entry = knows.begin(); entry != knows.end(); ++entry) {
                if (entry->first->equal(image.get())) {
                    used = entry;
                    break;
                }
            }
            if (used != knows.end()) {
                removeables.add(image.release());
            } else {
                knows.emplace_back(image.release(), std::make_pair(know.second.first, SIDs{}));
                used = knows.end() - 1;
            }
            used->second.second.insert(know.second.second.begin(), know.second.second.end());
            if (recorder) entry_of.push_back(static_cast<size_t>(used - knows.begin()));
        }
    } catch (...) {
        // Premises already moved over are owned by the new list alone.
        for (auto& entry : knows) delete entry.first;
        _knows.erase(std::remove_if(_knows.begin(), _knows.end(), [](const auto& k) { return k.first == nullptr; }),
                     _knows.end());
        throw;
    }
    for (auto& know : _knows)
        if (know.first) removeables.add(know.first);
    _knows = std::move(knows);
    // Sorting and simplifying move and drop premises, but keep their facts.
    thread_local std::vector<const Know*> entries;
    entries.clear();
    if (recorder) {
        for (const auto& know : _knows) entries.push_back(know.first);
    }

    if (!identity) {
        for (Event*& event : _events) {
            Event* image = static_cast<Event*>(event->map(unifier));
            removeables.add(event);
            event = image;
        }
        States states;
        states.reserve(_states.size());
        for (auto& state : _states) {
            auto ret = states.emplace(
                state.first, std::make_pair(static_cast<State*>(state.second.first->map(unifier)), state.second.second));
            assert(ret.second);
            removeables.add(state.second.first);
            state.second.first = nullptr;
        }
        _states = std::move(states);
        for (State*& state : _past_states) {
            State* image = static_cast<State*>(state->map(unifier));
            removeables.add(state);
            state = image;
        }
    }

    // Constants first, then functions, nonces, configurations, parameters, timestamps, variables.
    std::stable_sort(_knows.begin(), _knows.end(), [](const auto& a, const auto& b) {
        return a.first->term()->type() > b.first->term()->type();
    });

    if (!identity) update_conclusion(unifier);
    if (!simplify()) return false;

    if (recorder) {
        thread_local std::vector<std::pair<size_t, size_t>> premises;
        premises.clear();
        for (size_t k = 0; k < _knows.size(); ++k) {
            size_t entry = static_cast<size_t>(std::find(entries.begin(), entries.end(), _knows[k].first) - entries.begin());
            for (size_t i = 0; i < entry_of.size(); ++i)
                if (entry_of[i] == entry) premises.emplace_back(k, i);
        }
        recorder->validated(this, Validation{redundant, premises});
    }
    return true;
}

bool StateConstRule::simplify() {
    IdCounts counts = count_body(Term::VARIA | Term::CONFG);
    counts.add_fact(_conclusion, Term::VARIA | Term::CONFG);
    drop_unconstrained(counts);
    for (const auto& know : _knows)
        if (know.first->equal(_conclusion)) return false;
    if (select() == NONSELECTABLE && _conclusion->type() == Fact::OKNOW &&
        static_cast<const Know*>(_conclusion)->term()->type() == Term::VARIA) {
        info(std::cout);
        throw common::UserError("simplify", "if predicates are in set N, the conclusion should not be a variable");
    }
    return true;
}

bool StateTransRule::simplify() {
    IdCounts counts = count_body(Term::VARIA | Term::CONFG);
    for (const auto& conversion : _conversions) {
        if (conversion.first) counts.add_fact(conversion.first, Term::VARIA | Term::CONFG);
        counts.add_fact(conversion.second, Term::VARIA | Term::CONFG);
    }
    drop_unconstrained(counts);
    return true;
}

StateRule* StateRule::accessable(Query states) const {
    std::unique_ptr<StateRule> rule;
    try {
        Unifier unifier;
        for (auto partition = _partitions.begin(); partition != _partitions.end(); ++partition) {
            assert(partition->first.empty() == false);
            const State* first = _states.at(*partition->first.begin()).first;
            for (auto sid = std::next(partition->first.begin()); sid != partition->first.end(); ++sid)
                first->unify(_states.at(*sid).first, unifier);
        }
        if (!unifier.loopfree()) throw UnifyFailed();

        rule.reset(map(unifier, NONSELECTABLE));
        rule->_partitions = _partitions;
        for (auto i = rule->_partitions.begin(); i != rule->_partitions.end(); ++i) {
            assert(i->first.empty() == false);
            for (auto sid = std::next(i->first.begin()); sid != i->first.end(); ++sid) {
                auto found = rule->_states.find(*sid);
                if (found == rule->_states.end()) continue;
                delete found->second.first;
                rule->_states.erase(found);
            }
        }
        if (!rule->validated()) throw UnifyFailed();
        Renamer renamer;
        rule->rename(renamer);
        rule->recompute_latest();

        std::set<unsigned> configurations;
        for (const auto& state : rule->_states) state.second.first->subterms(Term::CONFG, configurations);
        for (const auto& know : rule->_knows) {
            const Term* term = know.first->term();
            if (term->type() == Term::CONFG && configurations.count(term->name().id())) throw UnifyFailed();
        }
    } catch (UnifyFailed&) {
        return nullptr;
    }

    // Match each process to a queried state, depth first.
    std::vector<std::pair<std::vector<unsigned>, size_t>> stack;
    stack.emplace_back(std::vector<unsigned>(states.size(), 0), 0);
    while (!stack.empty()) {
        auto top = stack.back();
        stack.pop_back();
        size_t partition = top.second;
        if (partition == rule->_partitions.size()) return rule.release();
        assert(rule->_partitions.at(partition).first.size() == 1);
        const State* state = rule->first_state(rule->_partitions.at(partition));
        for (size_t i = 0; i < states.size(); ++i) {
            if (!states[i].second && top.first[i] != 0) continue;
            Unifier match;
            if (!state->try_unify_to(states[i].first, match)) continue;
            auto counts = top.first;
            ++counts[i];
            stack.emplace_back(std::move(counts), partition + 1);
        }
    }
    return nullptr;
}

}  // namespace sym
