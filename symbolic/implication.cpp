#include "symbolic/implication.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

#include "symbolic/flat_map.h"

#include "symbolic/event.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"

namespace sym {

namespace {

typedef RuleFeatures::Key Key;

// Fact kinds are tagged apart from term kinds, whose tags are their type bits.
const unsigned FACT_TAG = 128;
const unsigned CONVERSION_TAG = 256;

Key make_key(unsigned tag, size_t id) { return (static_cast<Key>(tag) << 52) ^ static_cast<Key>(id); }

// The key a term must share with any term it matches as a pattern: its kind,
// and its symbol for the kinds that compare symbols.
Key term_key(const Term* term) {
    switch (term->type()) {
    case Term::FUNCT:
    case Term::CONST:
    case Term::PARAM:
        return make_key(term->type(), term->name().id());
    default:
        return make_key(term->type(), 0);
    }
}

Key fact_key(const Fact* fact) {
    if (fact->type() == Fact::OKNOW) return term_key(static_cast<const Know*>(fact)->term());
    return make_key(FACT_TAG + fact->type(), fact->predicate().id());
}

// One function symbol, event or state predicate must keep one arity for
// matching to be free of model errors.
struct Arities {
    // A model has few symbols: every rule looks them up, one is added rarely.
    FlatMap<Key, size_t> seen;
    bool consistent = true;
    // Symbols met lately with the arity they were recorded with, by a few
    // bits of their key: a term walk meets the same few symbols over and
    // over, and finds them here without a search.
    static constexpr size_t RECENT = 256;
    std::array<std::pair<Key, size_t>, RECENT> recent{};

