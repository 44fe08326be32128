#pragma once

#include "symbolic/term.h"

namespace sym {

// A constant: the same symbol everywhere.
class Constant : public LeafTerm<Constant, Term::CONST> {
public:
    explicit Constant(const Name& name);
    // The one shared constant of this name: what map() gives, so that rules
    // made from rules do not each hold a copy of every constant.
    static const Constant* interned(const Name& name);

    void print(Text& out) const override;
    bool try_unify(const Term* term, Unifier& unifier, Option option) const override;
    bool try_unify_to(const Term* term, Unifier& unifier, Option option) const override;
    using LeafTerm::subterms;
    using LeafTerm::signature;
    Term* map(const Unifier& unifier) const override;
    Term* rename(Renamer& renamer) override;
    void subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const override;
    void signature(const Unifier& unifier, std::ostream& os) const override;
};

}  // namespace sym
