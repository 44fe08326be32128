#include "vorn/report/growth.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <memory>
#include <sstream>
#include <utility>

#include "symbolic/event.h"
#include "symbolic/fact.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "symbolic/state.h"
#include "symbolic/term.h"
#include "vorn/report/explain.h"

namespace vorn {

namespace {

using sym::StateConstRule;
using sym::StateRule;
using sym::StateTransRule;

// The sets in the report's order, as the growth table heads them.
const char* const set_names[] = {"selectable consistent rule", "not selectable consistent rule",
                                 "selectable transfer rule", "not selectable transfer rule", "final rule"};

// Key shapes kept in all: enough to see keys change, bounded for long runs.
constexpr size_t max_key_shapes = 20000;
// How many deepest terms and how many model rules the section lists.
constexpr size_t deepest_shown = 3;
constexpr size_t model_rules_shown = 5;
constexpr size_t states_shown = 8;
// Function terms are printed down to this many levels.
constexpr size_t levels_shown = 8;
// Longest printed term; what is longer is cut.
constexpr size_t longest_print = 240;

int set_of(const StateRule* rule) {
    bool selectable = rule->select() != StateRule::NONSELECTABLE;
    if (rule->type() == StateRule::TRANSFR) return selectable ? 2 : 3;
    if (selectable) return 0;
    return static_cast<const StateConstRule*>(rule)->event_conclusion() ? 4 : 1;
}

const sym::Function* as_function(const sym::Term* term) {
    return term->type() == sym::Term::FUNCT ? static_cast<const sym::Function*>(term) : nullptr;
}

// The printed form without the identifiers of variables, nonces and
// configurations: "x@12" becomes "x".
std::string without_ids(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '@' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            while (i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string cut(const std::string& text) {
    if (text.size() <= longest_print) return text;
    return text.substr(0, longest_print - 4) + " ...";
}

void abbreviate_into(const sym::Term* term, size_t levels, std::string& out) {
    const sym::Function* function = as_function(term);
    if (function == nullptr) {
        std::ostringstream os;
        term->info(os);
        out += os.str();
        return;
    }
    out += function->name().name();
    if (levels == 0) {
        out += "(...)";
        return;
    }
    out += "(";
    const auto& arguments = function->arguments();
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) out += ", ";
        // A long argument list is as telling as a deep one: the text is cut later.
        if (out.size() > 4 * longest_print) {
            out += "...";
            break;
        }
        abbreviate_into(arguments[i], levels - 1, out);
    }
    out += ")";
}

// A fact's terms with what the growth section calls the place of each.
struct Place {
    const sym::Term* term;
    const char* where;
    // The state or event the term is an argument of, or null for knowledge.
    const sym::ArgumentFact* fact;
};

void argument_places(const sym::ArgumentFact* fact, const char* where, std::vector<Place>& places) {
    for (const auto& argument : fact->arguments()) places.push_back({argument.second, where, fact});
}

void fact_places(const sym::Fact* fact, const char* where, std::vector<Place>& places) {
    if (fact->type() == sym::Fact::OKNOW)
        places.push_back({static_cast<const sym::Know*>(fact)->term(), where, nullptr});
    else if (fact->type() == sym::Fact::EVENT || fact->type() == sym::Fact::STATE)
        argument_places(static_cast<const sym::ArgumentFact*>(fact), where, places);
}

std::vector<Place> places_of(const StateRule* rule) {
    std::vector<Place> places;
    for (const auto& premise : rule->knows()) fact_places(premise.first, "a knowledge premise", places);
    for (const sym::Event* event : rule->events()) argument_places(event, "an event premise", places);
    for (const auto& state : rule->states()) argument_places(state.second.first, "a state", places);
    if (rule->type() == StateRule::CONSIST) {
        fact_places(static_cast<const StateConstRule*>(rule)->conclusion(), "the conclusion", places);
    } else {
        for (const auto& conversion : static_cast<const StateTransRule*>(rule)->conversions()) {
            if (conversion.first != nullptr) argument_places(conversion.first, "a conversion", places);
            argument_places(conversion.second, "a conversion", places);
        }
    }
    return places;
}

// The states of a rule, conversions included.
std::vector<const sym::State*> states_of(const StateRule* rule) {
    std::vector<const sym::State*> states;
    for (const auto& state : rule->states()) states.push_back(state.second.first);
    if (rule->type() == StateRule::TRANSFR) {
        for (const auto& conversion : static_cast<const StateTransRule*>(rule)->conversions()) {
            if (conversion.first != nullptr) states.push_back(conversion.first);
            states.push_back(conversion.second);
        }
    }
    return states;
}

// The printed fact of a place, its terms abbreviated.
std::string place_text(const Place& place) {
    std::string out;
    if (place.fact == nullptr) {
        out = "know(";
        abbreviate_into(place.term, levels_shown, out);
        return cut(out + ")");
    }
    out = place.fact->predicate().name() + "(";
    const auto& arguments = place.fact->arguments();
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) out += ", ";
        if (arguments[i].first) out += "*";
        abbreviate_into(arguments[i].second, levels_shown, out);
    }
    return cut(out + ")");
}

