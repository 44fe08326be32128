#include "symbolic/term.h"

#include <cassert>
#include <charconv>

#include "symbolic/config.h"
#include "symbolic/function.h"
#include "symbolic/print.h"

#include "symbolic/renamer.h"
#include "symbolic/unifier.h"

namespace sym {

Term::Term(Type type, const Name& name) : _type(type), _name(name) {}

void Term::info(std::ostream& os) const {
    Text text;
    print(text);
    emit(os, text);
}

void Term::leaf_subterms(unsigned long mask, std::set<unsigned>& ids) const {
    if (mask & _type) ids.insert(_name.id());
}

bool Term::leaf_equal(const Term* term) const {
    return term->type() == _type && term->name().id() == _name.id();
}

Term* Term::bound_map(const Unifier& unifier) const {
    if (const Term* bound = unifier.lookup(_name.id())) return bound->map(unifier);
    return clone();
}

void Term::bound_subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    if (unifier.exist(_name.id())) {
        unifier.evaluate(_name.id())->subterms(mask, ids, unifier);
        return;
    }
    subterms(mask, ids);
}

void Term::bound_signature(const Unifier& unifier, std::ostream& os) const {
    if (unifier.exist(_name.id())) {
        unifier.evaluate(_name.id())->signature(unifier, os);
        return;
    }
    signature(os);
}

void Term::unify(const Term* term, Unifier& unifier, Option option) const {
    if (!try_unify(term, unifier, option)) throw UnifyFailed();
}

void Term::unify_to(const Term* term, Unifier& unifier, Option option) const {
    if (!try_unify_to(term, unifier, option)) throw UnifyFailed();
}

bool Term::unify_same_kind(const Term* term, Unifier& unifier, Option option) const {
    if (unifier.exist(_name.id())) return unifier.try_map(_name.id(), term, option);
    return unifier.try_map(term->name().id(), this, option);
}

bool Term::match_symbol(const Term* term, Unifier& unifier, Option option) const {
    if (unifier.exist(_name.id())) return unifier.equal(_name.id(), term);
    return unifier.try_map(_name.id(), term, option);
}

bool Term::bind_configuration(const Term* term, Unifier& unifier, Option option) const {
    if (!unifier.loopfree()) return false;
    if (option == GENERALISE_DISABLED) {
        std::set<unsigned> variables;
        term->subterms(VARIA, variables, unifier);
        if (!variables.empty()) return false;
    } else {
        try {
            term->generalize(VARIA, CONFG, unifier);
        } catch (UnifyFailed&) {
            return false;
        }
    }
    return unifier.try_map(_name.id(), term, option);
}

bool Term::unify_sorted(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA || term->type() == CONFG) return term->try_unify(this, unifier, option);
    if (term->type() != _type) return false;
    return unify_same_kind(term, unifier, option);
}

bool Term::match_sorted(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() != _type) return false;
    return match_symbol(term, unifier, option);
}

bool Term::unify_rigid(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA || term->type() == CONFG) return term->try_unify(this, unifier, option);
    return leaf_equal(term);
}

Term* Term::renamed_leaf(Renamer& renamer) { return renamer.leaf(this); }

Term* Term::with_name(const Name&) const {
    assert(false && "only bindable leaves are renamed");
    return nullptr;
}

void append_subterm_ids(const Term* term, unsigned long mask, std::vector<unsigned>& ids) {
    if (mask & term->type()) ids.push_back(static_cast<unsigned>(term->name().id()));
    if (term->type() != Term::FUNCT) return;
    for (const Term* argument : static_cast<const Function*>(term)->arguments()) append_subterm_ids(argument, mask, ids);
}

namespace {

// What a signature prints of a term read through the substitution: the first
// term on the chain of bindings that is a function, a constant or unbound.
const Term* signature_term(const Term* term, const Unifier* unifier) {
    if (unifier == nullptr) return term;
    for (;;) {
        Term::Type type = term->type();
        if (type == Term::FUNCT || type == Term::CONST) return term;
        const Term* bound = unifier->lookup(term->name().id());
        if (bound == nullptr) return term;
        term = bound;
    }
}

}  // namespace

bool same_signature(const Term* a, const Unifier* ua, const Term* b, const Unifier* ub) {
    a = signature_term(a, ua);
    b = signature_term(b, ub);
    if (a->name().id() != b->name().id()) return false;
    bool function = a->type() == Term::FUNCT;
    if (function != (b->type() == Term::FUNCT)) return false;
    if (!function) return true;
    const auto& left = static_cast<const Function*>(a)->arguments();
    const auto& right = static_cast<const Function*>(b)->arguments();
    if (left.size() != right.size()) return false;
    for (size_t i = 0; i < left.size(); ++i)
        if (!same_signature(left[i], ua, right[i], ub)) return false;
    return true;
}

uint64_t signature_hash(const Term* term, const Unifier* unifier) {
    term = signature_term(term, unifier);
    uint64_t hash = term->name().id() * 0x9e3779b97f4a7c15ull;
    if (term->type() != Term::FUNCT) return hash ^ (hash >> 29);
    hash ^= 0x5bd1e995;
    for (const Term* argument : static_cast<const Function*>(term)->arguments())
        hash = (hash ^ signature_hash(argument, unifier)) * 0xff51afd7ed558ccdull;
    return hash ^ (hash >> 31);
}

void append_signature(const Term* term, const Unifier* unifier, std::string& out) {
    for (;;) {
        Name::ID id = term->name().id();
        Term::Type type = term->type();
        const Term* bound = type != Term::FUNCT && type != Term::CONST && unifier ? unifier->lookup(id) : nullptr;
        if (bound) {
            term = bound;
            continue;
        }
        char digits[24];
        auto end = std::to_chars(digits, digits + sizeof digits, id).ptr;
        out.append(digits, end);
        if (type != Term::FUNCT) return;
        out += conf_term_left_para;
        const auto& arguments = static_cast<const Function*>(term)->arguments();
        for (size_t i = 0; i < arguments.size(); ++i) {
            if (i > 0) out += conf_seperator;
            append_signature(arguments[i], unifier, out);
        }
        out += conf_term_right_para;
        return;
    }
}

}  // namespace sym
