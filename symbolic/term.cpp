#include "symbolic/term.h"

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
    if (unifier.exist(_name.id())) return unifier.evaluate(_name.id())->map(unifier);
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

void Term::rename_name(Renamer& renamer) { _name = renamer.rename(_name); }

void append_subterm_ids(const Term* term, unsigned long mask, std::vector<unsigned>& ids) {
    if (mask & term->type()) ids.push_back(static_cast<unsigned>(term->name().id()));
    if (term->type() != Term::FUNCT) return;
    for (const Term* argument : static_cast<const Function*>(term)->arguments()) append_subterm_ids(argument, mask, ids);
}

void append_signature(const Term* term, const Unifier* unifier, std::string& out) {
    for (;;) {
        Name::ID id = term->name().id();
        Term::Type type = term->type();
        if (type != Term::FUNCT && type != Term::CONST && unifier && unifier->exist(id)) {
            term = unifier->evaluate(id);
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
