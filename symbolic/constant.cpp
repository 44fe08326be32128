#include "symbolic/constant.h"

#include "symbolic/config.h"
#include "symbolic/print.h"

namespace sym {

Constant::Constant(const Name& name) : LeafTerm(name) {}

void Constant::print(Text& out) const {
    append_name(out, _name);
    out += conf_data_left_para;
    out += conf_data_right_para;
}

bool Constant::try_unify(const Term* term, Unifier& unifier, Option option) const {
    return unify_rigid(term, unifier, option);
}

bool Constant::try_unify_to(const Term* term, Unifier&, Option) const { return leaf_equal(term); }

Term* Constant::map(const Unifier&) const { return clone(); }

Term* Constant::rename(Renamer&) { return this; }

void Constant::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier&) const {
    leaf_subterms(mask, ids);
}

void Constant::signature(const Unifier&, std::ostream& os) const { os << _name.id(); }

}  // namespace sym