    void record(Key key, size_t arity) {
        auto& hit = recent[(key ^ (key >> 47)) & (RECENT - 1)];
        if (hit.first == key && hit.second == arity) return;
        hit = {key, arity};
        auto found = seen.find(key);
        if (found == seen.end())
            seen.emplace(key, arity);
        else if (found->second != arity)
            consistent = false;
    }
};

Arities table_of_arities;

Arities& arities() { return table_of_arities; }

Key mix(Key a, Key b) {
    Key x = a ^ (b + 0x9e3779b97f4a7c15ull + (a << 6) + (a >> 2));
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// How deep below a fact symbols are recorded.
const unsigned FEATURE_DEPTH = 3;

// Roles of facts in a rule; conversions count from CONVERSION by position.
enum Role : unsigned { PREMISE = 1, EVENT_PREMISE = 2, STATE = 3, CONCLUSION = 4, CONVERSION = 5 };

// One walk over a rule's facts: the keys of each fact (its role and
// predicate, and every symbol below it down to FEATURE_DEPTH, with its path),
// the arity of every function symbol, event and state predicate met at any
// depth, and whether a configuration occurs.
struct FeatureWalk {
    std::vector<Key>& keys;
    bool configuration = false;

    void term(const Term* term, Key path, unsigned depth) {
        switch (term->type()) {
        case Term::VARIA:
            return;
        case Term::CONFG:
            configuration = true;
            return;
        case Term::FUNCT: {
            const auto& arguments = static_cast<const Function*>(term)->arguments();
            arities().record(make_key(Term::FUNCT, term->name().id()), arguments.size());
            Key here = mix(path, term_key(term));
            keys.push_back(here);
            for (size_t i = 0; i < arguments.size(); ++i) {
                if (depth < FEATURE_DEPTH)
                    this->term(arguments[i], mix(here, i), depth + 1);
                else
                    arity_only(arguments[i]);
            }
            return;
        }
        default:
            keys.push_back(mix(path, term_key(term)));
        }
    }

    // Below the recorded depth: arities and configurations only.
    void arity_only(const Term* term) {
        if (term->type() == Term::CONFG) configuration = true;
        if (term->type() != Term::FUNCT) return;
        const auto& arguments = static_cast<const Function*>(term)->arguments();
        arities().record(make_key(Term::FUNCT, term->name().id()), arguments.size());
        for (const Term* argument : arguments) arity_only(argument);
    }

    void fact(const Fact* fact, Key role) {
        Key root = mix(role, fact->type() == Fact::OKNOW ? make_key(FACT_TAG, 0) : fact_key(fact));
        keys.push_back(root);
        switch (fact->type()) {
        case Fact::OKNOW:
            term(static_cast<const Know*>(fact)->term(), mix(root, 0), 1);
            break;
        case Fact::EVENT:
        case Fact::STATE: {
            const auto& arguments = static_cast<const ArgumentFact*>(fact)->arguments();
            arities().record(fact_key(fact), arguments.size());
            for (size_t i = 0; i < arguments.size(); ++i) term(arguments[i].second, mix(root, i), 1);
            break;
        }
        default:
            // Timed knowledge is left to the reference algorithm.
            configuration = true;
        }
    }
};

// Sets a bit for each symbol of the term, with its path, at every depth.
void conclusion_bits(const Term* term, Key path, uint64_t bits[2]) {
    if (term->type() == Term::VARIA || term->type() == Term::CONFG) return;
    Key here = mix(path, term_key(term));
    bits[(here >> 6) & 1] |= uint64_t{1} << (here & 63);
    if (term->type() != Term::FUNCT) return;
    const auto& arguments = static_cast<const Function*>(term)->arguments();
    for (size_t i = 0; i < arguments.size(); ++i) conclusion_bits(arguments[i], mix(here, i), bits);
}

// Counts each key once per fact that carries it.
void count_keys(std::vector<Key>& keys, std::vector<uint64_t>& counts) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (Key key : keys) counts.push_back((key << 32) | 1);
    keys.clear();
}

// Sets a bit for each key and each of its first three counts.
void set_bits(RuleFeatures& f) {
    const unsigned bits = 64 * RuleFeatures::BIT_WORDS;
    for (uint64_t entry : f.counts) {
        Key key = entry >> 32;
        unsigned count = static_cast<unsigned>(std::min<uint64_t>(entry & 0xffffffffu, 3));
        for (unsigned c = 1; c <= count; ++c) {
            unsigned bit = static_cast<unsigned>(mix(key, c) % bits);
            f.quick.bits[bit / 64] |= uint64_t{1} << (bit % 64);
        }
    }
}

// Adds up the counts of each key into `merged`, which takes exactly their room.
void merge_counts(std::vector<uint64_t>& counts, RuleFeatures::Counts& merged) {
    std::sort(counts.begin(), counts.end());
    size_t out = 0;
    for (size_t i = 0; i < counts.size(); ++i) {
        if (out > 0 && counts[out - 1] >> 32 == counts[i] >> 32) {
            counts[out - 1] += counts[i] & 0xffffffffu;
        } else {
            counts[out++] = counts[i];
        }
    }
    merged.assign(counts.begin(), counts.begin() + static_cast<long>(out));
}

}  // namespace

bool arities_consistent() { return table_of_arities.consistent; }

void forget_arities() { table_of_arities = Arities(); }

RuleFeatures compute_features(const StateRule* rule) {
    RuleFeatures f;
    RuleFeatures::Quick& q = f.quick;
    q.knows = RuleFeatures::saturated(rule->knows().size());
    q.events = RuleFeatures::saturated(rule->events().size());
    q.states = RuleFeatures::saturated(rule->states().size());

    // Scratch buffers; features are never computed inside another computation.
    thread_local std::vector<Key> keys;
    thread_local std::vector<uint64_t> counts;
    keys.clear();
    counts.clear();
    FeatureWalk walk{keys};
    for (const auto& know : rule->knows()) {
        walk.fact(know.first, PREMISE);
        count_keys(keys, counts);
    }
    for (const Event* event : rule->events()) {
        walk.fact(event, EVENT_PREMISE);
        count_keys(keys, counts);
    }
    for (const auto& state : rule->states()) {
        walk.fact(state.second.first, STATE);
        count_keys(keys, counts);
    }

    if (rule->type() == StateRule::CONSIST) {
        const Fact* conclusion = static_cast<const StateConstRule*>(rule)->conclusion();
        walk.fact(conclusion, CONCLUSION);
        count_keys(keys, counts);
        q.head = fact_key(conclusion);
        if (conclusion->type() == Fact::OKNOW) {
            conclusion_bits(static_cast<const Know*>(conclusion)->term(), 0, q.conclusion_bits);
        } else if (conclusion->type() == Fact::EVENT) {
            const auto& arguments = static_cast<const ArgumentFact*>(conclusion)->arguments();
            for (size_t i = 0; i < arguments.size(); ++i) conclusion_bits(arguments[i].second, mix(1, i), q.conclusion_bits);
        }
        if (conclusion->type() == Fact::OKNOW) {
            Term::Type known = static_cast<const Know*>(conclusion)->term()->type();
            q.wildcard = known == Term::VARIA || known == Term::CONFG;
        } else {
            q.wildcard = conclusion->type() != Fact::EVENT;
        }
    } else {
        const auto& conversions = static_cast<const StateTransRule*>(rule)->conversions();
        q.conversions = RuleFeatures::saturated(conversions.size());
        for (size_t i = 0; i < conversions.size(); ++i) {
            const auto& conversion = conversions[i];
            Key role = CONVERSION + 2 * i;
            if (conversion.first) {
                walk.fact(conversion.first, role);
            } else {
                keys.push_back(mix(role, 0));
            }
            walk.fact(conversion.second, role + 1);
            count_keys(keys, counts);
        }
        if (conversions.empty()) {
            q.wildcard = true;
        } else {
            const auto& first = conversions.front();
            size_t from = first.first ? first.first->predicate().id() + 1 : 0;
            q.head = make_key(CONVERSION_TAG, from * 1000003u + first.second->predicate().id());
        }
    }
    merge_counts(counts, f.counts);
    set_bits(f);
    q.pure = !walk.configuration;

    // Time order by state positions; a SID that names no state leaves the
    // rule to the reference algorithm, which looks every SID up.
    const StateRule::States& states = rule->states();
    bool orders_named = true;
    bool knows_named = true;
    f.state_order_bits.reserve(states.size());
    for (const auto& state : states) {
        uint64_t bits = 0;
        for (StateRule::SID sid : state.second.second) {
            size_t at = states.position(sid);
            if (at == states.size()) {
                orders_named = false;
            } else if (at < 64) {
                bits |= uint64_t{1} << at;
            }
        }
        f.state_order_bits.push_back(bits);
    }
    f.know_order_bits.reserve(rule->knows().size());
    for (const auto& know : rule->knows()) {
        uint64_t bits = 0;
        for (StateRule::SID sid : know.second.second) {
            size_t at = states.position(sid);
            if (at == states.size()) {
                knows_named = false;
            } else {
                bits |= f.state_order_bits[at];
            }
        }
        f.know_order_bits.push_back(bits);
    }
    f.fast_specific = q.states <= 64 && knows_named;
    f.fast_general = q.pure && f.fast_specific && orders_named;
    return f;
}

bool covered_counts(const RuleFeatures::Counts& general, const RuleFeatures::Counts& specific) {
    auto s = specific.begin();
    for (uint64_t entry : general) {
        while (s != specific.end() && (*s >> 32) < (entry >> 32)) ++s;
        if (s == specific.end() || (*s >> 32) != (entry >> 32) || (*s & 0xffffffffu) < (entry & 0xffffffffu))
            return false;
    }
    return true;
}

bool may_imply_features(const RuleFeatures& g, const RuleFeatures& s) {
    if (!may_imply_quick(g.quick, s.quick)) return false;
    return !g.quick.pure || covered_counts(g.counts, s.counts);
}

bool may_imply(const StateRule* general, const StateRule* specific) {
    if (!arities_consistent()) return true;
    return may_imply_features(general->features(), specific->features());
}

bool Matcher::symbol(const Term* pattern, const Term* instance) {
    size_t id = pattern->name().id();
    for (const auto& binding : _bindings)
        // Occurrences of one leaf in a rule are most often the same leaf.
        if (binding.first == id) return instance == binding.second || instance->equal(binding.second);
    if (instance->name().id() == id) {
        // The rules share a symbol; the reference substitution would skip the binding.
        _unsure = true;
        return false;
    }
    _bindings.emplace_back(id, instance);
    return true;
}

bool Matcher::term(const Term* pattern, const Term* instance) {
    switch (pattern->type()) {
    case Term::VARIA:
        return symbol(pattern, instance);
    case Term::NONCE:
    case Term::TMESP:
        return instance->type() == pattern->type() && symbol(pattern, instance);
    case Term::PARAM:
    case Term::CONST:
        return instance->type() == pattern->type() && instance->name().id() == pattern->name().id();
    case Term::FUNCT: {
        if (instance->type() != Term::FUNCT || instance->name().id() != pattern->name().id()) return false;
        const auto& p = static_cast<const Function*>(pattern)->arguments();
        const auto& i = static_cast<const Function*>(instance)->arguments();
        if (p.size() != i.size()) {
            _unsure = true;
            return false;
        }
        for (size_t k = 0; k < p.size(); ++k)
            if (!term(p[k], i[k])) return false;
        return true;
    }
    default:
        _unsure = true;
        return false;
    }
}

bool Matcher::fact(const Fact* pattern, const Fact* instance) {
    if (pattern->type() != instance->type()) return false;
    switch (pattern->type()) {
    case Fact::OKNOW:
        return term(static_cast<const Know*>(pattern)->term(), static_cast<const Know*>(instance)->term());
    case Fact::EVENT:
    case Fact::STATE: {
        if (pattern->predicate().id() != instance->predicate().id()) return false;
        const auto& p = static_cast<const ArgumentFact*>(pattern)->arguments();
        const auto& i = static_cast<const ArgumentFact*>(instance)->arguments();
        if (p.size() != i.size()) {
            _unsure = true;
            return false;
        }
        for (size_t k = 0; k < p.size(); ++k) {
            if (p[k].first != i[k].first) {
                _unsure = true;
                return false;
            }
            if (!term(p[k].second, i[k].second)) return false;
        }
        return true;
    }
    default:
        _unsure = true;
        return false;
    }
}

namespace {

const unsigned FREE = static_cast<unsigned>(-1);

// Depth-first search for one joint correspondence of the general rule's
// states, events and premises onto the specific rule's, most constrained
// fact first, on one substitution that is undone on the way back. The
// search's buffers keep their memory from one test to the next.
class Search {
public:
    Implied run(const StateRule* general, const StateRule* specific, Matcher& matcher) {
        _g = &general->features();
        _s = &specific->features();
        _matcher = &matcher;
        for (int kind = 0; kind < KINDS; ++kind) {
            _facts[kind].clear();
            _instances[kind].clear();
        }
        for (const auto& state : general->states()) _facts[STATE].push_back(state.second.first);
        for (const auto& state : specific->states()) _instances[STATE].push_back(state.second.first);
        for (const Event* event : general->events()) _facts[EVENT].push_back(event);
        for (const Event* event : specific->events()) _instances[EVENT].push_back(event);
        for (const auto& know : general->knows()) _facts[KNOW].push_back(know.first);
        for (const auto& know : specific->knows()) _instances[KNOW].push_back(know.first);

        if (!candidates()) return matcher.unsure() ? Implied::UNKNOWN : Implied::NO;
        schedule();
        for (int kind = 0; kind < KINDS; ++kind) {
            _assigned[kind].assign(_facts[kind].size(), FREE);
            _used[kind].assign(_instances[kind].size(), 0);
        }
        bool found = search(0);
        if (matcher.unsure()) return Implied::UNKNOWN;
        return found ? Implied::YES : Implied::NO;
    }

private:
    enum Kind { STATE = 0, EVENT = 1, KNOW = 2, KINDS = 3 };

