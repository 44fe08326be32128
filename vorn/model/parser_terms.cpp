#include "vorn/model/parser_grammar.h"

#include <optional>
#include <utility>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/nonce.h"
#include "symbolic/variable.h"
#include "vorn/model/lexer.h"
#include "vorn/model/model_errors.h"

namespace vorn::grammar {

// facts: [ fact { "," fact } ]
std::vector<FactBuilt> Parser::facts() {
    std::vector<FactBuilt> list;
    if (peek() != KNOW && peek() != NAME) return list;
    for (;;) {
        list.push_back(fact("a premise: k(...) or an event"));
        if (peek() != COMMA) return list;
        shift();
    }
}

// fact: "k" "(" term ")" | NAME "(" terms ")"
FactBuilt Parser::fact(const char* expected) {
    FactOutline outline;
    Span start = here();
    if (peek() == KNOW) {
        outline.kind = FactOutline::Kind::KNOW;
        outline.name = start;
        shift();
        expect(LSB, "'(' after 'k'");
        TermBuilt known = term("the known term");
        expect(RSB, "')': k(...) holds one term");
        outline.whole = joined(start, _last);
        outline.args.push_back(std::move(known.outline));
        trace("Reducing know fact");
        return {know_fact(std::move(known.value)), std::move(outline)};
    }
    outline.kind = FactOutline::Kind::EVENT;
    std::string name;
    TermsBuilt args = named_arguments(expected, "'(' after the event name", start, outline, name);
    trace("Reducing event fact " + name);
    FactPtr event = event_fact(name, std::move(args.terms), outline, _report);
    return {std::move(event), std::move(outline)};
}

// A variable, nonce or configuration: one symbol per name in a rule.
TermPtr Parser::local_term(TermOutline::Kind kind, const std::string& name, const Span& span) {
    TermPtr term;
    try {
        switch (kind) {
            case TermOutline::Kind::NONCE: term.reset(indexer.nonce(name)); break;
            case TermOutline::Kind::CONFIGURATION: term.reset(indexer.configuration(name)); break;
            default: term.reset(indexer.variable(name)); break;
        }
    } catch (const common::UserError&) {
        auto earlier = _locals.find(model_outline.text(span));
        if (earlier != _locals.end())
            located(_report, kind_clash(model_outline, span, kind, earlier->second.second, earlier->second.first,
                                        _in_queries));
        throw;
    }
    _locals.emplace(model_outline.text(span), std::make_pair(kind, span));
    return term;
}

// term: NAME "(" terms ")" | "[" NAME "]" | NAME "[" "]" | "|" NAME "|" | NAME
TermBuilt Parser::term(const char* expected) {
    TermOutline outline;
    Span start = here();
    if (peek() == LMB) {
        shift();
        std::string name = take_name("a nonce name after '['");
        outline.kind = TermOutline::Kind::NONCE;
        outline.name = _last;
        expect(RMB, "']' after the nonce name");
        outline.whole = joined(start, _last);
        trace("Reducing nonce " + name);
        TermPtr nonce = local_term(outline.kind, name, outline.name);
        return {std::move(nonce), std::move(outline)};
    }
    if (peek() == BAR) {
        shift();
        std::string name = take_name("a configuration name after '|'");
        outline.kind = TermOutline::Kind::CONFIGURATION;
        outline.name = _last;
        expect(BAR, "'|' after the configuration name");
        outline.whole = joined(start, _last);
        trace("Reducing configuration " + name);
        TermPtr configuration = local_term(outline.kind, name, outline.name);
        return {std::move(configuration), std::move(outline)};
    }
    std::string name = take_name(expected);
    outline.name = _last;
    if (peek() == LSB) {
        if (_depth >= max_term_depth) fail_nested();
        shift();
        ++_depth;
        TermsBuilt args = terms();
        expect(RSB, "')' or ','");
        --_depth;
        outline.kind = TermOutline::Kind::FUNCTION;
        outline.whole = joined(start, _last);
        outline.args = std::move(args.outlines);
        trace("Reducing function " + name);
        return {function_term(name, std::move(args.terms)), std::move(outline)};
    }
    if (peek() == LMB) {
        shift();
        expect(RMB, "']' after '[': a constant is written name[]");
        outline.kind = TermOutline::Kind::CONSTANT;
        outline.whole = joined(start, _last);
        trace("Reducing constant " + name);
        return {TermPtr(indexer.constant(name)), std::move(outline)};
    }
    outline.kind = TermOutline::Kind::VARIABLE;
    outline.whole = outline.name;
    trace("Reducing variable " + name);
    TermPtr variable = local_term(outline.kind, name, outline.name);
    return {std::move(variable), std::move(outline)};
}

// terms: [ term { "," term } ]
TermsBuilt Parser::terms() {
    TermsBuilt list;
    if (peek() != NAME && peek() != LMB && peek() != BAR) return list;
    for (;;) {
        TermBuilt built = term("a term after ','");
        list.terms.push_back(std::move(built.value));
        list.outlines.push_back(std::move(built.outline));
        if (peek() != COMMA) return list;
        shift();
    }
}

// states: [ state { "," state } ]
std::vector<StateBuilt> Parser::states() {
    std::vector<StateBuilt> list;
    if (peek() != NAME) return list;
    for (;;) {
        list.push_back(state("a state after ','"));
        if (peek() != COMMA) return list;
        shift();
    }
}

TermsBuilt Parser::named_arguments(const char* expected, const char* open, const Span& start,
                                   FactOutline& outline, std::string& name) {
    name = take_name(expected);
    outline.name = _last;
    expect(LSB, open);
    TermsBuilt args = terms();
    expect(RSB, "')' or ','");
    outline.whole = joined(start, _last);
    outline.args = std::move(args.outlines);
    return args;
}

// state: NAME "(" terms ")"
StateBuilt Parser::state(const char* expected) {
    FactOutline outline;
    outline.kind = FactOutline::Kind::STATE;
    Span start = here();
    std::string name;
    TermsBuilt args = named_arguments(expected, "'(' after the state name", start, outline, name);
    trace("Reducing state " + name);
    StatePtr built = state_fact(name, std::move(args.terms), outline, _report);
    return {std::move(built), std::move(outline)};
}

// conversion: "<" state "," state ">" | "<" "," state ">"
// Answers the target state and the source state, if any.
std::pair<StateBuilt, std::optional<StateBuilt>> Parser::conversion() {
    expect(LAB, "a conversion: '<' source state ',' target state '>'");
    std::optional<StateBuilt> from;
    if (peek() == COMMA) {
        shift();
    } else {
        from = state("the source state, or ',' for a new process");
        expect(COMMA, "',' between the source and the target state");
    }
    StateBuilt to = state("the target state");
    expect(RAB, "'>' after the target state");
    return {std::move(to), std::move(from)};
}

}  // namespace vorn::grammar
