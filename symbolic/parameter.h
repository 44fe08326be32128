#pragma once

#include "symbolic/term.h"

namespace sym {

// A parameter: never bound or renamed, but read through a substitution.
class Parameter : public LeafTerm<Parameter, Term::PARAM> {
public:
    explicit Parameter(const Name& name);

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
