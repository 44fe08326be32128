#include <algorithm>
#include <memory>

#include "common/runtime.h"
#include "symbolic/namer.h"
#include "vorn/saturation/algorithm.h"

namespace vorn {

namespace {

// Takes back, unless kept, the names and state identifiers issued while it
// lived: rules that were made only to be counted leave no trace in the
// identifiers of the rules made after them.
class IssuedSince {
public:
    IssuedSince() : _names(sym::namer.index()), _sids(sym::StateRule::_sid) {}
    ~IssuedSince() {
        if (_kept) return;
        sym::namer.reissue_from(_names);
        sym::StateRule::_sid = _sids;
    }
    IssuedSince(const IssuedSince&) = delete;
    IssuedSince& operator=(const IssuedSince&) = delete;

    void keep() { _kept = true; }

private:
    sym::Name::ID _names;
    size_t _sids;
    bool _kept = false;
};

// Shows the observer each final rule with processes added, and the rules
// carried back from it, while the rule lives.
class ShownPartials : public sym::StateTransRule::PartialWatch {
public:
    ShownPartials(Observer& observer, const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule)
        : _observer(observer), _transfer(transfer), _final_rule(final_rule) {}

    void completed(const sym::StateConstRule* completed) override {
        _observer.rewritten(_final_rule, completed, Observer::Rewrite::COMPLETED, 0);
    }
    void carried(const sym::StateConstRule* completed, const std::list<sym::StateConstRule*>& rules) override {
        if (!rules.empty()) _observer.transferred(_transfer, completed, rules);
        _observer.dropped(completed);
    }

private:
    Observer& _observer;
    const sym::StateTransRule* _transfer;
    const sym::StateConstRule* _final_rule;
};

void delete_all(std::vector<sym::StateTransRule::Partial>& partials) {
    for (auto& partial : partials)
        for (sym::StateConstRule* rule : partial.rules) delete rule;
    partials.clear();
}

}  // namespace

std::list<sym::StateConstRule*> Algorithm::transfer_final(const sym::StateTransRule* transfer,
                                                          const sym::StateConstRule* final_rule, bool& shown) {
    shown = false;
    std::list<sym::StateConstRule*> results = transfer->transfer(final_rule);
    if (!results.empty() || transfer->conversions().size() < 2) return results;
    bool report = _observer != nullptr && _observer->wants_partial_steps();
    if (!_settings.partial_steps && !report) return results;

    // Unless the settings carry the step back, the rules are made only to be
    // counted, and the run goes on as if they had never been made.
    IssuedSince issued;
    std::vector<sym::StateTransRule::Partial> partials;
    // Rules carried back are shown as they are made, from the rule with the
    // processes added.
    std::unique_ptr<ShownPartials> watch;
    if (_settings.partial_steps && _observer) watch = std::make_unique<ShownPartials>(*_observer, transfer, final_rule);
    try {
        partials = transfer->transfer_partial(final_rule, watch.get());
    } catch (const common::UserError&) {
        // A model error met only in rules made to be counted is not the run's.
        if (!_settings.partial_steps) return results;
        throw;
    }
    if (partials.empty()) return results;

    PartialStep step;
    for (const auto& partial : partials) {
        step.rules += partial.rules.size();
        step.lacking.insert(step.lacking.end(), partial.lacking.begin(), partial.lacking.end());
    }
    std::sort(step.lacking.begin(), step.lacking.end());
    step.lacking.erase(std::unique(step.lacking.begin(), step.lacking.end()), step.lacking.end());
    if (_settings.partial_steps) {
        issued.keep();
        step.carried = true;
        shown = watch != nullptr;
        for (auto& partial : partials) results.splice(results.end(), partial.rules);
    }
    delete_all(partials);
    if (report) _observer->partial_step(transfer, final_rule, step);
    return results;
}

}  // namespace vorn
