#include "symbolic/variable.h"

#include <cassert>

#include "symbolic/configuration.h"
#include "symbolic/namer.h"
#include "symbolic/renamer.h"
#include "symbolic/unifier.h"

namespace sym {

Variable::Variable(const Name& name) : Term(VARIA, name) {}

void Variable::info(std::ostream& os) const { os << _name; }

bool Variable::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA) return unify_same_kind(term, unifier, option);
    return unifier.try_map(_name.id(), term, option);
}

bool Variable::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    return match_symbol(term, unifier, option);
}

void Variable::generalize(Type, Type to, Unifier& unifier) const {
    if (to != CONFG) assert(false);
    Configuration* fresh = new Configuration(namer.variable(_name.name()));
    unifier.maintain(fresh);
    if (!unifier.try_map(_name.id(), fresh, NONE)) throw UnifyFailed();
}

Term* Variable::clone() const { return new Variable(_name); }

Term* Variable::map(const Unifier& unifier) const { return bound_map(unifier); }

Term* Variable::rename(Renamer& renamer) {
    _name = renamer.rename(_name);
    return this;
}

void Variable::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    bound_subterms(mask, ids, unifier);
}

void Variable::subterms(unsigned long mask, std::set<unsigned>& ids) const { leaf_subterms(mask, ids); }

void Variable::signature(const Unifier& unifier, std::ostream& os) const { bound_signature(unifier, os); }

void Variable::signature(std::ostream& os) const { os << _name.id(); }

bool Variable::equal(const Term* term) const { return leaf_equal(term); }

}  // namespace sym
