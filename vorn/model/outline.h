#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vorn/model/span.h"

namespace vorn {

// The model as written, kept beside the rules the parser builds: every
// declaration, rule, fact and term with the place of its tokens. Diagnostics
// point into it and the warnings read it; it is plain data and issues no name.

struct TermOutline {
    enum class Kind : std::uint8_t { VARIABLE, CONSTANT, NONCE, CONFIGURATION, FUNCTION };
    Kind kind = Kind::VARIABLE;
    // The name token.
    Span name;
    // From the first to the last token of the term.
    Span whole;
    // The arguments of a function term.
    std::vector<TermOutline> args;
};

struct FactOutline {
    enum class Kind : std::uint8_t { KNOW, EVENT, STATE };
    Kind kind = Kind::KNOW;
    // The name token ("k" for knowledge).
    Span name;
    Span whole;
    // A knowledge fact has its one term here.
    std::vector<TermOutline> args;
};

struct ConversionOutline {
    // None for a creating conversion.
    std::optional<FactOutline> from;
    FactOutline to;
    Span whole;
};

struct RuleOutline {
    bool transfer = false;
    // The "!" or "?".
    Span marker;
    // From the marker to the ";".
    Span whole;
    std::vector<FactOutline> premises;
    std::vector<FactOutline> states;
    // A consistent rule's conclusion.
    std::optional<FactOutline> conclusion;
    std::vector<ConversionOutline> conversions;
};

struct DeclOutline {
    Span name;
    // One per position: the position's name token, and whether it is starred.
    std::vector<Span> positions;
    std::vector<bool> starred;
    Span whole;
};

struct QueryOutline {
    FactOutline state;
    bool reusable = false;
    Span whole;
};

class Outline {
public:
    // The model text the spans point into; it must outlive the outline's use.
    std::string_view source;
    std::vector<DeclOutline> decls;
    std::vector<RuleOutline> rules;
    std::vector<QueryOutline> queries;

    std::string_view text(const Span& span) const;
    // The declaration of a name, or null.
    const DeclOutline* declaration(std::string_view name) const;
    void add_declaration(DeclOutline decl);
    void clear();

private:
    std::unordered_map<std::string_view, size_t> _declared;
};

// One use of a global symbol: a constant, a function, an event or a state.
struct SymbolUse {
    enum class Kind : std::uint8_t { CONSTANT, FUNCTION, EVENT, STATE };
    Kind kind;
    std::string_view name;
    // Arguments of a function, event or state.
    size_t arity = 0;
    Span span;
    // Index of the rule in Outline::rules, or of the query in Outline::queries.
    size_t item = 0;
    bool in_query = false;
};

// Every use of a constant, function, event or state name, in the order of the text.
std::vector<SymbolUse> symbol_uses(const Outline& outline);
// The uses in one rule (numbered `item`).
void rule_symbol_uses(const Outline& outline, const RuleOutline& rule, size_t item, std::vector<SymbolUse>& uses);
// The uses in one access query.
void query_symbol_uses(const Outline& outline, size_t query, std::vector<SymbolUse>& uses);

// "constant", "function", "event" or "state".
const char* kind_word(SymbolUse::Kind kind);
// "variable", "constant", "nonce", "configuration" or "function term".
const char* kind_word(TermOutline::Kind kind);

// The facts of a rule in the order they are written.
template <class Visit>
void for_each_fact(const RuleOutline& rule, Visit visit) {
    for (const FactOutline& fact : rule.premises) visit(fact);
    for (const FactOutline& fact : rule.states) visit(fact);
    if (rule.conclusion) visit(*rule.conclusion);
    for (const ConversionOutline& conversion : rule.conversions) {
        if (conversion.from) visit(*conversion.from);
        visit(conversion.to);
    }
}

// The rule's text with its blanks and line breaks each folded into one blank,
// cut to at most `limit` bytes (then ending in "...").
std::string one_line(const Outline& outline, const Span& span, size_t limit = 80);

}  // namespace vorn
