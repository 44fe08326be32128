// Generalising a rule whose terms nest too deep: the abstraction that bounds
// what a saturation can make, at the price of rules that derive more.

#include <map>
#include <set>
#include <memory>
#include <string>

#include "symbolic/event.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/namer.h"
#include "symbolic/srule_levers.h"
#include "symbolic/state.h"
#include "symbolic/unifier.h"
#include "symbolic/variable.h"

namespace sym {

namespace {

unsigned fact_depth(const Fact* fact) {
    if (fact->type() == Fact::OKNOW) return term_depth(static_cast<const Know*>(fact)->term());
    unsigned deepest = 0;
    for (const auto& argument : static_cast<const ArgumentFact*>(fact)->arguments())
        deepest = std::max(deepest, term_depth(argument.second));
    return deepest;
}

// Copies terms, replacing each function term below `depth` function symbols
// by a variable: the same variable for equal terms.
class Cutter {
public:
    // Terms that hold one of `kept` are not replaced.
    Cutter(unsigned depth, std::set<unsigned> kept) : _depth(depth), _kept(std::move(kept)) {}

    Term* cut(const Term* term, unsigned level = 1) {
        static const Unifier none;
        if (term->type() != Term::FUNCT) return term->map(none);
        if (level > _depth && !holds_kept(term)) {
            _cut = true;
            std::string key;
            append_signature(term, nullptr, key);
            auto found = _variables.find(key);
            if (found == _variables.end()) found = _variables.emplace(key, namer.variable("v")).first;
            return new Variable(found->second);
        }
        const Function* function = static_cast<const Function*>(term);
        Function* copy = new Function(function->name());
        for (const Term* argument : function->arguments()) copy->append(cut(argument, level + 1));
        return copy;
    }

    Know* cut(const Know* know) { return new Know(cut(know->term())); }
    Event* cut(const Event* event) {
        Event* copy = new Event(event->predicate());
        for (const auto& argument : event->arguments()) copy->append(argument.first, cut(argument.second));
        return copy;
    }
    State* cut(const State* state) {
        State* copy = new State(state->predicate());
        for (const auto& argument : state->arguments()) copy->append(argument.first, cut(argument.second));
        return copy;
    }
    Fact* cut_fact(const Fact* fact) {
        switch (fact->type()) {
            case Fact::OKNOW: return cut(static_cast<const Know*>(fact));
            case Fact::EVENT: return cut(static_cast<const Event*>(fact));
            case Fact::STATE: return cut(static_cast<const State*>(fact));
            default: return fact->clone();
        }
    }

    // Whether some term was replaced.
    bool cut_any() const { return _cut; }

private:
    bool holds_kept(const Term* term) const {
        std::set<unsigned> ids;
        term->subterms(Term::VARIA | Term::CONFG, ids);
        for (unsigned id : ids)
            if (_kept.count(id)) return true;
        return false;
    }

    unsigned _depth;
    std::set<unsigned> _kept;
    std::map<std::string, Name> _variables;
    bool _cut = false;
};

}  // namespace

unsigned term_depth(const Term* term) {
    // Without recursion: a counter may nest thousands of times.
    unsigned deepest = 0;
    std::vector<std::pair<const Term*, unsigned>> stack{{term, 0}};
    while (!stack.empty()) {
        auto [current, above] = stack.back();
        stack.pop_back();
        if (current->type() != Term::FUNCT) continue;
        deepest = std::max(deepest, above + 1);
        for (const Term* argument : static_cast<const Function*>(current)->arguments())
            stack.emplace_back(argument, above + 1);
    }
    return deepest;
}

unsigned rule_depth(const StateRule* rule) {
    unsigned deepest = 0;
    for (const auto& premise : rule->knows()) deepest = std::max(deepest, fact_depth(premise.first));
    return std::max(deepest, process_depth(rule));
}

unsigned process_depth(const StateRule* rule) {
    unsigned deepest = 0;
    for (const Event* event : rule->events()) deepest = std::max(deepest, fact_depth(event));
    for (const auto& state : rule->states()) deepest = std::max(deepest, fact_depth(state.second.first));
    if (rule->type() == StateRule::CONSIST) {
        const Fact* conclusion = static_cast<const StateConstRule*>(rule)->conclusion();
        if (conclusion->type() == Fact::EVENT) deepest = std::max(deepest, fact_depth(conclusion));
    }
    return deepest;
}

StateConstRule* generalise_deep_terms(const StateConstRule* rule, unsigned depth) {
    if (process_depth(rule) <= depth) return nullptr;
    static const Unifier none;
    std::unique_ptr<StateConstRule> copy(static_cast<StateConstRule*>(rule->map(none, StateRule::NONSELECTABLE)));
    // A variable of a concluded term that a deep term holds stays bound: cut
    // loose, it would let the rule conclude any value.
    std::set<unsigned> known;
    if (rule->conclusion()->type() == Fact::OKNOW) rule->conclusion()->subterms(Term::VARIA | Term::CONFG, known);
    Cutter cutter(depth, std::move(known));
    for (Event*& event : RuleEdit::events(copy.get())) {
        Event* cut = cutter.cut(event);
        delete event;
        event = cut;
    }
    for (auto& state : RuleEdit::states(copy.get())) {
        State* cut = cutter.cut(state.second.first);
        delete state.second.first;
        state.second.first = cut;
    }
    Fact*& conclusion = RuleEdit::conclusion(copy.get());
    if (conclusion->type() == Fact::EVENT) {
        Fact* cut = cutter.cut_fact(conclusion);
        delete conclusion;
        conclusion = cut;
    }
    if (!cutter.cut_any()) return nullptr;
    RuleEdit::changed(copy.get());
    return copy.release();
}

}  // namespace sym
