#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "symbolic/fact.h"
#include "symbolic/srule.h"
#include "symbolic/state.h"
#include "symbolic/term.h"

// Shared by the sources of the growth section (growth.cpp: the watching, the
// table of the sets, the widest rules and the changing keys;
// growth_descent.cpp: the model rules the held rules descend from and the
// deepest terms; growth_text.cpp: what it prints of rules and terms). Not for
// use outside them.

namespace vorn::growth_text {

// The sets in the report's order, as the growth table heads them.
inline constexpr const char* set_names[] = {"selectable consistent rule", "not selectable consistent rule",
                                            "selectable transfer rule", "not selectable transfer rule",
                                            "final rule"};

// Key shapes kept in all: enough to see keys change, bounded for long runs.
inline constexpr size_t max_key_shapes = 20000;
// How many deepest terms and how many model rules the section lists.
inline constexpr size_t deepest_shown = 3;
inline constexpr size_t model_rules_shown = 5;
inline constexpr size_t states_shown = 8;
// Function terms are printed down to this many levels.
inline constexpr size_t levels_shown = 8;
// Longest printed term; what is longer is cut.
inline constexpr size_t longest_print = 240;

// The printed form without the identifiers of variables, nonces and
// configurations: "x@12" becomes "x".
std::string without_ids(const std::string& text);
// The text cut to the longest printed term.
std::string cut(const std::string& text);

// A fact's terms with what the growth section calls the place of each.
struct Place {
    const sym::Term* term;
    const char* where;
    // The state or event the term is an argument of, or null for knowledge.
    const sym::ArgumentFact* fact;
};
std::vector<Place> places_of(const sym::StateRule* rule);
// The states of a rule, conversions included.
std::vector<const sym::State*> states_of(const sym::StateRule* rule);
// The printed fact of a place, its terms abbreviated.
std::string place_text(const Place& place);

// "1st", "2nd", ...; "37%"; "once", "3 times".
std::string ordinal(size_t n);
std::string percent(size_t part, size_t whole);
std::string times(size_t n);

// The tokens of a rule's text: names, and every other character but blanks alone.
std::vector<std::string> tokens_of(const std::string& text);

}  // namespace vorn::growth_text
