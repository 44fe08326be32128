#pragma once

#include "symbolic/fact.h"

namespace sym {

// The attacker knows a term.
class Know : public Fact {
public:
    explicit Know(Term* term);
    ~Know() override;
    Know(const Know&) = delete;
    Know& operator=(const Know&) = delete;

    const Term* term() const { return _term; }
    // Whether the known term may be resolved by composition.
    bool selectable() const;

    void print(Text& out) const override;
    bool try_unify(const Fact* other, Unifier& unifier) const override;
    bool try_unify_to(const Fact* other, Unifier& unifier) const override;
    Fact* clone() const override;
    Fact* map(const Unifier& unifier) const override;
    Fact* rename(Renamer& renamer) override;
    using Fact::subterms;
    void subterms(unsigned long mask, std::set<unsigned>& ids) const override;
    std::set<unsigned> subterms(unsigned long mask, const Unifier& unifier) const override;
    bool equal(const Fact* other) const override;

private:
    Term* _term;
};

}  // namespace sym
