#include <set>
#include <string_view>

#include "vorn/model/similar_names.h"
#include "vorn/model/warnings.h"

namespace vorn {

namespace {

using Kind = TermOutline::Kind;

// The premises the analysis resolves with the conclusions of other rules: not
// a bare variable, which the attacker is assumed to provide, and not a
// configuration, of which a variant passes over the premise.
bool resolved(const FactOutline& premise) {
    return premise.kind == FactOutline::Kind::KNOW && !premise.args.empty() &&
           premise.args[0].kind != Kind::VARIABLE && premise.args[0].kind != Kind::CONFIGURATION;
}

bool concludes_knowledge(const RuleOutline& rule) {
    return rule.conclusion && rule.conclusion->kind == FactOutline::Kind::KNOW && !rule.conclusion->args.empty();
}

// Whether two written terms may stand for one, as may_unify answers, except
// that a function used with two numbers of arguments may: the analysis stops
// with an error when they meet, which mixed-arity reports.
bool may_match(const Outline& outline, const TermOutline& a, const TermOutline& b) {
    if (a.kind == Kind::VARIABLE || a.kind == Kind::CONFIGURATION) return true;
    if (b.kind == Kind::VARIABLE || b.kind == Kind::CONFIGURATION) return true;
    if (a.kind != b.kind) return false;
    if (a.kind == Kind::NONCE) return true;
    if (outline.text(a.name) != outline.text(b.name)) return false;
    if (a.args.size() != b.args.size()) return true;
    for (size_t i = 0; i < a.args.size(); ++i)
        if (!may_match(outline, a.args[i], b.args[i])) return false;
    return true;
}

// The constants and function names of a term, with one place each.
void global_names(const TermOutline& term, std::vector<const TermOutline*>& out) {
    if (term.kind == Kind::CONSTANT || term.kind == Kind::FUNCTION) out.push_back(&term);
    for (const TermOutline& arg : term.args) global_names(arg, out);
}

// A note at a name of a concluded term that is named like a name of the
// premise that no conclusion holds: the slip that likely made it unproduced.
std::optional<Note> similar_conclusion(const Outline& outline, const TermOutline& premise,
                                       const std::vector<const FactOutline*>& conclusions) {
    std::vector<const TermOutline*> concluded;
    for (const FactOutline* conclusion : conclusions) global_names(conclusion->args[0], concluded);
    std::set<std::string_view> known;
    for (const TermOutline* name : concluded) known.insert(outline.text(name->name));
    std::vector<const TermOutline*> needed;
    global_names(premise, needed);
    for (const TermOutline* name : needed) {
        std::string_view text = outline.text(name->name);
        if (known.count(text)) continue;
        for (const TermOutline* other : concluded) {
            if (other->kind != name->kind || !similar_names(text, outline.text(other->name))) continue;
            return Note{other->name, "knowledge of '" + quoted(outline.text(other->name)) +
                                         "' is concluded here: a misspelling?"};
        }
    }
    return std::nullopt;
}

}  // namespace

std::vector<Diagnostic> unproduced_knowledge(const Outline& outline) {
    const size_t rules = outline.rules.size();
    std::vector<const FactOutline*> conclusions;
    std::vector<size_t> concluded_by;
    for (size_t r = 0; r < rules; ++r) {
        if (!concludes_knowledge(outline.rules[r])) continue;
        conclusions.push_back(&*outline.rules[r].conclusion);
        concluded_by.push_back(r);
    }
    // For each resolved premise, the conclusions that may match it.
    struct Need {
        const FactOutline* premise;
        size_t rule;
        std::vector<size_t> matches;
    };
    std::vector<Need> needs;
    std::vector<std::vector<size_t>> needs_of(rules);
    for (size_t r = 0; r < rules; ++r) {
        for (const FactOutline& premise : outline.rules[r].premises) {
            if (!resolved(premise)) continue;
            Need need{&premise, r, {}};
            for (size_t c = 0; c < conclusions.size(); ++c)
                if (may_match(outline, premise.args[0], conclusions[c]->args[0])) need.matches.push_back(c);
            needs_of[r].push_back(needs.size());
            needs.push_back(std::move(need));
        }
    }
    // A rule may apply when each of its resolved premises may be matched by
    // the conclusion of a rule that may apply itself (states and events
    // aside): the least such set, reached from the rules without such premises.
    std::vector<bool> applies(rules, false);
    auto provided = [&](const Need& need) {
        for (size_t c : need.matches)
            if (applies[concluded_by[c]]) return true;
        return false;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t r = 0; r < rules; ++r) {
            if (applies[r]) continue;
            bool all = true;
            for (size_t n : needs_of[r]) all = all && provided(needs[n]);
            if (!all) continue;
            applies[r] = true;
            changed = true;
        }
    }
    std::vector<Diagnostic> found;
    for (const Need& need : needs) {
        if (provided(need)) continue;
        const RuleOutline& rule = outline.rules[need.rule];
        const char* which = rule.transfer ? "this transfer rule" : "this rule";
        const TermOutline& term = need.premise->args[0];
        std::string like = "'" + quoted(one_line(outline, need.premise->whole), 60) + "'";
        Diagnostic d;
        d.span = need.premise->whole;
        if (need.matches.empty()) {
            d.message = "no rule concludes knowledge that may match " + like + ", so the attacker never knows it and " +
                        which + " can never apply";
            if (term.kind == Kind::CONSTANT)
                d.message += ": the attacker knows a constant only when a rule gives it, as '! -[ ]-> k(" +
                             quoted(outline.text(term.whole)) + ");' does";
            if (std::optional<Note> note = similar_conclusion(outline, term, conclusions)) d.notes.push_back(*note);
        } else {
            std::set<int> lines;
            for (size_t c : need.matches) lines.insert(outline.rules[concluded_by[c]].marker.line);
            d.message = "knowledge that may match " + like + " is concluded only by the rules of line " +
                        line_list(lines) + ", which can never apply themselves, so " + which +
                        " can never apply either";
        }
        found.push_back(std::move(d));
    }
    return found;
}

}  // namespace vorn
