// Data constructors: finding them in the model, and splitting knowledge of
// their applications into knowledge of the arguments.

#include <memory>
#include <set>

#include "symbolic/event.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/srule_levers.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"

namespace sym {

namespace {

const Function* as_function(const Term* term) {
    return term->type() == Term::FUNCT ? static_cast<const Function*>(term) : nullptr;
}

// f(x1, ..., xn) with n distinct variables, or null.
const Function* over_distinct_variables(const Term* term) {
    const Function* function = as_function(term);
    if (function == nullptr || function->arguments().empty()) return nullptr;
    std::set<Name::ID> seen;
    for (const Term* argument : function->arguments())
        if (argument->type() != Term::VARIA || !seen.insert(argument->name().id()).second) return nullptr;
    return function;
}

const Term* known_term(const Fact* fact) {
    return fact->type() == Fact::OKNOW ? static_cast<const Know*>(fact)->term() : nullptr;
}

// A rule of the attacker alone: no state, no event.
bool stateless(const StateConstRule* rule) { return rule->states().empty() && rule->events().empty(); }

// Appends where each part of `term` comes from, split as append_split splits it.
void append_parts(const Term* term, const Constructors& constructors, SplitPart& at, std::vector<SplitPart>& out) {
    if (!constructors.applied(term)) {
        out.push_back(at);
        return;
    }
    const auto& arguments = static_cast<const Function*>(term)->arguments();
    for (size_t i = 0; i < arguments.size(); ++i) {
        at.path.push_back(i);
        append_parts(arguments[i], constructors, at, out);
        at.path.pop_back();
    }
}

}  // namespace

const Function* construction_rule(const StateConstRule* rule) {
    const Term* concluded = known_term(rule->conclusion());
    const Function* function = concluded ? over_distinct_variables(concluded) : nullptr;
    if (!function || !stateless(rule) || rule->knows().size() != function->arguments().size()) return nullptr;
    std::set<Name::ID> premises;
    for (const auto& premise : rule->knows()) {
        const Term* term = premise.first->term();
        if (term->type() != Term::VARIA) return nullptr;
        premises.insert(term->name().id());
    }
    for (const Term* argument : function->arguments())
        if (!premises.count(argument->name().id())) return nullptr;
    return function;
}

const Function* projection_rule(const StateConstRule* rule, size_t& position) {
    const Term* concluded = known_term(rule->conclusion());
    if (!concluded || concluded->type() != Term::VARIA || !stateless(rule) || rule->knows().size() != 1) return nullptr;
    const Function* function = over_distinct_variables(rule->knows().front().first->term());
    if (!function) return nullptr;
    for (position = 0; position < function->arguments().size(); ++position)
        if (function->arguments()[position]->name().id() == concluded->name().id()) return function;
    return nullptr;
}

namespace {

// Appends the knowledge of `term`, split as far as it is an application of a constructor.
void append_split(const Term* term, const Constructors& constructors, std::vector<Term*>& out) {
    static const Unifier none;
    if (!constructors.applied(term)) {
        out.push_back(term->map(none));
        return;
    }
    for (const Term* argument : static_cast<const Function*>(term)->arguments()) append_split(argument, constructors, out);
}

}  // namespace

Constructors Constructors::of(const std::list<StateConstRule*>& rules) {
    // By symbol and arity: whether it is constructed, and the positions projected.
    std::map<std::pair<Name::ID, size_t>, std::pair<bool, std::set<size_t>>> seen;
    for (const StateConstRule* rule : rules) {
        if (const Function* function = construction_rule(rule))
            seen[{function->name().id(), function->arguments().size()}].first = true;
        size_t position = 0;
        if (const Function* function = projection_rule(rule, position))
            seen[{function->name().id(), function->arguments().size()}].second.insert(position);
    }
    Constructors found;
    for (const auto& [symbol, rules_of] : seen)
        if (rules_of.first && rules_of.second.size() == symbol.second) found._arity.emplace(symbol.first, symbol.second);
    return found;
}

bool Constructors::applied(const Term* term) const {
    const Function* function = as_function(term);
    if (!function) return false;
    auto found = _arity.find(function->name().id());
    return found != _arity.end() && found->second == function->arguments().size();
}

std::vector<SplitPart> split_parts(const StateRule* rule, const Constructors& constructors) {
    std::vector<SplitPart> parts;
    for (size_t i = 0; i < rule->knows().size(); ++i) {
        SplitPart at{i, {}};
        append_parts(rule->knows()[i].first->term(), constructors, at, parts);
    }
    return parts;
}

bool split_constructor_premises(StateRule* rule, const Constructors& constructors) {
    StateRule::Knows& knows = RuleEdit::knows(rule);
    bool any = false;
    for (const auto& premise : knows) any = any || constructors.applied(premise.first->term());
    if (!any) return false;
    StateRule::Knows split;
    for (auto& premise : knows) {
        if (!constructors.applied(premise.first->term())) {
            split.push_back(premise);
            continue;
        }
        std::vector<Term*> parts;
        append_split(premise.first->term(), constructors, parts);
        for (Term* part : parts) split.emplace_back(new Know(part), premise.second);
        delete premise.first;
    }
    knows.swap(split);
    RuleEdit::changed(rule);
    return true;
}

std::list<StateConstRule*> split_constructor_conclusion(const StateConstRule* rule, const Constructors& constructors) {
    std::list<StateConstRule*> parts;
    const Term* concluded = known_term(rule->conclusion());
    if (!concluded || !constructors.applied(concluded)) return parts;
    static const Unifier none;
    for (const Term* argument : static_cast<const Function*>(concluded)->arguments()) {
        std::unique_ptr<StateConstRule> copy(static_cast<StateConstRule*>(rule->map(none, StateRule::NONSELECTABLE)));
        Fact*& conclusion = RuleEdit::conclusion(copy.get());
        delete conclusion;
        conclusion = new Know(argument->map(none));
        RuleEdit::changed(copy.get());
        parts.push_back(copy.release());
    }
    return parts;
}

}  // namespace sym
