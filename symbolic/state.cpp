#include "symbolic/state.h"

#include <cassert>
#include <string>

#include "common/runtime.h"
#include "symbolic/arity_clash.h"
#include "symbolic/config.h"
#include "symbolic/unifier.h"

namespace sym {

State::State(const Name& predicate) : ArgumentFact(STATE, predicate) {}

State* State::append(bool key, Term* term) {
    _arguments.emplace_back(key, term);
    return this;
}

std::string State::key() const { return make_key(nullptr); }

std::string State::key(const Unifier& unifier) const { return make_key(&unifier); }

std::string State::make_key(const Unifier* unifier) const {
    std::string key = std::to_string(_predicate.id());
    key += conf_seperator;
    bool first = true;
    for (const auto& argument : _arguments) {
        if (!argument.first) continue;
        if (!first) key += conf_seperator;
        first = false;
        append_signature(argument.second, unifier, key);
    }
    return key;
}

bool State::same_key(const State* other, const Unifier* mine, const Unifier* theirs) const {
    if (other->_predicate.id() != _predicate.id()) return false;
    // The key arguments of both, in order: the texts are equal when there are
    // as many and each pair has the same signature.
    auto i = _arguments.begin(), j = other->_arguments.begin();
    for (;;) {
        while (i != _arguments.end() && !i->first) ++i;
        while (j != other->_arguments.end() && !j->first) ++j;
        if (i == _arguments.end() || j == other->_arguments.end()) return i == _arguments.end() && j == other->_arguments.end();
        if (!same_signature(i->second, mine, j->second, theirs)) return false;
        ++i;
        ++j;
    }
}

uint64_t State::key_hash(const Unifier* unifier) const {
    uint64_t hash = _predicate.id() * 0xc2b2ae3d27d4eb4full;
    for (const auto& argument : _arguments)
        if (argument.first) hash = (hash ^ signature_hash(argument.second, unifier)) * 0x9e3779b97f4a7c15ull;
    return hash ^ (hash >> 32);
}

void State::unify_key(const State* other, Unifier& unifier) const {
    if (!try_unify_key(other, unifier)) throw UnifyFailed();
}

bool State::try_unify_key(const State* other, Unifier& unifier) const {
    const Fact* state = other;
    assert(state->type() == Type::STATE);
    if (other->predicate().id() != _predicate.id()) return false;
    if (other->_arguments.size() != _arguments.size())
        throw ArityClash("unify_key", "state list size not match", ArityClash::Kind::STATE, _predicate.name(),
                         _arguments.size(), other->_arguments.size());
    auto j = other->_arguments.begin();
    for (auto i = _arguments.begin(); i != _arguments.end(); ++i, ++j) {
        assert(i->first == j->first);
        if (i->first && !i->second->try_unify(j->second, unifier, Term::GENERALISE_DISABLED)) return false;
    }
    return true;
}

bool State::try_unify(const Fact* other, Unifier& unifier) const {
    return unify_arguments(counterpart(other, "unify", "state list size not match"), unifier,
                           Term::GENERALISE_DISABLED);
}

bool State::try_unify_to(const Fact* other, Unifier& unifier) const {
    return unify_arguments_to(counterpart(other, "unify_to", "state list size not match"), unifier,
                              Term::GENERALISE_DISABLED);
}

Fact* State::clone() const {
    State* result = new State(_predicate);
    result->_arguments.reserve(_arguments.size());
    for (const auto& argument : _arguments) result->_arguments.emplace_back(argument.first, argument.second->clone());
    return result;
}

Fact* State::map(const Unifier& unifier) const {
    State* result = new State(_predicate);
    result->_arguments.reserve(_arguments.size());
    for (const auto& argument : _arguments) result->_arguments.emplace_back(argument.first, argument.second->map(unifier));
    return result;
}

bool State::equal(const Fact* other) const { return equal_arguments(other, "state argument list size not match"); }

}  // namespace sym
