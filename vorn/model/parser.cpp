#include "vorn/model/parser.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/event.h"
#include "symbolic/fact.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/nonce.h"
#include "symbolic/variable.h"
#include "vorn/model/lexer.h"
#include "vorn/model/model_errors.h"

// The parser is recursive descent over the model grammar, written so that it
// reads tokens and runs its actions exactly where an LALR(1) parser of the
// grammar (with default reductions) would:
// - a construct ending in ")", "]", "|" or ";" is built as soon as that token
//   is read, before the next token is scanned;
// - a bare variable is built once the following token has been read and is
//   neither "(" nor "[";
// - an optional list ends at the first token that cannot continue it, and that
//   token is only judged by what comes after the list.
// This fixes when the name table issues identifiers, when the scanner reports
// unknown characters, and which token a syntax error is reported at.

namespace vorn {

std::map<std::string, std::vector<bool>> decls;
sym::Indexer indexer;
std::list<sym::StateConstRule*> raw_const_rules;
std::list<sym::StateTransRule*> raw_trans_rules;
std::vector<RuleSource> raw_const_sources;
std::vector<RuleSource> raw_trans_sources;
std::vector<std::pair<sym::State*, bool>> raw_accessable_states;
Outline model_outline;
int yydebug = 0;

SyntaxError::SyntaxError(std::string message, int line, int col)
    : _message(std::move(message)), _line(line), _col(col) {}

std::string SyntaxError::string() const {
    std::ostringstream os;
    os << "Error - " << _message << " on line " << _line << " col " << _col << ".";
    return os.str();
}

namespace {

using TermPtr = std::unique_ptr<sym::Term>;
using FactPtr = std::unique_ptr<sym::Fact>;
using StatePtr = std::unique_ptr<sym::State>;
using Terms = std::vector<TermPtr>;

// What the grammar's functions hand up: the object built and its outline.
template <class T, class O>
struct Built {
    T value;
    O outline;
};
using TermBuilt = Built<TermPtr, TermOutline>;
using FactBuilt = Built<FactPtr, FactOutline>;
using StateBuilt = Built<StatePtr, FactOutline>;
struct TermsBuilt {
    Terms terms;
    std::vector<TermOutline> outlines;
};

constexpr int NO_TOKEN = -2;

void trace(const std::string& text) {
    if (yydebug) std::cerr << text << std::endl;
}

// Shows the located form of an error about to be raised.
void located(const DiagnosticSink& report, const Diagnostic& diagnostic) {
    if (report) report(diagnostic);
}

// --- Actions -----------------------------------------------------------------

void declaration(const std::string& name, std::vector<bool> flags, DeclOutline outline, const DiagnosticSink& report) {
    if (decls.count(name)) {
        located(report, redeclared(model_outline, outline.name));
        throw common::UserError("yyparse", name + " already declared");
    }
    decls.emplace(name, std::move(flags));
    model_outline.add_declaration(std::move(outline));
}

const std::vector<bool>& declared(const std::string& name, const char* kind, const FactOutline& where,
                                  const DiagnosticSink& report) {
    auto found = decls.find(name);
    if (found == decls.end()) {
        located(report, undeclared(model_outline, where));
        throw common::UserError("yyparse", name + " " + kind + " not declared");
    }
    return found->second;
}

void check_arity(const std::string& name, const char* kind, const Terms& args, const std::vector<bool>& flags,
                 const FactOutline& where, const DiagnosticSink& report) {
    if (args.size() > flags.size()) {
        located(report, too_many_arguments(model_outline, where));
        throw common::UserError("yyparse", name + " " + kind + " has more arguments than declared");
    }
}

FactPtr know_fact(TermPtr term) {
    FactPtr fact(indexer.know(term.get()));
    term.release();
    return fact;
}

FactPtr event_fact(const std::string& name, Terms args, const FactOutline& where, const DiagnosticSink& report) {
    std::unique_ptr<sym::Event> event(indexer.event(name));
    const std::vector<bool>& flags = declared(name, "event", where, report);
    check_arity(name, "event", args, flags, where, report);
    // append takes the term over even when it refuses it.
    for (size_t i = 0; i < args.size(); ++i) {
        try {
            event->append(flags[i], args[i].release());
        } catch (const common::UserError&) {
            located(report, not_a_nonce(model_outline, where, i));
            throw;
        }
    }
    return event;
}

StatePtr state_fact(const std::string& name, Terms args, const FactOutline& where, const DiagnosticSink& report) {
    StatePtr state(indexer.state(name));
    const std::vector<bool>& flags = declared(name, "state", where, report);
    check_arity(name, "state", args, flags, where, report);
    for (size_t i = 0; i < args.size(); ++i) {
        state->append(flags[i], args[i].get());
        args[i].release();
    }
    return state;
}

TermPtr function_term(const std::string& name, Terms args) {
    std::unique_ptr<sym::Function> function(indexer.function(name));
    for (TermPtr& arg : args) {
        function->append(arg.get());
        arg.release();
    }
    return function;
}

void add_body(sym::StateRule& rule, std::vector<FactPtr>& premises, std::vector<StatePtr>& states) {
    for (FactPtr& premise : premises) {
        rule.add_predicate(premise.get());
        premise.release();
    }
    for (StatePtr& state : states) {
        rule.add_state(state.get());
        state.release();
    }
}

void validate(sym::StateRule& rule) {
    if (!rule.try_validate()) throw common::UserError("yyparse", "raw rule is not valid");
}

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

void const_rule(std::vector<FactPtr> premises, std::vector<StatePtr> states, FactPtr conclusion,
                RuleSource source) {
    auto rule = std::make_unique<sym::StateConstRule>(conclusion.get());
    conclusion.release();
    add_body(*rule, premises, states);
    validate(*rule);
    raw_const_sources.push_back(std::move(source));
    raw_const_rules.push_back(rule.get());
    rule.release();
    indexer.clear();
}

void trans_rule(std::vector<FactPtr> premises, std::vector<StatePtr> states,
                std::vector<std::pair<StatePtr, StatePtr>> conversions, RuleSource source) {
    auto rule = std::make_unique<sym::StateTransRule>();
    add_body(*rule, premises, states);
    for (auto& [from, to] : conversions) {
        rule->add_conversion(from.get(), to.get());
        from.release();
        to.release();
    }
    validate(*rule);
    raw_trans_sources.push_back(std::move(source));
    raw_trans_rules.push_back(rule.get());
    rule.release();
    indexer.clear();
}

void access(StatePtr state, bool reusable) {
    raw_accessable_states.emplace_back(state.get(), reusable);
    state.release();
}

// --- Grammar -----------------------------------------------------------------

class Parser {
public:
    explicit Parser(const DiagnosticSink& report) : _report(report) {}
    void all();

private:
    int peek();
    // The place of the lookahead token (scanning it if none is pending).
    Span here();
    void shift();
    void expect(int token, const char* expected);
    std::string take_name(const char* expected);
    [[noreturn]] void fail(const char* expected);
    [[noreturn]] void fail_nested();
    [[noreturn]] void fail_misplaced(const char* message);

