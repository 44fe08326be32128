#pragma once

#include <list>
#include <unordered_set>

#include "symbolic/srule.h"
#include "symbolic/srule_levers.h"
#include "vorn/saturation/settings.h"

namespace vorn {

// What the levers of the settings know of the model, and the rules that
// descend from a generalised rule.
class Levers {
public:
    Levers(const Settings& settings, const std::list<sym::StateConstRule*>& const_rules,
           const std::list<sym::StateTransRule*>& trans_rules);

    const Settings& settings() const { return _settings; }
    const sym::Constructors& constructors() const { return _constructors; }
    const sym::Invariants& invariants() const { return _invariants; }

    // Rules made with the abstraction, and every rule made from one.
    void mark(const sym::StateRule* rule) { _abstracted.insert(rule); }
    bool marked(const sym::StateRule* rule) const { return _abstracted.count(rule) != 0; }
    // A rule made from `first` (and `second`, if any) is marked when one of them is.
    template <class List>
    void inherit(const sym::StateRule* first, const sym::StateRule* second, const List& made) {
        if (!marked(first) && (second == nullptr || !marked(second))) return;
        for (const sym::StateRule* rule : made) mark(rule);
    }
    void forget(const sym::StateRule* rule) { _abstracted.erase(rule); }

private:
    Settings _settings;
    sym::Constructors _constructors;
    sym::Invariants _invariants;
    std::unordered_set<const sym::StateRule*> _abstracted;
};

}  // namespace vorn
