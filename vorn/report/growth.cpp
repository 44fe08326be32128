#include "vorn/report/growth.h"
#include "vorn/report/termination.h"

#include <algorithm>
#include <iomanip>
#include <limits>
#include <sstream>
#include <utility>

#include "symbolic/srule_levers.h"
#include "symbolic/state.h"
#include "vorn/report/growth_text.h"

namespace vorn {

using namespace growth_text;
using sym::StateConstRule;
using sym::StateRule;

namespace {

int set_of(const StateRule* rule) {
    bool selectable = rule->select() != StateRule::NONSELECTABLE;
    if (rule->type() == StateRule::TRANSFR) return selectable ? 2 : 3;
    if (selectable) return 0;
    return static_cast<const StateConstRule*>(rule)->event_conclusion() ? 4 : 1;
}

}  // namespace

bool Growth::step(const Algorithm& engine, size_t queued) {
    size_t tried = engine.rules_tried();
    if (tried % _stride != 0 || (!_samples.empty() && _samples.back().tried == tried)) return true;
    if (_samples.size() == max_samples) {
        std::vector<Sample> kept;
        for (size_t i = 0; i < _samples.size(); i += 2) kept.push_back(std::move(_samples[i]));
        _samples = std::move(kept);
        _stride *= 2;
        if (tried % _stride != 0) return true;
    }
    std::vector<size_t> held = engine.set_sizes();
    held.resize(5);
    _samples.push_back({tried, queued, std::move(held), _widest, _deepest});
    return true;
}

bool Growth::admit(const Algorithm&, const sym::StateRule* rule) {
    size_t order = ++_admitted;
    _held[rule] = Held{order, set_of(rule)};
    _widest = std::max(_widest, rule->states().size());
    for (const Place& place : places_of(rule)) _deepest = std::max(_deepest, size_t{sym::term_depth(place.term)});
    note_keys(rule, order);
    return true;
}

void Growth::dropped(const sym::StateRule* rule) { _held.erase(rule); }

std::vector<size_t> Growth::held_by_set() const {
    std::vector<size_t> sizes(5, 0);
    for (const auto& entry : _held) ++sizes[static_cast<size_t>(entry.second.set)];
    return sizes;
}

void Growth::note_keys(const sym::StateRule* rule, size_t order) {
    for (const sym::State* state : states_of(rule)) {
        std::string shape = state->predicate().name() + "(";
        size_t depth = 0;
        bool first = true;
        for (const auto& argument : state->arguments()) {
            if (!argument.first) continue;
            if (!first) shape += ", ";
            first = false;
            std::ostringstream os;
            argument.second->info(os);
            shape += "*" + without_ids(os.str());
            depth = std::max(depth, size_t{sym::term_depth(argument.second)});
        }
        shape += ")";
        Keys& keys = _keys[state->predicate().name()];
        if (keys.first_held.count(shape) == 0 && _key_shapes < max_key_shapes) {
            keys.first_held.emplace(shape, order);
            ++_key_shapes;
        }
        if (depth > keys.deepest || keys.deepest_key.empty()) {
            keys.deepest = depth;
            std::string text = state->predicate().name() + "(";
            bool any = false;
            for (const auto& argument : state->arguments()) {
                if (!argument.first) continue;
                if (any) text += ", ";
                any = true;
                text += "*" + abbreviated(argument.second, levels_shown);
            }
            keys.deepest_key = cut(text + ")");
        }
    }
}

void Growth::print(std::ostream& os, const Algorithm& engine) const {
    os << "\nGrowth of the rule sets:\n\n";
    print_sets(os, engine);
    // The held rules in the order they were held, each numbered by its place
    // among them: the rules accepted and dropped since do not count.
    HeldRules held(_held.begin(), _held.end());
    std::sort(held.begin(), held.end(), [](const auto& a, const auto& b) { return a.second.order < b.second.order; });
    for (size_t i = 0; i < held.size(); ++i) held[i].second.order = i + 1;
    print_descent(os, held);
    print_deepest(os, held);
    print_widest(os, held);
    print_keys(os);
    std::string hint = ending_hint(engine.settings());
    if (!hint.empty()) os << "\n" << hint << "\n";
    os << std::flush;
}

// The held rules by set as the run went on.
void Growth::print_sets(std::ostream& os, const Algorithm& engine) const {
    os << "Held rules by set as the run went on, by rules tried (SC selectable consistent, NC not\n"
          "selectable consistent, ST selectable transfer, NT not selectable transfer, F final; the\n"
          "most states and the deepest term of a rule held so far):\n";
    const int width = 8;
    os << std::setw(width + 2) << "tried";
    for (const char* heading : {"SC", "NC", "ST", "NT", "F", "total", "queued", "states", "depth"})
        os << std::setw(width) << heading;
    os << "\n";
    auto row = [&](const std::string& tried, const std::vector<size_t>& held, const std::string& queued,
                   size_t widest, size_t deepest) {
        size_t total = 0;
        os << std::setw(width + 2) << tried;
        for (size_t count : held) {
            os << std::setw(width) << count;
            total += count;
        }
        os << std::setw(width) << total << std::setw(width) << queued << std::setw(width) << widest
           << std::setw(width) << deepest << "\n";
    };
    // At most nine rows evenly spaced over the samples, then the stop.
    const size_t rows = 9;
    size_t last_row = std::numeric_limits<size_t>::max();
    for (size_t r = 0; r < rows && !_samples.empty(); ++r) {
        size_t i = _samples.size() <= rows ? r : (r * (_samples.size() - 1) + (rows - 1) / 2) / (rows - 1);
        if (i >= _samples.size() || i == last_row) continue;
        last_row = i;
        const Sample& sample = _samples[i];
        row(std::to_string(sample.tried), sample.held, std::to_string(sample.queued), sample.widest, sample.deepest);
    }
    row(std::to_string(engine.rules_tried()), held_by_set(), "stop", _widest, _deepest);

}

// The rules held with the most states, each mix of state names once.
void Growth::print_widest(std::ostream& os, const HeldRules& held) const {
    struct Wide {
        size_t states;
        std::string mix;
        const StateRule* rule;
        Held held;
    };
    std::vector<Wide> widest;
    for (const auto& [rule, info] : held) {
        size_t states = rule->states().size();
        if (states < 2 || (widest.size() == deepest_shown && states <= widest.back().states)) continue;
        std::map<std::string, size_t> names;
        for (const auto& state : rule->states()) ++names[state.second.first->predicate().name()];
        std::string mix;
        for (const auto& [name, count] : names) mix += (mix.empty() ? "" : ", ") + name + " " + std::to_string(count);
        mix += std::string(" in a ") + set_names[info.set];
        bool seen = false;
        for (const Wide& wide : widest) seen = seen || wide.mix == mix;
        if (seen) continue;
        auto at = std::find_if(widest.begin(), widest.end(), [&](const Wide& w) { return w.states < states; });
        widest.insert(at, Wide{states, mix, rule, info});
        if (widest.size() > deepest_shown) widest.pop_back();
    }
    os << "\nRules held with the most states (states of one name in one rule are one process or several):\n";
    if (widest.empty()) os << "  no rule is held with more than one state\n";
    for (const Wide& wide : widest) {
        os << "  " << wide.states << " states (" << wide.mix << ", the " << ordinal(wide.held.order) << " of the "
           << held.size() << " rules held)";
        if (wide.rule->type() == StateRule::CONSIST) {
            std::ostringstream conclusion;
            static_cast<const StateConstRule*>(wide.rule)->conclusion()->info(conclusion);
            os << ", concluding " << cut(conclusion.str());
        }
        os << "\n";
    }

}

// The state names whose keys keep changing.
void Growth::print_keys(std::ostream& os) const {
    struct Changing {
        std::string name;
        size_t keys;
        size_t later;
        const Keys* info;
    };
    std::vector<Changing> changing;
    for (const auto& [name, keys] : _keys) {
        size_t recent = 0;
        for (const auto& shape : keys.first_held) recent += shape.second > _admitted / 2;
        if (keys.first_held.size() > 1) changing.push_back({name, keys.first_held.size(), recent, &keys});
    }
    std::stable_sort(changing.begin(), changing.end(), [](const Changing& a, const Changing& b) {
        if (a.later != b.later) return a.later > b.later;
        return a.keys > b.keys;
    });
    os << "\nStates whose keys keep changing (different keys in the rules held during the run; "
          "first held in the later half of the run):\n";
    if (changing.empty()) os << "  no state was held with more than one key\n";
    for (size_t i = 0; i < changing.size() && i < states_shown; ++i) {
        const Changing& c = changing[i];
        os << "  " << c.name << ": " << c.keys << (_key_shapes >= max_key_shapes ? " or more" : "")
           << " different keys, " << c.later << " first held in the later half; the deepest (depth "
           << c.info->deepest << "): " << c.info->deepest_key << "\n";
    }
}

}  // namespace vorn
