#include "symbolic/parameter.h"

#include "symbolic/config.h"
#include "symbolic/print.h"

namespace sym {

Parameter::Parameter(const Name& name) : LeafTerm(name) {}

void Parameter::print(Text& out) const {
    out += conf_parameter_mark;
    append_name(out, _name);
}

bool Parameter::try_unify(const Term* term, Unifier& unifier, Option option) const {
    return unify_rigid(term, unifier, option);
}

bool Parameter::try_unify_to(const Term* term, Unifier&, Option) const { return leaf_equal(term); }

Term* Parameter::map(const Unifier&) const { return clone(); }

Term* Parameter::rename(Renamer&) { return this; }

void Parameter::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    bound_subterms(mask, ids, unifier);
}

void Parameter::signature(const Unifier& unifier, std::ostream& os) const { bound_signature(unifier, os); }

}  // namespace sym