std::string ordinal(size_t n) {
    const char* suffix = "th";
    if (n % 100 < 11 || n % 100 > 13) {
        if (n % 10 == 1) suffix = "st";
        if (n % 10 == 2) suffix = "nd";
        if (n % 10 == 3) suffix = "rd";
    }
    return std::to_string(n) + suffix;
}

std::string percent(size_t part, size_t whole) {
    return std::to_string(whole == 0 ? 0 : (part * 100 + whole / 2) / whole) + "%";
}

std::string times(size_t n) { return n == 1 ? "once" : std::to_string(n) + " times"; }

size_t saturating_add(size_t a, size_t b) {
    return a > std::numeric_limits<size_t>::max() - b ? std::numeric_limits<size_t>::max() : a + b;
}

// The model rules each record rests on, as sets of model rule numbers (bit
// sets), computed once per record.
class Ancestry {
public:
    const std::vector<uint64_t>& of(const Origin* root) {
        // Depth first without recursion: a line of descent can be as long as the run.
        std::vector<std::pair<const Origin*, bool>> stack{{root, false}};
        while (!stack.empty()) {
            auto [origin, expanded] = stack.back();
            stack.pop_back();
            if (_memo.count(origin)) continue;
            const Origin* parents[] = {origin->first.get(), origin->second.get()};
            if (!expanded) {
                stack.push_back({origin, true});
                for (const Origin* parent : parents)
                    if (parent != nullptr && !_memo.count(parent)) stack.push_back({parent, false});
                continue;
            }
            std::vector<uint64_t> bits;
            if (origin->kind == Origin::Kind::MODEL) {
                bits.resize(origin->number / 64 + 1);
                bits[origin->number / 64] |= uint64_t(1) << (origin->number % 64);
                _models.emplace(origin->number, origin);
            }
            for (const Origin* parent : parents) {
                if (parent == nullptr) continue;
                const std::vector<uint64_t>& more = _memo.at(parent);
                if (more.size() > bits.size()) bits.resize(more.size());
                for (size_t w = 0; w < more.size(); ++w) bits[w] |= more[w];
            }
            _memo.emplace(origin, std::move(bits));
        }
        return _memo.at(root);
    }

    // The model rules met so far, by number.
    const std::map<size_t, const Origin*>& models() const { return _models; }

private:
    std::unordered_map<const Origin*, std::vector<uint64_t>> _memo;
    std::map<size_t, const Origin*> _models;
};

