#include "vorn/saturation/step_links.h"

#include <algorithm>
#include <map>

namespace vorn {

namespace {

using SID = sym::StateRule::SID;

// The position of each state of a rule, by SID.
std::map<SID, uint32_t> positions(const sym::StateRule& rule) {
    std::map<SID, uint32_t> at;
    for (const auto& state : rule.states()) at.emplace(state.first, static_cast<uint32_t>(at.size()));
    return at;
}

// The states of the made rule from what stood before validation: `before`
// gives, for each SID validation began with, the states it stands for.
// Validation folds some of them into others and renaming then numbers the
// rest anew in the same order, so the states left are the made rule's, in
// order. An empty list when the record does not fit the rule.
std::vector<std::vector<StateRef>> after_validation(std::map<SID, std::vector<StateRef>> before,
                                                    const sym::Validation& validation, const sym::StateRule& made) {
    std::map<SID, SID> folded(validation.folds.begin(), validation.folds.end());
    for (const auto& fold : validation.folds) {
        SID into = fold.second;
        // A state may be folded into one that is folded in its turn.
        for (size_t hops = 0; folded.count(into) && hops <= folded.size(); ++hops) into = folded.at(into);
        auto from = before.find(fold.first);
        auto to = before.find(into);
        if (from == before.end() || to == before.end()) return {};
        to->second.insert(to->second.end(), from->second.begin(), from->second.end());
        from->second.clear();
    }
    std::vector<std::vector<StateRef>> states;
    for (SID sid : validation.states) {
        if (folded.count(sid)) continue;
        auto found = before.find(sid);
        if (found == before.end()) return {};
        states.push_back(std::move(found->second));
    }
    if (states.size() != made.states().size()) return {};
    return states;
}

std::vector<std::vector<uint32_t>> premises(const sym::Validation& validation) {
    std::vector<std::vector<uint32_t>> all;
    for (const auto& positions : validation.premises) all.emplace_back(positions.begin(), positions.end());
    return all;
}

void add_states(const sym::StateRule& rule, StateRef::From from, std::map<SID, std::vector<StateRef>>& before) {
    uint32_t index = 0;
    for (const auto& state : rule.states()) before[state.first].push_back({from, index++});
}

}  // namespace

RuleShape rule_shape(const sym::StateRule& rule) {
    RuleShape shape;
    shape.premises = static_cast<uint32_t>(rule.knows().size());
    if (rule.type() == sym::StateRule::TRANSFR)
        shape.conversions = static_cast<uint32_t>(static_cast<const sym::StateTransRule&>(rule).conversions().size());
    std::map<SID, uint32_t> at = positions(rule);
    shape.process.assign(at.size(), 0);
    for (size_t p = 0; p < rule.partitions().size(); ++p)
        for (SID sid : rule.partitions()[p].first) {
            auto found = at.find(sid);
            if (found != at.end()) shape.process[found->second] = static_cast<uint32_t>(p);
        }
    for (const auto& state : rule.states()) {
        uint32_t a = at.at(state.first);
        for (SID sid : state.second.second) {
            auto found = at.find(sid);
            if (found == at.end() || found->second == a) continue;
            if (shape.process[found->second] == shape.process[a]) shape.later.emplace_back(a, found->second);
        }
    }
    return shape;
}

StepLink composition_link(const sym::StateRule& provider, const sym::StateRule& consumer,
                          const sym::StateRule& made, const sym::Validation& validation) {
    StepLink link;
    link.shape = rule_shape(made);
    std::map<SID, std::vector<StateRef>> before;
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
    std::map<SID, std::vector<StateRef>> before;
    add_states(transfer, StateRef::From::FIRST, before);
    add_states(final_rule, StateRef::From::SECOND, before);
    std::map<SID, uint32_t> at = positions(final_rule);
    for (uint32_t c = 0; c < conversions.size(); ++c) {
        for (SID sid : conversions[c].first) {
            before.erase(sid);
            auto found = at.find(sid);
            if (found != at.end()) link.covered.emplace_back(found->second, c);
        }
        if (conversions[c].second != 0) before[conversions[c].second].push_back({StateRef::From::SOURCE, c});
    }
    link.states = after_validation(std::move(before), validation, made);
    link.premises = premises(validation);
    return link;
}

StepLink target_link(const sym::StateRule& final_rule, const sym::StateRule& made, const sym::Validation& validation) {
    StepLink link;
    link.shape = rule_shape(made);
    std::map<SID, uint32_t> at = positions(final_rule);
    std::map<SID, std::vector<StateRef>> before;
    // Each process keeps its first state, which stands for all of them.
    for (const auto& partition : final_rule.partitions()) {
        if (partition.first.empty()) continue;
        SID kept = *partition.first.begin();
        for (SID sid : partition.first) {
            auto found = at.find(sid);
            if (found != at.end()) before[kept].push_back({StateRef::From::FIRST, found->second});
        }
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
