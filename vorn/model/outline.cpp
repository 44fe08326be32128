#include "vorn/model/outline.h"

namespace vorn {

std::string_view Outline::text(const Span& span) const {
    if (span.offset >= source.size()) return {};
    return source.substr(span.offset, span.length);
}

const DeclOutline* Outline::declaration(std::string_view name) const {
    auto found = _declared.find(name);
    return found == _declared.end() ? nullptr : &decls[found->second];
}

void Outline::add_declaration(DeclOutline decl) {
    // A second declaration of a name is refused before it gets here.
    _declared.emplace(text(decl.name), decls.size());
    decls.push_back(std::move(decl));
}

void Outline::clear() {
    decls.clear();
    rules.clear();
    queries.clear();
    _declared.clear();
}

namespace {

void term_uses(const Outline& outline, const TermOutline& term, size_t item, bool in_query,
               std::vector<SymbolUse>& uses) {
    if (term.kind == TermOutline::Kind::CONSTANT)
        uses.push_back({SymbolUse::Kind::CONSTANT, outline.text(term.name), 0, term.name, item, in_query});
    if (term.kind != TermOutline::Kind::FUNCTION) return;
    uses.push_back({SymbolUse::Kind::FUNCTION, outline.text(term.name), term.args.size(), term.name, item, in_query});
    for (const TermOutline& arg : term.args) term_uses(outline, arg, item, in_query, uses);
}

void fact_uses(const Outline& outline, const FactOutline& fact, size_t item, bool in_query,
               std::vector<SymbolUse>& uses) {
    if (fact.kind != FactOutline::Kind::KNOW) {
        SymbolUse::Kind kind = fact.kind == FactOutline::Kind::EVENT ? SymbolUse::Kind::EVENT : SymbolUse::Kind::STATE;
        uses.push_back({kind, outline.text(fact.name), fact.args.size(), fact.name, item, in_query});
    }
    for (const TermOutline& arg : fact.args) term_uses(outline, arg, item, in_query, uses);
}

}  // namespace

void rule_symbol_uses(const Outline& outline, const RuleOutline& rule, size_t item, std::vector<SymbolUse>& uses) {
    for_each_fact(rule, [&](const FactOutline& fact) { fact_uses(outline, fact, item, false, uses); });
}

void query_symbol_uses(const Outline& outline, size_t query, std::vector<SymbolUse>& uses) {
    fact_uses(outline, outline.queries.at(query).state, query, true, uses);
}

std::vector<SymbolUse> symbol_uses(const Outline& outline) {
    std::vector<SymbolUse> uses;
    for (size_t i = 0; i < outline.rules.size(); ++i) rule_symbol_uses(outline, outline.rules[i], i, uses);
    for (size_t i = 0; i < outline.queries.size(); ++i) query_symbol_uses(outline, i, uses);
    return uses;
}

const char* kind_word(SymbolUse::Kind kind) {
    switch (kind) {
        case SymbolUse::Kind::CONSTANT: return "constant";
        case SymbolUse::Kind::FUNCTION: return "function";
        case SymbolUse::Kind::EVENT: return "event";
        case SymbolUse::Kind::STATE: return "state";
    }
    return "symbol";
}

const char* kind_word(TermOutline::Kind kind) {
    switch (kind) {
        case TermOutline::Kind::VARIABLE: return "variable";
        case TermOutline::Kind::CONSTANT: return "constant";
        case TermOutline::Kind::NONCE: return "nonce";
        case TermOutline::Kind::CONFIGURATION: return "configuration";
        case TermOutline::Kind::FUNCTION: return "function term";
    }
    return "term";
}

std::string one_line(const Outline& outline, const Span& span, size_t limit) {
    std::string_view text = outline.text(span);
    std::string result;
    bool blank = false;
    for (char c : text) {
        bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (space) {
            blank = true;
            continue;
        }
        if (blank && !result.empty()) result += ' ';
        blank = false;
        if (result.size() >= limit) {
            result += "...";
            return result;
        }
        result += c;
    }
    return result;
}

}  // namespace vorn
