#include "vorn/held_index.h"

#include <algorithm>
#include <limits>

#include "symbolic/term.h"

namespace vorn {

namespace {

uint32_t key_of(uint64_t count_entry) { return static_cast<uint32_t>(count_entry >> 32); }

// Counts above three are filed as three, as the quick test's bits do.
uint32_t capped_count(uint64_t count_entry) {
    return static_cast<uint32_t>(std::min<uint64_t>(count_entry & 0xffffffffu, 3));
}

uint64_t element(uint32_t key, uint32_t count) { return (static_cast<uint64_t>(key) << 2) | count; }

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

uint32_t FeatureIndex::signature(const sym::RuleFeatures& features) const {
    uint32_t best = 0;
    uint32_t fewest = std::numeric_limits<uint32_t>::max();
    for (size_t i = 0; i < features.counts.size(); ++i) {
        auto asked = _asked.find(key_of(features.counts[i]));
        uint32_t times = asked == _asked.end() ? 0 : asked->second;
        if (times < fewest) {
            fewest = times;
            best = static_cast<uint32_t>(i);
        }
    }
    return best;
}

void FeatureIndex::file(Slot slot) {
    const sym::RuleFeatures& features = *_slots[slot].features;
    if (!features.quick.pure || features.counts.empty()) {
        _always.push_back(slot);
    } else {
        uint64_t entry = features.counts[signature(features)];
        _general[element(key_of(entry), capped_count(entry))].push_back(slot);
    }
    for (uint64_t entry : features.counts) _specific[key_of(entry)].push_back(slot);
    PartnerKey partner = _slots[slot].partner;
    if (partner == NOT_A_PARTNER) return;
    if (partner == WILDCARD)
        _wild_partners.push_back(slot);
    else
        _partners[partner].push_back(slot);
}

void FeatureIndex::append(const sym::RuleFeatures* features, PartnerKey partner) {
    _slots.push_back(Filed{features, partner, true});
    file(static_cast<Slot>(_slots.size() - 1));
}

void FeatureIndex::release(Slot slot) {
    _slots[slot].held = false;
    ++_released;
}

void FeatureIndex::append_held(const std::vector<Slot>& list, const std::vector<Filed>& slots,
                               std::vector<Slot>& out) {
    for (Slot slot : list)
        if (slots[slot].held) out.push_back(slot);
}

void FeatureIndex::implication_candidates(const sym::RuleFeatures& newcomer, bool converse, std::vector<Slot>& out) {
    out.clear();
    append_held(_always, _slots, out);
    for (uint64_t entry : newcomer.counts) {
        uint32_t key = key_of(entry);
        ++_asked[key];
        for (uint32_t count = 1; count <= capped_count(entry); ++count) {
            auto found = _general.find(element(key, count));
            if (found != _general.end()) append_held(found->second, _slots, out);
        }
    }
    if (converse) {
        if (!newcomer.quick.pure || newcomer.counts.empty()) {
            // The newcomer's counts say nothing: every held rule may be implied.
            for (Slot slot = 0; slot < _slots.size(); ++slot)
                if (_slots[slot].held) out.push_back(slot);
        } else {
            // A held rule the newcomer implies carries every key of the
            // newcomer: the shortest list of one of them holds them all.
            const std::vector<Slot>* shortest = nullptr;
            for (uint64_t entry : newcomer.counts) {
                auto found = _specific.find(key_of(entry));
                if (found == _specific.end()) {
                    shortest = nullptr;
                    break;
                }
                if (shortest == nullptr || found->second.size() < shortest->size()) shortest = &found->second;
            }
            if (shortest != nullptr) append_held(*shortest, _slots, out);
        }
    }
    sort_unique(out);
}

void FeatureIndex::partner_candidates(PartnerKey key, std::vector<Slot>& out) const {
    out.clear();
    if (key == WILDCARD) {
        for (Slot slot = 0; slot < _slots.size(); ++slot)
            if (_slots[slot].held) out.push_back(slot);
        return;
    }
    auto found = _partners.find(key);
    if (found != _partners.end()) append_held(found->second, _slots, out);
    if (_wild_partners.empty()) return;
    size_t middle = out.size();
    append_held(_wild_partners, _slots, out);
    std::inplace_merge(out.begin(), out.begin() + static_cast<long>(middle), out.end());
}

void FeatureIndex::compact() {
    std::vector<Filed> kept;
    kept.reserve(_slots.size() - _released);
    for (const Filed& entry : _slots)
        if (entry.held) kept.push_back(entry);
    _slots = std::move(kept);
    _released = 0;
    _general.clear();
    _always.clear();
    _specific.clear();
    _partners.clear();
    _wild_partners.clear();
    for (Slot slot = 0; slot < _slots.size(); ++slot) file(slot);
}

}  // namespace vorn
