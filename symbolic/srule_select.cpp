// A selection that passes over premises that would resolve with the rule's
// own conclusion: resolution stays complete for any choice among the premises
// select() may pick.

#include "symbolic/know.h"
#include "symbolic/srule_levers.h"
#include "symbolic/unifier.h"

namespace sym {

size_t select_avoiding_loops(const StateRule* rule) {
    size_t first = rule->select();
    if (first == StateRule::NONSELECTABLE || rule->type() != StateRule::CONSIST) return first;
    const Fact* conclusion = static_cast<const StateConstRule*>(rule)->conclusion();
    if (conclusion->type() != Fact::OKNOW) return first;
    const Term* concluded = static_cast<const Know*>(conclusion)->term();
    const StateRule::Knows& knows = rule->knows();
    for (size_t i = first; i < knows.size(); ++i) {
        const Know* know = knows[i].first;
        if (!know->selectable()) continue;
        if (know->term()->type() == Term::CONFG && !knows[i].second.first) continue;
        Unifier unifier;
        if (!know->term()->try_unify(concluded, unifier, Term::NONE)) return i;
    }
    return first;
}

}  // namespace sym
