#include "symbolic/variable.h"

#include <cassert>

#include "symbolic/configuration.h"
#include "symbolic/namer.h"
#include "symbolic/unifier.h"
#include "symbolic/print.h"

namespace sym {

Variable::Variable(const Name& name) : BindableTerm(name) {}

void Variable::print(Text& out) const { append_name(out, _name); }

bool Variable::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA) return unify_same_kind(term, unifier, option);
    return unifier.try_map(_name.id(), term, option);
}

bool Variable::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    return match_symbol(term, unifier, option);
}

void Variable::generalize(Type, Type to, Unifier& unifier) const {
    if (to != CONFG) assert(false);
    Configuration* fresh = new Configuration(namer.variable(_name));
    unifier.maintain(fresh);
    if (!unifier.try_map(_name.id(), fresh, NONE)) throw UnifyFailed();
}

}  // namespace sym
