#pragma once

#include "symbolic/term.h"

namespace sym {

// A configuration: stands for arbitrary data; binding one to a term turns the
// variables of that term into configurations.
class Configuration : public BindableTerm<Configuration, Term::CONFG> {
public:
    explicit Configuration(const Name& name);

    void print(Text& out) const override;
    bool try_unify(const Term* term, Unifier& unifier, Option option) const override;
    bool try_unify_to(const Term* term, Unifier& unifier, Option option) const override;
};

}  // namespace sym
