#pragma once

#include "symbolic/term.h"

namespace sym {

// A timestamp: unifies only with timestamps, or through a variable or configuration.
class Timestamp : public BindableTerm<Timestamp, Term::TMESP> {
public:
    explicit Timestamp(const Name& name);

    void print(Text& out) const override;
    bool try_unify(const Term* term, Unifier& unifier, Option option) const override;
    bool try_unify_to(const Term* term, Unifier& unifier, Option option) const override;
};

}  // namespace sym
