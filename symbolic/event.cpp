#include "symbolic/event.h"

#include <cassert>
#include <memory>

#include "common/runtime.h"
#include "symbolic/unifier.h"

namespace sym {

Event::Event(const Name& predicate) : ArgumentFact(EVENT, predicate) {}

Event* Event::append(bool fresh, Term* term) {
    if (fresh && term->type() != Term::NONCE) {
        Term::release(term);
        throw common::UserError("append", "event nonce is not nonce");
    }
    _arguments.emplace_back(fresh, term);
    return this;
}

std::set<unsigned> Event::fresh_nonces() const {
    std::set<unsigned> ids;
    for (const auto& argument : _arguments) {
        if (!argument.first) continue;
        if (argument.second->type() != Term::NONCE)
            throw common::UserError("fresh_nonces", "nonce does not generated in event");
        ids.insert(argument.second->name().id());
    }
    return ids;
}

std::set<unsigned> Event::fresh_nonces(const Unifier& unifier) const {
    std::vector<unsigned> found;
    append_fresh_nonces(unifier, found);
    return std::set<unsigned>(found.begin(), found.end());
}

void Event::append_fresh_nonces(const Unifier& unifier, std::vector<unsigned>& ids) const {
    for (const auto& argument : _arguments) {
        if (!argument.first) continue;
        if (argument.second->type() != Term::NONCE)
            throw common::UserError("fresh_nonces", "nonce does not generated in event");
        const Term* nonce = argument.second;
        while (const Term* bound = unifier.lookup(nonce->name().id())) {
            nonce = bound;
            assert(nonce->type() == Term::Type::NONCE);
        }
        ids.push_back(static_cast<unsigned>(nonce->name().id()));
    }
}

bool Event::contradiction() const {
    std::set<unsigned> seen;
    for (const auto& argument : _arguments) {
        if (!argument.first) continue;
        std::set<unsigned> nonces;
        argument.second->subterms(Term::NONCE, nonces);
        for (unsigned id : nonces)
            if (!seen.insert(id).second) return true;
    }
    return false;
}

bool Event::try_unify(const Fact* other, Unifier& unifier) const {
    return unify_arguments(counterpart(other, "unify", "event list size not match"), unifier, Term::NONE);
}

bool Event::try_unify_to(const Fact* other, Unifier& unifier) const {
    return unify_arguments_to(counterpart(other, "unify_to", "event list size not match"), unifier, Term::NONE);
}

Fact* Event::clone() const {
    Event* result = new Event(_predicate);
    result->_arguments.reserve(_arguments.size());
    for (const auto& argument : _arguments) result->_arguments.emplace_back(argument.first, argument.second->clone());
    return result;
}

Fact* Event::map(const Unifier& unifier) const {
    std::unique_ptr<Event> result(new Event(_predicate));
    result->_arguments.reserve(_arguments.size());
    for (const auto& argument : _arguments) result->append(argument.first, argument.second->map(unifier));
    return result.release();
}

bool Event::equal(const Fact* other) const { return equal_arguments(other, "event argument list size not match"); }

}  // namespace sym
