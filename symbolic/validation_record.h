#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "symbolic/srule.h"

namespace sym {

// What validation did to a rule's states and premises: enough for an
// observer to follow each state and premise of the rules an operation starts
// from to the rule it makes (the record of how each rule was made). The
// states validation kept are the rule's own when it is shown.
struct Validation {
    // Each folded state's SID with the SID of the state it was folded into,
    // in the order of folding; the latter may be folded in its turn.
    const std::vector<std::pair<size_t, size_t>>& folds;
    // Pairs (premise after validation, position of a premise before it that
    // it stands for), ascending: a premise stands for several when
    // duplicates were merged.
    const std::vector<std::pair<size_t, size_t>>& premises;
};

// Shown every rule that validation accepts, with what validation did to it,
// before the rule is renamed apart. Unset, validation records nothing.
// Single-threaded, like the rest of the library.
class ValidationRecorder {
public:
    virtual ~ValidationRecorder() = default;
    virtual void validated(const StateRule* rule, const Validation& validation) = 0;
    // Before validating a rule it builds, a transfer tells, for each
    // conversion in order, the chosen process and the final rule's states it
    // replaced, and the SID of the copy of its source state
    // (StateRule::NONSELECTABLE for a creating conversion).
    virtual void converted(const StateRule* /*rule*/, const StateRule::ConversionMap& /*replaced*/,
                           const std::vector<size_t>& /*sources*/) {}
};

extern ValidationRecorder* current_validation_recorder;

// Installs a recorder while alive; the previous one is restored afterwards.
class ValidationRecorderScope {
public:
    explicit ValidationRecorderScope(ValidationRecorder* recorder) : _previous(current_validation_recorder) {
        current_validation_recorder = recorder;
    }
    ~ValidationRecorderScope() { current_validation_recorder = _previous; }
    ValidationRecorderScope(const ValidationRecorderScope&) = delete;
    ValidationRecorderScope& operator=(const ValidationRecorderScope&) = delete;

private:
    ValidationRecorder* _previous;
};

}  // namespace sym
