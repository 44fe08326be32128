#include "symbolic/constant.h"

#include <unordered_map>

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

const Constant* Constant::interned(const Name& name) {
    // Never freed: rules hold them until the process ends.
    static auto* table = new std::unordered_map<uint64_t, Constant*>;
    Constant*& shared = (*table)[name.word()];
    if (shared == nullptr) {
        shared = new Constant(name);
        shared->_shared = true;
    }
    return shared;
}

Term* Constant::map(const Unifier&) const {
    // A shared constant is the interned one already.
    return const_cast<Constant*>(_shared ? this : interned(_name));
}

Term* Constant::rename(Renamer&) { return this; }

void Constant::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier&) const {
    leaf_subterms(mask, ids);
}

void Constant::signature(const Unifier&, std::ostream& os) const { os << _name.id(); }

}  // namespace sym
