#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "symbolic/srule.h"

namespace vorn {

// The states and premises of a rule as the protocol run of a derivation
// follows them. States are counted in ascending SID order, so the record
// holds no SID: a rule's SIDs change whenever it is renamed apart.
struct RuleShape {
    uint32_t premises = 0;
    // A transfer rule's conversions.
    uint32_t conversions = 0;
    // For each state: the index of its process (partition).
    std::vector<uint32_t> process;
    // Pairs (a, b) of two states of one process where b holds at the same
    // time as a or later (b is in a's ordering set).
    std::vector<std::pair<uint32_t, uint32_t>> later;
};

// One state of a rule an operation started from, or the copy of a
// conversion's source state that a transfer added.
struct StateRef {
    enum class From : uint8_t { FIRST, SECOND, SOURCE };
    From from = From::FIRST;
    // The state's position in its rule, or the conversion's.
    uint32_t index = 0;
};

// How the states and premises of a rule made by an operation stand for those
// of the rules it was made from (the first and second of its Origin). A
// model rule's link has its shape only.
struct StepLink {
    RuleShape shape;
    // For each state of the made rule, the states it stands for (more than
    // one when validation folded states, or the analysis took a process's
    // states as one): refs from the end of the previous state's on, up to
    // state_end.
    std::vector<StateRef> refs;
    std::vector<uint32_t> state_end;
    // A transfer's: the final rule's states that a conversion replaced, as
    // (state, conversion).
    std::vector<std::pair<uint32_t, uint32_t>> covered;
    // For each premise of the made rule, the premises it stands for, as
    // positions in the list the operation built before validating it (the
    // consumer's premises but the resolved one, then the provider's; the
    // final rule's, then the transfer rule's; or the rule's own), up to
    // premise_end.
    std::vector<uint32_t> positions;
    std::vector<uint32_t> premise_end;

    // Whether the states and premises stand for others' (not a model rule's).
    bool linked() const { return state_end.size() == shape.process.size() && premise_end.size() == shape.premises; }
    std::span<const StateRef> state_refs(uint32_t state) const;
    std::span<const uint32_t> premise_positions(uint32_t premise) const;
};

// A StepLink as one array, for a run keeps one per rule it makes.
class PackedLink {
public:
    // No record.
    PackedLink() = default;
    explicit PackedLink(const StepLink& link);

    bool empty() const { return _data.empty(); }
    StepLink unpack() const;

private:
    std::vector<uint32_t> _data;
};

// What validation (and before it, for a transfer, the transfer) told of a
// rule it made, in a provenance's buffer; see Provenance.
struct MadeRecord {
    // The number of states validation kept, then for each of them in
    // ascending SID order: its SID, the number of states folded into it and
    // their SIDs; then the number of pairs (premise after validation,
    // position before) and the pairs.
    const size_t* validation = nullptr;
    // The number of conversions, then for each: the number of states it
    // replaced, their SIDs, and the SID of the copy of its source state (0
    // for a creating conversion).
    const size_t* conversions = nullptr;
};

RuleShape rule_shape(const sym::StateRule& rule);
PackedLink model_link(const sym::StateRule& rule);

// The link of `made`, made from `first` and `second`: by composition (first
// the provider, second the consumer), transfer (first the transfer rule,
// second the final rule) or the analysis (first the final rule, each of
// whose processes kept its first state only); an empty link when the record
// does not fit the rules.
PackedLink composition_link(const sym::StateRule& provider, const sym::StateRule& consumer,
                            const sym::StateRule& made, const MadeRecord& record);
PackedLink transfer_link(const sym::StateRule& transfer, const sym::StateRule& final_rule, const sym::StateRule& made,
                         const MadeRecord& record);
PackedLink target_link(const sym::StateRule& final_rule, const sym::StateRule& made, const MadeRecord& record);
// The link of `made`, a copy of `rule` under a substitution or with terms
// replaced, then validated: a rewrite that keeps the rule's states and
// premises in their places.
PackedLink rewrite_link(const sym::StateRule& rule, const sym::StateRule& made, const MadeRecord& record);
// A copy made without validation, state for state and premise for premise.
PackedLink copy_link(const sym::StateRule& made);

}  // namespace vorn