    struct Slot {
        Kind kind;
        unsigned index;
        // Ranges of _candidates and _checks.
        unsigned first_candidate, candidates;
        unsigned first_check, checks;
    };

    // A time check: with `fact` a state or a premise (by kind), the image of
    // the state `later` must lie in its image's ordering or knowledge set.
    // It is made once all its facts are assigned, at slot `at`.
    struct Check {
        unsigned at;
        Kind kind;
        unsigned fact, later;
    };

    // The specific facts each general fact matches on its own.
    bool candidates() {
        _slots.clear();
        _candidates.clear();
        for (int kind = 0; kind < KINDS; ++kind) {
            for (unsigned i = 0; i < _facts[kind].size(); ++i) {
                Slot slot{static_cast<Kind>(kind), i, static_cast<unsigned>(_candidates.size()), 0, 0, 0};
                for (unsigned j = 0; j < _instances[kind].size(); ++j) {
                    size_t mark = _matcher->mark();
                    bool matched = _matcher->fact(_facts[kind][i], _instances[kind][j]);
                    _matcher->undo(mark);
                    if (_matcher->unsure()) return false;
                    if (matched) _candidates.push_back(j);
                }
                slot.candidates = static_cast<unsigned>(_candidates.size()) - slot.first_candidate;
                if (slot.candidates == 0) return false;
                _slots.push_back(slot);
            }
        }
        return true;
    }

