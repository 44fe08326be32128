#include "symbolic/timestamp.h"

#include <cassert>

#include "symbolic/config.h"
#include "symbolic/renamer.h"
#include "symbolic/unifier.h"

namespace sym {

Timestamp::Timestamp(const Name& name) : Term(TMESP, name) {}

void Timestamp::info(std::ostream& os) const { os << conf_timestamp_mark << _name; }

bool Timestamp::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA || term->type() == CONFG) return term->try_unify(this, unifier, option);
    if (term->type() != TMESP) return false;
    return unify_same_kind(term, unifier, option);
}

bool Timestamp::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() != TMESP) return false;
    return match_symbol(term, unifier, option);
}

void Timestamp::generalize(Type from, Type, Unifier&) const { assert(from != _type); }

Term* Timestamp::clone() const { return new Timestamp(_name); }

Term* Timestamp::map(const Unifier& unifier) const { return bound_map(unifier); }

Term* Timestamp::rename(Renamer& renamer) {
    _name = renamer.rename(_name);
    return this;
}

void Timestamp::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    bound_subterms(mask, ids, unifier);
}

void Timestamp::subterms(unsigned long mask, std::set<unsigned>& ids) const { leaf_subterms(mask, ids); }

void Timestamp::signature(const Unifier& unifier, std::ostream& os) const { bound_signature(unifier, os); }

void Timestamp::signature(std::ostream& os) const { os << _name.id(); }

bool Timestamp::equal(const Term* term) const { return leaf_equal(term); }

}  // namespace sym
