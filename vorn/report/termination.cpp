#include "vorn/report/termination.h"

#include <sstream>

#include "vorn/report/run_replay.h"

namespace vorn {

std::string ending_hint(const Settings& settings) {
    if (!settings.exact_levers())
        return "--levers may end the saturation, or report its attacks although it does not end.";
    if (!settings.abstraction())
        return "--abstract may end the saturation: its target rules are then possible attacks.";
    return "";
}

std::vector<bool> replayed_targets(const Algorithm& engine, const std::vector<Derivation>& derivations,
                                   const std::vector<const sym::StateRule*>& model_rules,
                                   const std::vector<std::pair<sym::State*, bool>>& queries) {
    if (!engine.settings().abstraction()) return {};
    const std::vector<bool>& abstracted = engine.targets_abstracted();
    std::vector<bool> replayed(abstracted.size(), false);
    if (derivations.size() != abstracted.size() || model_rules.empty()) return replayed;
    for (size_t i = 0; i < abstracted.size(); ++i)
        if (abstracted[i]) replayed[i] = run_replays(derivations[i], model_rules, queries);
    return replayed;
}

std::vector<bool> possible_attacks(const Algorithm& engine, const std::vector<bool>& replayed) {
    if (!engine.settings().abstraction()) return {};
    std::vector<bool> possible = engine.targets_abstracted();
    for (size_t i = 0; i < possible.size() && i < replayed.size(); ++i)
        if (replayed[i]) possible[i] = false;
    return possible;
}

namespace {

enum class Pick { GENERALISED, REPLAYED, POSSIBLE };

// "3" or "1, 4": the positions (from 1) of the target rules found through
// generalised rules, of those that replayed, or of those that did not; and
// their number.
std::string positions(const std::vector<bool>& abstracted, const std::vector<bool>& replayed, Pick pick,
                      size_t& count) {
    std::ostringstream list;
    count = 0;
    for (size_t i = 0; i < abstracted.size(); ++i) {
        if (!abstracted[i]) continue;
        bool confirmed = i < replayed.size() && replayed[i];
        if ((pick == Pick::REPLAYED && !confirmed) || (pick == Pick::POSSIBLE && confirmed)) continue;
        list << (count++ == 0 ? "" : ", ") << i + 1;
    }
    return list.str();
}

}  // namespace

std::string abstraction_note(const Algorithm& engine, const std::vector<bool>& replayed) {
    if (!engine.settings().abstraction()) return "";
    const std::vector<bool>& abstracted = engine.targets_abstracted();
    size_t generalised = 0, confirmed = 0, possible = 0;
    std::string generalised_list = positions(abstracted, replayed, Pick::GENERALISED, generalised);
    std::string confirmed_list = positions(abstracted, replayed, Pick::REPLAYED, confirmed);
    std::string possible_list = positions(abstracted, replayed, Pick::POSSIBLE, possible);
    std::ostringstream note;
    note << "Abstraction: terms deeper than " << engine.settings().depth_bound << " were generalised; ";
    if (generalised == 0) {
        note << "no target rule was found through a generalised rule." << std::endl;
        return note.str();
    }
    note << generalised << " of " << abstracted.size() << " target rules (" << generalised_list
         << ") were found through generalised rules: ";
    if (confirmed == 0)
        note << "possible attacks, not confirmed." << std::endl;
    else if (possible == 0)
        note << "attacks, confirmed by an exact replay of their runs on the model." << std::endl;
    else
        note << confirmed << " (" << confirmed_list << ") confirmed by an exact replay of "
             << (confirmed == 1 ? "its run" : "their runs") << " on the model, " << possible << " ("
             << possible_list << ") " << (possible == 1 ? "a possible attack" : "possible attacks")
             << ", not confirmed." << std::endl;
    return note.str();
}

}  // namespace vorn
