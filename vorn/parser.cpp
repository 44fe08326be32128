#include "vorn/parser.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

#include "common/runtime.h"
#include "symbolic/configuration.h"
#include "symbolic/constant.h"
#include "symbolic/event.h"
#include "symbolic/fact.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/nonce.h"
#include "symbolic/variable.h"
#include "vorn/lexer.h"

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

constexpr int NO_TOKEN = -2;

void trace(const std::string& text) {
    if (yydebug) std::cerr << text << std::endl;
}

// --- Actions -----------------------------------------------------------------

void declaration(const std::string& name, std::vector<bool> flags) {
    if (decls.count(name)) throw common::UserError("yyparse", name + " already declared");
    decls.emplace(name, std::move(flags));
}

const std::vector<bool>& declared(const std::string& name, const char* kind) {
    auto found = decls.find(name);
    if (found == decls.end()) throw common::UserError("yyparse", name + " " + kind + " not declared");
    return found->second;
}

void check_arity(const std::string& name, const char* kind, const Terms& args, const std::vector<bool>& flags) {
    if (args.size() > flags.size())
        throw common::UserError("yyparse", name + " " + kind + " has more arguments than declared");
}

FactPtr know_fact(TermPtr term) {
    FactPtr fact(indexer.know(term.get()));
    term.release();
    return fact;
}

FactPtr event_fact(const std::string& name, Terms args) {
    std::unique_ptr<sym::Event> event(indexer.event(name));
    const std::vector<bool>& flags = declared(name, "event");
    check_arity(name, "event", args, flags);
    // append takes the term over even when it refuses it.
    for (size_t i = 0; i < args.size(); ++i) event->append(flags[i], args[i].release());
    return event;
}

StatePtr state_fact(const std::string& name, Terms args) {
    StatePtr state(indexer.state(name));
    const std::vector<bool>& flags = declared(name, "state");
    check_arity(name, "state", args, flags);
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
    void all();

private:
    int peek();
    void shift();
    void expect(int token);
    std::string take_name();
    [[noreturn]] void fail(const char* message = "syntax error");

    void decl();
    void rule();
    std::vector<FactPtr> facts();
    FactPtr fact();
    TermPtr term();
    Terms terms();
    std::vector<StatePtr> states();
    StatePtr state();
    std::pair<StatePtr, StatePtr> conversion();
    void access_query();

    int _lookahead = NO_TOKEN;
    int _depth = 0;
};

