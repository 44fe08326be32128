#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "symbolic/srule.h"
#include "symbolic/validation_record.h"

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
// of the rules it was made from (the first and second of its Origin).
struct StepLink {
    RuleShape shape;
    // For each state of the made rule: the states it stands for (more than
    // one when validation folded states, or the analysis took a process's
    // states as one).
    std::vector<std::vector<StateRef>> states;
    // A transfer's: the final rule's states that a conversion replaced, as
    // (state, conversion).
    std::vector<std::pair<uint32_t, uint32_t>> covered;
    // For each premise of the made rule: the premises it stands for, as
    // positions in the list the operation built before validating it (the
    // consumer's premises but the resolved one, then the provider's; the
    // final rule's, then the transfer rule's; or the rule's own).
    std::vector<std::vector<uint32_t>> premises;
};

// A StepLink as one array, for a run keeps one per rule it makes.
class PackedLink {
public:
    // No record.
    PackedLink() = default;
    explicit PackedLink(const StepLink& link);

    bool empty() const { return _data.empty(); }
    StepLink unpack() const;
    // The made rule's shape only.
    RuleShape shape() const;

private:
    std::vector<uint32_t> _data;
};

RuleShape rule_shape(const sym::StateRule& rule);

// What a transfer told of the rule it was building before validation: per
// conversion, the final rule's SIDs it covered and the SID of the copy of
// its source state (0 for a creating conversion).
using Conversions = std::vector<std::pair<std::vector<size_t>, size_t>>;

// The link of a rule that `validation` describes, made from `first` and
// `second` (either may be null): by composition (first the provider, second
// the consumer), transfer (first the transfer rule, second the final rule,
// with `conversions`) or the analysis (first the final rule; each of its
// processes kept its first state only).
StepLink composition_link(const sym::StateRule& provider, const sym::StateRule& consumer,
                          const sym::StateRule& made, const sym::Validation& validation);
StepLink transfer_link(const sym::StateRule& transfer, const sym::StateRule& final_rule, const sym::StateRule& made,
                       const sym::Validation& validation, const Conversions& conversions);
StepLink target_link(const sym::StateRule& final_rule, const sym::StateRule& made, const sym::Validation& validation);
// A copy made without validation, state for state and premise for premise.
StepLink copy_link(const sym::StateRule& made);

}  // namespace vorn
