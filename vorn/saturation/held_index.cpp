#include "vorn/saturation/held_index.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <limits>

#include "symbolic/term.h"

namespace vorn {

namespace {

// Keys are symbol numbers and hashes mixed with positions: spread them.
size_t key_hash(uint32_t key) { return static_cast<size_t>((key * 0x9e3779b97f4a7c15ull) >> 32); }

uint32_t key_of(uint64_t count_entry) { return static_cast<uint32_t>(count_entry >> 32); }

// Counts above three are filed as three, as the quick test's bits do.
uint32_t capped_count(uint64_t count_entry) {
    return static_cast<uint32_t>(std::min<uint64_t>(count_entry & 0xffffffffu, 3));
}

void sort_unique(std::vector<FeatureIndex::Slot>& slots) {
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
}

}  // namespace

PartnerKey partner_key(const sym::Term* term) {
    switch (term->type()) {
    case sym::Term::VARIA:
        return WILDCARD;
    case sym::Term::FUNCT:
    case sym::Term::CONST:
    case sym::Term::PARAM:
        return (static_cast<PartnerKey>(term->type()) << 48) ^ term->name().id();
    default:
        // Nonces, timestamps and configurations unify with their own kind whatever the symbol.
        return static_cast<PartnerKey>(term->type()) << 48;
    }
}

uint32_t FeatureIndex::Node::child(Element e) const {
    for (uint32_t i = 0; i < inline_children; ++i)
        if (child_elements[i] == e) return child_nodes[i];
    for (const auto& more : more_children)
        if (more.first == e) return more.second;
    return 0;
}

void FeatureIndex::Node::add_child(Element e, uint32_t node) {
    if (inline_children < INLINE) {
        child_elements[inline_children] = e;
        child_nodes[inline_children++] = node;
    } else {
        more_children.emplace_back(e, node);
    }
}

uint32_t KeyNumbers::find(uint32_t key) const {
    if (_places.empty()) return ABSENT;
    size_t mask = _places.size() - 1;
    for (size_t at = key_hash(key) & mask;; at = (at + 1) & mask) {
        uint64_t place = _places[at];
        if (place == 0) return ABSENT;
        if (static_cast<uint32_t>(place) == key) return static_cast<uint32_t>(place >> 32) - 1;
    }
}

uint32_t KeyNumbers::number(uint32_t key) {
    uint32_t known = find(key);
    if (known != ABSENT) return known;
    if (2 * (_size + 1) > _places.size()) grow();
    size_t mask = _places.size() - 1;
    size_t at = key_hash(key) & mask;
    while (_places[at] != 0) at = (at + 1) & mask;
    uint32_t n = static_cast<uint32_t>(_size++);
    _places[at] = (uint64_t{n} + 1) << 32 | key;
    return n;
}

void KeyNumbers::grow() {
    std::vector<uint64_t> old = std::move(_places);
    _places.assign(std::max<size_t>(64, 2 * old.size()), 0);
    size_t mask = _places.size() - 1;
    for (uint64_t place : old) {
        if (place == 0) continue;
        size_t at = key_hash(static_cast<uint32_t>(place)) & mask;
        while (_places[at] != 0) at = (at + 1) & mask;
        _places[at] = place;
    }
}

FeatureIndex::Element FeatureIndex::element(uint32_t key, uint32_t count) {
    uint32_t k = _keys.number(key);
    size_t elements = 3 * _keys.size() + 1;
    if (_asked.size() < elements) _asked.resize(elements, 0);
    return 3 * k + count;
}

FeatureIndex::Element FeatureIndex::known_element(uint32_t key, uint32_t count) const {
    uint32_t k = _keys.find(key);
    return k == KeyNumbers::ABSENT ? NONE : 3 * k + count;
}

FeatureIndex::Signature FeatureIndex::signature(const sym::RuleFeatures& features) {
    Signature chosen;
    chosen.fill(NONE);
    for (uint64_t entry : features.counts) {
        // A newcomer that carries a key as often carries it less often too.
        Element e = element(key_of(entry), capped_count(entry));
        for (size_t i = 0; i < chosen.size(); ++i) {
            if (chosen[i] != NONE && _asked[chosen[i]] <= _asked[e]) continue;
            for (size_t j = chosen.size() - 1; j > i; --j) chosen[j] = chosen[j - 1];
            chosen[i] = e;
            break;
        }
    }
    return chosen;
}

void FeatureIndex::file(Slot slot) {
    const sym::RuleFeatures& features = *_slots[slot].features;
    if (!features.quick.pure || features.counts.empty()) {
        _always.push_back(slot);
    } else {
        Signature s = signature(features);
        if (_roots.size() <= s[0]) _roots.resize(s[0] + 1, NO_NODE);
        if (_roots[s[0]] == NO_NODE) {
            _roots[s[0]] = static_cast<uint32_t>(_nodes.size());
            _nodes.emplace_back();
        }
        uint32_t node = _roots[s[0]];
        for (size_t i = 1; i < s.size() && s[i] != NONE; ++i) {
            uint32_t next = _nodes[node].child(s[i]);
            if (next == 0) {
                next = static_cast<uint32_t>(_nodes.size());
                _nodes[node].add_child(s[i], next);
                _nodes.emplace_back();
            }
            node = next;
        }
        _nodes[node].rules.push_back(General{features.quick, slot});
    }
    if (_converse)
        for (uint64_t entry : features.counts)
            for (uint32_t count = 1; count <= capped_count(entry); ++count) {
                Element e = element(key_of(entry), count);
                if (_containing.size() <= e) _containing.resize(e + 1);
                _containing[e].push_back(slot);
            }
    PartnerKey partner = _slots[slot].partner;
    if (partner == NOT_A_PARTNER) return;
    if (partner == WILDCARD)
        _wild_partners.push_back(slot);
    else
        _partners[partner].push_back(slot);
}

void FeatureIndex::append(const sym::RuleFeatures* features, PartnerKey partner) {
    _slots.push_back(Filed{features, partner, true});
    auto& bits = _key_bits.emplace_back();
    std::copy(std::begin(features->quick.bits), std::end(features->quick.bits), bits.begin());
    if (_slots.size() < _next_refile) {
        file(static_cast<Slot>(_slots.size() - 1));
        return;
    }
    // The signatures of the first rules were chosen by what the first
    // newcomers carried: filed again, they follow what newcomers carry now.
    _next_refile = 2 * _slots.size();
    refile();
}

void FeatureIndex::refile() {
    _roots.clear();
    _nodes.clear();
    _always.clear();
    _containing.clear();
    _partners.clear();
    _wild_partners.clear();
    for (Slot slot = 0; slot < _slots.size(); ++slot)
        if (_slots[slot].held) file(slot);
}

void FeatureIndex::release(Slot slot) {
    _slots[slot].held = false;
    ++_released;
}

void FeatureIndex::mark(const sym::RuleFeatures& newcomer) {
    _marks.resize(_asked.size(), 0);
    _newcomer_elements.clear();
    for (uint64_t entry : newcomer.counts) {
        Element first = known_element(key_of(entry), 1);
        if (first == NONE) continue;
        for (Element e = first; e < first + capped_count(entry); ++e) {
            _newcomer_elements.push_back(e);
            _marks[e] = 1;
            ++_asked[e];
        }
    }
}

void FeatureIndex::unmark() {
    for (Element e : _newcomer_elements) _marks[e] = 0;
}

void FeatureIndex::visit(uint32_t node, const sym::RuleFeatures& newcomer, std::vector<Slot>& out) const {
    const Node& here = _nodes[node];
    for (const General& general : here.rules) {
        if (!sym::may_imply_quick(general.quick, newcomer.quick)) continue;
        const Filed& filed = _slots[general.slot];
        if (filed.held && sym::covered_counts(filed.features->counts, newcomer.counts)) out.push_back(general.slot);
    }
    for (uint32_t i = 0; i < here.inline_children; ++i)
        if (marked(here.child_elements[i])) visit(here.child_nodes[i], newcomer, out);
    for (const auto& child : here.more_children)
        if (marked(child.first)) visit(child.second, newcomer, out);
}

void FeatureIndex::general_side(const sym::RuleFeatures& newcomer, std::vector<Slot>& out) {
    for (Slot slot : _always)
        if (_slots[slot].held && sym::may_imply_features(*_slots[slot].features, newcomer)) out.push_back(slot);
    mark(newcomer);
    for (Element root : _newcomer_elements)
        if (root < _roots.size() && _roots[root] != NO_NODE) visit(_roots[root], newcomer, out);
    unmark();
}

bool FeatureIndex::impure_may_imply(const sym::RuleFeatures& newcomer) const {
    for (Slot slot : _always) {
        const Filed& filed = _slots[slot];
        if (filed.held && !filed.features->quick.pure && sym::may_imply_features(*filed.features, newcomer)) return true;
    }
    return false;
}

void FeatureIndex::specific_side(const sym::RuleFeatures& newcomer, std::vector<Slot>& out) {
    // A pure newcomer's key bits are among those of every rule it may imply:
    // read side by side, they rule most candidates out before their features are.
    const uint64_t* mine = newcomer.quick.bits;
    auto test = [&](Slot slot) {
        const Filed& filed = _slots[slot];
        if (!filed.held) return;
        if (newcomer.quick.pure) {
            const auto& theirs = _key_bits[slot];
            uint64_t outside = 0;
            for (unsigned i = 0; i < sym::RuleFeatures::BIT_WORDS; ++i) outside |= mine[i] & ~theirs[i];
            if (outside != 0) return;
        }
        if (sym::may_imply_features(newcomer, *filed.features)) out.push_back(slot);
    };
    if (!newcomer.quick.pure || newcomer.counts.empty()) {
        // The newcomer's counts say nothing: every held rule may be implied.
        for (Slot slot = 0; slot < _slots.size(); ++slot) test(slot);
        return;
    }
    // A held rule the newcomer implies carries every element of the
    // newcomer: it is in the two shortest of their lists.
    const std::vector<Slot>* shortest[2] = {nullptr, nullptr};
    for (uint64_t entry : newcomer.counts) {
        Element e = known_element(key_of(entry), capped_count(entry));
        if (e == NONE || e >= _containing.size() || _containing[e].empty()) return;
        const std::vector<Slot>* candidate = &_containing[e];
        if (shortest[0] == nullptr || candidate->size() < shortest[0]->size()) {
            shortest[1] = shortest[0];
            shortest[0] = candidate;
        } else if (shortest[1] == nullptr || candidate->size() < shortest[1]->size()) {
            shortest[1] = candidate;
        }
    }
    if (shortest[1] == nullptr) {
        for (Slot slot : *shortest[0]) test(slot);
        return;
    }
    // Their intersection, each slot tested as it is found.
    auto a = shortest[0]->begin(), a_end = shortest[0]->end();
    auto b = shortest[1]->begin(), b_end = shortest[1]->end();
    // Common slots are few: the steps are taken without a branch to mispredict.
    while (a != a_end && b != b_end) {
        Slot x = *a, y = *b;
        if (x == y) test(x);
        a += x <= y;
        b += y <= x;
    }
}

void FeatureIndex::implication_candidates(const sym::RuleFeatures& newcomer, bool converse, std::vector<Slot>& out,
                                          std::vector<uint8_t>* sides) {
    assert(_converse || !converse);
    out.clear();
    general_side(newcomer, out);
    size_t general = out.size();
    if (converse) specific_side(newcomer, out);
    if (sides == nullptr) {
        sort_unique(out);
        return;
    }
    // Each slot with its side in the lowest bits, sorted and merged.
    for (size_t i = 0; i < out.size(); ++i) out[i] = out[i] << 2 | (i < general ? GENERAL : SPECIFIC);
    std::sort(out.begin(), out.end());
    sides->clear();
    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        Slot slot = out[i] >> 2;
        uint8_t side = static_cast<uint8_t>(out[i] & 3);
        if (kept > 0 && out[kept - 1] == slot) {
            sides->back() |= side;
            continue;
        }
        out[kept++] = slot;
        sides->push_back(side);
    }
    out.resize(kept);
}

void FeatureIndex::partner_candidates(PartnerKey key, std::vector<Slot>& out) const {
    out.clear();
    if (key == WILDCARD) {
        for (Slot slot = 0; slot < _slots.size(); ++slot)
            if (_slots[slot].held) out.push_back(slot);
        return;
    }
    auto keep_held = [&](const std::vector<Slot>& list) {
        for (Slot slot : list)
            if (_slots[slot].held) out.push_back(slot);
    };
    auto found = _partners.find(key);
    if (found != _partners.end()) keep_held(found->second);
    if (_wild_partners.empty()) return;
    size_t middle = out.size();
    keep_held(_wild_partners);
    std::inplace_merge(out.begin(), out.begin() + static_cast<long>(middle), out.end());
}

void FeatureIndex::compact() {
    std::vector<Filed> kept;
    kept.reserve(_slots.size() - _released);
    size_t out = 0;
    for (size_t k = 0; k < _slots.size(); ++k) {
        if (!_slots[k].held) continue;
        kept.push_back(_slots[k]);
        _key_bits[out++] = _key_bits[k];
    }
    _slots = std::move(kept);
    _key_bits.resize(out);
    _released = 0;
    refile();
}

}  // namespace vorn
