#pragma once

#include "symbolic/term.h"

namespace sym {

class Parameter : public Term {
public:
    explicit Parameter(const Name& name);
    ~Parameter() override = default;

    void info(std::ostream& os) const override;
    bool try_unify(const Term* term, Unifier& unifier, Option option) const override;
    bool try_unify_to(const Term* term, Unifier& unifier, Option option) const override;
    void generalize(Type from, Type to, Unifier& unifier) const override;
    Term* clone() const override;
    Term* map(const Unifier& unifier) const override;
    Term* rename(Renamer& renamer) override;
    void subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const override;
    void subterms(unsigned long mask, std::set<unsigned>& ids) const override;
    void signature(const Unifier& unifier, std::ostream& os) const override;
    void signature(std::ostream& os) const override;
    bool equal(const Term* term) const override;
};

}  // namespace sym
