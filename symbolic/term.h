#pragma once

#include <cassert>
#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "symbolic/model.h"
#include "symbolic/name.h"
#include "symbolic/pool.h"

namespace sym {

class Text;

class Unifier;
class Renamer;

// A symbolic value. A function term has one holder; leaves may have several
// (clone and map hand out the same leaf, counted), and renaming replaces a
// leaf rather than changing one that others hold. Holders let go of a term
// with release(); clone and map return trees the caller holds.
class Term : public Model, public Pooled {
public:
    // Bit values, so that sets of kinds are masks.
    enum Type { _END = 0, VARIA = 1, TMESP = 2, PARAM = 4, CONFG = 8, NONCE = 16, FUNCT = 32, CONST = 64 };
    // Steers configurations in unification: whether they may generalise variables.
    enum Option { NONE = 0, GENERALISE_DISABLED = 1, ALL = 255 };

    // The kinds a substitution may bind.
    static const unsigned long BINDABLE = VARIA | TMESP | CONFG | NONCE;

    Term(Type type, const Name& name);
    // A shared term is never deleted, and a held leaf only by its last
    // holder: holders let go with release().
    ~Term() override { assert(!_shared && _holders == 1); }
    // Lets go of one holder of the term: the last one deletes it; an interned term stays.
    static void release(const Term* term) {
        if (term == nullptr || term->_shared) return;
        if (term->_holders > 1)
            --term->_holders;
        else
            delete term;
    }
    bool shared() const { return _shared; }

    Type type() const { return _type; }
    const Name& name() const { return _name; }

    // Prints the term with print().
    void info(std::ostream& os) const final;
    // Appends the printed form.
    virtual void print(Text& out) const = 0;
    // Throw UnifyFailed when the terms do not match.
    virtual void unify(const Term* term, Unifier& unifier, Option option) const;
    virtual void unify_to(const Term* term, Unifier& unifier, Option option) const;
    // The same, answering false instead of throwing: matching fails often, and
    // the answer is reached with exactly the same bindings and names issued.
    virtual bool try_unify(const Term* term, Unifier& unifier, Option option) const = 0;
    virtual bool try_unify_to(const Term* term, Unifier& unifier, Option option) const = 0;
    virtual void generalize(Type from, Type to, Unifier& unifier) const = 0;
    virtual Term* clone() const = 0;
    virtual Term* map(const Unifier& unifier) const = 0;
    virtual Term* rename(Renamer& renamer) = 0;
    virtual void subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const = 0;
    virtual void subterms(unsigned long mask, std::set<unsigned>& ids) const = 0;
    virtual void signature(const Unifier& unifier, std::ostream& os) const = 0;
    virtual void signature(std::ostream& os) const = 0;
    virtual bool equal(const Term* term) const = 0;

protected:
    // Shared behaviour of leaves (every kind but functions).
    void leaf_subterms(unsigned long mask, std::set<unsigned>& ids) const;
    bool leaf_equal(const Term* term) const;
    // Leaves read through a substitution: follow the binding if there is one.
    Term* bound_map(const Unifier& unifier) const;
    void bound_subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const;
    void bound_signature(const Unifier& unifier, std::ostream& os) const;
    // Two bindable terms of one kind: bind this one if it is already bound, else the other.
    bool unify_same_kind(const Term* term, Unifier& unifier, Option option) const;
    // One-sided binding of a pattern symbol: compare with an existing binding, else bind.
    bool match_symbol(const Term* term, Unifier& unifier, Option option) const;
    // Binds this configuration to term, generalising the term's variables unless disabled.
    bool bind_configuration(const Term* term, Unifier& unifier, Option option) const;
    // Nonces and timestamps: match only their own kind, or through a variable or configuration.
    bool unify_sorted(const Term* term, Unifier& unifier, Option option) const;
    bool match_sorted(const Term* term, Unifier& unifier, Option option) const;
    // Constants and parameters: only the same symbol, or through a variable or configuration.
    bool unify_rigid(const Term* term, Unifier& unifier, Option option) const;
    // See BindableTerm::rename.
    Term* renamed_leaf(Renamer& renamer);
    // A new leaf of this kind with another name (bindable leaves only).
    virtual Term* with_name(const Name& name) const;

    Type _type;
    // Immutable and held by many: the interned constants.
    bool _shared = false;
    // How many holders a leaf has (in the room the layout leaves free).
    mutable uint16_t _holders = 1;
    static const uint16_t MAX_HOLDERS = 0xffff;
    Name _name;

    friend class Renamer;
};

// A term without arguments; Kind is the concrete class that clone makes.
template <class Kind, Term::Type KIND>
class LeafTerm : public Term {
public:
    explicit LeafTerm(const Name& name) : Term(KIND, name) {}

    // The leaf itself, with one more holder; a copy once it has as many as can be counted.
    Term* clone() const override {
        if (this->_shared) return const_cast<LeafTerm*>(this);
        if (this->_holders == Term::MAX_HOLDERS) return new Kind(this->_name);
        ++this->_holders;
        return const_cast<LeafTerm*>(this);
    }
    void subterms(unsigned long mask, std::set<unsigned>& ids) const override { leaf_subterms(mask, ids); }
    void signature(std::ostream& os) const override { os << _name.id(); }
    bool equal(const Term* term) const override { return leaf_equal(term); }
    // Only variables are generalised; a leaf is never generalised from its own kind.
    void generalize(Type from, Type, Unifier&) const override { assert(from != _type); }
};

// A leaf that a substitution may bind and that renaming replaces.
template <class Kind, Term::Type KIND>
class BindableTerm : public LeafTerm<Kind, KIND> {
public:
    using LeafTerm<Kind, KIND>::LeafTerm;
    using LeafTerm<Kind, KIND>::subterms;
    using LeafTerm<Kind, KIND>::signature;

    Term* map(const Unifier& unifier) const override { return this->bound_map(unifier); }
    // The renamed leaf that the renamer hands to every occurrence of this one;
    // this holder lets go of this leaf.
    Term* rename(Renamer& renamer) override { return this->renamed_leaf(renamer); }
    Term* with_name(const Name& name) const override { return new Kind(name); }
    void subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const override {
        this->bound_subterms(mask, ids, unifier);
    }
    void signature(const Unifier& unifier, std::ostream& os) const override { this->bound_signature(unifier, os); }
};

// Appends the identifiers that subterms(mask, ids) collects, in the order
// met, repeats included.
void append_subterm_ids(const Term* term, unsigned long mask, std::vector<unsigned>& ids);

// Appends the term's signature, read through the substitution when there is
// one: the same text as signature(), built without a stream.
void append_signature(const Term* term, const Unifier* unifier, std::string& out);

// Whether two terms, each read through its substitution (or none), have the
// same signature, compared without building the text; and a hash of the
// signature: terms of the same signature hash alike.
bool same_signature(const Term* a, const Unifier* ua, const Term* b, const Unifier* ub);
uint64_t signature_hash(const Term* term, const Unifier* unifier);

// Lets go of a term that a std::unique_ptr holds: see Term::release.
struct TermRelease {
    void operator()(const Term* term) const { Term::release(term); }
};

inline std::ostream& operator<<(std::ostream& os, const Term& term) {
    term.info(os);
    return os;
}

}  // namespace sym
