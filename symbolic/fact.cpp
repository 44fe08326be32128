#include "symbolic/fact.h"

#include <cassert>

#include "common/runtime.h"
#include "symbolic/arity_clash.h"
#include "symbolic/config.h"
#include "symbolic/know.h"
#include "symbolic/unifier.h"
#include "symbolic/print.h"

namespace sym {

Fact::Fact(Type type, const Name& predicate) : _type(type), _predicate(predicate) {}

void Fact::info(std::ostream& os) const {
    Text text;
    print(text);
    emit(os, text);
}

void Fact::unify(const Fact* other, Unifier& unifier) const {
    if (!try_unify(other, unifier)) throw UnifyFailed();
}

void Fact::unify_to(const Fact* other, Unifier& unifier) const {
    if (!try_unify_to(other, unifier)) throw UnifyFailed();
}

std::set<unsigned> Fact::subterms(unsigned long mask) const {
    std::set<unsigned> ids;
    subterms(mask, ids);
    return ids;
}

bool Fact::selectable_term(const Term* term) {
    switch (term->type()) {
    case Term::VARIA:
    case Term::TMESP:
        return false;
    case Term::CONFG:
    case Term::NONCE:
    case Term::FUNCT:
    case Term::CONST:
        return true;
    default:
        throw common::SystemError("selectable", "term type does not exist");
    }
}

void append_subterm_ids(const Fact* fact, unsigned long mask, std::vector<unsigned>& ids) {
    switch (fact->type()) {
    case Fact::OKNOW:
        append_subterm_ids(static_cast<const Know*>(fact)->term(), mask, ids);
        return;
    case Fact::EVENT:
    case Fact::STATE:
        for (const auto& argument : static_cast<const ArgumentFact*>(fact)->arguments())
            append_subterm_ids(argument.second, mask, ids);
        return;
    default:
        for (unsigned id : fact->subterms(mask)) ids.push_back(id);
    }
}

ArgumentFact::ArgumentFact(Type type, const Name& predicate) : Fact(type, predicate) {}

ArgumentFact::~ArgumentFact() {
    for (auto& argument : _arguments) Term::release(argument.second);
}

void ArgumentFact::print(Text& out) const {
    append_name(out, _predicate);
    out += conf_fact_left_para;
    for (size_t i = 0; i < _arguments.size(); ++i) {
        if (i > 0) out += ", ";
        if (_arguments[i].first) out += '*';
        _arguments[i].second->print(out);
    }
    out += conf_fact_right_para;
}

Fact* ArgumentFact::rename(Renamer& renamer) {
    for (auto& argument : _arguments) argument.second = argument.second->rename(renamer);
    return this;
}

void ArgumentFact::subterms(unsigned long mask, std::set<unsigned>& ids) const {
    for (const auto& argument : _arguments) argument.second->subterms(mask, ids);
}

std::set<unsigned> ArgumentFact::subterms(unsigned long mask, const Unifier& unifier) const {
    std::set<unsigned> ids;
    for (const auto& argument : _arguments) argument.second->subterms(mask, ids, unifier);
    return ids;
}

ArityClash::Kind ArgumentFact::clash_kind() const {
    return _type == EVENT ? ArityClash::Kind::EVENT : ArityClash::Kind::STATE;
}

const ArgumentFact* ArgumentFact::counterpart(const Fact* other, const char* function, const char* detail) const {
    if (other->type() != _type || other->predicate().id() != _predicate.id()) return nullptr;
    const ArgumentFact* result = static_cast<const ArgumentFact*>(other);
    if (result->_arguments.size() != _arguments.size())
        throw ArityClash(function, detail, clash_kind(), _predicate.name(), _arguments.size(),
                         result->_arguments.size());
    return result;
}

bool ArgumentFact::unify_arguments(const ArgumentFact* other, Unifier& unifier, Term::Option option) const {
    if (other == nullptr) return false;
    auto j = other->_arguments.begin();
    for (auto i = _arguments.begin(); i != _arguments.end(); ++i, ++j) {
        assert(i->first == j->first);
        if (!i->second->try_unify(j->second, unifier, option)) return false;
    }
    return true;
}

bool ArgumentFact::unify_arguments_to(const ArgumentFact* other, Unifier& unifier, Term::Option option) const {
    if (other == nullptr) return false;
    auto j = other->_arguments.begin();
    for (auto i = _arguments.begin(); i != _arguments.end(); ++i, ++j) {
        assert(i->first == j->first);
        if (!i->second->try_unify_to(j->second, unifier, option)) return false;
    }
    return true;
}

bool ArgumentFact::equal_arguments(const Fact* other, const char* detail) const {
    if (other->type() != _type || other->predicate().id() != _predicate.id()) return false;
    const ArgumentFact* fact = static_cast<const ArgumentFact*>(other);
    if (fact->_arguments.size() != _arguments.size())
        throw ArityClash("equal", detail, clash_kind(), _predicate.name(), _arguments.size(), fact->_arguments.size());
    for (size_t i = 0; i < _arguments.size(); ++i)
        if (!_arguments[i].second->equal(fact->_arguments[i].second)) return false;
    return true;
}

}  // namespace sym
