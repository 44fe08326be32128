#include "vorn/model/warnings.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "vorn/model/similar_names.h"

namespace vorn {

namespace {

const std::string prefix_no = "no-";

std::string fact_text(const Outline& outline, const FactOutline& fact) {
    return quoted(one_line(outline, fact.whole), 60);
}

std::string name_text(const Outline& outline, const Span& span) { return quoted(outline.text(span)); }

// A state, or a conversion source, that a rule needs to hold for it to apply.
struct Requirement {
    const FactOutline* state;
    size_t rule;
};

std::vector<Requirement> requirements_of(const Outline& outline, size_t rule) {
    std::vector<Requirement> list;
    const RuleOutline& r = outline.rules[rule];
    for (const FactOutline& state : r.states) list.push_back({&state, rule});
    for (const ConversionOutline& conversion : r.conversions)
        if (conversion.from) list.push_back({&*conversion.from, rule});
    return list;
}

bool is_selectable_premise(const FactOutline& premise) {
    return premise.kind == FactOutline::Kind::KNOW && !premise.args.empty() &&
           premise.args[0].kind != TermOutline::Kind::VARIABLE;
}

}  // namespace

const std::vector<WarningInfo>& warning_table() {
    static const std::vector<WarningInfo> table = {
        {WarningId::UNKNOWN_CHARACTER, "unknown-character", "a character that belongs to no token", true},
        // A model without steps is often meant so; the states it cannot
        // reach are reported by unproduced.
        {WarningId::MISSING_TRANSFER_RULE, "missing-transfer-rule", "a model without transfer rules (off)", false},
        {WarningId::UNUSED_DECLARATION, "unused-declaration", "a declared event or state that nothing uses", true},
        {WarningId::MISSPELLING, "misspelling", "a constant or function used once, named like another", true},
        {WarningId::MIXED_ARITY, "mixed-arity", "a name used with two numbers of arguments", true},
        {WarningId::UNPRODUCED, "unproduced", "knowledge, a state or an event that nothing produces", true},
        {WarningId::UNMATCHED_QUERY, "unmatched-query", "an access query that no rule's state can match", true},
        {WarningId::PARTIAL_STEP, "partial-step", "a rule that names only some processes of a step", true},
    };
    return table;
}

const char* warning_name(WarningId id) {
    for (const WarningInfo& info : warning_table())
        if (info.id == id) return info.name;
    return "";
}

WarningSettings::WarningSettings() {
    for (const WarningInfo& info : warning_table()) _on[static_cast<size_t>(info.id)] = info.by_default;
}

bool WarningSettings::is_warning_option(const std::string& argument) {
    return argument == "-w" || argument.rfind("-W", 0) == 0;
}

bool WarningSettings::any_errors() const {
    for (const WarningInfo& info : warning_table())
        if (is_error(info.id)) return true;
    return false;
}

std::string WarningSettings::apply(const std::string& argument) {
    if (argument == "-w") {
        _silent = true;
        return "";
    }
    if (argument == "-Werror") {
        _errors = true;
        return "";
    }
    if (argument == "-Wall" || argument == "-Wextra") {
        // -Wall: the warnings on by default; -Wextra: those off by default.
        bool extra = argument == "-Wextra";
        for (const WarningInfo& info : warning_table())
            if (info.by_default != extra) _on[index(info.id)] = true;
        return "";
    }
    std::string name = argument.substr(2);
    bool off = name.rfind(prefix_no, 0) == 0;
    if (off) name = name.substr(prefix_no.size());
    // -Werror=NAME and -Wno-error=NAME.
    const std::string error_prefix = "error=";
    bool error = name.rfind(error_prefix, 0) == 0;
    if (error) name = name.substr(error_prefix.size());
    for (const WarningInfo& info : warning_table()) {
        if (name != info.name) continue;
        if (!error) {
            _on[index(info.id)] = !off;
        } else if (off) {
            _error[index(info.id)] = ErrorChoice::NO;
        } else {
            _on[index(info.id)] = true;
            _error[index(info.id)] = ErrorChoice::YES;
        }
        return "";
    }
    return "vorn: unknown warning option '" + argument + "'\n";
}

Diagnostic warning(WarningId id, const WarningSettings& settings, std::optional<Span> span, std::string message) {
    Diagnostic d;
    d.severity = settings.is_error(id) ? Severity::ERROR : Severity::WARNING;
    d.promoted = settings.is_error(id);
    d.warning = warning_name(id);
    d.span = span;
    d.message = std::move(message);
    return d;
}

bool may_unify(const Outline& outline, const TermOutline& a, const TermOutline& b) {
    using Kind = TermOutline::Kind;
    if (a.kind == Kind::VARIABLE || a.kind == Kind::CONFIGURATION) return true;
    if (b.kind == Kind::VARIABLE || b.kind == Kind::CONFIGURATION) return true;
    if (a.kind != b.kind) return false;
    if (a.kind == Kind::NONCE) return true;
    if (outline.text(a.name) != outline.text(b.name)) return false;
    if (a.args.size() != b.args.size()) return false;
    for (size_t i = 0; i < a.args.size(); ++i)
        if (!may_unify(outline, a.args[i], b.args[i])) return false;
    return true;
}

bool may_unify(const Outline& outline, const FactOutline& a, const FactOutline& b) {
    if (a.kind != b.kind || outline.text(a.name) != outline.text(b.name) || a.args.size() != b.args.size())
        return false;
    for (size_t i = 0; i < a.args.size(); ++i)
        if (!may_unify(outline, a.args[i], b.args[i])) return false;
    return true;
}

bool may_generalize(const Outline& outline, const TermOutline& general, const TermOutline& specific) {
    using Kind = TermOutline::Kind;
    if (general.kind == Kind::VARIABLE) return true;
    if (general.kind == Kind::CONFIGURATION) return specific.kind != Kind::VARIABLE;
    if (general.kind != specific.kind) return false;
    if (general.kind == Kind::NONCE) return true;
    if (outline.text(general.name) != outline.text(specific.name)) return false;
    if (general.args.size() != specific.args.size()) return false;
    for (size_t i = 0; i < general.args.size(); ++i)
        if (!may_generalize(outline, general.args[i], specific.args[i])) return false;
    return true;
}

bool may_generalize(const Outline& outline, const FactOutline& general, const FactOutline& specific) {
    if (general.kind != specific.kind || outline.text(general.name) != outline.text(specific.name) ||
        general.args.size() != specific.args.size())
        return false;
    for (size_t i = 0; i < general.args.size(); ++i)
        if (!may_generalize(outline, general.args[i], specific.args[i])) return false;
    return true;
}

std::vector<Diagnostic> unused_declarations(const Outline& outline) {
    std::set<std::string_view> used;
    for (const SymbolUse& use : symbol_uses(outline))
        if (use.kind == SymbolUse::Kind::EVENT || use.kind == SymbolUse::Kind::STATE) used.insert(use.name);
    std::vector<Diagnostic> found;
    for (const DeclOutline& decl : outline.decls) {
        if (used.count(outline.text(decl.name))) continue;
        Diagnostic d;
        d.span = decl.name;
        d.message = "'" + name_text(outline, decl.name) + "' is declared but no rule or access query uses it";
        found.push_back(std::move(d));
    }
    return found;
}

std::vector<Diagnostic> mixed_arities(const Outline& outline) {
    std::map<std::pair<SymbolUse::Kind, std::string_view>, SymbolUse> first;
    std::set<std::pair<SymbolUse::Kind, std::string_view>> reported;
    std::vector<Diagnostic> found;
    for (const SymbolUse& use : symbol_uses(outline)) {
        if (use.kind == SymbolUse::Kind::CONSTANT) continue;
        auto key = std::make_pair(use.kind, use.name);
        auto [earlier, fresh] = first.emplace(key, use);
        if (fresh || earlier->second.arity == use.arity || reported.count(key)) continue;
        reported.insert(key);
        Diagnostic d;
        d.span = use.span;
        d.message = std::string(kind_word(use.kind)) + " '" + quoted(use.name) + "' is used with " +
                    count_of(use.arity, "argument", "arguments") + " here and with " +
                    count_of(earlier->second.arity, "argument", "arguments") + " at line " +
                    std::to_string(earlier->second.span.line) +
                    ": the analysis stops with an error if the two meet";
        d.notes.push_back({earlier->second.span, "'" + quoted(use.name) + "' with " +
                                                     count_of(earlier->second.arity, "argument", "arguments")});
        found.push_back(std::move(d));
    }
    return found;
}

std::vector<Diagnostic> misspellings(const Outline& outline) {
    struct Symbol {
        SymbolUse first;
        size_t count = 0;
    };
    std::map<std::pair<SymbolUse::Kind, std::string_view>, Symbol> symbols;
    for (const SymbolUse& use : symbol_uses(outline)) {
        if (use.kind != SymbolUse::Kind::CONSTANT && use.kind != SymbolUse::Kind::FUNCTION) continue;
        Symbol& symbol = symbols.emplace(std::make_pair(use.kind, use.name), Symbol{use, 0}).first->second;
        ++symbol.count;
    }
    // Pairs of names of similar lengths are compared; a model with very many
    // names compares at most this many pairs.
    size_t budget = 4000000;
    std::vector<Diagnostic> found;
    for (const auto& [key, once] : symbols) {
        if (once.count != 1) continue;
        for (const auto& [other_key, other] : symbols) {
            if (other_key.first != key.first || other_key.second == key.second) continue;
            size_t la = key.second.size();
            size_t lb = other_key.second.size();
            if ((la > lb ? la - lb : lb - la) > 2) continue;
            if (budget == 0) break;
            --budget;
            if (!similar_names(key.second, other_key.second)) continue;
            // Of two names used once each, the later one is taken for the slip.
            if (other.count == 1 && other.first.span.offset > once.first.span.offset) continue;
            Diagnostic d;
            d.span = once.first.span;
            std::string word = kind_word(key.first);
            d.message = word + " '" + quoted(key.second) + "' is used only here and is named like the " + word +
                        " '" + quoted(other_key.second) + "' (line " + std::to_string(other.first.span.line) +
                        "): a misspelling?";
            d.notes.push_back({other.first.span, "'" + quoted(other_key.second) + "' is used here"});
            found.push_back(std::move(d));
            break;
        }
    }
    return found;
}

std::vector<Diagnostic> unproduced_requirements(const Outline& outline) {
    std::vector<Diagnostic> found;
    const size_t rules = outline.rules.size();
    // Conversion targets by the state name, with their rules.
    std::multimap<std::string_view, std::pair<const FactOutline*, size_t>> targets;
    for (size_t r = 0; r < rules; ++r)
        for (const ConversionOutline& conversion : outline.rules[r].conversions)
            targets.emplace(outline.text(conversion.to.name), std::make_pair(&conversion.to, r));
    auto queried = [&](const FactOutline& state) {
        for (const QueryOutline& query : outline.queries)
            if (may_generalize(outline, state, query.state)) return true;
        return false;
    };
    // A transfer rule is live when a process can be in every state it needs:
    // started there by a query, or led there by a live transfer rule.
    std::vector<bool> live(rules, false);
    auto provided = [&](const FactOutline& state, bool live_only) {
        if (queried(state)) return true;
        auto range = targets.equal_range(outline.text(state.name));
        for (auto i = range.first; i != range.second; ++i)
            if ((!live_only || live[i->second.second]) && may_unify(outline, state, *i->second.first)) return true;
        return false;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t r = 0; r < rules; ++r) {
            if (live[r] || !outline.rules[r].transfer) continue;
            bool all = true;
            for (const Requirement& need : requirements_of(outline, r)) all = all && provided(*need.state, true);
            if (all) {
                live[r] = true;
                changed = true;
            }
        }
    }
    for (size_t r = 0; r < rules; ++r) {
        const RuleOutline& rule = outline.rules[r];
        const char* which = rule.transfer ? "this transfer rule" : "this rule";
        for (const Requirement& need : requirements_of(outline, r)) {
            if (provided(*need.state, true)) continue;
            Diagnostic d;
            d.span = need.state->whole;
            std::set<int> dead;
            auto range = targets.equal_range(outline.text(need.state->name));
            for (auto i = range.first; i != range.second; ++i)
                if (may_unify(outline, *need.state, *i->second.first))
                    dead.insert(outline.rules[i->second.second].marker.line);
            if (dead.empty()) {
                d.message = "no access query starts a process in a state like '" + fact_text(outline, *need.state) +
                            "' and no conversion leads to one, so " + which + " can never apply";
            } else {
                d.message = "a process reaches a state like '" + fact_text(outline, *need.state) +
                            "' only through the transfer rules of line " + line_list(dead) +
                            ", which can never apply themselves, so " + which + " can never apply either";
            }
            found.push_back(std::move(d));
        }
    }
    // Events: a premise is an assumption that target rules keep. One that no
    // rule concludes and that draws no fresh nonce is likely a slip.
    std::vector<const FactOutline*> concluded;
    for (const RuleOutline& rule : outline.rules)
        if (rule.conclusion && rule.conclusion->kind == FactOutline::Kind::EVENT)
            concluded.push_back(&*rule.conclusion);
    for (const RuleOutline& rule : outline.rules) {
        for (const FactOutline& premise : rule.premises) {
            if (premise.kind != FactOutline::Kind::EVENT) continue;
            const DeclOutline* decl = outline.declaration(outline.text(premise.name));
            if (decl == nullptr ||
                std::find(decl->starred.begin(), decl->starred.end(), true) != decl->starred.end())
                continue;
            bool made = std::any_of(concluded.begin(), concluded.end(),
                                    [&](const FactOutline* event) { return may_unify(outline, premise, *event); });
            if (made) continue;
            Diagnostic d;
            d.span = premise.whole;
            d.message = "no rule concludes an event like '" + fact_text(outline, premise) + "', and '" +
                        name_text(outline, premise.name) +
                        "' draws no fresh nonce: every target rule that rests on this rule assumes it happened";
            found.push_back(std::move(d));
        }
    }
    for (Diagnostic& d : unproduced_knowledge(outline)) found.push_back(std::move(d));
    std::stable_sort(found.begin(), found.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.span->offset < b.span->offset; });
    return found;
}

