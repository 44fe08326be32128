#pragma once

#include <cstddef>
#include <list>
#include <utility>
#include <vector>

#include "vorn/saturation/algorithm.h"

namespace vorn {

// Shows every hook to each observer in turn; step and admit go on only when
// all of them agree. The observers must outlive it.
class Observers : public Observer {
public:
    explicit Observers(std::vector<Observer*> observers) : _observers(std::move(observers)) {}

    bool step(const Algorithm& engine, size_t queued) override;
    bool keep_going(const Algorithm& engine) override;
    bool wants_compositions() const override;
    bool admit(const Algorithm& engine, const sym::StateRule* rule) override;
    void composed(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer,
                  const std::list<sym::StateRule*>& results) override;
    void deferred(const sym::StateConstRule* provider, size_t index, const sym::StateRule* consumer) override;
    void released(const sym::StateConstRule* provider, const sym::StateRule* consumer) override;
    void varied(const sym::StateRule* rule, const sym::StateRule* variant) override;
    void rewritten(const sym::StateRule* rule, const sym::StateRule* result, Rewrite how, size_t argument) override;
    void transferred(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                     const std::list<sym::StateConstRule*>& results) override;
    void targeted(const sym::StateConstRule* final_rule, const sym::StateRule* target) override;
    bool wants_partial_steps() const override;
    void partial_step(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                      const PartialStep& step) override;
    void dropped(const sym::StateRule* rule) override;
    void failed(Meeting meeting, const sym::StateRule* first, const sym::StateRule* second) override;

private:
    std::vector<Observer*> _observers;
};

}  // namespace vorn
