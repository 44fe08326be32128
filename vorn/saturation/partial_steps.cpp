#include "vorn/saturation/partial_steps.h"

#include <algorithm>
#include <string>

#include "symbolic/srule.h"

namespace vorn {

void PartialStepWatch::partial_step(const sym::StateTransRule* transfer, const sym::StateConstRule*,
                                    const PartialStep& step) {
    Count& count = _counts[Key{transfer->source(), step.lacking}];
    ++count.final_rules;
    count.rules += step.rules;
    count.carried = count.carried || step.carried;
}

namespace {

std::string state_text(const Outline& outline, const FactOutline& state) {
    return "'" + quoted(one_line(outline, state.whole), 60) + "'";
}

// "'A(x)'", "'A(x)' and 'B(y)'", "'A(x)', 'B(y)' and 'C(z)'".
std::string states_text(const Outline& outline, const RuleOutline& step, const std::vector<size_t>& lacking) {
    std::string text;
    for (size_t i = 0; i < lacking.size(); ++i) {
        if (i > 0) text += i + 1 == lacking.size() ? " and " : ", ";
        text += state_text(outline, step.conversions.at(lacking[i]).to);
    }
    return text;
}

}  // namespace

std::vector<Diagnostic> partial_step_diagnostics(const Outline& outline, const WarningSettings& settings,
                                                 const PartialStepWatch& watch) {
    std::vector<Diagnostic> found;
    if (!settings.enabled(WarningId::PARTIAL_STEP)) return found;
    for (const auto& [key, count] : watch.counts()) {
        const RuleOutline* step = nullptr;
        if (key.step > 0 && key.step <= outline.rules.size()) step = &outline.rules[key.step - 1];
        bool located = step != nullptr && step->transfer && !key.lacking.empty() &&
                       key.lacking.back() < step->conversions.size();
        std::string where = located ? "the step at line " + std::to_string(step->marker.line) : "a step";
        std::string into;
        if (located)
            into = (key.lacking.size() == 1 ? " into a state like " : " into states like ") +
                   states_text(outline, *step, key.lacking);
        bool one = count.final_rules == 1;
        std::string finals = count_of(count.final_rules, "final rule", "final rules");
        std::string rules = count_of(count.rules, "rule", "rules");
        Diagnostic d;
        if (count.carried) {
            d.severity = Severity::NOTE;
            d.message = "--partial-steps carried " + where + " back to " + finals + (one ? " that names" : " that name") +
                        " no process it moves" + into + ": " + rules + " made";
        } else {
            d = warning(WarningId::PARTIAL_STEP, settings, std::nullopt,
                        finals + (one ? " names" : " name") + " no process that " + where + " moves" + into +
                            ": carried back through it, " + (one ? "it makes" : "they make") +
                            " nothing, where --partial-steps makes " + rules);
        }
        if (located) d.span = step->conversions.at(key.lacking.front()).to.whole;
        found.push_back(std::move(d));
    }
    std::stable_sort(found.begin(), found.end(), [](const Diagnostic& a, const Diagnostic& b) {
        return a.span.has_value() && (!b.span.has_value() || a.span->offset < b.span->offset);
    });
    return found;
}

}  // namespace vorn