std::vector<Diagnostic> unmatched_queries(const Outline& outline) {
    std::vector<Diagnostic> found;
    for (const QueryOutline& query : outline.queries) {
        bool matched = false;
        const FactOutline* same_name = nullptr;
        for (size_t r = 0; r < outline.rules.size() && !matched; ++r) {
            for (const Requirement& need : requirements_of(outline, r)) {
                if (outline.text(need.state->name) == outline.text(query.state.name) && same_name == nullptr)
                    same_name = need.state;
                if (may_generalize(outline, *need.state, query.state)) {
                    matched = true;
                    break;
                }
            }
        }
        if (matched) continue;
        Diagnostic d;
        d.span = query.state.whole;
        d.message = "no rule holds a process in a state that matches this query, so it can never be used";
        if (same_name != nullptr)
            d.notes.push_back({same_name->whole, "a state of '" + name_text(outline, query.state.name) +
                                                     "' that is not as general as the query"});
        found.push_back(std::move(d));
    }
    return found;
}

namespace {

// The states that the rules derived from `rule` may come to hold before they
// meet the step `step`: its own; those of the rules that provide its
// selectable premises, and of their providers in turn; and those that another
// step needs (its premises' providers too) once every process it moves may
// be held.
std::vector<const FactOutline*> states_to_come(const Outline& outline, const RuleOutline& rule, size_t step) {
    std::vector<const FactOutline*> held;
    std::vector<const FactOutline*> premises;
    auto take = [&](const RuleOutline& from) {
        for (const FactOutline& state : from.states) held.push_back(&state);
        for (const ConversionOutline& conversion : from.conversions)
            if (conversion.from) held.push_back(&*conversion.from);
        for (const FactOutline& premise : from.premises)
            if (is_selectable_premise(premise)) premises.push_back(&premise);
    };
    take(rule);
    std::vector<bool> used(outline.rules.size(), false);
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t r = 0; r < outline.rules.size(); ++r) {
            const RuleOutline& other = outline.rules[r];
            if (used[r] || r == step || &other == &rule) continue;
            bool joins = false;
            if (!other.transfer) {
                if (!other.conclusion || other.conclusion->kind != FactOutline::Kind::KNOW) continue;
                joins = std::any_of(premises.begin(), premises.end(), [&](const FactOutline* premise) {
                    return may_unify(outline, premise->args[0], other.conclusion->args[0]);
                });
            } else {
                joins = std::all_of(other.conversions.begin(), other.conversions.end(), [&](const ConversionOutline& c) {
                    return std::any_of(held.begin(), held.end(),
                                       [&](const FactOutline* state) { return may_unify(outline, *state, c.to); });
                });
            }
            if (!joins) continue;
            used[r] = true;
            changed = true;
            take(other);
        }
    }
    return held;
}

}  // namespace

