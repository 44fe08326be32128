#include "vorn/report/growth.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <utility>

#include "vorn/report/explain.h"
#include "vorn/report/growth_text.h"

// The parts of the growth section that follow the held rules back to the
// model: the model rules they descend from, and those that nest the deepest
// terms.

namespace vorn {

using namespace growth_text;
using sym::StateRule;

namespace {

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

}  // namespace

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
            size_t depth = sym::term_depth(place.term);
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
           << set_names[deep.held.set] << " (the " << ordinal(deep.held.order) << " of the " << held.size()
           << " rules held):\n"
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

}  // namespace vorn
