#include "symbolic/know.h"

#include "symbolic/config.h"
#include "symbolic/namer.h"
#include "symbolic/unifier.h"
#include "symbolic/print.h"

namespace sym {

Know::Know(Term* term) : Fact(OKNOW, namer.know()), _term(term) {}

Know::~Know() { Term::release(_term); }

bool Know::selectable() const {
    return selectable_term(_term);
}

void Know::print(Text& out) const {
    append_name(out, _predicate);
    out += conf_fact_left_para;
    _term->print(out);
    out += conf_fact_right_para;
}

bool Know::try_unify(const Fact* other, Unifier& unifier) const {
    if (other->type() != OKNOW) return false;
    return _term->try_unify(static_cast<const Know*>(other)->_term, unifier, Term::NONE);
}

bool Know::try_unify_to(const Fact* other, Unifier& unifier) const {
    if (other->type() != OKNOW) return false;
    return _term->try_unify_to(static_cast<const Know*>(other)->_term, unifier, Term::NONE);
}

Fact* Know::clone() const { return new Know(_term->clone()); }

Fact* Know::map(const Unifier& unifier) const { return new Know(_term->map(unifier)); }

Fact* Know::rename(Renamer& renamer) {
    _term = _term->rename(renamer);
    return this;
}

void Know::subterms(unsigned long mask, std::set<unsigned>& ids) const { _term->subterms(mask, ids); }

std::set<unsigned> Know::subterms(unsigned long mask, const Unifier& unifier) const {
    std::set<unsigned> ids;
    _term->subterms(mask, ids, unifier);
    return ids;
}

bool Know::equal(const Fact* other) const {
    return other->type() == _type && _term->equal(static_cast<const Know*>(other)->_term);
}

}  // namespace sym
