#include "vorn/saturation/engine_failure.h"

#include <iostream>
#include <set>
#include <streambuf>
#include <unordered_set>
#include <vector>

#include "symbolic/arity_clash.h"
#include "symbolic/implication.h"
#include "symbolic/namer.h"
#include "symbolic/srule.h"
#include "vorn/model/lexer.h"
#include "vorn/model/model_errors.h"
#include "vorn/model/parser.h"
#include "vorn/saturation/observers.h"

namespace vorn {

bool FailureWatch::step(const Algorithm&, size_t) {
    return !_deadline || std::chrono::steady_clock::now() < *_deadline;
}

void FailureWatch::failed(Meeting meeting, const sym::StateRule* first, const sym::StateRule* second) {
    if (_site) return;
    FailureSite site;
    site.meeting = meeting;
    site.first = _provenance.origin(first);
    if (second != nullptr) site.second = _provenance.origin(second);
    _site = std::move(site);
}

namespace {

class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Standard output goes nowhere while it lives.
class Quiet {
public:
    Quiet() : _saved(std::cout.rdbuf(&_null)) {}
    ~Quiet() { std::cout.rdbuf(_saved); }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    NullBuffer _null;
    std::streambuf* _saved;
};

}  // namespace

std::set<size_t> model_rules_of(const Outline& outline, const Origin* origin) {
    std::vector<size_t> consistent;
    std::vector<size_t> transfer;
    for (size_t i = 0; i < outline.rules.size(); ++i) (outline.rules[i].transfer ? transfer : consistent).push_back(i);
    std::set<size_t> found;
    std::unordered_set<const Origin*> seen;
    std::vector<const Origin*> todo;
    if (origin != nullptr) todo.push_back(origin);
    while (!todo.empty()) {
        const Origin* next = todo.back();
        todo.pop_back();
        if (!seen.insert(next).second) continue;
        if (next->kind == Origin::Kind::MODEL) {
            // The model's rules are numbered consistent rules first, then transfer rules.
            size_t n = next->number;
            if (n < consistent.size())
                found.insert(consistent[n]);
            else if (n - consistent.size() < transfer.size())
                found.insert(transfer[n - consistent.size()]);
            continue;
        }
        if (next->first) todo.push_back(next->first.get());
        if (next->second) todo.push_back(next->second.get());
    }
    return found;
}

namespace {

// The model rule whose conclusion a rule carries.
const Origin* conclusion_origin(const Origin* origin) {
    while (origin != nullptr && origin->kind != Origin::Kind::MODEL) {
        switch (origin->kind) {
            case Origin::Kind::COMPOSITION:
            case Origin::Kind::TRANSFER: origin = origin->second.get(); break;
            default: origin = origin->first.get(); break;
        }
    }
    return origin;
}

std::string lines_of(const Outline& outline, const std::set<size_t>& rules) {
    std::set<int> lines;
    for (size_t rule : rules) lines.insert(outline.rules[rule].marker.line);
    return (lines.size() == 1 ? "line " : "lines ") + line_list(lines);
}

// What the engine was doing, in words: "composed a rule from line 2 into ...".
std::string meeting_words(const Outline& outline, const FailureSite& site, const std::set<size_t>& first,
                          const std::set<size_t>& second) {
    std::string a = "a rule from " + lines_of(outline, first);
    std::string b = "a rule from " + lines_of(outline, second);
    switch (site.meeting) {
        case Meeting::COMPOSITION: return "composed " + a + " into " + b;
        case Meeting::IMPLICATION: return "compared " + a + " with " + b;
        case Meeting::TRANSFER: return "carried " + b + " back through the transfer rule of " + lines_of(outline, first);
        case Meeting::ACCESS: return "matched " + a + " against the access queries";
    }
    return "";
}

std::string plain(const common::UserError& error) {
    if (error.detail() == "if predicates are in set N, the conclusion should not be a variable")
        return "a rule derived from this one has no premise left to resolve and concludes the knowledge of a bare "
               "variable; give the concluded values a shape in the rules that produce them";
    return error.detail();
}

}  // namespace

std::optional<FailureSite> replay_failure(const std::string& text, std::chrono::steady_clock::time_point deadline,
                                          const Settings& settings) {
    release_model();
    sym::namer = sym::_Namer();
    sym::StateRule::_sid = 0;
    sym::forget_arities();
    Quiet quiet;
    scan_string(text);
    std::optional<FailureSite> site;
    try {
        parse_model();
        Provenance provenance;
        record_parsed_model(provenance);
        FailureWatch watch(provenance);
        watch.set_deadline(deadline);
        Observers both({&provenance, &watch});
        Algorithm algorithm(&both, settings);
        try {
            algorithm.close_const_rule(raw_const_rules);
            algorithm.close_trans_rule(raw_trans_rules);
            algorithm.complete();
            if (!algorithm.stopped()) algorithm.analysis(raw_accessable_states);
        } catch (const common::UserError&) {
            site = watch.site();
        }
    } catch (const common::UserError&) {
        // The first run read the model without an error; a second cannot differ.
    }
    return site;
}

Diagnostic engine_error(const Outline& outline, const common::UserError& error,
                        const std::optional<FailureSite>& site) {
    std::set<size_t> first;
    std::set<size_t> second;
    std::string doing;
    if (site) {
        first = model_rules_of(outline, site->first.get());
        second = model_rules_of(outline, site->second.get());
        if (!first.empty() && (!second.empty() || site->meeting == Meeting::ACCESS))
            doing = meeting_words(outline, *site, first, second);
    }
    if (const auto* clash = dynamic_cast<const sym::ArityClash*>(&error)) {
        std::vector<SymbolUse> candidates;
        for (const std::set<size_t>* side : {&first, &second})
            for (size_t rule : *side) rule_symbol_uses(outline, outline.rules[rule], rule, candidates);
        if (site && site->meeting == Meeting::ACCESS)
            for (size_t q = 0; q < outline.queries.size(); ++q) query_symbol_uses(outline, q, candidates);
        SymbolUse one{};
        SymbolUse other{};
        if (clash_uses(*clash, candidates, one, other))
            return arity_clash(*clash, one, other, doing.empty() ? "" : "the two met when the analysis " + doing);
        // Not traced to the rules that met: the first uses in the model.
        if (clash_uses(*clash, symbol_uses(outline), one, other)) return arity_clash(*clash, one, other, "");
    }
    Diagnostic d;
    d.message = plain(error);
    if (!doing.empty()) d.message += "; found when the analysis " + doing;
    const Origin* concluding = site ? conclusion_origin(site->second ? site->second.get() : site->first.get()) : nullptr;
    std::set<size_t> rule = model_rules_of(outline, concluding);
    if (!rule.empty()) {
        const RuleOutline& written = outline.rules[*rule.begin()];
        d.span = written.conclusion ? written.conclusion->whole : written.marker;
    }
    return d;
}

}  // namespace vorn
