#include "symbolic/function.h"

#include <cassert>

#include "common/runtime.h"
#include "symbolic/arity_clash.h"
#include "symbolic/config.h"
#include "symbolic/renamer.h"
#include "symbolic/unifier.h"
#include "symbolic/print.h"

namespace sym {

Function::Function(const Name& name) : Term(FUNCT, name) {}

Function::~Function() {
    for (Term* argument : _arguments) release(argument);
}

Function* Function::append(Term* term) {
    _arguments.push_back(term);
    return this;
}

void Function::print(Text& out) const {
    append_name(out, _name);
    out += conf_term_left_para;
    for (size_t i = 0; i < _arguments.size(); ++i) {
        if (i > 0) out += ", ";
        _arguments[i]->print(out);
    }
    out += conf_term_right_para;
}

bool Function::try_unify(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() == VARIA || term->type() == CONFG) return term->try_unify(this, unifier, option);
    if (term->type() != FUNCT || term->name().id() != _name.id()) return false;
    const Function* other = static_cast<const Function*>(term);
    if (other->_arguments.size() != _arguments.size())
        throw ArityClash("unify", "function size not match", ArityClash::Kind::FUNCTION, _name.name(),
                         _arguments.size(), other->_arguments.size());
    for (size_t i = 0; i < _arguments.size(); ++i)
        if (!_arguments[i]->try_unify(other->_arguments[i], unifier, option)) return false;
    return true;
}

bool Function::try_unify_to(const Term* term, Unifier& unifier, Option option) const {
    if (term->type() != FUNCT || term->name().id() != _name.id()) return false;
    const Function* other = static_cast<const Function*>(term);
    if (other->_arguments.size() != _arguments.size())
        throw ArityClash("unify_to", "function size not match", ArityClash::Kind::FUNCTION, _name.name(),
                         _arguments.size(), other->_arguments.size());
    for (size_t i = 0; i < _arguments.size(); ++i)
        if (!_arguments[i]->try_unify_to(other->_arguments[i], unifier, option)) return false;
    return true;
}

void Function::generalize(Type from, Type to, Unifier& unifier) const {
    assert(from != _type);
    for (const Term* argument : _arguments) argument->generalize(from, to, unifier);
}

Term* Function::clone() const {
    Function* result = new Function(_name);
    result->_arguments.reserve(_arguments.size());
    for (const Term* argument : _arguments) result->_arguments.push_back(argument->clone());
    return result;
}

Term* Function::map(const Unifier& unifier) const {
    Function* result = new Function(_name);
    result->_arguments.reserve(_arguments.size());
    for (const Term* argument : _arguments) result->_arguments.push_back(argument->map(unifier));
    return result;
}

Term* Function::rename(Renamer& renamer) {
    for (Term*& argument : _arguments) argument = argument->rename(renamer);
    return this;
}

void Function::subterms(unsigned long mask, std::set<unsigned>& ids, const Unifier& unifier) const {
    if (mask & FUNCT) ids.insert(_name.id());
    for (const Term* argument : _arguments) argument->subterms(mask, ids, unifier);
}

void Function::subterms(unsigned long mask, std::set<unsigned>& ids) const {
    if (mask & FUNCT) ids.insert(_name.id());
    for (const Term* argument : _arguments) argument->subterms(mask, ids);
}

void Function::signature(const Unifier& unifier, std::ostream& os) const {
    os << _name.id() << conf_term_left_para;
    for (size_t i = 0; i < _arguments.size(); ++i) {
        if (i > 0) os << conf_seperator;
        _arguments[i]->signature(unifier, os);
    }
    os << conf_term_right_para;
}

void Function::signature(std::ostream& os) const {
    os << _name.id() << conf_term_left_para;
    for (size_t i = 0; i < _arguments.size(); ++i) {
        if (i > 0) os << conf_seperator;
        _arguments[i]->signature(os);
    }
    os << conf_term_right_para;
}

bool Function::equal(const Term* term) const {
    if (term->type() != _type || term->name().id() != _name.id()) return false;
    const Function* other = static_cast<const Function*>(term);
    if (other->_arguments.size() != _arguments.size())
        throw ArityClash("equal", "function argument list size not match", ArityClash::Kind::FUNCTION, _name.name(),
                         _arguments.size(), other->_arguments.size());
    for (size_t i = 0; i < _arguments.size(); ++i)
        if (!_arguments[i]->equal(other->_arguments[i])) return false;
    return true;
}

}  // namespace sym
