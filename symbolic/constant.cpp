#include "symbolic/constant.h"

#include <cassert>

#include "symbolic/config.h"
#include "symbolic/unifier.h"

namespace sym {

Constant::Constant(const Name& name) : Term(CONST, name) {}

void Constant::info(std::ostream& os) const { os << _name << conf_data_left_para << conf_data_right_para; }

bool Constant::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA || term->type() == CONFG) return term->try_unify(this, unifier, option);
    return leaf_equal(term);
}

bool Constant::try_unify_to(const Term* term, Unifier&, Option) const { return leaf_equal(term); }

void Constant::generalize(Type from, Type, Unifier&) const { assert(from != _type); }

Term* Constant::clone() const { return new Constant(_name); }

Term* Constant::map(const Unifier&) const { return clone(); }

Term* Constant::rename(Renamer&) { return this; }

void Constant::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier&) const {
    leaf_subterms(mask, ids);
}

void Constant::subterms(unsigned long mask, std::set<unsigned>& ids) const { leaf_subterms(mask, ids); }

void Constant::signature(const Unifier&, std::ostream& os) const { os << _name.id(); }

void Constant::signature(std::ostream& os) const { os << _name.id(); }

bool Constant::equal(const Term* term) const { return leaf_equal(term); }

}  // namespace sym
