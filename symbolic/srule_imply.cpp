#include <algorithm>
#include <cassert>

#include "symbolic/event.h"
#include "symbolic/implication.h"
#include "symbolic/know.h"
#include "symbolic/poll.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"

namespace sym {

namespace {

typedef std::vector<unsigned> IndexMap;

// Every injective assignment of general facts to specific facts that match
// pairwise on their own, in the order of a last-in-first-out search.
template <class Match>
std::vector<IndexMap> index_maps(size_t general, size_t specific, Match match) {
    std::vector<IndexMap> complete;
    IndexMap all;
    for (unsigned i = 0; i < specific; ++i) all.push_back(i);
    std::vector<std::pair<IndexMap, IndexMap>> stack;
    stack.emplace_back(all, IndexMap{});
    while (!stack.empty()) {
        poll();
        auto top = stack.back();
        stack.pop_back();
        const IndexMap& free = top.first;
        const IndexMap& map = top.second;
        assert(map.size() <= general);
        if (map.size() == general) {
            complete.push_back(map);
            continue;
        }
        size_t p = map.size();
        for (size_t i = 0; i < free.size(); ++i) {
            if (!match(p, free[i])) continue;
            IndexMap rest = free;
            rest.erase(rest.begin() + static_cast<long>(i));
            IndexMap next = map;
            next.push_back(free[i]);
            stack.emplace_back(std::move(rest), std::move(next));
        }
    }
    return complete;
}

bool matches(const Fact* general, const Fact* specific) {
    Unifier unifier;
    return general->try_unify_to(specific, unifier);
}

// The fast answer for a pure general rule, or UNKNOWN. `head` matches the
// conclusion or the conversions on the matcher first.
template <class Head>
Implied fast_imply(const StateRule* general, const StateRule* specific, Head head) {
    if (!general->features().fast_general || !specific->features().fast_specific || !arities_consistent())
        return Implied::UNKNOWN;
    thread_local Matcher matcher;
    matcher.reset();
    if (!head(matcher)) return matcher.unsure() ? Implied::UNKNOWN : Implied::NO;
    return belong_fast(general, specific, matcher);
}

// Decides with the quick tests and the fast search where they answer, else
// with the reference algorithm. The cross-check build computes every answer
// the fast way could give both ways and aborts when they differ.
template <class Rule, class Head>
bool decide(const Rule* general, const Rule* specific, Head head, bool screened) {
#ifdef VORN_CROSSCHECK
    if (screened && !may_imply(general, specific)) implication_mismatch(general, specific, true, false);
#endif
    if (!screened && !may_imply(general, specific)) {
#ifdef VORN_CROSSCHECK
        if (general->features().quick.pure && general->imply_reference(specific))
            implication_mismatch(general, specific, true, false);
#endif
        return false;
    }
    Implied fast = fast_imply(general, specific, head);
    if (fast == Implied::UNKNOWN) return general->imply_reference(specific);
#ifdef VORN_CROSSCHECK
    bool reference = general->imply_reference(specific);
    if (reference != (fast == Implied::YES)) implication_mismatch(general, specific, reference, fast == Implied::YES);
#endif
    return fast == Implied::YES;
}

}  // namespace

bool StateConstRule::imply(const StateConstRule* rule, bool screened) const {
    return decide(
        this, rule, [&](Matcher& matcher) { return matcher.fact(_conclusion, rule->_conclusion); }, screened);
}

bool StateTransRule::imply(const StateTransRule* rule, bool screened) const {
    return decide(this, rule, [&](Matcher& matcher) {
        if (_conversions.size() > rule->_conversions.size()) return false;
        for (size_t i = 0; i < _conversions.size(); ++i) {
            const auto& general = _conversions[i];
            const auto& specific = rule->_conversions[i];
            if ((general.first == nullptr) != (specific.first == nullptr)) return false;
            if (general.first && !matcher.fact(general.first, specific.first)) return false;
            if (!matcher.fact(general.second, specific.second)) return false;
        }
        return true;
    }, screened);
}

bool StateConstRule::imply_reference(const StateConstRule* rule) const {
    if (_events.size() > rule->_events.size() || _knows.size() > rule->_knows.size() ||
        _states.size() > rule->_states.size())
        return false;
    Unifier unifier;
    if (!_conclusion->try_unify_to(rule->_conclusion, unifier)) return false;
    return belong(unifier, rule);
}

bool StateTransRule::imply_reference(const StateTransRule* rule) const {
    if (_events.size() > rule->_events.size() || _knows.size() > rule->_knows.size() ||
        _states.size() > rule->_states.size())
        return false;
    Unifier unifier;
    for (size_t i = 0; i < _conversions.size(); ++i) {
        if (i >= rule->_conversions.size()) return false;
        const auto& general = _conversions[i];
        const auto& specific = rule->_conversions[i];
        if (general.first && specific.first) {
            if (!general.first->try_unify_to(specific.first, unifier)) return false;
        } else if (general.first || specific.first) {
            return false;
        }
        if (!general.second->try_unify_to(specific.second, unifier)) return false;
    }
    return belong(unifier, rule);
}

bool StateRule::belong(const Unifier& unifier, const StateRule* rule) const {
    assert(_knows.size() <= rule->_knows.size());
    std::vector<IndexMap> kmaps = index_maps(_knows.size(), rule->_knows.size(), [&](size_t p, unsigned i) {
        return matches(_knows[p].first, rule->_knows[i].first);
    });

    assert(_events.size() <= rule->_events.size());
    std::vector<IndexMap> emaps = index_maps(_events.size(), rule->_events.size(), [&](size_t p, unsigned i) {
        return matches(_events[p], rule->_events[i]);
    });

    assert(_states.size() <= rule->_states.size());
    std::vector<std::map<SID, SID>> smaps;
    {
        std::vector<SID> general, specific;
        for (const auto& state : _states) general.push_back(state.first);
        for (const auto& state : rule->_states) specific.push_back(state.first);
        typedef std::pair<std::pair<std::vector<SID>, std::vector<SID>>, std::map<SID, SID>> Entry;
        std::vector<Entry> stack;
        stack.emplace_back(std::make_pair(general, specific), std::map<SID, SID>{});
        while (!stack.empty()) {
            poll();
            Entry top = stack.back();
            stack.pop_back();
            const std::map<SID, SID>& smap = top.second;
            assert(smap.size() <= _states.size());
            if (smap.size() == _states.size()) {
                smaps.push_back(smap);
                continue;
            }
            const std::vector<SID>& todo = top.first.first;
            const std::vector<SID>& free = top.first.second;
            SID g = todo.back();
            for (size_t i = 0; i < free.size(); ++i) {
                if (!matches(_states.at(g).first, rule->_states.at(free[i]).first)) continue;
                std::vector<SID> rest_todo(todo.begin(), todo.end() - 1);
                std::vector<SID> rest_free = free;
                rest_free.erase(rest_free.begin() + static_cast<long>(i));
                std::map<SID, SID> next = smap;
                auto ret = next.emplace(g, free[i]);
                assert(ret.second == true);
                stack.emplace_back(std::make_pair(std::move(rest_todo), std::move(rest_free)), std::move(next));
            }
        }
    }

    for (const IndexMap& kmap : kmaps)
        for (const IndexMap& emap : emaps)
            for (const auto& smap : smaps) {
                poll();
                if (belong(kmap, emap, smap, unifier, rule)) return true;
            }
    return false;
}

bool StateRule::belong(std::vector<unsigned> kmap, std::vector<unsigned> emap, std::map<SID, SID> smap,
                       Unifier unifier, const StateRule* rule) const {
    assert(_knows.size() == kmap.size());
    assert(_events.size() == emap.size());
    assert(_states.size() == smap.size());

    // The specific premise must be needed no earlier than the general one.
    for (size_t i = 0; i < _knows.size(); ++i) {
        SIDs general;
        for (SID sid : _knows[i].second.second)
            for (SID later : _states.at(sid).second) general.insert(smap.at(later));
        SIDs specific;
        for (SID sid : rule->_knows.at(kmap[i]).second.second) {
            const SIDs& ordering = rule->_states.at(sid).second;
            specific.insert(ordering.begin(), ordering.end());
        }
        if (!std::includes(specific.begin(), specific.end(), general.begin(), general.end())) return false;
    }

    // The time order among the general states must hold among their images.
    for (const auto& state : _states) {
        SIDs translated;
        for (SID sid : state.second.second) {
            auto ret = translated.insert(smap.at(sid));
            assert(ret.second == true);
        }
        const SIDs& ordering = rule->_states.at(smap.at(state.first)).second;
        if (!std::includes(ordering.begin(), ordering.end(), translated.begin(), translated.end())) return false;
    }

    for (const auto& entry : smap)
        if (!_states.at(entry.first).first->try_unify_to(rule->_states.at(entry.second).first, unifier)) return false;
    for (size_t i = 0; i < _events.size(); ++i)
        if (!_events[i]->try_unify_to(rule->_events.at(emap[i]), unifier)) return false;
    for (size_t i = 0; i < _knows.size(); ++i)
        if (!_knows[i].first->try_unify_to(rule->_knows.at(kmap[i]).first, unifier)) return false;
    return true;
}

}  // namespace sym
