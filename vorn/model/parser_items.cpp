#include "vorn/model/parser_grammar.h"

#include <sstream>

#include "common/runtime.h"
#include "vorn/model/lexer.h"
#include "vorn/model/model_errors.h"

namespace vorn::grammar {

namespace {

// Builds the rule; a model error is shown located at the rule before it leaves.
template <class Build>
void build_rule(const RuleOutline& outline, const DiagnosticSink& report, Build build) {
    try {
        build();
    } catch (const common::UserError& error) {
        located(report, rule_error(model_outline, outline, error));
        throw;
    }
}

}  // namespace

// The lookahead token, scanning it if none is pending.
int Parser::peek() {
    if (_lookahead == NO_TOKEN) {
        _lookahead = yylex();
        _lookahead_span = token_span;
        if (yydebug) {
            std::ostringstream os;
            os << "Next token is " << token_name(_lookahead);
            if (_lookahead == NAME) os << " (" << yylval.name << ")";
            os << " at line " << line << " col " << col;
            trace(os.str());
        }
    }
    return _lookahead;
}

Span Parser::here() {
    peek();
    return _lookahead_span;
}

void Parser::shift() {
    trace(std::string("Shifting ") + token_name(_lookahead));
    _last = _lookahead_span;
    _lookahead = NO_TOKEN;
}

void Parser::expect(int token, const char* expected) {
    if (peek() != token) fail(expected);
    shift();
}

// Shifts a NAME and returns its text, which the next scan would overwrite.
std::string Parser::take_name(const char* expected) {
    if (peek() != NAME) fail(expected);
    std::string name = yylval.name;
    shift();
    return name;
}

void Parser::fail(const char* expected) {
    trace("Error: syntax error");
    located(_report, syntax_error(model_outline, _lookahead, _lookahead_span, expected, _last));
    throw SyntaxError("syntax error", line, col);
}

void Parser::fail_misplaced(const char* message) {
    trace("Error: syntax error");
    located(_report, misplaced_item(_lookahead_span, message));
    throw SyntaxError("syntax error", line, col);
}

void Parser::fail_nested() {
    const char* message = "term nested too deeply";
    trace(std::string("Error: ") + message);
    located(_report, nested_too_deeply(_lookahead_span, max_term_depth));
    throw SyntaxError(message, line, col);
}

// all: decls rules accesses $end
void Parser::all() {
    trace("Starting parse");
    while (peek() == DECL) decl();
    while (peek() == RCONST || peek() == RTRANS) {
        rule();
        _seen_rule = true;
    }
    // The access queries share one name table.
    _locals.clear();
    _in_queries = true;
    while (peek() == ACCESS) {
        access_query();
        _seen_query = true;
    }
    if (peek() != END) {
        if (peek() == DECL && (_seen_rule || _seen_query))
            fail_misplaced("a declaration after the rules: every declaration comes before the first rule");
        if ((peek() == RCONST || peek() == RTRANS) && _seen_query)
            fail_misplaced("a rule after the access queries: the access queries come last");
        fail("'$', '!', '?' or '%' to start an item");
    }
    trace("Accepted");
}

// decl: "$" NAME "(" ids ")" ";"   where an id is NAME or "*" NAME
void Parser::decl() {
    DeclOutline outline;
    Span start = here();
    shift();
    std::string name = take_name("the declared name");
    outline.name = _last;
    expect(LSB, "'(' after the declared name");
    std::vector<bool> flags;
    if (peek() == STAR || peek() == NAME) {
        for (;;) {
            bool key = peek() == STAR;
            Span position = here();
            if (key) shift();
            take_name("a position name");
            outline.positions.push_back(joined(position, _last));
            flags.push_back(key);
            if (peek() != COMMA) break;
            shift();
            if (peek() != STAR && peek() != NAME) fail("a position name after ','");
        }
    }
    expect(RSB, "')' or ','");
    expect(SEMICOLON, "';' after the declaration");
    outline.whole = joined(start, _last);
    outline.starred = flags;
    trace("Reducing decl " + name);
    declaration(name, std::move(flags), std::move(outline), _report);
}

// rule: "!" facts "-[" states "]->" fact ";"
//     | "?" facts "-[" states "]->" conversion { "," conversion } ";"
void Parser::rule() {
    bool consistent = peek() == RCONST;
    RuleOutline outline;
    outline.transfer = !consistent;
    outline.marker = here();
    // The "!" or "?" has just been scanned: it is one character before the offset.
    RuleSource source;
    source.line = line;
    size_t start = scan_offset() - 1;
    shift();
    _locals.clear();
    std::vector<FactPtr> premises;
    for (FactBuilt& premise : facts()) {
        premises.push_back(std::move(premise.value));
        outline.premises.push_back(std::move(premise.outline));
    }
    expect(TAIL, "'-[' before the states");
    std::vector<StatePtr> held;
    for (StateBuilt& state : states()) {
        held.push_back(std::move(state.value));
        outline.states.push_back(std::move(state.outline));
    }
    expect(ARROW, "']->' after the states");
    if (consistent) {
        FactBuilt conclusion = fact("the conclusion: k(...) or an event");
        outline.conclusion = std::move(conclusion.outline);
        expect(SEMICOLON, "';' after the conclusion");
        outline.whole = joined(outline.marker, _last);
        trace("Reducing consistent rule");
        source.text = scanned_text(start, scan_offset());
        build_rule(outline, _report, [&] {
            const_rule(std::move(premises), std::move(held), std::move(conclusion.value), std::move(source));
        });
        model_outline.rules.push_back(std::move(outline));
        return;
    }
    std::vector<std::pair<StatePtr, StatePtr>> conversions;
    for (;;) {
        Span begin = here();
        auto [to, from] = conversion();
        ConversionOutline converted;
        if (from) converted.from = std::move(from->outline);
        converted.to = std::move(to.outline);
        converted.whole = joined(begin, _last);
        outline.conversions.push_back(std::move(converted));
        conversions.emplace_back(from ? std::move(from->value) : nullptr, std::move(to.value));
        if (peek() != COMMA) break;
        shift();
    }
    expect(SEMICOLON, "';' or ',' after the conversion");
    outline.whole = joined(outline.marker, _last);
    trace("Reducing transfer rule");
    source.text = scanned_text(start, scan_offset());
    build_rule(outline, _report, [&] {
        trans_rule(std::move(premises), std::move(held), std::move(conversions), std::move(source));
    });
    // The engine's warnings about a step find it by its place among the rules.
    raw_trans_rules.back()->set_source(model_outline.rules.size() + 1);
    model_outline.rules.push_back(std::move(outline));
}

// access: "%" state "*" ( "true" | "false" ) ";"
void Parser::access_query() {
    QueryOutline outline;
    Span start = here();
    shift();
    StateBuilt queried = state("the queried state");
    expect(STAR, "'*' after the queried state");
    bool reusable = peek() == TRUE;
    if (!reusable && peek() != FALSE) fail("'true' or 'false' after '*'");
    shift();
    expect(SEMICOLON, "';' after the access query");
    outline.state = std::move(queried.outline);
    outline.reusable = reusable;
    outline.whole = joined(start, _last);
    trace("Reducing access query");
    access(std::move(queried.value), reusable);
    model_outline.queries.push_back(std::move(outline));
}

}  // namespace vorn::grammar
