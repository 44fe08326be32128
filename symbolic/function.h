#pragma once

#include <vector>

#include "symbolic/term.h"

namespace sym {

// A function symbol applied to its arguments, which it owns.
class Function : public Term {
public:
    explicit Function(const Name& name);
    ~Function() override;
    Function(const Function&) = delete;
    Function& operator=(const Function&) = delete;

    // From the pool, as the terms themselves.
    typedef std::vector<Term*, PoolAllocator<Term*>> Arguments;
    const Arguments& arguments() const { return _arguments; }

    void print(Text& out) const override;
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
    // Takes ownership of term and appends it as the last argument.
    virtual Function* append(Term* term);

private:
    Arguments _arguments;
};

}  // namespace sym