    void decl();
    void rule();
    std::vector<FactBuilt> facts();
    FactBuilt fact(const char* expected);
    TermBuilt term(const char* expected);
    TermPtr local_term(TermOutline::Kind kind, const std::string& name, const Span& span);
    TermsBuilt terms();
    // NAME "(" terms ")" of an event or a state: the name into `name`, the
    // places into `outline`; the terms are the caller's to build the fact of.
    TermsBuilt named_arguments(const char* expected, const char* open, const Span& start, FactOutline& outline,
                               std::string& name);
    std::vector<StateBuilt> states();
    StateBuilt state(const char* expected);
    std::pair<StateBuilt, std::optional<StateBuilt>> conversion();
    void access_query();

    const DiagnosticSink& _report;
    int _lookahead = NO_TOKEN;
    Span _lookahead_span;
    // The last token shifted.
    Span _last;
    int _depth = 0;
    // Where items of each part have been read, to word a misplaced item.
    bool _seen_rule = false;
    bool _seen_query = false;
    bool _in_queries = false;
    // The first use of each rule-local name in the current rule (in the access
    // queries, of all of them), to point at it when a later use clashes.
    std::unordered_map<std::string_view, std::pair<TermOutline::Kind, Span>> _locals;
};

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
    model_outline.rules.push_back(std::move(outline));
}

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

}  // namespace

void parse_model(const DiagnosticSink& report) {
    model_outline.clear();
    model_outline.source = scanned_input();
    Parser parser(report);
    parser.all();
}

int yyparse(const DiagnosticSink& report) {
    try {
        parse_model(report);
    } catch (const SyntaxError& error) {
        release_model();
        std::cout << error.string() << std::endl;
        std::exit(-1);
    }
    return 0;
}

void release_model() {
    for (sym::StateConstRule* rule : raw_const_rules) delete rule;
    raw_const_rules.clear();
    for (sym::StateTransRule* rule : raw_trans_rules) delete rule;
    raw_trans_rules.clear();
    raw_const_sources.clear();
    raw_trans_sources.clear();
    for (auto& query : raw_accessable_states) delete query.first;
    raw_accessable_states.clear();
    decls.clear();
    indexer.clear();
    model_outline.clear();
}

}  // namespace vorn
