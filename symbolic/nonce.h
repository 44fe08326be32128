#pragma once

#include "symbolic/term.h"

namespace sym {

// A nonce: unifies only with nonces, or through a variable or configuration.
class Nonce : public BindableTerm<Nonce, Term::NONCE> {
public:
    explicit Nonce(const Name& name);

    void print(Text& out) const override;
    bool try_unify(const Term* term, Unifier& unifier, Option option) const override;
    bool try_unify_to(const Term* term, Unifier& unifier, Option option) const override;
};

}  // namespace sym
