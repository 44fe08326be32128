#include "symbolic/timestamp.h"

#include "symbolic/config.h"
#include "symbolic/print.h"

namespace sym {

Timestamp::Timestamp(const Name& name) : BindableTerm(name) {}

void Timestamp::print(Text& out) const {
    out += conf_timestamp_mark;
    append_name(out, _name);
}

bool Timestamp::try_unify(const Term* term, Unifier& unifier, Option option) const {
    return unify_sorted(term, unifier, option);
}

bool Timestamp::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    return match_sorted(term, unifier, option);
}

}  // namespace sym
