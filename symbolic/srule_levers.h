#pragma once

// Rewrites of rules that the saturation's levers use: splitting the premises
// and conclusions on data constructors, unifying the versions of a process
// where no step changes them, choosing a premise that does not loop, and
// generalising terms that lie too deep. Each is a free function over the
// rule's public interface and RuleEdit; none changes a rule it is given as
// const.

#include <list>
#include <map>
#include <vector>

#include "symbolic/name.h"
#include "symbolic/srule.h"

namespace sym {

class Function;
class Term;

// The parts of a rule that the rewrites below replace.
struct RuleEdit {
    static StateRule::Knows& knows(StateRule* rule) { return rule->_knows; }
    static std::vector<Event*>& events(StateRule* rule) { return rule->_events; }
    static StateRule::States& states(StateRule* rule) { return rule->_states; }
    static Fact*& conclusion(StateConstRule* rule) { return rule->_conclusion; }
    static void changed(StateRule* rule) { rule->changed(); }
};

// Functions that behave as data constructors for the attacker: the rules give
// it the construction (k(x1), ..., k(xn) to k(f(x1, ..., xn))) and every
// projection (k(f(x1, ..., xn)) to k(xi)), each without states or events. Then
// knowing f(t1, ..., tn) is knowing every ti, at every moment.
class Constructors {
public:
    static Constructors of(const std::list<StateConstRule*>& rules);
    bool empty() const { return _arity.empty(); }
    // Whether the term is an application of a constructor.
    bool applied(const Term* term) const;
    // The functions found, by name identifier, with their arities.
    const std::map<Name::ID, size_t>& functions() const { return _arity; }

private:
    std::map<Name::ID, size_t> _arity;
};

// k(x1), ..., k(xn) -[ ]-> k(f(x1, ..., xn)): f; null for another rule.
const Function* construction_rule(const StateConstRule* rule);
// k(f(x1, ..., xn)) -[ ]-> k(xi): f, and i in `position`; null for another rule.
const Function* projection_rule(const StateConstRule* rule, size_t& position);

// Where one premise of a rule whose premises were split comes from: the
// premise `premise` of the rule before the split, and inside its term, the
// argument positions that lead from the premise's term down to the part
// (empty for a premise that was not split).
struct SplitPart {
    size_t premise = 0;
    std::vector<size_t> path;
};

// The premises split_constructor_premises makes of the rule's, in their order.
std::vector<SplitPart> split_parts(const StateRule* rule, const Constructors& constructors);

// Replaces every premise k(f(t1, ..., tn)) of a constructor f by k(t1), ...,
// k(tn), nested applications included, each with the premise's knowledge set
// and flag. Answers whether the rule changed; it must then be validated again.
bool split_constructor_premises(StateRule* rule, const Constructors& constructors);

// For a consistent rule that concludes k(f(t1, ..., tn)) of a constructor f,
// one copy per argument concluding k(ti), owned by the caller, to be
// validated and renamed apart; empty for any other rule.
std::list<StateConstRule*> split_constructor_conclusion(const StateConstRule* rule, const Constructors& constructors);

// The argument positions of each state name that no step of the model
// changes: a transfer rule's conversion from a state to a state of the same
// name with another term at a position changes that position. Every version
// of one process agrees on the positions that never change.
class Invariants {
public:
    static Invariants of(const std::list<StateTransRule*>& rules);
    bool invariant(Name::ID predicate, size_t position) const;
    // Names with at least one position that changes, by identifier.
    const std::map<Name::ID, std::vector<bool>>& changing() const { return _changing; }

private:
    std::map<Name::ID, std::vector<bool>> _changing;
};

enum class Merge { UNCHANGED, MERGED, CONTRADICTORY };

// Unifies, for each process of the rule, the invariant non-key arguments of
// all its states. MERGED: `merged` is a new rule, validated and renamed apart,
// owned by the caller. CONTRADICTORY: the versions cannot agree, and no run
// has them.
Merge merge_invariant_versions(const StateRule* rule, const Invariants& invariants, StateRule*& merged);

// The premise to resolve when the first selectable one would loop: the first
// selectable premise whose known term does not unify with the term the rule
// concludes, or the first selectable one when every one does (or the rule
// does not conclude knowledge); NONSELECTABLE when none is selectable. It
// never picks what select() would not pick: a bare variable, a configuration
// whose flag is cleared.
size_t select_avoiding_loops(const StateRule* rule);

// Function symbols along the longest path of a term (a leaf: 0).
unsigned term_depth(const Term* term);
// The deepest term of a rule's facts, counted the same way.
unsigned rule_depth(const StateRule* rule);

// The deepest term of the rule's states and events (the conclusion's too when
// it is an event): what the protocol's processes remember.
unsigned process_depth(const StateRule* rule);

// A copy of the consistent rule in which every function term nested more than
// `depth` function symbols deep inside a state or an event is replaced by a
// variable, one variable per distinct term, to be validated and renamed
// apart; null when no term is that deep, or every deep one holds a variable
// of the concluded knowledge. The copy is more general: it derives all the
// rule does. Knowledge is left as it is: a variable in place of a deep part of
// a known term could leave a conclusion that knows anything.
StateConstRule* generalise_deep_terms(const StateConstRule* rule, unsigned depth);

}  // namespace sym
