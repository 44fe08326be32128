#include "symbolic/nonce.h"

#include <cassert>

#include "symbolic/config.h"
#include "symbolic/renamer.h"
#include "symbolic/unifier.h"

namespace sym {

Nonce::Nonce(const Name& name) : Term(NONCE, name) {}

void Nonce::info(std::ostream& os) const { os << conf_data_left_para << _name << conf_data_right_para; }

bool Nonce::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA || term->type() == CONFG) return term->try_unify(this, unifier, option);
    if (term->type() != NONCE) return false;
    return unify_same_kind(term, unifier, option);
}

bool Nonce::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() != NONCE) return false;
    return match_symbol(term, unifier, option);
}

void Nonce::generalize(Type from, Type, Unifier&) const { assert(from != _type); }

Term* Nonce::clone() const { return new Nonce(_name); }

Term* Nonce::map(const Unifier& unifier) const { return bound_map(unifier); }

Term* Nonce::rename(Renamer& renamer) {
    _name = renamer.rename(_name);
    return this;
}

void Nonce::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    bound_subterms(mask, ids, unifier);
}

void Nonce::subterms(unsigned long mask, std::set<unsigned>& ids) const { leaf_subterms(mask, ids); }

void Nonce::signature(const Unifier& unifier, std::ostream& os) const { bound_signature(unifier, os); }

void Nonce::signature(std::ostream& os) const { os << _name.id(); }

bool Nonce::equal(const Term* term) const { return leaf_equal(term); }

}  // namespace sym
