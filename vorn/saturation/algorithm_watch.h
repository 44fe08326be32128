#pragma once

#include <cstddef>
#include <ostream>
#include <utility>

#include "symbolic/srule.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/held_index.h"
#include "vorn/saturation/levers.h"
#include "vorn/saturation/work_queue.h"

// Shared by the engine's sources (algorithm.cpp: the closures, the completion
// and the analysis; algorithm_add.cpp: adding a rule to a held set). Not for
// use outside the engine.

namespace vorn {

// What an add operation reports to: the engine's observer, if any, and the trace.
struct Watch {
    Observer* observer;
    Algorithm& engine;
    bool& stopped;
    std::ostream* trace;
    Pins& pins;
    // Compositions are counted and deferred: nobody looks at their rules
    // before the queue reaches them.
    bool defer;
    // The levers of the settings, null when none is on.
    Levers* levers;
    // The fair saturation makes compositions when their turn comes.
    bool postponing;

    void postpone(const sym::StateConstRule* provider, size_t index, const sym::StateConstRule* consumer,
                  WorkQueue<sym::StateConstRule>& queue) const {
        engine.postpone(provider, index, consumer, &queue, nullptr);
    }
    void postpone(const sym::StateConstRule* provider, size_t index, const sym::StateTransRule* consumer,
                  WorkQueue<sym::StateTransRule>& queue) const {
        engine.postpone(provider, index, consumer, nullptr, &queue);
    }

    void dropped(const sym::StateRule* rule) const {
        if (observer) observer->dropped(rule);
        engine.forget(rule);
    }
    // Rules made from `first` and `second` (null for none) are marked when one of them is.
    template <class List>
    void made(const sym::StateRule* first, const sym::StateRule* second, const List& rules) const {
        if (levers) levers->inherit(first, second, rules);
    }
    void failed(Meeting meeting, const sym::StateRule* first, const sym::StateRule* second) const {
        if (observer) observer->failed(meeting, first, second);
    }
};

// The rule of a held list's entry.
template <class Rule>
Rule* rule_of(Rule* rule) {
    return rule;
}
template <class Rule>
Rule* rule_of(const std::pair<size_t, Rule*>& entry) {
    return entry.second;
}

// The partner key of a provider: the top of the term its conclusion knows.
PartnerKey provider_key(const sym::StateConstRule* rule);
// The partner key of a consumer: the top of its selected premise's term.
PartnerKey consumer_key(const sym::StateRule* rule, size_t select);

}  // namespace vorn
