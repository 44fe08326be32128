#pragma once

#include <cstddef>
#include <list>
#include <ostream>
#include <utility>
#include <vector>

#include "symbolic/srule.h"

namespace vorn {

// Unset in the tool. When set, it is called before each rule is taken from a
// work queue of the closures, so that a test can bound the work of a run; it
// may throw to abandon the run, and the engine then frees the rules it holds.
extern void (*closure_step_hook)();

// The saturation engine: sorts rules into six sets, keeps each set free of
// implied rules, composes providers with consumers until nothing new survives,
// carries final rules back through transfer rules, and answers access queries.
// It owns every rule it holds.
class Algorithm {
public:
    Algorithm() = default;
    ~Algorithm();
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;

    // Saturate the given rules into the sets; the queue is consumed.
    void close_const_rule(std::list<sym::StateConstRule*>& rules);
    void close_trans_rule(std::list<sym::StateTransRule*>& rules);
    // Transfer every final rule through every non-selectable transfer rule.
    void complete();

    // Asks every final rule whether the queried states are reachable.
    void analysis(std::vector<std::pair<sym::State*, bool>> queries);

    void print_se_const_rules(std::ostream& os) const;
    void print_ns_const_rules(std::ostream& os) const;
    void print_se_trans_rules(std::ostream& os) const;
    void print_ns_trans_rules(std::ostream& os) const;
    void print_final_rules(std::ostream& os) const;
    void print_target_rules(std::ostream& os) const;
    size_t rule_count() const;

protected:
    bool add_se_const_rule(size_t select, sym::StateConstRule* rule);
    bool add_ns_const_rule(sym::StateConstRule* rule);
    bool add_se_trans_rule(size_t select, sym::StateTransRule* rule);
    bool add_ns_trans_rule(sym::StateTransRule* rule);
    bool add_final_rule(sym::StateConstRule* rule);

private:
    std::list<std::pair<size_t, sym::StateConstRule*>> _se_const_rules;
    std::list<sym::StateConstRule*> _ns_const_rules;
    std::list<std::pair<size_t, sym::StateTransRule*>> _se_trans_rules;
    std::list<sym::StateTransRule*> _ns_trans_rules;
    std::list<sym::StateConstRule*> _final_rules;
    std::list<sym::StateConstRule*> _target_rules;
};

}  // namespace vorn