// The times each step of the derivation is used in it, read as a tree: the
// last step once, and every step as often as the steps made from it together.
std::vector<size_t> uses_in(const Derivation& derivation) {
    std::vector<size_t> uses(derivation.steps.size(), 0);
    if (uses.empty()) return uses;
    uses.back() = 1;
    for (size_t i = uses.size(); i-- > 0;) {
        const Origin& step = *derivation.steps[i];
        for (const std::shared_ptr<Origin>* parent : {&step.first, &step.second}) {
            size_t number = derivation.number(parent->get());
            if (number != 0) uses[number - 1] = saturating_add(uses[number - 1], uses[i]);
        }
    }
    return uses;
}

// The tokens of a rule's text: names, and every other character but blanks alone.
std::vector<std::string> tokens_of(const std::string& text) {
    std::vector<std::string> tokens;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isalpha(c)) {
            size_t j = i;
            while (j < text.size() && std::isalnum(static_cast<unsigned char>(text[j]))) ++j;
            tokens.push_back(text.substr(i, j - i));
            i = j;
        } else {
            if (!std::isspace(c)) tokens.push_back(std::string(1, text[i]));
            ++i;
        }
    }
    return tokens;
}

bool is_name(const std::string& token) { return !token.empty() && std::isalpha(static_cast<unsigned char>(token[0])); }

// Whether tokens[i] is a name used as a rule-local symbol: not a function,
// fact or constant (followed by "(" or "[]").
bool local_symbol_at(const std::vector<std::string>& tokens, size_t i) {
    if (!is_name(tokens[i])) return false;
    if (i + 1 < tokens.size() && tokens[i + 1] == "(") return false;
    if (i + 2 < tokens.size() && tokens[i + 1] == "[" && tokens[i + 2] == "]") return false;
    return true;
}

}  // namespace

size_t term_depth(const sym::Term* term) {
    size_t deepest = 0;
    std::vector<std::pair<const sym::Term*, size_t>> stack{{term, 0}};
    while (!stack.empty()) {
        auto [current, above] = stack.back();
        stack.pop_back();
        const sym::Function* function = as_function(current);
        if (function == nullptr) continue;
        deepest = std::max(deepest, above + 1);
        for (const sym::Term* argument : function->arguments()) stack.push_back({argument, above + 1});
    }
    return deepest;
}

std::vector<std::string> deepest_path(const sym::Term* term) {
    std::vector<std::string> path;
    const sym::Function* function = as_function(term);
    while (function != nullptr) {
        path.push_back(function->name().name());
        const sym::Term* next = nullptr;
        size_t best = 0;
        for (const sym::Term* argument : function->arguments()) {
            size_t depth = term_depth(argument);
            if (next == nullptr || depth > best) {
                next = argument;
                best = depth;
            }
        }
        function = next == nullptr ? nullptr : as_function(next);
    }
    return path;
}

std::string abbreviated(const sym::Term* term, size_t levels) {
    std::string out;
    abbreviate_into(term, levels, out);
    return cut(out);
}

bool wraps(const std::string& rule_text, const std::string& symbol) {
    std::vector<std::string> tokens = tokens_of(rule_text);
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i] != symbol || tokens[i + 1] != "(") continue;
        // The application spans tokens i to end; its arguments start after "(".
        size_t end = i + 1;
        int depth = 0;
        for (; end < tokens.size(); ++end) {
            if (tokens[end] == "(") ++depth;
            if (tokens[end] == ")" && --depth == 0) break;
        }
        // The symbols that are whole arguments: x, [n] and |c|.
        std::vector<std::string> arguments;
        size_t start = i + 2;
        int level = 0;
        for (size_t k = i + 2; k <= end && k < tokens.size(); ++k) {
            const std::string& token = tokens[k];
            if (token == "(") ++level;
            if (token == ")") --level;
            if ((token == "," && level == 0) || k == end) {
                size_t length = k - start;
                if (length == 1 && local_symbol_at(tokens, start)) arguments.push_back(tokens[start]);
                if (length == 3 && (tokens[start] == "[" || tokens[start] == "|") && is_name(tokens[start + 1]))
                    arguments.push_back(tokens[start + 1]);
                start = k + 1;
            }
        }
        for (const std::string& argument : arguments) {
            for (size_t k = 0; k < tokens.size(); ++k) {
                if (k >= i && k <= end) continue;
                if (tokens[k] == argument && local_symbol_at(tokens, k)) return true;
            }
        }
    }
    return false;
}

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
    for (const Place& place : places_of(rule)) _deepest = std::max(_deepest, term_depth(place.term));
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
            depth = std::max(depth, term_depth(argument.second));
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
    // The held rules in the order they were held.
    HeldRules held(_held.begin(), _held.end());
    std::sort(held.begin(), held.end(), [](const auto& a, const auto& b) { return a.second.order < b.second.order; });
    print_descent(os, held);
    print_deepest(os, held);
    print_widest(os, held);
    print_keys(os);
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

