#pragma once

#include <utility>
#include <vector>

#include "symbolic/fact.h"

namespace sym {

// A protocol event. A flagged argument is a nonce the event generates freshly.
class Event : public ArgumentFact {
public:
    explicit Event(const Name& predicate);
    ~Event() override = default;

    // Takes ownership of term; a fresh argument must be a nonce.
    Event* append(bool fresh, Term* term);
    std::set<unsigned> fresh_nonces() const;
    // The fresh nonces followed through the nonce bindings of the substitution.
    std::set<unsigned> fresh_nonces(const Unifier& unifier) const;
    // The same identifiers appended to `ids`, in argument order, repeats included.
    void append_fresh_nonces(const Unifier& unifier, std::vector<unsigned>& ids) const;
    // Whether one nonce is generated freshly twice.
    bool contradiction() const;

    bool try_unify(const Fact* other, Unifier& unifier) const override;
    bool try_unify_to(const Fact* other, Unifier& unifier) const override;
    Fact* clone() const override;
    Fact* map(const Unifier& unifier) const override;
    bool equal(const Fact* other) const override;
};

}  // namespace sym
