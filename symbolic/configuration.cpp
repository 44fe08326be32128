#include "symbolic/configuration.h"

#include "symbolic/config.h"
#include "symbolic/unifier.h"
#include "symbolic/print.h"

namespace sym {

Configuration::Configuration(const Name& name) : BindableTerm(name) {}

void Configuration::print(Text& out) const {
    out += conf_configuration_mark;
    append_name(out, _name);
    out += conf_configuration_mark;
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

}  // namespace sym