std::vector<Diagnostic> partial_steps(const Outline& outline) {
    std::vector<Diagnostic> found;
    auto may_hold = [&](const std::vector<const FactOutline*>& states, const FactOutline& target) {
        return std::any_of(states.begin(), states.end(),
                           [&](const FactOutline* state) { return may_unify(outline, *state, target); });
    };
    for (size_t t = 0; t < outline.rules.size(); ++t) {
        const RuleOutline& step = outline.rules[t];
        if (!step.transfer || step.conversions.size() < 2) continue;
        for (const RuleOutline& rule : outline.rules) {
            if (rule.transfer || !rule.conclusion || rule.conclusion->kind != FactOutline::Kind::EVENT) continue;
            std::vector<const FactOutline*> own;
            for (const FactOutline& state : rule.states) own.push_back(&state);
            // A state of the rule itself that a conversion leads to.
            const FactOutline* named = nullptr;
            for (const ConversionOutline& conversion : step.conversions) {
                for (const FactOutline* state : own) {
                    if (named == nullptr && may_unify(outline, *state, conversion.to)) named = state;
                }
            }
            std::vector<const FactOutline*> to_come;
            bool to_come_known = false;
            auto states_may_come = [&]() -> const std::vector<const FactOutline*>& {
                if (!to_come_known) to_come = states_to_come(outline, rule, t);
                to_come_known = true;
                return to_come;
            };
            // Otherwise a state that the rules derived from it may come to
            // hold, from the rules that provide their knowledge.
            const ConversionOutline* reached = nullptr;
            if (named == nullptr) {
                for (const ConversionOutline& conversion : step.conversions) {
                    if (may_hold(states_may_come(), conversion.to)) {
                        reached = &conversion;
                        break;
                    }
                }
                if (reached == nullptr) continue;
            }
            const ConversionOutline* missing = nullptr;
            for (const ConversionOutline& conversion : step.conversions) {
                if (may_hold(own, conversion.to) || may_hold(states_may_come(), conversion.to)) continue;
                missing = &conversion;
                break;
            }
            if (missing == nullptr) continue;
            Diagnostic d;
            std::string lacked = "'" + fact_text(outline, missing->to) + "'";
            std::string line = std::to_string(step.marker.line);
            if (named != nullptr) {
                d.span = named->whole;
                d.message = "this rule is never carried back through the step at line " + line +
                            ": the step also moves a process into a state like " + lacked +
                            ", which this rule does not name";
            } else {
                d.span = rule.conclusion->whole;
                d.message = "the rules derived from this one may hold a state like '" +
                            fact_text(outline, reached->to) + "', which the step at line " + line +
                            " leads to, but never a state like " + lacked +
                            ", to which it moves another process: such rules are never carried back through it";
            }
            d.notes.push_back({missing->to.whole, "the step moves a process into " + lacked +
                                                      " here; name every process the step moves in the rule's states"});
            found.push_back(std::move(d));
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.span->offset < b.span->offset; });
    return found;
}

