#include "vorn/saturation/observers.h"

namespace vorn {

bool Observers::step(const Algorithm& engine, size_t queued) {
    bool go = true;
    for (Observer* observer : _observers) go = observer->step(engine, queued) && go;
    return go;
}

bool Observers::keep_going(const Algorithm& engine) {
    for (Observer* observer : _observers)
        if (!observer->keep_going(engine)) return false;
    return true;
}

bool Observers::wants_compositions() const {
    for (const Observer* observer : _observers)
        if (observer->wants_compositions()) return true;
    return false;
}

bool Observers::admit(const Algorithm& engine, const sym::StateRule* rule) {
    for (Observer* observer : _observers)
        if (!observer->admit(engine, rule)) return false;
    return true;
}

void Observers::composed(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer,
                         const std::list<sym::StateRule*>& results) {
    for (Observer* observer : _observers) observer->composed(provider, index, consumer, results);
}

void Observers::deferred(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer) {
    for (Observer* observer : _observers) observer->deferred(provider, index, consumer);
}

void Observers::released(const sym::StateConstRule* provider, const sym::StateRule* consumer) {
    for (Observer* observer : _observers) observer->released(provider, consumer);
}

void Observers::varied(const sym::StateRule* rule, const sym::StateRule* variant) {
    for (Observer* observer : _observers) observer->varied(rule, variant);
}

void Observers::rewritten(const sym::StateRule* rule, const sym::StateRule* result, Rewrite how, size_t argument) {
    for (Observer* observer : _observers) observer->rewritten(rule, result, how, argument);
}

void Observers::transferred(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                            const std::list<sym::StateConstRule*>& results) {
    for (Observer* observer : _observers) observer->transferred(transfer, final_rule, results);
}

void Observers::targeted(const sym::StateConstRule* final_rule, const sym::StateRule* target) {
    for (Observer* observer : _observers) observer->targeted(final_rule, target);
}

bool Observers::wants_partial_steps() const {
    for (const Observer* observer : _observers)
        if (observer->wants_partial_steps()) return true;
    return false;
}

void Observers::partial_step(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                             const PartialStep& step) {
    for (Observer* observer : _observers)
        if (observer->wants_partial_steps()) observer->partial_step(transfer, final_rule, step);
}

void Observers::dropped(const sym::StateRule* rule) {
    for (Observer* observer : _observers) observer->dropped(rule);
}

void Observers::failed(Meeting meeting, const sym::StateRule* first, const sym::StateRule* second) {
    for (Observer* observer : _observers) observer->failed(meeting, first, second);
}

}  // namespace vorn
