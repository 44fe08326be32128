#include "vorn/saturation/levers.h"

namespace vorn {

Levers::Levers(const Settings& settings, const std::list<sym::StateConstRule*>& const_rules,
               const std::list<sym::StateTransRule*>& trans_rules)
    : _settings(settings) {
    if (settings.split_constructors) _constructors = sym::Constructors::of(const_rules);
    if (settings.merge_versions) _invariants = sym::Invariants::of(trans_rules);
}

}  // namespace vorn