// The model rules the held rules descend from.
void Growth::print_descent(std::ostream& os, const HeldRules& held) const {
    const size_t later = held.size() / 2;
    Ancestry ancestry;
    std::map<size_t, std::pair<size_t, size_t>> counts;  // model rule number -> (held, later half)
    for (size_t i = 0; i < held.size(); ++i) {
        std::shared_ptr<const Origin> origin = _provenance.origin(held[i].first);
        if (!origin) continue;
        const std::vector<uint64_t>& bits = ancestry.of(origin.get());
        for (size_t w = 0; w < bits.size(); ++w) {
            for (size_t b = 0; b < 64; ++b) {
                if ((bits[w] >> b & 1) == 0) continue;
                auto& count = counts[w * 64 + b];
                ++count.first;
                if (i >= later) ++count.second;
            }
        }
    }
    std::vector<std::pair<size_t, std::pair<size_t, size_t>>> ranked(counts.begin(), counts.end());
    auto line_of = [&](size_t number) { return _provenance.source(*ancestry.models().at(number)).line; };
    std::stable_sort(ranked.begin(), ranked.end(), [&](const auto& a, const auto& b) {
        if (a.second.second != b.second.second) return a.second.second > b.second.second;
        if (a.second.first != b.second.first) return a.second.first > b.second.first;
        return line_of(a.first) < line_of(b.first);
    });
    os << "\nModel rules the held rules descend from, the most in the later half first (of the " << held.size()
       << " rules held; the later half: the " << held.size() - later << " held last):\n";
    if (ranked.empty()) os << "  none recorded\n";
    for (size_t i = 0; i < ranked.size() && i < model_rules_shown; ++i) {
        const ModelSource& source = _provenance.source(*ancestry.models().at(ranked[i].first));
        auto [all, recent] = ranked[i].second;
        os << "  line " << source.line << ": " << all << " held (" << percent(all, held.size()) << "), " << recent
           << " of the later half (" << percent(recent, held.size() - later) << ")\n"
           << "    " << one_line(source.text) << "\n";
    }

}

