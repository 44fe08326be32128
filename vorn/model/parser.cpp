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
#include "vorn/model/parser_grammar.h"

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

namespace grammar {

void trace(const std::string& text) {
    if (yydebug) std::cerr << text << std::endl;
}

void located(const DiagnosticSink& report, const Diagnostic& diagnostic) {
    if (report) report(diagnostic);
}

// --- Actions -----------------------------------------------------------------

namespace {

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

}  // namespace

void declaration(const std::string& name, std::vector<bool> flags, DeclOutline outline, const DiagnosticSink& report) {
    if (decls.count(name)) {
        located(report, redeclared(model_outline, outline.name));
        throw common::UserError("yyparse", name + " already declared");
    }
    decls.emplace(name, std::move(flags));
    model_outline.add_declaration(std::move(outline));
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
    return TermPtr(function.release());
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

}  // namespace grammar

using grammar::Parser;

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
