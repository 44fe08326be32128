#pragma once

#include "symbolic/term.h"

namespace sym {

// A variable: stands for any term; unifies with every kind.
class Variable : public BindableTerm<Variable, Term::VARIA> {
public:
    explicit Variable(const Name& name);

    void print(Text& out) const override;
    bool try_unify(const Term* term, Unifier& unifier, Option option) const override;
    bool try_unify_to(const Term* term, Unifier& unifier, Option option) const override;
    // Binds the variable to a fresh configuration of the same text.
    void generalize(Type from, Type to, Unifier& unifier) const override;
};

}  // namespace sym
