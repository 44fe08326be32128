#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace sym {

class StateRule;

// What validation did to a rule's states and premises: enough for an
// observer to follow each state and premise of the rules an operation starts
// from to the rule it makes (the record of how each rule was made).
struct Validation {
    // The SIDs of the rule's states when validation began, ascending.
    std::vector<size_t> states;
    // Each folded state's SID with the SID of the state it was folded into,
    // in the order of folding; the latter may be folded in its turn.
    std::vector<std::pair<size_t, size_t>> folds;
    // For each premise after validation, in order: the positions of the
    // premises before validation that it stands for (several when
    // duplicates were merged).
    std::vector<std::vector<size_t>> premises;
};

// Shown every rule that validation accepts, with what validation did to it.
// Unset, validation records nothing. Single-threaded, like the rest of the
// library.
class ValidationRecorder {
public:
    virtual ~ValidationRecorder() = default;
    virtual void validated(const StateRule* rule, Validation validation) = 0;
    // Before validating a rule it builds, a transfer tells, for each
    // conversion in order, the SIDs of the final rule's states it replaced
    // and the SID of the copy of its source state (0, which is no SID, for a
    // creating conversion).
    virtual void converted(const StateRule* /*rule*/,
                           const std::vector<std::pair<std::vector<size_t>, size_t>>& /*conversions*/) {}
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
