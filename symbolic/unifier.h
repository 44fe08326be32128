#pragma once

#include <map>
#include <ostream>
#include <set>
#include <vector>

#include "common/exception.h"
#include "symbolic/flat_map.h"
#include "symbolic/name.h"
#include "symbolic/term.h"

namespace sym {

// Signal that two terms or facts do not match.
class UnifyFailed : public common::Exception {};

// Unset in the tool. When set, it is called each time a unification follows an
// existing binding, which is where the work of one unification grows with the
// terms bound; a test may throw from the hook to abandon the run, as a model
// error would.
extern void (*binding_follow_hook)();

// A substitution from name identifiers to terms. Bound terms are not owned,
// except those in the maintained list (configurations made by generalisation).
class Unifier {
public:
    Unifier() = default;
    // Shares the bindings of other; clones its maintained terms.
    Unifier(const Unifier& other);
    Unifier& operator=(const Unifier&) = delete;
    ~Unifier();

    void maintain(const Term* term);
    // Records that id stands for term; an existing binding is unified with term
    // instead, throwing UnifyFailed (map) or answering false (try_map) on a mismatch.
    void map(Name::ID id, const Term* term, Term::Option option);
    bool try_map(Name::ID id, const Term* term, Term::Option option);
    bool exist(Name::ID id) const { return _mapping.count(id) != 0; }
    const Term* evaluate(Name::ID id) const { return _mapping.at(id); }
    // The term bound to id, or null: one search where exist and evaluate take two.
    const Term* lookup(Name::ID id) const {
        auto found = _mapping.find(id);
        return found == _mapping.end() ? nullptr : found->second;
    }
    // Whether id is bound to a term structurally equal to term.
    bool equal(Name::ID id, const Term* term);
    std::set<unsigned> keys() const;
    bool loopfree() const;
    bool empty() const { return _mapping.empty(); }

    friend std::ostream& operator<<(std::ostream& os, const Unifier& unifier);

private:
    FlatMap<Name::ID, const Term*> _mapping;
    std::vector<const Term*> _maintain;
    // How many bindings the unification in progress is following, one inside another.
    size_t _following = 0;
};

std::ostream& operator<<(std::ostream& os, const Unifier& unifier);

}  // namespace sym