    // Orders the slots, fewest candidates first, and attaches each time check
    // to the slot after which all its facts are assigned.
    void schedule() {
        std::sort(_slots.begin(), _slots.end(), [](const Slot& a, const Slot& b) {
            if (a.candidates != b.candidates) return a.candidates < b.candidates;
            return a.kind != b.kind ? a.kind < b.kind : a.index < b.index;
        });
        for (int kind = 0; kind < KINDS; ++kind) _at[kind].resize(_facts[kind].size());
        for (unsigned p = 0; p < _slots.size(); ++p) _at[_slots[p].kind][_slots[p].index] = p;
        _checks.clear();
        add_checks(STATE, _g->state_order_bits);
        add_checks(KNOW, _g->know_order_bits);
        std::sort(_checks.begin(), _checks.end(), [](const Check& a, const Check& b) { return a.at < b.at; });
        size_t c = 0;
        for (unsigned p = 0; p < _slots.size(); ++p) {
            _slots[p].first_check = static_cast<unsigned>(c);
            while (c < _checks.size() && _checks[c].at == p) ++c;
            _slots[p].checks = static_cast<unsigned>(c) - _slots[p].first_check;
        }
    }

    void add_checks(Kind kind, const RuleFeatures::Counts& orders) {
        for (unsigned fact = 0; fact < orders.size(); ++fact) {
            uint64_t bits = orders[fact];
            for (unsigned later = 0; bits != 0; ++later, bits >>= 1)
                if (bits & 1) _checks.push_back({std::max(_at[kind][fact], _at[STATE][later]), kind, fact, later});
        }
    }

