#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "common/runtime.h"
#include "vorn/model/diagnostics.h"
#include "vorn/model/outline.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/provenance.h"

namespace vorn {

// Where a model error met the engine: what it was doing, and the origins of
// the two rules it had in hand (`second` is null for the access queries).
struct FailureSite {
    Meeting meeting = Meeting::COMPOSITION;
    std::shared_ptr<const Origin> first;
    std::shared_ptr<const Origin> second;
};

// Keeps the origins of the rules that met when a model error stopped a run.
// It reads them from a Provenance that watches the same run, so it must come
// after it among the observers. It can also stop a run at a deadline.
class FailureWatch : public Observer {
public:
    explicit FailureWatch(const Provenance& provenance) : _provenance(provenance) {}

    bool step(const Algorithm& engine, size_t queued) override;
    void failed(Meeting meeting, const sym::StateRule* first, const sym::StateRule* second) override;

    void set_deadline(std::chrono::steady_clock::time_point deadline) { _deadline = deadline; }
    const std::optional<FailureSite>& site() const { return _site; }

private:
    const Provenance& _provenance;
    std::optional<FailureSite> _site;
    std::optional<std::chrono::steady_clock::time_point> _deadline;
};

// Runs the model text again, printing nothing, with the origin of every rule
// recorded and the first run's engine settings, up to the model error that
// stopped the first run, and answers where it came up; nothing when the
// second run does not reach a model error by the deadline. A run that fails
// pays for this; one that does not, does not. The process-wide name and state counters start over first, so the
// second run repeats the first exactly; the parser's globals are refilled and
// used up as by a run, and model_outline describes the text again.
std::optional<FailureSite> replay_failure(const std::string& text, std::chrono::steady_clock::time_point deadline,
                                          const Settings& settings = {});

// The rules of the model (indexes into Outline::rules) that a rule with this
// origin comes from.
std::set<size_t> model_rules_of(const Outline& outline, const Origin* origin);

// The located form of a model error raised by the engine, at the uses in the
// model that the rules which met come from; without a site, at the first uses
// in the whole model (or about the whole model).
Diagnostic engine_error(const Outline& outline, const common::UserError& error,
                        const std::optional<FailureSite>& site);

}  // namespace vorn
