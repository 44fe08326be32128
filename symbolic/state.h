#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "symbolic/fact.h"

namespace sym {

// A protocol state. The flagged (key) arguments with the predicate identify
// one protocol process.
class State : public ArgumentFact {
public:
    explicit State(const Name& predicate);
    ~State() override = default;

    // Takes ownership of term.
    State* append(bool key, Term* term);
    // Identity text of the process: predicate identifier and key signatures.
    std::string key() const;
    std::string key(const Unifier& unifier) const;
    // Whether this state and `other`, each read through its substitution (or
    // none), have the same key, compared without building the texts.
    bool same_key(const State* other, const Unifier* mine, const Unifier* theirs) const;
    // A hash of the key read through the substitution (or none): states of
    // the same key hash alike.
    uint64_t key_hash(const Unifier* unifier) const;
    // Extends the substitution so that both states have the same key.
    void unify_key(const State* other, Unifier& unifier) const;
    bool try_unify_key(const State* other, Unifier& unifier) const;

    bool try_unify(const Fact* other, Unifier& unifier) const override;
    bool try_unify_to(const Fact* other, Unifier& unifier) const override;
    Fact* clone() const override;
    Fact* map(const Unifier& unifier) const override;
    bool equal(const Fact* other) const override;

private:
    std::string make_key(const Unifier* unifier) const;
};

}  // namespace sym
