#pragma once

#include <bitset>
#include <string>
#include <vector>

#include "vorn/model/diagnostics.h"
#include "vorn/model/outline.h"

namespace vorn {

// Warnings about likely modelling mistakes. Each has a short name, shown in
// brackets after the message and used by -Wno-NAME to turn it off.
enum class WarningId {
    UNKNOWN_CHARACTER,
    MISSING_TRANSFER_RULE,
    UNUSED_DECLARATION,
    MISSPELLING,
    MIXED_ARITY,
    UNPRODUCED,
    UNMATCHED_QUERY,
    PARTIAL_STEP,
    COUNT
};

struct WarningInfo {
    WarningId id;
    const char* name;
    // What it reports, in a few words (for --help).
    const char* summary;
    // Whether it is shown without -WNAME.
    bool by_default;
};

// Every warning, in the order --help lists them.
const std::vector<WarningInfo>& warning_table();
const char* warning_name(WarningId id);

// Which warnings are shown, and whether they count as errors.
class WarningSettings {
public:
    WarningSettings();
    bool enabled(WarningId id) const { return !_silent && _on[static_cast<size_t>(id)]; }
    bool as_errors() const { return _errors; }
    // Applies "-w" (no warnings), "-Werror", "-WNAME" or "-Wno-NAME"; the last
    // of -WNAME and -Wno-NAME wins. Answers an error line for an unknown
    // option or name, "" otherwise.
    std::string apply(const std::string& argument);
    // Whether the argument is one of the above (well formed or not).
    static bool is_warning_option(const std::string& argument);

private:
    std::bitset<static_cast<size_t>(WarningId::COUNT)> _on;
    bool _silent = false;
    bool _errors = false;
};

// A diagnostic of warning `id`; with -Werror it is an error.
Diagnostic warning(WarningId id, const WarningSettings& settings, std::optional<Span> span, std::string message);

// The warnings about a parsed model, except the scanner's, each only when it
// is enabled: first those about the whole model, then the others in the order
// of the text.
std::vector<Diagnostic> model_warnings(const Outline& outline, const WarningSettings& settings,
                                       bool has_transfer_rules);

// The checks one by one (for the tests), regardless of the settings.
std::vector<Diagnostic> unused_declarations(const Outline& outline);
std::vector<Diagnostic> misspellings(const Outline& outline);
std::vector<Diagnostic> mixed_arities(const Outline& outline);
std::vector<Diagnostic> unproduced_requirements(const Outline& outline);
std::vector<Diagnostic> unmatched_queries(const Outline& outline);
std::vector<Diagnostic> partial_steps(const Outline& outline);

// Term and fact matching on the written model, with every variable and
// configuration taken as matching anything (a variable's other occurrences
// are not consulted, so the answers lean towards "may").
bool may_unify(const Outline& outline, const TermOutline& a, const TermOutline& b);
bool may_unify(const Outline& outline, const FactOutline& a, const FactOutline& b);
// Whether `general` may be instantiated to `specific`: a final rule's state
// matches a queried state only so.
bool may_generalize(const Outline& outline, const TermOutline& general, const TermOutline& specific);
bool may_generalize(const Outline& outline, const FactOutline& general, const FactOutline& specific);

}  // namespace vorn
