#include "vorn/saturation/step_links.h"

#include <algorithm>

namespace vorn {

namespace {

using SID = sym::StateRule::SID;

// What the links are built in, kept between calls: a run builds one link
// for every rule it makes.
struct Scratch {
    StepLink link;
    std::vector<SID> sids;
    // SIDs before validation, each with what it stands for.
    std::vector<std::pair<SID, StateRef>> before;
    // SIDs before validation, each with the state of the made rule it became.
    std::vector<std::pair<SID, uint32_t>> owner;
    std::vector<std::pair<uint32_t, StateRef>> grouped;

    static Scratch& get() {
        thread_local Scratch scratch;
        return scratch;
    }
};

// The SIDs of a rule's states in ascending order: a state's position is where its SID is.
const std::vector<SID>& sids(const sym::StateRule& rule, std::vector<SID>& all) {
    all.clear();
    for (const auto& state : rule.states()) all.push_back(state.first);
    return all;
}

// The position of a SID among `all`, or UINT32_MAX.
uint32_t position(const std::vector<SID>& all, SID sid) {
    auto found = std::lower_bound(all.begin(), all.end(), sid);
    return found == all.end() || *found != sid ? UINT32_MAX : static_cast<uint32_t>(found - all.begin());
}

void fill_shape(const sym::StateRule& rule, RuleShape& shape, std::vector<SID>& all) {
    shape.premises = static_cast<uint32_t>(rule.knows().size());
    shape.conversions = rule.type() == sym::StateRule::TRANSFR
                            ? static_cast<uint32_t>(static_cast<const sym::StateTransRule&>(rule).conversions().size())
                            : 0;
    sids(rule, all);
    shape.process.assign(all.size(), 0);
    shape.later.clear();
    for (size_t p = 0; p < rule.partitions().size(); ++p)
        for (SID sid : rule.partitions()[p].first) {
            uint32_t at = position(all, sid);
            if (at != UINT32_MAX) shape.process[at] = static_cast<uint32_t>(p);
        }
    uint32_t a = 0;
    for (const auto& state : rule.states()) {
        // Both ascending: one walk finds the positions.
        uint32_t b = 0;
        for (SID sid : state.second.second) {
            while (b < all.size() && all[b] < sid) ++b;
            if (b == all.size()) break;
            if (all[b] == sid && b != a && shape.process[b] == shape.process[a]) shape.later.emplace_back(a, b);
        }
        ++a;
    }
}

void add_states(const sym::StateRule& rule, StateRef::From from, Scratch& scratch) {
    uint32_t index = 0;
    for (const auto& state : rule.states()) scratch.before.emplace_back(state.first, StateRef{from, index++});
}

// The made rule's states and premises from what stood before validation.
// Validation folds some states into others and renaming then numbers the
// rest anew in the same order, so the states validation kept are the made
// rule's, in order. False when the record does not fit the rule.
bool read_validation(const size_t* record, const sym::StateRule& made, Scratch& scratch) {
    StepLink& link = scratch.link;
    size_t kept = *record++;
    if (kept != made.states().size()) return false;
    scratch.owner.clear();
    for (uint32_t state = 0; state < kept; ++state) {
        scratch.owner.emplace_back(*record++, state);
        for (size_t folded = *record++; folded > 0; --folded) scratch.owner.emplace_back(*record++, state);
    }
    std::sort(scratch.owner.begin(), scratch.owner.end());
    scratch.grouped.clear();
    for (const auto& entry : scratch.before) {
        auto found = std::lower_bound(scratch.owner.begin(), scratch.owner.end(), std::make_pair(entry.first, uint32_t{0}));
        if (found == scratch.owner.end() || found->first != entry.first) return false;
        scratch.grouped.emplace_back(found->second, entry.second);
    }
    std::stable_sort(scratch.grouped.begin(), scratch.grouped.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    link.refs.clear();
    link.state_end.clear();
    auto next = scratch.grouped.begin();
    for (uint32_t state = 0; state < kept; ++state) {
        for (; next != scratch.grouped.end() && next->first == state; ++next) link.refs.push_back(next->second);
        link.state_end.push_back(static_cast<uint32_t>(link.refs.size()));
    }
    size_t pairs = *record++;
    link.positions.clear();
    link.premise_end.clear();
    for (uint32_t premise = 0; premise < made.knows().size(); ++premise) {
        for (; pairs > 0 && record[0] == premise; pairs--, record += 2)
            link.positions.push_back(static_cast<uint32_t>(record[1]));
        link.premise_end.push_back(static_cast<uint32_t>(link.positions.size()));
    }
    return pairs == 0;
}

// Starts a link of `made`.
Scratch& start(const sym::StateRule& made) {
    Scratch& scratch = Scratch::get();
    fill_shape(made, scratch.link.shape, scratch.sids);
    scratch.before.clear();
    scratch.link.covered.clear();
    return scratch;
}

// The counts that open a packed link: states, premises, conversions, later
// pairs, state references, covered states, premise positions.
enum Count : size_t { STATES, PREMISES, CONVERSIONS, LATER, REFS, COVERED, POSITIONS, COUNTS };

constexpr uint32_t FROM_SHIFT = 30;

}  // namespace

std::span<const StateRef> StepLink::state_refs(uint32_t state) const {
    uint32_t begin = state == 0 ? 0 : state_end.at(state - 1);
    return {refs.data() + begin, state_end.at(state) - begin};
}

std::span<const uint32_t> StepLink::premise_positions(uint32_t premise) const {
    uint32_t begin = premise == 0 ? 0 : premise_end.at(premise - 1);
    return {positions.data() + begin, premise_end.at(premise) - begin};
}

PackedLink::PackedLink(const StepLink& link) {
    const RuleShape& shape = link.shape;
    bool linked = link.linked();
    _data = {static_cast<uint32_t>(shape.process.size()),
             shape.premises,
             shape.conversions,
             static_cast<uint32_t>(shape.later.size()),
             linked ? static_cast<uint32_t>(link.refs.size()) : 0,
             static_cast<uint32_t>(link.covered.size()),
             linked ? static_cast<uint32_t>(link.positions.size()) : 0,
             linked ? 1u : 0u};
    _data.reserve(_data.size() + shape.process.size() + 2 * shape.later.size() + 2 * link.covered.size() +
                  (linked ? link.refs.size() + link.state_end.size() + link.positions.size() + link.premise_end.size() : 0));
    _data.insert(_data.end(), shape.process.begin(), shape.process.end());
    for (const auto& pair : shape.later) _data.insert(_data.end(), {pair.first, pair.second});
    for (const auto& pair : link.covered) _data.insert(_data.end(), {pair.first, pair.second});
    if (!linked) return;
    _data.insert(_data.end(), link.state_end.begin(), link.state_end.end());
    for (const StateRef& ref : link.refs) _data.push_back(static_cast<uint32_t>(ref.from) << FROM_SHIFT | ref.index);
    _data.insert(_data.end(), link.premise_end.begin(), link.premise_end.end());
    _data.insert(_data.end(), link.positions.begin(), link.positions.end());
}

StepLink PackedLink::unpack() const {
    StepLink link;
    if (_data.empty()) return link;
    auto take = [&](size_t& at, size_t n) {
        auto from = _data.begin() + static_cast<long>(at);
        at += n;
        return std::make_pair(from, from + static_cast<long>(n));
    };
    size_t at = COUNTS + 1;
    link.shape.premises = _data[PREMISES];
    link.shape.conversions = _data[CONVERSIONS];
    auto process = take(at, _data[STATES]);
    link.shape.process.assign(process.first, process.second);
    for (uint32_t i = 0; i < _data[LATER]; ++i, at += 2) link.shape.later.emplace_back(_data[at], _data[at + 1]);
    for (uint32_t i = 0; i < _data[COVERED]; ++i, at += 2) link.covered.emplace_back(_data[at], _data[at + 1]);
    if (_data[COUNTS] == 0) return link;
    auto ends = take(at, _data[STATES]);
    link.state_end.assign(ends.first, ends.second);
    for (uint32_t i = 0; i < _data[REFS]; ++i, ++at)
        link.refs.push_back({static_cast<StateRef::From>(_data[at] >> FROM_SHIFT), _data[at] & ((1u << FROM_SHIFT) - 1)});
    auto premise_ends = take(at, _data[PREMISES]);
    link.premise_end.assign(premise_ends.first, premise_ends.second);
    auto positions = take(at, _data[POSITIONS]);
    link.positions.assign(positions.first, positions.second);
    return link;
}

RuleShape rule_shape(const sym::StateRule& rule) {
    RuleShape shape;
    std::vector<SID> all;
    fill_shape(rule, shape, all);
    return shape;
}

PackedLink model_link(const sym::StateRule& rule) {
    StepLink link;
    link.shape = rule_shape(rule);
    return PackedLink(link);
}

PackedLink composition_link(const sym::StateRule& provider, const sym::StateRule& consumer,
                            const sym::StateRule& made, const MadeRecord& record) {
    Scratch& scratch = start(made);
    add_states(provider, StateRef::From::FIRST, scratch);
    add_states(consumer, StateRef::From::SECOND, scratch);
    if (!record.validation || !read_validation(record.validation, made, scratch)) return {};
    return PackedLink(scratch.link);
}

PackedLink transfer_link(const sym::StateRule& transfer, const sym::StateRule& final_rule, const sym::StateRule& made,
                         const MadeRecord& record) {
    Scratch& scratch = start(made);
    if (!record.validation || !record.conversions) return {};
    add_states(transfer, StateRef::From::FIRST, scratch);
    // The final rule's states but those the conversions replaced, and the copies of their sources.
    std::vector<SID> all;
    sids(final_rule, all);
    std::vector<bool> covered(all.size(), false);
    const size_t* at = record.conversions;
    uint32_t conversions = static_cast<uint32_t>(*at++);
    for (uint32_t c = 0; c < conversions; ++c) {
        for (size_t n = *at++; n > 0; --n) {
            uint32_t state = position(all, *at++);
            if (state == UINT32_MAX) return {};
            covered[state] = true;
            scratch.link.covered.emplace_back(state, c);
        }
        if (SID source = *at++) scratch.before.emplace_back(source, StateRef{StateRef::From::SOURCE, c});
    }
    for (uint32_t i = 0; i < all.size(); ++i)
        if (!covered[i]) scratch.before.emplace_back(all[i], StateRef{StateRef::From::SECOND, i});
    if (!read_validation(record.validation, made, scratch)) return {};
    return PackedLink(scratch.link);
}

PackedLink target_link(const sym::StateRule& final_rule, const sym::StateRule& made, const MadeRecord& record) {
    Scratch& scratch = start(made);
    std::vector<SID> all;
    sids(final_rule, all);
    // Each process keeps its first state, which stands for all of them.
    for (const auto& partition : final_rule.partitions()) {
        if (partition.first.empty()) continue;
        SID kept = *partition.first.begin();
        for (SID sid : partition.first) {
            uint32_t state = position(all, sid);
            if (state != UINT32_MAX) scratch.before.emplace_back(kept, StateRef{StateRef::From::FIRST, state});
        }
    }
    if (!record.validation || !read_validation(record.validation, made, scratch)) return {};
    return PackedLink(scratch.link);
}

PackedLink rewrite_link(const sym::StateRule& rule, const sym::StateRule& made, const MadeRecord& record) {
    Scratch& scratch = start(made);
    add_states(rule, StateRef::From::FIRST, scratch);
    if (!record.validation || !read_validation(record.validation, made, scratch)) return {};
    return PackedLink(scratch.link);
}

PackedLink copy_link(const sym::StateRule& made) {
    Scratch& scratch = start(made);
    StepLink& link = scratch.link;
    link.refs.clear();
    link.state_end.clear();
    link.positions.clear();
    link.premise_end.clear();
    for (uint32_t i = 0; i < made.states().size(); ++i) {
        link.refs.push_back({StateRef::From::FIRST, i});
        link.state_end.push_back(i + 1);
    }
    for (uint32_t i = 0; i < made.knows().size(); ++i) {
        link.positions.push_back(i);
        link.premise_end.push_back(i + 1);
    }
    return PackedLink(link);
}

}  // namespace vorn
