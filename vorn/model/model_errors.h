#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "vorn/model/diagnostics.h"
#include "vorn/model/outline.h"

namespace sym {
class ArityClash;
}

namespace vorn {

// The located forms of the errors found while the model is read and built.
// Each names the offending piece of the model in plain words; the line the
// tool prints on standard output for the same error is unchanged.

// A token that fits no production: `found` is the token (or, for the end of
// the input, the place just after the last token), `expected` what would have
// fitted, in words ("';'", "a term"). `previous` is the last token read.
Diagnostic syntax_error(const Outline& outline, int token, const Span& found, const std::string& expected,
                        const Span& previous);
// An item out of its part of the model: `message` says which.
Diagnostic misplaced_item(const Span& found, const std::string& message);
// A "(" that opens a function term deeper than the parser accepts.
Diagnostic nested_too_deeply(const Span& parenthesis, int bound);

Diagnostic redeclared(const Outline& outline, const Span& name);
Diagnostic undeclared(const Outline& outline, const FactOutline& fact);
Diagnostic too_many_arguments(const Outline& outline, const FactOutline& fact);
// The argument at `position` of an event sits at a starred position and is not a nonce.
Diagnostic not_a_nonce(const Outline& outline, const FactOutline& event, size_t position);
// A rule-local name used as two kinds of term. `in_queries`: the uses are in
// the access queries, which share one name table.
Diagnostic kind_clash(const Outline& outline, const Span& later, TermOutline::Kind later_kind, const Span& earlier,
                      TermOutline::Kind earlier_kind, bool in_queries);

// A model error that building one rule raised: the rule is not valid, its
// conclusion is a bare variable, a symbol with two numbers of arguments meets
// itself, or another UserError.
Diagnostic rule_error(const Outline& outline, const RuleOutline& rule, const common::UserError& error);

// The uses of the clashing symbol with each of its two numbers of arguments,
// chosen among `candidates` (the earliest of each); false when either is missing.
bool clash_uses(const sym::ArityClash& clash, const std::vector<SymbolUse>& candidates, SymbolUse& one,
                SymbolUse& other);
// The message of an arity clash between two uses, located at the later one
// with a note at the earlier; `context` (may be empty) ends the message.
Diagnostic arity_clash(const sym::ArityClash& clash, const SymbolUse& one, const SymbolUse& other,
                       const std::string& context);

}  // namespace vorn
