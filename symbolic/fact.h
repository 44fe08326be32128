#pragma once

#include <ostream>
#include <set>
#include <utility>
#include <vector>

#include "symbolic/arity_clash.h"
#include "symbolic/model.h"
#include "symbolic/name.h"
#include "symbolic/pool.h"
#include "symbolic/term.h"

namespace sym {

class Text;

class Unifier;
class Renamer;

// A predicate over terms: knowledge, timed knowledge, an event or a state.
// A fact owns its terms.
class Fact : public Model, public Pooled {
public:
    enum Type { OKNOW = 0, TKNOW = 1, EVENT = 2, STATE = 3, _END = 4 };

    Fact(Type type, const Name& predicate);
    ~Fact() override = default;

    Type type() const { return _type; }
    const Name& predicate() const { return _predicate; }

    // Prints the fact with print().
    void info(std::ostream& os) const final;
    // Appends the printed form.
    virtual void print(Text& out) const = 0;
    // Throw UnifyFailed when the facts do not match.
    virtual void unify(const Fact* other, Unifier& unifier) const;
    virtual void unify_to(const Fact* other, Unifier& unifier) const;
    // The same, answering false instead of throwing.
    virtual bool try_unify(const Fact* other, Unifier& unifier) const = 0;
    virtual bool try_unify_to(const Fact* other, Unifier& unifier) const = 0;
    virtual Fact* clone() const = 0;
    virtual Fact* map(const Unifier& unifier) const = 0;
    virtual Fact* rename(Renamer& renamer) = 0;
    virtual void subterms(unsigned long mask, std::set<unsigned>& ids) const = 0;
    virtual std::set<unsigned> subterms(unsigned long mask) const;
    virtual std::set<unsigned> subterms(unsigned long mask, const Unifier& unifier) const = 0;
    virtual bool equal(const Fact* other) const = 0;

protected:
    // Whether a known term may be resolved: not for variables and timestamps.
    static bool selectable_term(const Term* term);

    Type _type;
    Name _predicate;
};

// Shared body of events and states: a predicate with flagged arguments.
class ArgumentFact : public Fact {
public:
    typedef std::vector<std::pair<bool, Term*>, PoolAllocator<std::pair<bool, Term*>>> Arguments;

    ArgumentFact(Type type, const Name& predicate);
    ~ArgumentFact() override;
    ArgumentFact(const ArgumentFact&) = delete;
    ArgumentFact& operator=(const ArgumentFact&) = delete;

    const Arguments& arguments() const { return _arguments; }

    // Prints the predicate and the arguments, a flagged one preceded by "*".
    void print(Text& out) const override;
    Fact* rename(Renamer& renamer) override;
    using Fact::subterms;
    void subterms(unsigned long mask, std::set<unsigned>& ids) const override;
    std::set<unsigned> subterms(unsigned long mask, const Unifier& unifier) const override;

protected:
    // Same type and predicate, else null; same arity, else ArityClash(function, detail).
    const ArgumentFact* counterpart(const Fact* other, const char* function, const char* detail) const;
    // The kind an ArityClash of this fact names.
    ArityClash::Kind clash_kind() const;
    bool unify_arguments(const ArgumentFact* other, Unifier& unifier, Term::Option option) const;
    bool unify_arguments_to(const ArgumentFact* other, Unifier& unifier, Term::Option option) const;
    bool equal_arguments(const Fact* other, const char* detail) const;

    Arguments _arguments;
};

// Appends the identifiers that fact->subterms(mask) collects, in the order
// met; repeats may be included.
void append_subterm_ids(const Fact* fact, unsigned long mask, std::vector<unsigned>& ids);

inline std::ostream& operator<<(std::ostream& os, const Fact& fact) {
    fact.info(os);
    return os;
}

}  // namespace sym
