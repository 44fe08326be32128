#include "symbolic/tknow.h"

#include "symbolic/config.h"
#include "symbolic/namer.h"
#include "symbolic/print.h"
#include "symbolic/unifier.h"

namespace sym {

TimedKnow::TimedKnow(Term* term, Term* timestamp)
    : Fact(TKNOW, namer.constant("tknow")), _term(term), _timestamp(timestamp) {}

TimedKnow::~TimedKnow() {
    Term::release(_term);
    Term::release(_timestamp);
}

bool TimedKnow::selectable() const {
    return selectable_term(_term);
}

void TimedKnow::print(Text& out) const {
    append_name(out, _predicate);
    out += conf_fact_left_para;
    _term->print(out);
    out += ", ";
    _timestamp->print(out);
    out += conf_fact_right_para;
}

bool TimedKnow::try_unify(const Fact* other, Unifier& unifier) const {
    if (other->type() != TKNOW) return false;
    const TimedKnow* fact = static_cast<const TimedKnow*>(other);
    return _term->try_unify(fact->_term, unifier, Term::NONE) &&
           _timestamp->try_unify(fact->_timestamp, unifier, Term::NONE);
}

bool TimedKnow::try_unify_to(const Fact* other, Unifier& unifier) const {
    if (other->type() != TKNOW) return false;
    const TimedKnow* fact = static_cast<const TimedKnow*>(other);
    return _term->try_unify_to(fact->_term, unifier, Term::NONE) &&
           _timestamp->try_unify_to(fact->_timestamp, unifier, Term::NONE);
}

Fact* TimedKnow::clone() const { return new TimedKnow(_term->clone(), _timestamp->clone()); }

Fact* TimedKnow::map(const Unifier& unifier) const {
    Term* term = _term->map(unifier);
    return new TimedKnow(term, _timestamp->map(unifier));
}

Fact* TimedKnow::rename(Renamer& renamer) {
    _term = _term->rename(renamer);
    _timestamp = _timestamp->rename(renamer);
    return this;
}

void TimedKnow::subterms(unsigned long mask, std::set<unsigned>& ids) const { _term->subterms(mask, ids); }

std::set<unsigned> TimedKnow::subterms(unsigned long mask, const Unifier& unifier) const {
    std::set<unsigned> ids;
    _term->subterms(mask, ids, unifier);
    return ids;
}

bool TimedKnow::equal(const Fact* other) const {
    return other->type() == _type && _term->equal(static_cast<const TimedKnow*>(other)->_term);
}

}  // namespace sym