std::vector<Diagnostic> model_warnings(const Outline& outline, const WarningSettings& settings,
                                       bool has_transfer_rules) {
    std::vector<Diagnostic> whole;
    std::vector<Diagnostic> located;
    auto take = [&](WarningId id, std::vector<Diagnostic> found) {
        if (!settings.enabled(id)) return;
        for (Diagnostic& d : found) {
            Diagnostic w = warning(id, settings, d.span, std::move(d.message));
            w.notes = std::move(d.notes);
            located.push_back(std::move(w));
        }
    };
    if (!has_transfer_rules && settings.enabled(WarningId::MISSING_TRANSFER_RULE))
        whole.push_back(warning(WarningId::MISSING_TRANSFER_RULE, settings, std::nullopt,
                                "the model has no transfer rule: nothing is carried back through protocol steps"));
    if (settings.enabled(WarningId::UNUSED_DECLARATION)) take(WarningId::UNUSED_DECLARATION, unused_declarations(outline));
    if (settings.enabled(WarningId::MISSPELLING)) take(WarningId::MISSPELLING, misspellings(outline));
    if (settings.enabled(WarningId::MIXED_ARITY)) take(WarningId::MIXED_ARITY, mixed_arities(outline));
    if (settings.enabled(WarningId::UNPRODUCED)) take(WarningId::UNPRODUCED, unproduced_requirements(outline));
    if (settings.enabled(WarningId::UNMATCHED_QUERY)) take(WarningId::UNMATCHED_QUERY, unmatched_queries(outline));
    if (settings.enabled(WarningId::PARTIAL_STEP)) take(WarningId::PARTIAL_STEP, partial_steps(outline));
    std::stable_sort(located.begin(), located.end(),
                     [](const Diagnostic& a, const Diagnostic& b) { return a.span->offset < b.span->offset; });
    whole.insert(whole.end(), std::make_move_iterator(located.begin()), std::make_move_iterator(located.end()));
    return whole;
}

}  // namespace vorn
