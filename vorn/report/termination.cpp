#include "vorn/report/termination.h"

#include <sstream>

namespace vorn {

std::string ending_hint(const Settings& settings) {
    if (!settings.exact_levers())
        return "--levers may end the saturation, or report its attacks although it does not end.";
    if (!settings.abstraction())
        return "--abstract may end the saturation: its target rules are then possible attacks.";
    return "";
}

std::string abstraction_note(const Algorithm& engine) {
    if (!engine.settings().abstraction()) return "";
    size_t possible = 0;
    std::ostringstream list;
    size_t position = 0;
    for (bool abstracted : engine.targets_abstracted()) {
        ++position;
        if (!abstracted) continue;
        list << (possible++ == 0 ? "" : ", ") << position;
    }
    std::ostringstream note;
    note << "Abstraction: terms deeper than " << engine.settings().depth_bound << " were generalised; ";
    size_t targets = engine.targets_abstracted().size();
    if (possible == 0)
        note << "no target rule was found through a generalised rule." << std::endl;
    else
        note << possible << " of " << targets << " target rules (" << list.str()
             << ") were found through generalised rules: possible attacks, not confirmed." << std::endl;
    return note.str();
}

}  // namespace vorn