// The deepest terms held, each once, with the symbols that nest in them.
void Growth::print_deepest(std::ostream& os, const HeldRules& held) const {
    struct Deep {
        size_t depth;
        std::string shape;
        Place place;
        const StateRule* rule;
        Held held;
    };
    std::vector<Deep> deepest;
    for (const auto& [rule, info] : held) {
        for (const Place& place : places_of(rule)) {
            size_t depth = term_depth(place.term);
            if (depth == 0) continue;
            if (deepest.size() == deepest_shown && depth <= deepest.back().depth) continue;
            std::ostringstream printed;
            place.term->info(printed);
            std::string shape = without_ids(printed.str());
            bool seen = false;
            for (const Deep& deep : deepest) seen = seen || deep.shape == shape;
            if (seen) continue;
            Deep deep{depth, shape, place, rule, info};
            auto at = std::find_if(deepest.begin(), deepest.end(), [&](const Deep& d) { return d.depth < depth; });
            deepest.insert(at, std::move(deep));
            if (deepest.size() > deepest_shown) deepest.pop_back();
        }
    }
    os << "\nDeepest terms held, with the function symbols along their deepest path:\n";
    if (deepest.empty()) os << "  no function term is held\n";
    for (size_t d = 0; d < deepest.size(); ++d) {
        const Deep& deep = deepest[d];
        os << "  " << d + 1 << ". depth " << deep.depth << ", in " << deep.place.where << " of a "
           << set_names[deep.held.set] << " (the " << ordinal(deep.held.order) << " rule held):\n"
           << "     " << place_text(deep.place) << "\n";
        std::vector<std::string> path = deepest_path(deep.place.term);
        std::vector<std::pair<std::string, size_t>> along;
        for (const std::string& symbol : path) {
            auto found = std::find_if(along.begin(), along.end(), [&](const auto& a) { return a.first == symbol; });
            if (found == along.end())
                along.push_back({symbol, 1});
            else
                ++found->second;
        }
        std::stable_sort(along.begin(), along.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        os << "     nested along it:";
        for (size_t s = 0; s < along.size(); ++s)
            os << (s == 0 ? " " : ", ") << along[s].first << " " << times(along[s].second);
        os << "\n";
        // The symbols nested the most, and the model rules of the derivation that nest them.
        std::vector<std::string> nesting;
        for (const auto& [symbol, count] : along)
            if (count == along.front().second) nesting.push_back(symbol);
        Derivation derivation = derive(_provenance.origin(deep.rule));
        std::vector<size_t> uses = uses_in(derivation);
        struct Builder {
            size_t uses;
            const ModelSource* source;
        };
        std::vector<Builder> builders;
        std::vector<Builder> writers;
        for (size_t i = 0; i < derivation.steps.size(); ++i) {
            const Origin& step = *derivation.steps[i];
            if (step.kind != Origin::Kind::MODEL) continue;
            const ModelSource& source = _provenance.source(step);
            std::string text = one_line(source.text);
            std::vector<std::string> tokens = tokens_of(text);
            bool builds = false;
            bool writes = false;
            for (const std::string& symbol : nesting) {
                builds = builds || wraps(text, symbol);
                writes = writes || std::find(tokens.begin(), tokens.end(), symbol) != tokens.end();
            }
            if (builds) builders.push_back({uses[i], &source});
            if (writes) writers.push_back({uses[i], &source});
        }
        auto by_uses = [](const Builder& a, const Builder& b) {
            if (a.uses != b.uses) return a.uses > b.uses;
            return a.source->line < b.source->line;
        };
        std::sort(builders.begin(), builders.end(), by_uses);
        std::sort(writers.begin(), writers.end(), by_uses);
        std::string symbols;
        for (size_t s = 0; s < nesting.size(); ++s)
            symbols += (s == 0 ? "" : s + 1 == nesting.size() ? " and " : ", ") + nesting[s];
        if (derivation.steps.empty()) {
            os << "     its derivation was not recorded\n";
            continue;
        }
        if (builders.empty() && writers.empty()) {
            os << "     no model rule of its derivation writes " << symbols << "\n";
            continue;
        }
        const std::vector<Builder>& shown = builders.empty() ? writers : builders;
        os << "     model lines that nest " << symbols << " in its derivation"
           << (builders.empty() ? " (none applies it to a value used elsewhere in the rule; these write it)" : "")
           << ", with the times each is used:\n";
        for (const Builder& builder : shown)
            os << "       line " << builder.source->line << " (" << times(builder.uses)
               << "): " << one_line(builder.source->text) << "\n";
    }

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
        os << "  " << wide.states << " states (" << wide.mix << ", the " << ordinal(wide.held.order)
           << " rule held)";
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
