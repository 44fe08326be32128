#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "symbolic/implication.h"

namespace sym {
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
// The quick test of implication (sym::may_imply) lets a pure held rule imply
// a newcomer only when every element of its feature counts (a key with a
// count, counts above three taken as three) is an element of the newcomer's.
// Each pure rule is filed under a signature of up to eight of its elements
// (one per key, at its capped count), those that newcomers carried least
// often so far, in a tree, and a newcomer looks only at the rules filed
// under signatures it carries whole. Rules that hold a configuration (for which
// the quick test says little) are always looked at. For the converse
// question, whether a newcomer implies a held rule, every rule is also filed
// under each of its elements, and the newcomer looks at the rules in all of
// its two rarest lists. The index answers exactly the rules that
// sym::may_imply admits, which the caller then tests in list order.
//
// Partners: each rule is filed under its partner key.

// Dense numbers of 32-bit keys, in order of first sight: an open-addressing
// table, for the index looks keys up for every newcomer.
class KeyNumbers {
public:
    static constexpr uint32_t ABSENT = ~uint32_t{0};

    size_t size() const { return _size; }
    uint32_t find(uint32_t key) const;
    // The key's number, numbering it first when it is new.
    uint32_t number(uint32_t key);

private:
    void grow();

    // Each used place holds (number + 1) << 32 | key; zero is free.
    std::vector<uint64_t> _places;
    size_t _size = 0;
};

class FeatureIndex {
public:
    typedef uint32_t Slot;

    // Without `converse`, the list never asks whether a newcomer implies a
    // held rule, and the lists for that question are not kept.
    explicit FeatureIndex(bool converse = true) : _converse(converse) {}
    FeatureIndex(const FeatureIndex&) = delete;
    FeatureIndex& operator=(const FeatureIndex&) = delete;

    size_t slots() const { return _slots.size(); }
    bool held(Slot slot) const { return _slots[slot].held; }
    const sym::RuleFeatures::Quick& quick(Slot slot) const { return _slots[slot].features->quick; }
    const sym::RuleFeatures& features(Slot slot) const { return *_slots[slot].features; }
    // Whether a held rule that holds a configuration may imply the newcomer.
    bool impure_may_imply(const sym::RuleFeatures& newcomer) const;

    // Files a rule as the next slot. Its features must stay valid while it is held.
    void append(const sym::RuleFeatures* features, PartnerKey partner);
    void release(Slot slot);

    // Ascending slots of held rules that may imply a newcomer with these
    // features and, when `converse`, that it may imply, by sym::may_imply.
    // With `sides`, for each slot which of the two (GENERAL: the held rule
    // may imply the newcomer; SPECIFIC: the newcomer may imply it).
    // Only while sym::arities_consistent().
    static constexpr uint8_t GENERAL = 1, SPECIFIC = 2;
    void implication_candidates(const sym::RuleFeatures& newcomer, bool converse, std::vector<Slot>& out,
                                std::vector<uint8_t>* sides = nullptr);
    // Whether `test(slot)` holds for a held rule below `below` that may imply
    // a newcomer with these features by sym::may_imply; stops at the first
    // that does. The rules are met in no list order: for tests that issue no
    // name. Only while sym::arities_consistent().
    template <class Test>
    bool any_general(const sym::RuleFeatures& newcomer, Slot below, Test&& test);
    // Ascending slots of held rules whose partner key may unify with `key`.
    void partner_candidates(PartnerKey key, std::vector<Slot>& out) const;

    // Whether enough slots are released that a compaction pays; the caller
    // then compacts its own slot arrays the same way and calls compact().
    bool wants_compaction() const { return _released >= 64 && _released * 2 >= _slots.size(); }
    // Drops released slots, keeping the order of the others, and refiles them.
    void compact();

private:
    // Elements are numbered by key: the key of number k carries elements
    // 3k + 1 to 3k + 3, one per capped count.
    typedef uint32_t Element;
    // Up to eight elements, the least asked first; unused places hold NONE.
    typedef std::array<Element, 8> Signature;
    static constexpr Element NONE = 0;

    struct Filed {
        const sym::RuleFeatures* features;
        PartnerKey partner;
        bool held;
    };
    // A pure rule as the general side, with its quick features at hand.
    struct General {
        sym::RuleFeatures::Quick quick;
        Slot slot;
    };

