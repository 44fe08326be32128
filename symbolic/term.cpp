#include "symbolic/term.h"

#include "symbolic/configuration.h"
#include "symbolic/unifier.h"

namespace sym {

Term::Term(Type type, const Name& name) : _type(type), _name(name) {}

void Term::leaf_subterms(unsigned long mask, std::set<unsigned>& ids) const {
    if (mask & _type) ids.insert(_name.id());
}

bool Term::leaf_equal(const Term* term) const {
    return term->type() == _type && term->name().id() == _name.id();
}

Term* Term::bound_map(const Unifier& unifier) const {
    if (unifier.exist(_name.id())) return unifier.evaluate(_name.id())->map(unifier);
    return clone();
}

void Term::bound_subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    if (unifier.exist(_name.id())) {
        unifier.evaluate(_name.id())->subterms(mask, ids, unifier);
        return;
    }
    subterms(mask, ids);
}

void Term::bound_signature(const Unifier& unifier, std::ostream& os) const {
    if (unifier.exist(_name.id())) {
        unifier.evaluate(_name.id())->signature(unifier, os);
        return;
    }
    signature(os);
}

void Term::unify_same_kind(const Term* term, Unifier& unifier, Option option) const {
    if (unifier.exist(_name.id()))
        unifier.map(_name.id(), term, option);
    else
        unifier.map(term->name().id(), this, option);
}

void Term::match_symbol(const Term* term, Unifier& unifier, Option option) const {
    if (unifier.exist(_name.id())) {
        if (!unifier.equal(_name.id(), term)) throw UnifyFailed();
        return;
    }
    unifier.map(_name.id(), term, option);
}

void Term::bind_configuration(const Term* term, Unifier& unifier, Option option) const {
    if (!unifier.loopfree()) throw UnifyFailed();
    if (option == GENERALISE_DISABLED) {
        std::set<unsigned> variables;
        term->subterms(VARIA, variables, unifier);
        if (!variables.empty()) throw UnifyFailed();
    } else {
        term->generalize(VARIA, CONFG, unifier);
    }
    unifier.map(_name.id(), term, option);
}

}  // namespace sym
