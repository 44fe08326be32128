#pragma once

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/provenance.h"

namespace vorn {

// Watches a saturation to say, once something stopped it, what kept it
// going: how the held rule sets grew, which model rules the held rules
// descend from, the deepest terms held with the symbols nesting along them
// and the model rules that build that nesting, and the states whose keys keep
// changing. It reads the rules it is shown and the records of the provenance
// (which must watch the same run), changes nothing and issues no name.
//
// Among the observers of a run it must come after every observer that may
// refuse a rule: it takes a rule it is asked to admit as held.
class Growth : public Observer {
public:
    explicit Growth(const Provenance& provenance) : _provenance(provenance) {}

    bool step(const Algorithm& engine, size_t queued) override;
    bool admit(const Algorithm& engine, const sym::StateRule* rule) override;
    void dropped(const sym::StateRule* rule) override;

    // The section "Growth of the rule sets:" for the run as it stands.
    void print(std::ostream& os, const Algorithm& engine) const;

    // How the five saturated sets stood before a rule was taken from a work queue.
    struct Sample {
        size_t tried = 0;
        size_t queued = 0;
        std::vector<size_t> held;
        // The most states and the deepest term of a rule held so far.
        size_t widest = 0;
        size_t deepest = 0;
    };
    // At most this many samples are kept; when full, every other one goes
    // and the rest are spaced twice as far apart.
    static constexpr size_t max_samples = 64;
    const std::vector<Sample>& samples() const { return _samples; }
    // The rules held now in each of the five saturated sets, as this
    // observer counts them: what the engine's set sizes must be.
    std::vector<size_t> held_by_set() const;

private:
    struct Held {
        // 1 for the first rule held in the run, 2 for the next, ...; in
        // print(), its place among the rules held at the end.
        size_t order;
        int set;       // index of its set in the report's order
    };
    // The different keys one state name was seen with, each with the order of
    // the first rule held that had it.
    struct Keys {
        std::map<std::string, size_t> first_held;
        size_t deepest = 0;
        std::string deepest_key;
    };

    // The held rules with what is known of each, in the order they were held.
    typedef std::vector<std::pair<const sym::StateRule*, Held>> HeldRules;

    void note_keys(const sym::StateRule* rule, size_t order);
    // The parts of the section, in the order they are printed.
    void print_sets(std::ostream& os, const Algorithm& engine) const;
    void print_descent(std::ostream& os, const HeldRules& held) const;
    void print_deepest(std::ostream& os, const HeldRules& held) const;
    void print_widest(std::ostream& os, const HeldRules& held) const;
    void print_keys(std::ostream& os) const;

    const Provenance& _provenance;
    std::unordered_map<const sym::StateRule*, Held> _held;
    size_t _admitted = 0;
    size_t _widest = 0;
    size_t _deepest = 0;
    std::vector<Sample> _samples;
    size_t _stride = 1;
    std::map<std::string, Keys> _keys;
    size_t _key_shapes = 0;
};


// The function symbols from the root of the term down its deepest path (at
// each level the first argument of greatest depth), outermost first.
std::vector<std::string> deepest_path(const sym::Term* term);

// The term as printed, its function terms shown down to `levels` levels and
// "..." in place of what lies below.
std::string abbreviated(const sym::Term* term, size_t levels);

// Whether the rule as written (one_line text) applies `symbol` directly to a
// variable, nonce or configuration that occurs in the rule outside that
// application too: the rule relates a value to the value wrapped in the
// symbol, so chaining it nests the symbol.
bool wraps(const std::string& rule_text, const std::string& symbol);

}  // namespace vorn