    void file(Slot slot);
    // Files every held rule again, from an empty index.
    void refile();
    // The dense number of an element; new keys are numbered on first sight.
    Element element(uint32_t key, uint32_t count);
    // The element of a key already numbered, else NONE.
    Element known_element(uint32_t key, uint32_t count) const;
    Signature signature(const sym::RuleFeatures& features);
    // Marks the newcomer's elements, counting them as asked, and keeps them
    // as the roots of a walk; unmark() clears the marks.
    void mark(const sym::RuleFeatures& newcomer);
    void unmark();
    bool marked(Element e) const { return e == NONE || (e < _marks.size() && _marks[e]); }
    void general_side(const sym::RuleFeatures& newcomer, std::vector<Slot>& out);
    void specific_side(const sym::RuleFeatures& newcomer, std::vector<Slot>& out);

    const bool _converse;
    std::vector<Filed> _slots;
    // By slot, the key bits of the quick test: the converse question reads
    // them for many slots, here side by side rather than behind each
    // rule's features.
    std::vector<std::array<uint64_t, sym::RuleFeatures::BIT_WORDS>> _key_bits;
    size_t _released = 0;
    // The number of slots at which every rule is filed again.
    size_t _next_refile = 1024;

    // Keys to their numbers; by element, how many newcomers carried each,
    // and the marks of the newcomer.
    KeyNumbers _keys;
    std::vector<uint32_t> _asked{0};
    std::vector<char> _marks;
    // Pure rules by signature, in a tree of their elements: the first
    // element leads from the root, each node's children by the next one;
    // the node of a whole signature keeps its rules.
    // Most nodes have one or two children: the first few are kept in the
    // node itself, where the walk reads them without another cache miss.
    struct Node {
        static constexpr unsigned INLINE = 3;
        Element child_elements[INLINE] = {};
        uint32_t child_nodes[INLINE] = {};
        uint32_t inline_children = 0;
        std::vector<std::pair<Element, uint32_t>> more_children;
        std::vector<General> rules;

        uint32_t child(Element e) const;
        void add_child(Element e, uint32_t node);
    };
    // By element: the node its signatures start from, or NO_NODE.
    static constexpr uint32_t NO_NODE = ~uint32_t{0};
    std::vector<uint32_t> _roots;
    std::vector<Node> _nodes;
    void visit(uint32_t node, const sym::RuleFeatures& newcomer, std::vector<Slot>& out) const;
    template <class Test>
    bool visit_until(uint32_t node, const sym::RuleFeatures& newcomer, Slot below, Test& test) const;
    // Rules that hold a configuration or carry no counts: always candidates.
    std::vector<Slot> _always;
    // Every rule under every element it carries (a key with count c carries
    // the elements of counts 1 to c), for the converse question.
    std::vector<std::vector<Slot>> _containing;
    // The elements the newcomer carries, marked.
    std::vector<Element> _newcomer_elements;
    std::unordered_map<PartnerKey, std::vector<Slot>> _partners;
    std::vector<Slot> _wild_partners;
};

template <class Test>
bool FeatureIndex::visit_until(uint32_t node, const sym::RuleFeatures& newcomer, Slot below, Test& test) const {
    const Node& here = _nodes[node];
    // The newest rules of a signature first: they imply a newcomer most often.
    for (size_t i = here.rules.size(); i-- > 0;) {
        const General& general = here.rules[i];
        if (general.slot >= below || !sym::may_imply_quick(general.quick, newcomer.quick)) continue;
        const Filed& filed = _slots[general.slot];
        if (filed.held && sym::covered_counts(filed.features->counts, newcomer.counts) && test(general.slot))
            return true;
    }
    for (uint32_t i = 0; i < here.inline_children; ++i)
        if (marked(here.child_elements[i]) && visit_until(here.child_nodes[i], newcomer, below, test)) return true;
    for (const auto& child : here.more_children)
        if (marked(child.first) && visit_until(child.second, newcomer, below, test)) return true;
    return false;
}

template <class Test>
bool FeatureIndex::any_general(const sym::RuleFeatures& newcomer, Slot below, Test&& test) {
    for (Slot slot : _always)
        if (slot < below && _slots[slot].held && sym::may_imply_features(*_slots[slot].features, newcomer) &&
            test(slot))
            return true;
    // The marks are cleared however the walk ends.
    struct Unmark {
        FeatureIndex* index;
        ~Unmark() { index->unmark(); }
    };
    mark(newcomer);
    Unmark unmark{this};
    for (Element root : _newcomer_elements)
        if (root < _roots.size() && _roots[root] != NO_NODE && visit_until(_roots[root], newcomer, below, test))
            return true;
    return false;
}

// A held list's positions beside its feature index, slot by slot.
template <class Entry>
class HeldIndex : public FeatureIndex {
public:
    typedef typename std::list<Entry>::iterator Position;

    explicit HeldIndex(bool converse = true) : FeatureIndex(converse) {}

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
