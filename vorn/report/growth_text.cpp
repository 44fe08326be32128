#include "vorn/report/growth_text.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <utility>

#include "symbolic/srule_levers.h"
#include "symbolic/event.h"
#include "symbolic/function.h"
#include "symbolic/know.h"
#include "vorn/report/growth.h"

namespace vorn {

namespace growth_text {

using sym::StateConstRule;
using sym::StateRule;
using sym::StateTransRule;

namespace {

const sym::Function* as_function(const sym::Term* term) {
    return term->type() == sym::Term::FUNCT ? static_cast<const sym::Function*>(term) : nullptr;
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

void argument_places(const sym::ArgumentFact* fact, const char* where, std::vector<Place>& places) {
    for (const auto& argument : fact->arguments()) places.push_back({argument.second, where, fact});
}

void fact_places(const sym::Fact* fact, const char* where, std::vector<Place>& places) {
    if (fact->type() == sym::Fact::OKNOW)
        places.push_back({static_cast<const sym::Know*>(fact)->term(), where, nullptr});
    else if (fact->type() == sym::Fact::EVENT || fact->type() == sym::Fact::STATE)
        argument_places(static_cast<const sym::ArgumentFact*>(fact), where, places);
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

}  // namespace growth_text

using namespace growth_text;

std::vector<std::string> deepest_path(const sym::Term* term) {
    std::vector<std::string> path;
    const sym::Function* function = as_function(term);
    while (function != nullptr) {
        path.push_back(function->name().name());
        const sym::Term* next = nullptr;
        size_t best = 0;
        for (const sym::Term* argument : function->arguments()) {
            size_t depth = sym::term_depth(argument);
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

}  // namespace vorn
