#include "symbolic/nonce.h"

#include "symbolic/config.h"
#include "symbolic/print.h"

namespace sym {

Nonce::Nonce(const Name& name) : BindableTerm(name) {}

void Nonce::print(Text& out) const {
    out += conf_data_left_para;
    append_name(out, _name);
    out += conf_data_right_para;
}

bool Nonce::try_unify(const Term* term, Unifier& unifier, Option option) const {
    return unify_sorted(term, unifier, option);
}

bool Nonce::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    return match_sorted(term, unifier, option);
}

}  // namespace sym
