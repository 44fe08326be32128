#include "symbolic/indexer.h"

#include <string>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/event.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/namer.h"
#include "symbolic/nonce.h"
#include "symbolic/parameter.h"
#include "symbolic/state.h"
#include "symbolic/timestamp.h"
#include "symbolic/tknow.h"
#include "symbolic/variable.h"

namespace sym {

template <class Kind>
Kind* Indexer::local(const std::string& name, Term::Type type, const char* word) {
    auto found = _mapping.find(name);
    if (found == _mapping.end()) {
        Kind* term = new Kind(namer.variable(name));
        _mapping.emplace(name, term);
        return term;
    }
    if (found->second->type() != type) throw common::UserError(word, std::string("term type does not match ") + word);
    return static_cast<Kind*>(found->second->clone());
}

Nonce* Indexer::nonce(const std::string& name) { return local<Nonce>(name, Term::NONCE, "nonce"); }

Variable* Indexer::variable(const std::string& name) { return local<Variable>(name, Term::VARIA, "variable"); }

Timestamp* Indexer::timestamp(const std::string& name) { return local<Timestamp>(name, Term::TMESP, "timestamp"); }

Configuration* Indexer::configuration(const std::string& name) {
    return local<Configuration>(name, Term::CONFG, "configuration");
}

Constant* Indexer::constant(const std::string& name) const { return new Constant(namer.constant(name)); }

Parameter* Indexer::parameter(const std::string& name) const { return new Parameter(namer.constant(name)); }

Function* Indexer::function(const std::string& name) const { return new Function(namer.constant(name)); }

Event* Indexer::event(const std::string& name) const { return new Event(namer.constant(name)); }

State* Indexer::state(const std::string& name) const { return new State(namer.constant(name)); }

Know* Indexer::know(Term* term) const { return new Know(term); }

TimedKnow* Indexer::tknow(Term* term, Timestamp* timestamp) const { return new TimedKnow(term, timestamp); }

}  // namespace sym
