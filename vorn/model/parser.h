#pragma once

#include <functional>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "symbolic/indexer.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "vorn/model/diagnostics.h"
#include "vorn/model/outline.h"

namespace vorn {

// What the parser builds from the model file.
// Declared name -> one flag per argument position, true for a starred one.
extern std::map<std::string, std::vector<bool>> decls;
// Name table of the rule being read; cleared after each rule.
extern sym::Indexer indexer;
// Validated rules in file order; the lists own them until the engine takes them.
extern std::list<sym::StateConstRule*> raw_const_rules;
extern std::list<sym::StateTransRule*> raw_trans_rules;
// Where each rule of the lists above was written, in the same order: the line
// of its "!" or "?" and its text up to its ";" as it stands in the model.
struct RuleSource {
    int line = 0;
    std::string text;
};
extern std::vector<RuleSource> raw_const_sources;
extern std::vector<RuleSource> raw_trans_sources;
// Access queries in file order: the queried state (owned) and whether several
// processes may match it.
extern std::vector<std::pair<sym::State*, bool>> raw_accessable_states;

// The model as written, with the place of every piece, in file order; its
// spans point into the scanner's input.
extern Outline model_outline;

// Parse trace on standard error when non-zero.
extern int yydebug;

// Function terms may nest at most this deep (one directly inside a fact is at depth 1).
constexpr int max_term_depth = 1000;

// Input the grammar does not accept. Raised at the first token that fits no
// production, with the scanner's position after that token. It is not one of
// the reported exceptions: yyparse turns it into its message and ends the process.
class SyntaxError {
public:
    SyntaxError(std::string message, int line, int col);
    // "Error - " message " on line " L " col " C "."
    std::string string() const;
    const std::string& message() const { return _message; }

private:
    std::string _message;
    int _line;
    int _col;
};

// Receives the located form of an error just before it is raised.
using DiagnosticSink = std::function<void(const Diagnostic&)>;

// Parses the scanner's input into the globals above. Model errors raise the
// exceptions of common/ and syntax errors raise SyntaxError; whatever was
// partly built when that happens is freed. Each error is first shown to
// `report`, if set, in its located form.
void parse_model(const DiagnosticSink& report = {});

// Runs parse_model; on a syntax error prints its line, frees the globals and
// ends the process with status -1. Returns 0 when the input is accepted.
int yyparse(const DiagnosticSink& report = {});

// Deletes every rule and query state the globals still hold and empties them.
void release_model();

}  // namespace vorn
