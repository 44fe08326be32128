#include "vorn/saturation/step_links.h"

#include <algorithm>
#include <optional>

namespace vorn {

namespace {

using SID = sym::StateRule::SID;

// The SIDs of a rule's states in ascending order: a state's position is where its SID is.
std::vector<SID> sids(const sym::StateRule& rule) {
    std::vector<SID> all;
    all.reserve(rule.states().size());
    for (const auto& state : rule.states()) all.push_back(state.first);
    return all;
}

// The position of a SID among `all`, or none.
std::optional<uint32_t> position(const std::vector<SID>& all, SID sid) {
    auto found = std::lower_bound(all.begin(), all.end(), sid);
    if (found == all.end() || *found != sid) return std::nullopt;
    return static_cast<uint32_t>(found - all.begin());
}

// What stood before validation: for SIDs validation began with, the states
// they stand for.
using Before = std::vector<std::pair<SID, StateRef>>;

// The states of the made rule from what stood before validation. Validation
// folds some states into others and renaming then numbers the rest anew in
// the same order, so the states left are the made rule's, in order. An empty
// list when the record does not fit the rule.
std::vector<std::vector<StateRef>> after_validation(Before before, const sym::Validation& validation,
                                                    const sym::StateRule& made) {
    // A state may be folded into one that is folded in its turn.
    auto survivor = [&](SID sid) {
        for (size_t hops = 0; hops <= validation.folds.size(); ++hops) {
            auto fold = std::find_if(validation.folds.begin(), validation.folds.end(),
                                     [&](const auto& f) { return f.first == sid; });
            if (fold == validation.folds.end()) break;
            sid = fold->second;
        }
        return sid;
    };
    for (auto& entry : before) entry.first = survivor(entry.first);
    std::stable_sort(before.begin(), before.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::vector<StateRef>> states;
    auto next = before.begin();
    for (SID sid : validation.states) {
        if (survivor(sid) != sid) continue;
        states.emplace_back();
        for (; next != before.end() && next->first == sid; ++next) states.back().push_back(next->second);
        if (states.back().empty()) return {};
    }
    if (next != before.end() || states.size() != made.states().size()) return {};
    return states;
}

std::vector<std::vector<uint32_t>> premises(const sym::Validation& validation) {
    std::vector<std::vector<uint32_t>> all;
    for (const auto& positions : validation.premises) all.emplace_back(positions.begin(), positions.end());
    return all;
}

void add_states(const sym::StateRule& rule, StateRef::From from, Before& before) {
    uint32_t index = 0;
    for (const auto& state : rule.states()) before.emplace_back(state.first, StateRef{from, index++});
}

}  // namespace

namespace {

// The counts that open a packed link: states, premises, conversions, later
// pairs, state references, covered states, premise positions.
enum Count : size_t { STATES, PREMISES, CONVERSIONS, LATER, REFS, COVERED, POSITIONS, COUNTS };

constexpr uint32_t FROM_SHIFT = 30;
constexpr uint32_t END = UINT32_MAX;

}  // namespace

PackedLink::PackedLink(const StepLink& link) {
    const RuleShape& shape = link.shape;
    // A model rule's link has its shape only; a link whose record did not
    // fit its rule keeps its shape only too.
    bool linked = link.states.size() == shape.process.size() && link.premises.size() == shape.premises;
    uint32_t refs = 0, positions = 0;
    if (linked) {
        for (const auto& state : link.states) refs += static_cast<uint32_t>(state.size());
        for (const auto& premise : link.premises) positions += static_cast<uint32_t>(premise.size());
    }
    _data = {static_cast<uint32_t>(shape.process.size()), shape.premises, shape.conversions,
             static_cast<uint32_t>(shape.later.size()), refs, static_cast<uint32_t>(link.covered.size()), positions,
             linked ? 1u : 0u};
    _data.insert(_data.end(), shape.process.begin(), shape.process.end());
    for (const auto& pair : shape.later) _data.insert(_data.end(), {pair.first, pair.second});
    for (const auto& pair : link.covered) _data.insert(_data.end(), {pair.first, pair.second});
    if (linked) {
        // Each state's references and each premise's positions end with a mark.
        for (const auto& state : link.states) {
            for (const StateRef& ref : state) _data.push_back(static_cast<uint32_t>(ref.from) << FROM_SHIFT | ref.index);
            _data.push_back(END);
        }
        for (const auto& premise : link.premises) {
            _data.insert(_data.end(), premise.begin(), premise.end());
            _data.push_back(END);
        }
    }
    _data.shrink_to_fit();
}

RuleShape PackedLink::shape() const {
    RuleShape shape;
    size_t at = COUNTS + 1;
    shape.premises = _data[PREMISES];
    shape.conversions = _data[CONVERSIONS];
    shape.process.assign(_data.begin() + static_cast<long>(at), _data.begin() + static_cast<long>(at + _data[STATES]));
    at += _data[STATES];
    for (uint32_t i = 0; i < _data[LATER]; ++i, at += 2) shape.later.emplace_back(_data[at], _data[at + 1]);
    return shape;
}

StepLink PackedLink::unpack() const {
    StepLink link;
    link.shape = shape();
    size_t at = COUNTS + 1 + _data[STATES] + 2 * size_t(_data[LATER]);
    for (uint32_t i = 0; i < _data[COVERED]; ++i, at += 2) link.covered.emplace_back(_data[at], _data[at + 1]);
    if (_data[COUNTS] == 0) return link;
    for (uint32_t state = 0; state < _data[STATES]; ++state, ++at) {
        link.states.emplace_back();
        for (; _data[at] != END; ++at)
            link.states.back().push_back(
                {static_cast<StateRef::From>(_data[at] >> FROM_SHIFT), _data[at] & ((1u << FROM_SHIFT) - 1)});
    }
    for (uint32_t premise = 0; premise < _data[PREMISES]; ++premise, ++at) {
        link.premises.emplace_back();
        for (; _data[at] != END; ++at) link.premises.back().push_back(_data[at]);
    }
    return link;
}

RuleShape rule_shape(const sym::StateRule& rule) {
    RuleShape shape;
    shape.premises = static_cast<uint32_t>(rule.knows().size());
    if (rule.type() == sym::StateRule::TRANSFR)
        shape.conversions = static_cast<uint32_t>(static_cast<const sym::StateTransRule&>(rule).conversions().size());
    std::vector<SID> all = sids(rule);
    shape.process.assign(all.size(), 0);
    for (size_t p = 0; p < rule.partitions().size(); ++p)
        for (SID sid : rule.partitions()[p].first)
            if (auto at = position(all, sid)) shape.process[*at] = static_cast<uint32_t>(p);
    uint32_t a = 0;
    for (const auto& state : rule.states()) {
        for (SID sid : state.second.second) {
            auto b = position(all, sid);
            if (b && *b != a && shape.process[*b] == shape.process[a]) shape.later.emplace_back(a, *b);
        }
        ++a;
    }
    return shape;
}

StepLink composition_link(const sym::StateRule& provider, const sym::StateRule& consumer,
                          const sym::StateRule& made, const sym::Validation& validation) {
    StepLink link;
    link.shape = rule_shape(made);
    Before before;
    add_states(provider, StateRef::From::FIRST, before);
    add_states(consumer, StateRef::From::SECOND, before);
    link.states = after_validation(std::move(before), validation, made);
    link.premises = premises(validation);
    return link;
}

StepLink transfer_link(const sym::StateRule& transfer, const sym::StateRule& final_rule, const sym::StateRule& made,
                       const sym::Validation& validation, const Conversions& conversions) {
    StepLink link;
    link.shape = rule_shape(made);
    Before before;
    add_states(transfer, StateRef::From::FIRST, before);
    std::vector<SID> all = sids(final_rule);
    std::vector<bool> covered(all.size(), false);
    for (uint32_t c = 0; c < conversions.size(); ++c) {
        for (SID sid : conversions[c].first) {
            if (auto at = position(all, sid)) {
                covered[*at] = true;
                link.covered.emplace_back(*at, c);
            }
        }
        if (conversions[c].second != 0) before.emplace_back(conversions[c].second, StateRef{StateRef::From::SOURCE, c});
    }
    for (uint32_t i = 0; i < all.size(); ++i)
        if (!covered[i]) before.emplace_back(all[i], StateRef{StateRef::From::SECOND, i});
    link.states = after_validation(std::move(before), validation, made);
    link.premises = premises(validation);
    return link;
}

StepLink target_link(const sym::StateRule& final_rule, const sym::StateRule& made, const sym::Validation& validation) {
    StepLink link;
    link.shape = rule_shape(made);
    std::vector<SID> all = sids(final_rule);
    Before before;
    // Each process keeps its first state, which stands for all of them.
    for (const auto& partition : final_rule.partitions()) {
        if (partition.first.empty()) continue;
        SID kept = *partition.first.begin();
        for (SID sid : partition.first)
            if (auto at = position(all, sid)) before.emplace_back(kept, StateRef{StateRef::From::FIRST, *at});
    }
    link.states = after_validation(std::move(before), validation, made);
    link.premises = premises(validation);
    return link;
}

StepLink copy_link(const sym::StateRule& made) {
    StepLink link;
    link.shape = rule_shape(made);
    for (uint32_t i = 0; i < made.states().size(); ++i) link.states.push_back({{StateRef::From::FIRST, i}});
    for (uint32_t i = 0; i < made.knows().size(); ++i) link.premises.push_back({i});
    return link;
}

}  // namespace vorn
