#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "symbolic/implication.h"

namespace sym {
class StateRule;
class Term;
}  // namespace sym

namespace vorn {

// What a composition partner must share with a rule: the kind and symbol of
// the known term at the top of a provider's conclusion or of a consumer's
// selected premise. Terms of different keys never unify, and finding that
// out issues no name; WILDCARD (a variable) may unify with any key.
typedef uint64_t PartnerKey;
constexpr PartnerKey WILDCARD = ~PartnerKey{0};
// Filed nowhere: a rule that is never a partner.
constexpr PartnerKey NOT_A_PARTNER = WILDCARD - 1;
PartnerKey partner_key(const sym::Term* term);

// The retrieval part of a held list, by slot: slot k is the k-th held rule
// in list order (slots of removed rules stay, marked, until a compaction).
//
// Implication: a held rule can imply a newcomer only when its feature counts
// are covered by the newcomer's (or it holds a configuration, for which the
// quick test says little); a newcomer can imply a held rule only when its
// own counts are covered by the held rule's. Each pure rule is filed under
// one key of its counts, the one that newcomers have carried least often so
// far, and under every key for the converse question, so both questions
// visit only the rules that share a key with the newcomer. The answers are a
// superset of the rules that sym::may_imply admits; the caller tests those.
//
// Partners: each rule is filed under its partner key.
class FeatureIndex {
public:
    typedef uint32_t Slot;

    size_t slots() const { return _slots.size(); }
    bool held(Slot slot) const { return _slots[slot].held; }
    const sym::RuleFeatures::Quick& quick(Slot slot) const { return _slots[slot].features->quick; }

    // Files a rule as the next slot. Its features must stay valid while it is held.
    void append(const sym::RuleFeatures* features, PartnerKey partner);
    void release(Slot slot);

    // Ascending slots of held rules that may imply a newcomer with these
    // features and, when `converse`, that it may imply.
    void implication_candidates(const sym::RuleFeatures& newcomer, bool converse, std::vector<Slot>& out);
    // Ascending slots of held rules whose partner key may unify with `key`.
    void partner_candidates(PartnerKey key, std::vector<Slot>& out) const;

    // Whether enough slots are released that a compaction pays; the caller
    // then compacts its own slot arrays the same way and calls compact().
    bool wants_compaction() const { return _released >= 64 && _released * 2 >= _slots.size(); }
    // Drops released slots, keeping the order of the others, and refiles them.
    void compact();

private:
    struct Filed {
        const sym::RuleFeatures* features;
        PartnerKey partner;
        bool held;
    };

    void file(Slot slot);
    uint32_t signature(const sym::RuleFeatures& features) const;
    static void append_held(const std::vector<Slot>& list, const std::vector<Filed>& slots, std::vector<Slot>& out);

    std::vector<Filed> _slots;
    size_t _released = 0;
    // Pure rules as the general side, by one (key, capped count) element.
    std::unordered_map<uint64_t, std::vector<Slot>> _general;
    // Rules that hold a configuration or carry no counts: always candidates.
    std::vector<Slot> _always;
    // Every rule under every key of its counts, for the converse question.
    std::unordered_map<uint32_t, std::vector<Slot>> _specific;
    // How many newcomers carried each key.
    std::unordered_map<uint32_t, uint32_t> _asked;
    std::unordered_map<PartnerKey, std::vector<Slot>> _partners;
    std::vector<Slot> _wild_partners;
};

// A held list's positions beside its feature index, slot by slot.
template <class Entry>
class HeldIndex : public FeatureIndex {
public:
    typedef typename std::list<Entry>::iterator Position;

    Position position(Slot slot) const { return _positions[slot]; }

    void append(Position position, const sym::RuleFeatures* features, PartnerKey partner) {
        FeatureIndex::append(features, partner);
        _positions.push_back(position);
    }

    // Between two walks only.
    void compact() {
        if (!wants_compaction()) return;
        size_t out = 0;
        for (size_t k = 0; k < _positions.size(); ++k)
            if (held(static_cast<Slot>(k))) _positions[out++] = _positions[k];
        _positions.resize(out);
        FeatureIndex::compact();
    }

private:
    std::vector<Position> _positions;
};

}  // namespace vorn
