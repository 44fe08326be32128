#pragma once

#include <map>
#include <string>

#include "symbolic/term.h"

namespace sym {

class Nonce;
class Variable;
class Timestamp;
class Configuration;
class Constant;
class Parameter;
class Function;
class Event;
class State;
class Know;
class TimedKnow;

// The name table of the rule being read: every occurrence of one rule-local
// name gets the same symbol; constants and predicates are global. The table
// points at the terms it handed out without owning them.
class Indexer {
public:
    Indexer() = default;

    Nonce* nonce(const std::string& name);
    Variable* variable(const std::string& name);
    Timestamp* timestamp(const std::string& name);
    Configuration* configuration(const std::string& name);
    Constant* constant(const std::string& name) const;
    Parameter* parameter(const std::string& name) const;
    Function* function(const std::string& name) const;
    Event* event(const std::string& name) const;
    State* state(const std::string& name) const;
    Know* know(Term* term) const;
    TimedKnow* tknow(Term* term, Timestamp* timestamp) const;
    void clear() { _mapping.clear(); }

private:
    template <class Kind>
    Kind* local(const std::string& name, Term::Type type, const char* word);

    std::map<std::string, const Term*> _mapping;
};

}  // namespace sym