    bool in_order(const Check& check) const {
        unsigned later = _assigned[STATE][check.later];
        unsigned image = _assigned[check.kind][check.fact];
        const RuleFeatures::Counts& orders = check.kind == STATE ? _s->state_order_bits : _s->know_order_bits;
        return (orders[image] >> later) & 1;
    }

    bool search(size_t position) {
        if (position == _slots.size()) return true;
        const Slot slot = _slots[position];
        for (unsigned c = 0; c < slot.candidates; ++c) {
            unsigned candidate = _candidates[slot.first_candidate + c];
            if (_used[slot.kind][candidate]) continue;
            _assigned[slot.kind][slot.index] = candidate;
            bool ordered = true;
            for (unsigned k = 0; k < slot.checks && ordered; ++k) ordered = in_order(_checks[slot.first_check + k]);
            if (!ordered) continue;
            size_t mark = _matcher->mark();
            if (_matcher->fact(_facts[slot.kind][slot.index], _instances[slot.kind][candidate])) {
                _used[slot.kind][candidate] = 1;
                if (search(position + 1)) return true;
                _used[slot.kind][candidate] = 0;
            }
            _matcher->undo(mark);
            if (_matcher->unsure()) return false;
        }
        _assigned[slot.kind][slot.index] = FREE;
        return false;
    }

    const RuleFeatures* _g = nullptr;
    const RuleFeatures* _s = nullptr;
    Matcher* _matcher = nullptr;
    std::vector<const Fact*> _facts[KINDS];
    std::vector<const Fact*> _instances[KINDS];
    std::vector<Slot> _slots;
    std::vector<unsigned> _candidates;
    std::vector<Check> _checks;
    std::vector<unsigned> _at[KINDS];
    std::vector<unsigned> _assigned[KINDS];
    std::vector<char> _used[KINDS];
};

}  // namespace

Implied belong_fast(const StateRule* general, const StateRule* specific, Matcher& matcher) {
    thread_local Search search;
    return search.run(general, specific, matcher);
}

void implication_mismatch(const StateRule* general, const StateRule* specific, bool reference, bool fast) {
    std::cout.flush();
    std::cerr << "implication cross-check failed: reference " << reference << ", fast " << fast << "\ngeneral:\n";
    general->info(std::cerr);
    std::cerr << "specific:\n";
    specific->info(std::cerr);
    std::cerr.flush();
    std::abort();
}

}  // namespace sym
