#include "symbolic/configuration.h"

#include <cassert>

#include "symbolic/config.h"
#include "symbolic/renamer.h"
#include "symbolic/unifier.h"

namespace sym {

Configuration::Configuration(const Name& name) : Term(CONFG, name) {}

void Configuration::info(std::ostream& os) const {
    os << conf_configuration_mark << _name << conf_configuration_mark;
}

bool Configuration::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA) return term->try_unify(this, unifier, option);
    if (term->type() == CONFG) return unify_same_kind(term, unifier, option);
    return bind_configuration(term, unifier, option);
}

bool Configuration::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA) return false;
    if (unifier.exist(_name.id())) return unifier.equal(_name.id(), term);
    return bind_configuration(term, unifier, option);
}

void Configuration::generalize(Type from, Type, Unifier&) const { assert(from != _type); }

Term* Configuration::clone() const { return new Configuration(_name); }

Term* Configuration::map(const Unifier& unifier) const { return bound_map(unifier); }

Term* Configuration::rename(Renamer& renamer) {
    _name = renamer.rename(_name);
    return this;
}

void Configuration::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    bound_subterms(mask, ids, unifier);
}

void Configuration::subterms(unsigned long mask, std::set<unsigned>& ids) const { leaf_subterms(mask, ids); }

void Configuration::signature(const Unifier& unifier, std::ostream& os) const { bound_signature(unifier, os); }

void Configuration::signature(std::ostream& os) const { os << _name.id(); }

bool Configuration::equal(const Term* term) const { return leaf_equal(term); }

}  // namespace sym
