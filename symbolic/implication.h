#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "symbolic/pool.h"

namespace sym {

class Fact;
class Term;
class StateRule;

// What the implication tests need to know of a rule, computed once per rule.
//
// Implication issues names only where the general rule holds a configuration
// term: matching a configuration generalises the instance's variables into
// fresh configurations. A rule without one ("pure") can be tested by any
// method that reaches the same answer; a rule with one must be tested by the
// reference algorithm, which fixes the order of the names issued.
struct RuleFeatures : Pooled {
    // A key that two facts or terms must share to match: kind and symbol.
    typedef uint64_t Key;
    // Sorted keys with the number of facts that carry each.
    // Sorted: a key's low 32 bits in the high half, its count in the low half.
    typedef std::vector<uint64_t, PoolAllocator<uint64_t>> Counts;
    static const unsigned BIT_WORDS = 4;

    static uint16_t saturated(size_t count) { return static_cast<uint16_t>(std::min<size_t>(count, 0xffff)); }

    // The fast search can take the rule as the general one: pure, at most 64
    // states, and every SID of its knowledge and ordering sets names a state.
    bool fast_general = false;
    // The fast search can take the rule as the specific one.
    bool fast_specific = false;

    // What the quick test reads, kept together so that an index can copy it.
    struct Quick {
        // Sizes, saturated at the largest count: the test compares them, and
        // saturating both sides keeps every pair it admits.
        uint16_t knows = 0, events = 0, states = 0, conversions = 0;
        // The conclusion's head (a knowledge fact's top symbol, or an event's
        // predicate), or for a transfer rule its first conversion's. A
        // wildcard head (a variable or configuration known, or no conversion)
        // may match any other head.
        Key head = 0;
        bool wildcard = false;
        // No configuration in the premises, events, states, conclusion or conversions.
        bool pure = true;
        // The keys of `counts` below as a bit set, each key with its count
        // (one bit per count up to three): a general rule's bits are a subset
        // of the specific rule's.
        uint64_t bits[BIT_WORDS] = {};
        // The symbols of a consistent rule's conclusion at every depth, each
        // with its path, as a bit set: a conclusion that matches another has
        // each of its symbols at the same place in the other, so its bits
        // are a subset of the other's. Conclusions often differ only deep down.
        uint64_t conclusion_bits[2] = {};
    } quick;

    // Symbols at fixed places, each with the number of facts that carry it:
    // a fact's role (premise, event, state, conclusion, a conversion's source
    // or target by position) with its predicate, and every constant, nonce,
    // parameter, timestamp or function symbol below it down to a few levels,
    // with its path. A general fact carries no more of these than any fact it
    // matches, so a general rule carries no more of each than the specific
    // rule it implies.
    Counts counts;

    // Time order by position in the rule (states in ascending SID order), as
    // bit sets over state positions: for each state the states of its ordering
    // set; for each premise the states of the ordering sets of its knowledge set.
    std::vector<uint64_t, PoolAllocator<uint64_t>> state_order_bits, know_order_bits;
};

// Computes the features of a rule and records the arities of its symbols.
RuleFeatures compute_features(const StateRule* rule);

// False only when the general rule does not imply the specific one and the
// reference test would issue no name on the way: sizes, conversions and heads
// that cannot match, and for a pure general rule symbols of the general rule
// that the specific rule lacks. Valid only while arities_consistent().
inline bool may_imply_quick(const RuleFeatures::Quick& g, const RuleFeatures::Quick& s) {
    // The reference algorithm tests these before it unifies anything.
    if (g.events > s.events || g.knows > s.knows || g.states > s.states) return false;
    // Conversions are states, matched without generalisation: no name is
    // issued before a mismatch of their count or of the first one's predicates.
    if (g.conversions > s.conversions) return false;
    // The top of a conclusion is compared before any configuration below it.
    if (!g.wildcard && g.head != s.head) return false;
    if (!g.pure) return true;
    uint64_t outside = (g.conclusion_bits[0] & ~s.conclusion_bits[0]) | (g.conclusion_bits[1] & ~s.conclusion_bits[1]);
    for (unsigned i = 0; i < RuleFeatures::BIT_WORDS; ++i) outside |= g.bits[i] & ~s.bits[i];
    return outside == 0;
}

// False once one function symbol, event or state predicate has been met with
// two arities: matching may then raise a model error, and only the reference
// algorithm reaches it at the same place.
bool arities_consistent();
// Forgets every arity seen, as at the start of the process (for a second run
// of a model in the same process).
void forget_arities();

// Every key of the general counts is carried by at least as many facts of the specific ones.
bool covered_counts(const RuleFeatures::Counts& general, const RuleFeatures::Counts& specific);

// The quick test, then for a pure general rule the counts of its symbols.
bool may_imply(const StateRule* general, const StateRule* specific);
// The same on the features alone, while arities_consistent().
bool may_imply_features(const RuleFeatures& general, const RuleFeatures& specific);

// The answer of a fast implication test; UNKNOWN leaves it to the reference.
enum class Implied { NO, YES, UNKNOWN };

// One-sided matching of a pure general rule's facts onto a specific rule's,
// on one flat substitution that can be undone to a mark.
class Matcher {
public:
    // Forgets every binding, keeping the memory.
    void reset() {
        _bindings.clear();
        _unsure = false;
    }
    size_t mark() const { return _bindings.size(); }
    void undo(size_t mark) { _bindings.resize(mark); }
    // Whether a case came up that this matcher does not decide (a configuration,
    // a symbol shared by both rules, two arities): the answer is then unknown.
    bool unsure() const { return _unsure; }

    bool term(const Term* pattern, const Term* instance);
    bool fact(const Fact* pattern, const Fact* instance);

private:
    bool symbol(const Term* pattern, const Term* instance);

    std::vector<std::pair<size_t, const Term*>> _bindings;
    bool _unsure = false;
};

// Whether the general rule's body matches the specific rule's body jointly,
// extending the matcher's substitution, with the time order kept.
Implied belong_fast(const StateRule* general, const StateRule* specific, Matcher& matcher);

// Aborts the process when the reference and the fast answer differ; used by
// the cross-check build.
void implication_mismatch(const StateRule* general, const StateRule* specific, bool reference, bool fast);

}  // namespace sym
