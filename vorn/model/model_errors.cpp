#include "vorn/model/model_errors.h"

#include <algorithm>
#include <map>

#include "symbolic/arity_clash.h"
#include "vorn/model/lexer.h"
#include "vorn/model/similar_names.h"

namespace vorn {

namespace {

std::string name_of(const Outline& outline, const Span& span) { return quoted(outline.text(span)); }

// The token in words: "name 'x'", "reserved word 'k'", "';'", "the end of the file".
std::string describe_token(const Outline& outline, int token, const Span& span) {
    std::string text = quoted(outline.text(span));
    switch (token) {
        case END: return "the end of the file";
        case NAME: return "name '" + text + "'";
        case KNOW:
        case TRUE:
        case FALSE: return "reserved word '" + text + "'";
        case INT: return "number '" + text + "'";
        default: return "'" + text + "'";
    }
}

bool unused_token(int token) {
    switch (token) {
        case BACK_ARROW:
        case ASSIGN:
        case EQ:
        case NE:
        case GT:
        case LT:
        case GE:
        case LE:
        case SHARP:
        case COLON: return true;
        default: return false;
    }
}

// Just after the last character of a token.
Span after(const Span& token) {
    Span span = token;
    span.col += static_cast<int>(token.length);
    span.offset = token.end();
    span.length = 0;
    return span;
}

const char* fact_word(const FactOutline& fact) { return fact.kind == FactOutline::Kind::EVENT ? "event" : "state"; }

// A declared name close to `name`, for a "did you mean" note; null when none is.
const DeclOutline* similar_declaration(const Outline& outline, std::string_view name) {
    for (const DeclOutline& decl : outline.decls)
        if (similar_names(name, outline.text(decl.name))) return &decl;
    return nullptr;
}

// The key of a state as written: the texts of its starred arguments.
std::string written_key(const Outline& outline, const FactOutline& state) {
    const DeclOutline* decl = outline.declaration(outline.text(state.name));
    std::string key(outline.text(state.name));
    for (size_t i = 0; i < state.args.size(); ++i)
        if (decl != nullptr && i < decl->starred.size() && decl->starred[i])
            key += "\x1f" + one_line(outline, state.args[i].whole, 1000);
    return key;
}

std::string written_key_text(const Outline& outline, const FactOutline& state) {
    const DeclOutline* decl = outline.declaration(outline.text(state.name));
    std::string key;
    for (size_t i = 0; i < state.args.size(); ++i) {
        if (decl == nullptr || i >= decl->starred.size() || !decl->starred[i]) continue;
        if (!key.empty()) key += ", ";
        key += quoted(one_line(outline, state.args[i].whole));
    }
    return key;
}

// Why a rule is not valid, as far as the text shows it.
Diagnostic invalid_rule(const Outline& outline, const RuleOutline& rule) {
    Diagnostic d;
    d.severity = Severity::ERROR;
    // A premise that is the conclusion.
    if (rule.conclusion) {
        std::string concluded = one_line(outline, rule.conclusion->whole, 100000);
        for (const FactOutline& premise : rule.premises) {
            if (one_line(outline, premise.whole, 100000) != concluded) continue;
            d.span = premise.whole;
            d.message = "rule is not valid: this premise is its own conclusion, so the rule derives what it assumes";
            d.notes.push_back({rule.conclusion->whole, "the conclusion"});
            return d;
        }
    }
    // Two states of one process.
    std::map<std::string, const FactOutline*> keys;
    for (const FactOutline& state : rule.states) {
        auto [found, fresh] = keys.emplace(written_key(outline, state), &state);
        if (fresh) continue;
        d.span = state.whole;
        std::string key = written_key_text(outline, state);
        d.message = "rule is not valid: it holds two states of one process (state '" + name_of(outline, state.name) +
                    "'" + (key.empty() ? std::string(", which has no starred position") : " with key " + key) +
                    "), and a process is in one state at a time; a transfer rule moves a process from one state "
                    "to another";
        d.notes.push_back({found->second->whole, "the other state of that process"});
        return d;
    }
    // Two events that draw one fresh nonce but cannot be one event.
    std::map<std::string, const FactOutline*> drawn;
    for (const FactOutline& event : rule.premises) {
        if (event.kind != FactOutline::Kind::EVENT) continue;
        const DeclOutline* decl = outline.declaration(outline.text(event.name));
        for (size_t i = 0; decl != nullptr && i < event.args.size() && i < decl->starred.size(); ++i) {
            if (!decl->starred[i] || event.args[i].kind != TermOutline::Kind::NONCE) continue;
            std::string nonce(outline.text(event.args[i].name));
            auto [found, fresh] = drawn.emplace(nonce, &event);
            if (fresh || found->second == &event) continue;
            d.span = event.whole;
            d.message = "rule is not valid: two events draw the fresh nonce [" + quoted(nonce) +
                        "], so they must be one event, and they cannot be";
            d.notes.push_back({found->second->whole, "the other event"});
            return d;
        }
    }
    d.span = rule.marker;
    d.message = "rule is not valid: its premises, states or events contradict each other, so it can never apply";
    return d;
}

Diagnostic variable_conclusion(const Outline& outline, const RuleOutline& rule) {
    Diagnostic d;
    d.span = rule.conclusion && !rule.conclusion->args.empty() ? rule.conclusion->args[0].whole : rule.marker;
    std::string variable = rule.conclusion && !rule.conclusion->args.empty()
                               ? name_of(outline, rule.conclusion->args[0].name)
                               : std::string("x");
    d.message = "this rule has no premise left to resolve, so it cannot conclude the knowledge of the bare variable '" +
                variable + "': give the value a shape (k([" + variable + "]), k(f(" + variable +
                "))) or add a premise that provides it";
    return d;
}

}  // namespace

Diagnostic syntax_error(const Outline& outline, int token, const Span& found, const std::string& expected,
                        const Span& previous) {
    Diagnostic d;
    d.span = token == END && previous.known() ? after(previous) : found;
    if (!d.span->known()) d.span = Span{1, 1, 0, 0};
    d.message = "syntax error: expected " + expected + ", found " + describe_token(outline, token, found);
    // A reserved word where a term or a name may stand.
    std::string_view before = previous.known() ? outline.text(previous) : std::string_view();
    bool term_place = before == "(" || before == "," || before == "[" || before == "|" || before == "$" ||
                      before == "*";
    if ((token == KNOW || token == TRUE || token == FALSE) && term_place)
        d.notes.push_back({std::nullopt, "'k', 'true' and 'false' are reserved words: choose another name"});
    else if (token == INT)
        d.notes.push_back({std::nullopt, "numbers have no place in a model: write a constant such as one[]"});
    else if (unused_token(token))
        d.notes.push_back({std::nullopt, "'" + quoted(outline.text(found)) + "' is not part of the model language"});
    if (expected.rfind("';'", 0) == 0 && token != END && previous.known() && found.line > previous.line)
        d.notes.push_back({after(previous), "the item before it may lack its ';'"});
    return d;
}

Diagnostic misplaced_item(const Span& found, const std::string& message) {
    Diagnostic d;
    d.span = found;
    d.message = "syntax error: " + message;
    return d;
}

Diagnostic nested_too_deeply(const Span& parenthesis, int bound) {
    Diagnostic d;
    d.span = parenthesis;
    d.message = "function term nested more than " + std::to_string(bound) + " deep; flatten it";
    return d;
}

Diagnostic redeclared(const Outline& outline, const Span& name) {
    Diagnostic d;
    d.span = name;
    d.message = "'" + name_of(outline, name) + "' is already declared; keep one declaration per name";
    if (const DeclOutline* first = outline.declaration(outline.text(name)))
        d.notes.push_back({first->name, "first declared here"});
    return d;
}

Diagnostic undeclared(const Outline& outline, const FactOutline& fact) {
    Diagnostic d;
    d.span = fact.name;
    std::string name = name_of(outline, fact.name);
    d.message = std::string(fact_word(fact)) + " '" + name + "' is not declared";
    if (const DeclOutline* similar = similar_declaration(outline, outline.text(fact.name))) {
        d.message += "; did you mean '" + name_of(outline, similar->name) + "'?";
        d.notes.push_back({similar->name, "'" + name_of(outline, similar->name) + "' is declared here"});
    } else {
        d.message += ": declare it with '$ " + name + "(...);' before the first rule";
    }
    return d;
}

Diagnostic too_many_arguments(const Outline& outline, const FactOutline& fact) {
    Diagnostic d;
    const DeclOutline* decl = outline.declaration(outline.text(fact.name));
    size_t positions = decl != nullptr ? decl->positions.size() : 0;
    d.span = positions < fact.args.size() ? fact.args[positions].whole : fact.whole;
    d.message = std::string(fact_word(fact)) + " '" + name_of(outline, fact.name) + "' has " +
                count_of(fact.args.size(), "argument", "arguments") + ", but its declaration has " +
                count_of(positions, "position", "positions");
    if (decl != nullptr) d.notes.push_back({decl->whole, "declared here"});
    return d;
}

Diagnostic not_a_nonce(const Outline& outline, const FactOutline& event, size_t position) {
    Diagnostic d;
    const TermOutline& arg = event.args.at(position);
    d.span = arg.whole;
    d.message = "position " + std::to_string(position + 1) + " of event '" + name_of(outline, event.name) +
                "' is starred (a fresh nonce), so it takes a nonce such as [n], not the " + kind_word(arg.kind) +
                " '" + quoted(one_line(outline, arg.whole)) + "'";
    const DeclOutline* decl = outline.declaration(outline.text(event.name));
    if (decl != nullptr && position < decl->positions.size())
        d.notes.push_back({decl->positions[position], "starred here"});
    return d;
}

Diagnostic kind_clash(const Outline& outline, const Span& later, TermOutline::Kind later_kind, const Span& earlier,
                      TermOutline::Kind earlier_kind, bool in_queries) {
    Diagnostic d;
    d.span = later;
    std::string name = name_of(outline, later);
    d.message = "'" + name + "' is a " + kind_word(later_kind) + " here but a " + kind_word(earlier_kind) +
                (in_queries ? " earlier in the access queries, which share their names"
                            : " earlier in this rule: within a rule a name is one kind of term");
    d.notes.push_back({earlier, "'" + name + "' used as a " + kind_word(earlier_kind) + " here"});
    return d;
}

Diagnostic rule_error(const Outline& outline, const RuleOutline& rule, const common::UserError& error) {
    if (const auto* clash = dynamic_cast<const sym::ArityClash*>(&error)) {
        std::vector<SymbolUse> uses;
        rule_symbol_uses(outline, rule, outline.rules.size(), uses);
        SymbolUse one{};
        SymbolUse other{};
        if (clash_uses(*clash, uses, one, other)) return arity_clash(*clash, one, other, "");
    }
    if (error.detail() == "raw rule is not valid") return invalid_rule(outline, rule);
    if (error.detail() == "if predicates are in set N, the conclusion should not be a variable")
        return variable_conclusion(outline, rule);
    Diagnostic d;
    d.span = rule.marker;
    d.message = error.detail();
    return d;
}

bool clash_uses(const sym::ArityClash& clash, const std::vector<SymbolUse>& candidates, SymbolUse& one,
                SymbolUse& other) {
    SymbolUse::Kind kind = clash.kind() == sym::ArityClash::Kind::FUNCTION ? SymbolUse::Kind::FUNCTION
                           : clash.kind() == sym::ArityClash::Kind::EVENT  ? SymbolUse::Kind::EVENT
                                                                           : SymbolUse::Kind::STATE;
    bool found_one = false;
    bool found_other = false;
    for (const SymbolUse& use : candidates) {
        if (use.kind != kind || use.name != clash.symbol()) continue;
        if (use.arity == clash.arity() && (!found_one || use.span.offset < one.span.offset)) {
            one = use;
            found_one = true;
        }
        if (use.arity == clash.other_arity() && (!found_other || use.span.offset < other.span.offset)) {
            other = use;
            found_other = true;
        }
    }
    return found_one && found_other;
}

Diagnostic arity_clash(const sym::ArityClash& clash, const SymbolUse& one, const SymbolUse& other,
                       const std::string& context) {
    const SymbolUse& later = one.span.offset > other.span.offset ? one : other;
    const SymbolUse& earlier = one.span.offset > other.span.offset ? other : one;
    Diagnostic d;
    d.span = later.span;
    std::string name = quoted(clash.symbol());
    d.message = std::string(kind_word(later.kind)) + " '" + name + "' is used with " +
                count_of(later.arity, "argument", "arguments") + " here and with " +
                count_of(earlier.arity, "argument", "arguments") +
                (earlier.span.line == later.span.line ? " earlier on this line"
                                                      : " at line " + std::to_string(earlier.span.line));
    if (!context.empty()) d.message += "; " + context;
    d.notes.push_back({earlier.span, "'" + name + "' with " + count_of(earlier.arity, "argument", "arguments") +
                                         "; use each name with one number of arguments"});
    return d;
}

}  // namespace vorn
