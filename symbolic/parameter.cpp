#include "symbolic/parameter.h"

#include <cassert>

#include "symbolic/config.h"
#include "symbolic/unifier.h"

namespace sym {

Parameter::Parameter(const Name& name) : Term(PARAM, name) {}

void Parameter::info(std::ostream& os) const { os << conf_parameter_mark << _name; }

bool Parameter::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA || term->type() == CONFG) return term->try_unify(this, unifier, option);
    return leaf_equal(term);
}

bool Parameter::try_unify_to(const Term* term, Unifier&, Option) const { return leaf_equal(term); }

void Parameter::generalize(Type from, Type, Unifier&) const { assert(from != _type); }

Term* Parameter::clone() const { return new Parameter(_name); }

Term* Parameter::map(const Unifier&) const { return clone(); }

Term* Parameter::rename(Renamer&) { return this; }

// A parameter is never bound by unification, but is read through a substitution.
void Parameter::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    bound_subterms(mask, ids, unifier);
}

void Parameter::subterms(unsigned long mask, std::set<unsigned>& ids) const { leaf_subterms(mask, ids); }

void Parameter::signature(const Unifier& unifier, std::ostream& os) const { bound_signature(unifier, os); }

void Parameter::signature(std::ostream& os) const { os << _name.id(); }

bool Parameter::equal(const Term* term) const { return leaf_equal(term); }

}  // namespace sym
