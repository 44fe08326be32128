#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "symbolic/fact.h"
#include "symbolic/state.h"
#include "symbolic/term.h"
#include "vorn/model/parser.h"

// Shared by the parser's sources (parser.cpp: the globals and the actions;
// parser_items.cpp: the tokens, declarations, rules and access queries;
// parser_terms.cpp: facts, states and terms). Not for use outside the parser.
//
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

namespace vorn::grammar {

using TermPtr = std::unique_ptr<sym::Term, sym::TermRelease>;
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

void trace(const std::string& text);
// Shows the located form of an error about to be raised.
void located(const DiagnosticSink& report, const Diagnostic& diagnostic);

// The actions of the productions: each builds its piece of the model into
// the parser's globals (parser.cpp). A model error is shown to `report`
// located before it is raised.
void declaration(const std::string& name, std::vector<bool> flags, DeclOutline outline, const DiagnosticSink& report);
FactPtr know_fact(TermPtr term);
FactPtr event_fact(const std::string& name, Terms args, const FactOutline& where, const DiagnosticSink& report);
StatePtr state_fact(const std::string& name, Terms args, const FactOutline& where, const DiagnosticSink& report);
TermPtr function_term(const std::string& name, Terms args);
void const_rule(std::vector<FactPtr> premises, std::vector<StatePtr> states, FactPtr conclusion,
                RuleSource source);
void trans_rule(std::vector<FactPtr> premises, std::vector<StatePtr> states,
                std::vector<std::pair<StatePtr, StatePtr>> conversions, RuleSource source);
void access(StatePtr state, bool reusable);

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

}  // namespace vorn::grammar
