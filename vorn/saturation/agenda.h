#pragma once

#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/ordered.h"

namespace vorn {

// A composition that the fair saturation makes when its turn comes.
struct PostponedComposition {
    const sym::StateConstRule* provider;
    size_t index;
    const sym::StateRule* consumer;
    // Where its rules go: one of the two.
    WorkQueue<sym::StateConstRule>* consistent;
    WorkQueue<sym::StateTransRule>* transfer;
};

// The work of the fair saturation besides its three queues of rules: the
// compositions not yet made, and the pairs of a final rule and a not
// selectable transfer rule not yet carried back. Each is weighed as the rules
// it would make, by the states of the two rules it takes; all share one clock
// with the queues, so that the oldest work of all can be found.
struct Algorithm::Agenda {
    size_t clock = 0;
    std::vector<const sym::StateConstRule*> finals;
    // Not selectable transfer rules in the order held; null once one left the engine.
    std::vector<const sym::StateTransRule*> transfers;
    std::unordered_map<const sym::StateTransRule*, size_t> transfer_position;
    // (final, transfer) positions.
    Ordered<std::pair<size_t, size_t>> pairs{clock};
    Ordered<PostponedComposition> compositions{clock};
};

}  // namespace vorn