// The lookahead token, scanning it if none is pending.
int Parser::peek() {
    if (_lookahead == NO_TOKEN) {
        _lookahead = yylex();
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

void Parser::shift() {
    trace(std::string("Shifting ") + token_name(_lookahead));
    _lookahead = NO_TOKEN;
}

void Parser::expect(int token) {
    if (peek() != token) fail();
    shift();
}

// Shifts a NAME and returns its text, which the next scan would overwrite.
std::string Parser::take_name() {
    if (peek() != NAME) fail();
    std::string name = yylval.name;
    shift();
    return name;
}

void Parser::fail(const char* message) {
    trace(std::string("Error: ") + message);
    throw SyntaxError(message, line, col);
}

// all: decls rules accesses $end
void Parser::all() {
    trace("Starting parse");
    while (peek() == DECL) decl();
    while (peek() == RCONST || peek() == RTRANS) rule();
    while (peek() == ACCESS) access_query();
    if (peek() != END) fail();
    trace("Accepted");
}

// decl: "$" NAME "(" ids ")" ";"   where an id is NAME or "*" NAME
void Parser::decl() {
    shift();
    std::string name = take_name();
    expect(LSB);
    std::vector<bool> flags;
    if (peek() == STAR || peek() == NAME) {
        for (;;) {
            bool key = peek() == STAR;
            if (key) shift();
            take_name();
            flags.push_back(key);
            if (peek() != COMMA) break;
            shift();
            if (peek() != STAR && peek() != NAME) fail();
        }
    }
    expect(RSB);
    expect(SEMICOLON);
    trace("Reducing decl " + name);
    declaration(name, std::move(flags));
}

// rule: "!" facts "-[" states "]->" fact ";"
//     | "?" facts "-[" states "]->" conversion { "," conversion } ";"
void Parser::rule() {
    bool consistent = peek() == RCONST;
    // The "!" or "?" has just been scanned: it is one character before the offset.
    RuleSource source;
    source.line = line;
    size_t start = scan_offset() - 1;
    shift();
    std::vector<FactPtr> premises = facts();
    expect(TAIL);
    std::vector<StatePtr> held = states();
    expect(ARROW);
    if (consistent) {
        FactPtr conclusion = fact();
        expect(SEMICOLON);
        trace("Reducing consistent rule");
        source.text = scanned_text(start, scan_offset());
        const_rule(std::move(premises), std::move(held), std::move(conclusion), std::move(source));
        return;
    }
    std::vector<std::pair<StatePtr, StatePtr>> conversions;
    for (;;) {
        conversions.push_back(conversion());
        if (peek() != COMMA) break;
        shift();
    }
    expect(SEMICOLON);
    trace("Reducing transfer rule");
    source.text = scanned_text(start, scan_offset());
    trans_rule(std::move(premises), std::move(held), std::move(conversions), std::move(source));
}

// facts: [ fact { "," fact } ]
std::vector<FactPtr> Parser::facts() {
    std::vector<FactPtr> list;
    if (peek() != KNOW && peek() != NAME) return list;
    for (;;) {
        list.push_back(fact());
        if (peek() != COMMA) return list;
        shift();
    }
}

// fact: "k" "(" term ")" | NAME "(" terms ")"
FactPtr Parser::fact() {
    if (peek() == KNOW) {
        shift();
        expect(LSB);
        TermPtr known = term();
        expect(RSB);
        trace("Reducing know fact");
        return know_fact(std::move(known));
    }
    std::string name = take_name();
    expect(LSB);
    Terms args = terms();
    expect(RSB);
    trace("Reducing event fact " + name);
    return event_fact(name, std::move(args));
}

// term: NAME "(" terms ")" | "[" NAME "]" | NAME "[" "]" | "|" NAME "|" | NAME
TermPtr Parser::term() {
    if (peek() == LMB) {
        shift();
        std::string name = take_name();
        expect(RMB);
        trace("Reducing nonce " + name);
        return TermPtr(indexer.nonce(name));
    }
    if (peek() == BAR) {
        shift();
        std::string name = take_name();
        expect(BAR);
        trace("Reducing configuration " + name);
        return TermPtr(indexer.configuration(name));
    }
    std::string name = take_name();
    if (peek() == LSB) {
        if (_depth >= max_term_depth) fail("term nested too deeply");
        shift();
        ++_depth;
        Terms args = terms();
        expect(RSB);
        --_depth;
        trace("Reducing function " + name);
        return function_term(name, std::move(args));
    }
    if (peek() == LMB) {
        shift();
        expect(RMB);
        trace("Reducing constant " + name);
        return TermPtr(indexer.constant(name));
    }
    trace("Reducing variable " + name);
    return TermPtr(indexer.variable(name));
}

// terms: [ term { "," term } ]
Terms Parser::terms() {
    Terms list;
    if (peek() != NAME && peek() != LMB && peek() != BAR) return list;
    for (;;) {
        list.push_back(term());
        if (peek() != COMMA) return list;
        shift();
    }
}

// states: [ state { "," state } ]
std::vector<StatePtr> Parser::states() {
    std::vector<StatePtr> list;
    if (peek() != NAME) return list;
    for (;;) {
        list.push_back(state());
        if (peek() != COMMA) return list;
        shift();
    }
}

// state: NAME "(" terms ")"
StatePtr Parser::state() {
    std::string name = take_name();
    expect(LSB);
    Terms args = terms();
    expect(RSB);
    trace("Reducing state " + name);
    return state_fact(name, std::move(args));
}

// conversion: "<" state "," state ">" | "<" "," state ">"
std::pair<StatePtr, StatePtr> Parser::conversion() {
    expect(LAB);
    StatePtr from;
    if (peek() == COMMA) {
        shift();
    } else {
        from = state();
        expect(COMMA);
    }
    StatePtr to = state();
    expect(RAB);
    return {std::move(from), std::move(to)};
}

// access: "%" state "*" ( "true" | "false" ) ";"
void Parser::access_query() {
    shift();
    StatePtr queried = state();
    expect(STAR);
    bool reusable = peek() == TRUE;
    if (!reusable && peek() != FALSE) fail();
    shift();
    expect(SEMICOLON);
    trace("Reducing access query");
    access(std::move(queried), reusable);
}

}  // namespace

void parse_model() {
    Parser parser;
    parser.all();
}

int yyparse() {
    try {
        parse_model();
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
}

}  // namespace vorn
