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
    bool enabled(WarningId id) const { return !_silent && _on[index(id)]; }
    // Whether warning `id` is shown as an error.
    bool is_error(WarningId id) const {
        return _error[index(id)] == ErrorChoice::YES || (_errors && _error[index(id)] == ErrorChoice::DEFAULT);
    }
    // Whether any warning may be shown as an error.
    bool any_errors() const;
    // Applies, as GCC does: "-w" (no warnings at all), "-Werror" (every
    // warning an error), "-WNAME" and "-Wno-NAME" (on or off),
    // "-Werror=NAME" (on, and an error), "-Wno-error=NAME" (not an error,
    // even under -Werror), "-Wall" (every warning that is on by default) and
    // "-Wextra" (the others). For one NAME the last option wins. Answers an
    // error line for an unknown option or name, "" otherwise.
    std::string apply(const std::string& argument);
    // Whether the argument is one of the above (well formed or not).
    static bool is_warning_option(const std::string& argument);

private:
    enum class ErrorChoice : unsigned char { DEFAULT, YES, NO };
    static size_t index(WarningId id) { return static_cast<size_t>(id); }

    std::bitset<static_cast<size_t>(WarningId::COUNT)> _on;
    ErrorChoice _error[static_cast<size_t>(WarningId::COUNT)] = {};
    bool _silent = false;
    bool _errors = false;
};

// A diagnostic of warning `id`; an error when the settings make it one.
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
// The part of unproduced_requirements about knowledge premises.
std::vector<Diagnostic> unproduced_knowledge(const Outline& outline);
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
