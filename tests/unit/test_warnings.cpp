// The warnings about likely modelling mistakes: each on a model that has the
// mistake and on near models that do not; their settings; and, over every
// model of the examples and the end-to-end cases, that what a warning claims
// holds in the run of the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/runtime.h"
#include "corpus.h"
#include "symbolic/implication.h"
#include "symbolic/namer.h"
#include "symbolic/srule.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"
#include "vorn/model/similar_names.h"
#include "vorn/model/warnings.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/engine_failure.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

using vorn::Diagnostic;

namespace {

using Check = std::function<std::vector<Diagnostic>(const vorn::Outline&)>;

void parse(const std::string& model) {
    vorn::release_model();
    vorn::scan_string(model);
    vorn::parse_model();
}

// "LINE:COL message" of each warning the check finds in the model.
std::vector<std::string> found(const std::string& model, const Check& check) {
    parse(model);
    std::vector<std::string> lines;
    for (const Diagnostic& d : check(vorn::model_outline))
        lines.push_back(std::to_string(d.span->line) + ":" + std::to_string(d.span->col) + " " + d.message);
    return lines;
}

size_t count(const std::string& model, const Check& check) { return found(model, check).size(); }

class Warnings : public testing::Test {
protected:
    void TearDown() override { vorn::release_model(); }
};

}  // namespace

TEST_F(Warnings, UnusedDeclaration) {
    EXPECT_EQ(found("$ L(*i, m);\n$ Seen(x);\n! -[ L(l[], on[]) ]-> k(a[]);\n% L(l[], on[]) * false;\n",
                    vorn::unused_declarations),
              std::vector<std::string>{"2:3 'Seen' is declared but no rule or access query uses it"});
    // A use in a query, as an event, or as a state counts; a function of the same name does not.
    EXPECT_EQ(count("$ L(*i);\n! k(a[]) -[ ]-> k(b[]);\n% L(x) * true;\n", vorn::unused_declarations), 0u);
    EXPECT_EQ(count("$ E(x);\n! E(a[]) -[ ]-> k(b[]);\n", vorn::unused_declarations), 0u);
    EXPECT_EQ(count("$ E(x);\n! k(E(a[])) -[ ]-> k(b[]);\n", vorn::unused_declarations), 1u);
}

TEST_F(Warnings, Misspelling) {
    const std::string slip =
        "$ C(*i, s); $ Done(x);\n? -[ ]-> <C(c[], start[]), C(c[], sent1[])>;\n! -[ C(c[], snet1[]) ]-> Done(c[]);\n";
    std::vector<std::string> lines = found(slip, vorn::misspellings);
    ASSERT_EQ(lines.size(), 1u);
    // Of two names used once each, the later is the slip.
    EXPECT_EQ(lines[0].substr(0, 35), "3:13 constant 'snet1' is used only ");
    EXPECT_NE(lines[0].find("the constant 'sent1' (line 2)"), std::string::npos);
    // Functions too, with one edit.
    EXPECT_EQ(count("! k(hash(x)) -[ ]-> k(hsh(x));\n! k(hash(a[])) -[ ]-> k(b[]);\n", vorn::misspellings), 1u);
    // Not: numbered siblings, names of two characters, names two edits apart
    // under 8 characters, a name used twice, kinds that differ.
    EXPECT_EQ(count("! -[ ]-> k(pair(msg1[], msg2[]));\n", vorn::misspellings), 0u);
    EXPECT_EQ(count("! -[ ]-> k(pair(na[], nb[]));\n", vorn::misspellings), 0u);
    EXPECT_EQ(count("! -[ ]-> k(pair(read[], rest[]));\n", vorn::misspellings), 0u);
    EXPECT_EQ(count("! -[ ]-> k(pair(lock[], lock[]));\n! -[ ]-> k(look(lock[]));\n", vorn::misspellings), 0u);
    EXPECT_EQ(count("! -[ ]-> k(lamp(lamps[]));\n! -[ ]-> k(lamp(a[]));\n", vorn::misspellings), 0u);
    // Two edits are allowed between names of 8 characters or more.
    EXPECT_EQ(count("! -[ ]-> k(pair(password[], pasword1[]));\n", vorn::misspellings), 1u);
    EXPECT_TRUE(vorn::similar_names("Lamp", "Lapm"));
    EXPECT_FALSE(vorn::similar_names("sent1", "sent2"));
    EXPECT_FALSE(vorn::similar_names("ab", "ac"));
}

TEST_F(Warnings, MixedArity) {
    std::vector<std::string> lines =
        found("! -[ ]-> k(pair(a[], b[]));\n! k(pair(x)) -[ ]-> k(x);\n! k(pair(y)) -[ ]-> k(y);\n", vorn::mixed_arities);
    // Once per name, at the first use that differs from the first use.
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 52), "2:5 function 'pair' is used with 1 argument here and");
    EXPECT_EQ(count("$ S(*i, m);\n! -[ S(a[]) ]-> k(b[]);\n! -[ S(a[], c[]) ]-> k(b[]);\n", vorn::mixed_arities), 1u);
    // An event and a state of one name are never compared: not a clash.
    EXPECT_EQ(count("$ A(x, y);\n! A(a[]) -[ A(b[], c[]) ]-> k(d[]);\n", vorn::mixed_arities), 0u);
    EXPECT_EQ(count("! -[ ]-> k(pair(a[], b[]));\n! k(pair(x, y)) -[ ]-> k(x);\n", vorn::mixed_arities), 0u);
}

TEST_F(Warnings, UnproducedStates) {
    const std::string safe = "$ Safe(*id, mode); $ Stolen(x);\n"
                             "? k(code[]) -[ ]-> <Safe(s[], locked[]), Safe(s[], open[])>;\n"
                             "! -[ Safe(s[], locked[]) ]-> k(code[]);\n"
                             "! -[ Safe(s[], %s) ]-> Stolen(gold[]);\n"
                             "%% Safe(s[], locked[]) * false;\n";
    auto model = [&](const char* mode) {
        char text[512];
        std::snprintf(text, sizeof text, safe.c_str(), mode);
        return std::string(text);
    };
    std::vector<std::string> lines = found(model("opne[]"), vorn::unproduced_requirements);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 70), "4:6 no access query starts a process in a state like 'Safe(s[], opne[]");
    // Reached by the step, or started by the query: nothing to say.
    EXPECT_EQ(count(model("open[]"), vorn::unproduced_requirements), 0u);
    EXPECT_EQ(count(model("locked[]"), vorn::unproduced_requirements), 0u);
    // A variable may be anything; a queried instance of a more general state is fine.
    EXPECT_EQ(count(model("m"), vorn::unproduced_requirements), 0u);
    // A nonce is never a constant.
    EXPECT_EQ(count(model("[m]"), vorn::unproduced_requirements), 1u);
    // Created processes, with no query at all.
    EXPECT_EQ(count("$ S(*i, u); $ H(u);\n? -[ ]-> <, S([s], alice[])>;\n! -[ S([s], u) ]-> H(u);\n",
                    vorn::unproduced_requirements),
              0u);
    // A step that cannot apply leads nowhere: the goal behind it is reported too.
    lines = found("$ D(*i, m); $ E(x);\n"
                  "? -[ ]-> <D(d[], a[]), D(d[], b[])>;\n"
                  "? -[ ]-> <D(d[], b[]), D(d[], c[])>;\n"
                  "! -[ D(d[], c[]) ]-> E(d[]);\n"
                  "% D(d[], z[]) * false;\n",
                  vorn::unproduced_requirements);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 14), "2:11 no access");
    EXPECT_EQ(lines[1].substr(0, 5), "3:11 ");
    EXPECT_NE(lines[1].find("only through the transfer rules of line 2, which can never apply themselves"),
              std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[2].substr(0, 4), "4:6 ");
    EXPECT_NE(lines[2].find("of line 3"), std::string::npos) << lines[2];
}

TEST_F(Warnings, UnproducedEvents) {
    // Required, never concluded, and no fresh nonce drawn: an assumption nothing makes true.
    std::vector<std::string> lines = found("$ Saw(x);\n! Saw(a[]) -[ ]-> k(b[]);\n", vorn::unproduced_requirements);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 47), "2:3 no rule concludes an event like 'Saw(a[])',");
    // Concluded by a rule that may match it.
    EXPECT_EQ(count("$ Saw(x);\n! -[ ]-> Saw(a[]);\n! Saw(y) -[ ]-> k(b[]);\n", vorn::unproduced_requirements), 0u);
    EXPECT_EQ(count("$ Saw(x);\n! -[ ]-> Saw(c[]);\n! Saw(a[]) -[ ]-> k(b[]);\n", vorn::unproduced_requirements), 1u);
    // An event that draws a fresh nonce is the usual assumption.
    EXPECT_EQ(count("$ Gen(*n, r);\n! Gen([n], a[]) -[ ]-> k(f([n]));\n", vorn::unproduced_requirements), 0u);
}

TEST_F(Warnings, UnmatchedQuery) {
    std::vector<std::string> lines =
        found("$ Door(*id, m); $ O(x);\n! -[ Door(d, open[]) ]-> O(d);\n% Door(front[], opne[]) * false;\n",
              vorn::unmatched_queries);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 13), "3:3 no rule h");
    // A rule about any door matches a query about one; not the other way round.
    EXPECT_EQ(count("$ Door(*id, m); $ O(x);\n! -[ Door(d, open[]) ]-> O(d);\n% Door(front[], open[]) * false;\n",
                    vorn::unmatched_queries),
              0u);
    EXPECT_EQ(count("$ Door(*id, m); $ O(x);\n! -[ Door(front[], open[]) ]-> O(a[]);\n% Door(d, open[]) * false;\n",
                    vorn::unmatched_queries),
              1u);
    // A conversion's source is a state a rule holds too.
    EXPECT_EQ(count("$ D(*i, m);\n? -[ ]-> <D(d[], a[]), D(d[], b[])>;\n! -[ ]-> k(x[]);\n% D(d[], a[]) * false;\n",
                    vorn::unmatched_queries),
              0u);
}

TEST_F(Warnings, PartialStep) {
    const std::string step = "$ A(*id, m); $ B(*id, m); $ E(x);\n"
                             "? -[ ]-> <A(a[], p[]), A(a[], q[])>, <B(b[], p[]), B(b[], q[])>;\n";
    const std::string queries = "% A(a[], p[]) * false;\n% B(b[], p[]) * false;\n";
    std::vector<std::string> lines = found(step + "! -[ A(a[], q[]) ]-> E(a[]);\n" + queries, vorn::partial_steps);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "3:6 this rule is never carried back through the step at line 2: the step also moves a "
                        "process into a state like 'B(b[], q[])', which this rule does not name");
    // Both processes named (B in any mode).
    EXPECT_EQ(count(step + "! -[ A(a[], q[]), B(b[], y) ]-> E(a[]);\n" + queries, vorn::partial_steps), 0u);
    // Neither named: the step does not concern the rule.
    EXPECT_EQ(count(step + "! -[ ]-> E(a[]);\n" + queries, vorn::partial_steps), 0u);
    // Not a goal: a rule that concludes knowledge passes its states to the rules it provides.
    EXPECT_EQ(count(step + "! -[ A(a[], q[]) ]-> k(c[]);\n" + queries, vorn::partial_steps), 0u);
    // The rule that provides its premise holds B: the composed goal names both.
    EXPECT_EQ(count(step + "! -[ B(b[], q[]) ]-> k(c[]);\n! k(c[]) -[ A(a[], q[]) ]-> E(a[]);\n" + queries,
                    vorn::partial_steps),
              0u);
    // ... but a provider that holds no B does not help.
    EXPECT_EQ(count(step + "! -[ A(a[], q[]) ]-> k(c[]);\n! k(c[]) -[ A(a[], q[]) ]-> E(a[]);\n" + queries,
                    vorn::partial_steps),
              1u);
    // A single conversion moves one process: nothing to warn about.
    EXPECT_EQ(count("$ A(*id, m); $ E(x);\n? -[ ]-> <A(a[], p[]), A(a[], q[])>;\n! -[ A(a[], q[]) ]-> E(a[]);\n",
                    vorn::partial_steps),
              0u);
    // A creating conversion moves a process into being: the goal must name it too.
    EXPECT_EQ(count("$ A(*id, m); $ B(*id, m); $ E(x);\n? -[ ]-> <A(a[], p[]), A(a[], q[])>, <, B([b], q[])>;\n"
                    "! -[ A(a[], q[]) ]-> E(a[]);\n% A(a[], p[]) * false;\n",
                    vorn::partial_steps),
              1u);
}

// The goal names no state; the rule that gives the attacker its knowledge
// holds the process in A. The rules derived from the goal never hold a B.
TEST_F(Warnings, PartialStepThroughTheProviders) {
    const std::string step = "$ A(*id, m); $ B(*id, m); $ E(x);\n"
                             "? -[ ]-> <A([a], p[]), A([a], q[])>, <B([a], p[]), B([a], r[])>;\n"
                             "! -[ A([a], q[]) ]-> k(half([a]));\n";
    std::vector<std::string> lines = found(step + "! k(half([a])) -[ ]-> E([a]);\n", vorn::partial_steps);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "4:23 the rules derived from this one may hold a state like 'A([a], q[])', which the step at "
                        "line 2 leads to, but never a state like 'B([a], r[])', to which it moves another process: "
                        "such rules are never carried back through it");
    // A provider of the other process's state too.
    EXPECT_EQ(count(step + "! -[ B([b], r[]) ]-> k(other([b]));\n! k(half([a])), k(other([b])) -[ ]-> E([a]);\n",
                    vorn::partial_steps),
              0u);
    // The provider's state is never one the step leads to.
    EXPECT_EQ(count("$ A(*id, m); $ B(*id, m); $ E(x);\n"
                    "? -[ ]-> <A([a], p[]), A([a], q[])>, <B([a], p[]), B([a], r[])>;\n"
                    "! -[ A([a], s[]) ]-> k(half([a]));\n! k(half([a])) -[ ]-> E([a]);\n",
                    vorn::partial_steps),
              0u);
}

// Knowledge that rules need and that no rule that can apply gives.
TEST_F(Warnings, UnproducedKnowledge) {
    std::vector<std::string> lines = found("$ E(x); ! k(c[]) -[ ]-> E(c[]);\n", vorn::unproduced_knowledge);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "1:11 no rule concludes knowledge that may match 'k(c[])', so the attacker never knows it "
                        "and this rule can never apply: the attacker knows a constant only when a rule gives it, as "
                        "'! -[ ]-> k(c[]);' does");
    EXPECT_EQ(count("$ E(x); ! -[ ]-> k(c[]); ! k(c[]) -[ ]-> E(c[]);\n", vorn::unproduced_knowledge), 0u);
    // A variable is provided by the attacker, a configuration may be left to it.
    EXPECT_EQ(count("$ E(x); $ S(*i, v); ! k(x) -[ S(s[], x) ]-> E(x); ! k(|c|) -[ S(s[], |c|) ]-> E(|c|);\n",
                    vorn::unproduced_knowledge),
              0u);
    // A conclusion of a variable, or of a term with variables, may match.
    EXPECT_EQ(count("$ E(x); ! k(pair(x, y)) -[ ]-> k(x); ! -[ ]-> k(pair(a[], b[])); ! k(a[]) -[ ]-> E(a[]);\n",
                    vorn::unproduced_knowledge),
              0u);
    // A rule that gives it but can never apply itself, and a chain of them.
    lines = found("$ E(x);\n! k(b[]) -[ ]-> k(f(a[]));\n! k(f(x)) -[ ]-> k(g(x));\n! k(g(a[])) -[ ]-> E(a[]);\n",
                  vorn::unproduced_knowledge);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "3:3 knowledge that may match 'k(f(x))' is concluded only by the rules of line 2, which can "
                        "never apply themselves, so this rule can never apply either");
    // A nonce is resolved too; a transfer rule's premise counts.
    lines = found("$ E(x); $ S(*i, v);\n? k([n]) -[ ]-> <S(s[], a[]), S(s[], b[])>;\n", vorn::unproduced_knowledge);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("this transfer rule can never apply"), std::string::npos);
    // A name like one the conclusions hold: the note points at it.
    parse("$ E(x);\n! -[ ]-> k(secret[]);\n! k(secert[]) -[ ]-> E(a[]);\n");
    std::vector<Diagnostic> found_here = vorn::unproduced_knowledge(vorn::model_outline);
    ASSERT_EQ(found_here.size(), 1u);
    ASSERT_EQ(found_here[0].notes.size(), 1u);
    EXPECT_EQ(found_here[0].notes[0].span->line, 2);
    EXPECT_EQ(found_here[0].notes[0].message, "knowledge of 'secret' is concluded here: a misspelling?");
    // Two numbers of arguments are left to mixed-arity.
    EXPECT_EQ(count("$ E(x); ! -[ ]-> k(pair(a[], b[])); ! k(pair(x)) -[ ]-> E(x);\n", vorn::unproduced_knowledge),
              0u);
}

TEST_F(Warnings, SettingsChooseAndPromote) {
    const std::string model = "$ L(*i, m);\n$ Seen(x);\n! -[ L(l[], on[]) ]-> k(a[]);\n";
    parse(model);
    vorn::WarningSettings settings;
    std::vector<Diagnostic> all = vorn::model_warnings(vorn::model_outline, settings, false);
    std::vector<std::string> names;
    for (const Diagnostic& d : all) names.push_back(d.warning);
    // Off by default: missing-transfer-rule. The others in the order of the text.
    EXPECT_EQ(names, (std::vector<std::string>{"unused-declaration", "unproduced"}));
    EXPECT_EQ(settings.apply("-Wmissing-transfer-rule"), "");
    EXPECT_EQ(settings.apply("-Wno-unused-declaration"), "");
    EXPECT_EQ(settings.apply("-Werror"), "");
    all = vorn::model_warnings(vorn::model_outline, settings, false);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].warning, "missing-transfer-rule");
    EXPECT_FALSE(all[0].span.has_value());
    for (const Diagnostic& d : all) {
        EXPECT_EQ(d.severity, vorn::Severity::ERROR);
        EXPECT_TRUE(d.promoted);
    }
    EXPECT_EQ(settings.apply("-w"), "");
    EXPECT_TRUE(vorn::model_warnings(vorn::model_outline, settings, false).empty());
}

TEST(WarningSettings, GccSpellings) {
    using vorn::WarningId;
    auto settings = [](std::initializer_list<const char*> arguments) {
        vorn::WarningSettings result;
        for (const char* argument : arguments) EXPECT_EQ(result.apply(argument), "") << argument;
        return result;
    };
    // -Werror=NAME turns NAME on and makes it, and only it, an error.
    vorn::WarningSettings one = settings({"-Wno-unproduced", "-Werror=unproduced", "-Werror=missing-transfer-rule"});
    EXPECT_TRUE(one.enabled(WarningId::UNPRODUCED));
    EXPECT_TRUE(one.is_error(WarningId::UNPRODUCED));
    EXPECT_TRUE(one.enabled(WarningId::MISSING_TRANSFER_RULE));
    EXPECT_FALSE(one.is_error(WarningId::MISSPELLING));
    EXPECT_TRUE(one.any_errors());
    // -Wno-error=NAME keeps NAME a warning under -Werror, in either order, and leaves it on.
    for (auto order : {settings({"-Werror", "-Wno-error=misspelling"}), settings({"-Wno-error=misspelling", "-Werror"})}) {
        EXPECT_FALSE(order.is_error(WarningId::MISSPELLING));
        EXPECT_TRUE(order.enabled(WarningId::MISSPELLING));
        EXPECT_TRUE(order.is_error(WarningId::UNPRODUCED));
    }
    EXPECT_FALSE(settings({"-Werror=misspelling", "-Wno-error=misspelling"}).any_errors());
    // -Wall: what is on by default, again; -Wextra: the rest.
    vorn::WarningSettings all = settings({"-Wno-misspelling", "-Wall"});
    vorn::WarningSettings extra = settings({"-Wno-misspelling", "-Wextra"});
    for (const vorn::WarningInfo& info : vorn::warning_table()) {
        EXPECT_EQ(all.enabled(info.id), info.by_default) << info.name;
        EXPECT_EQ(extra.enabled(info.id), info.id != WarningId::MISSPELLING) << info.name;
    }
    EXPECT_FALSE(settings({"-Wall", "-Wextra", "-w"}).enabled(WarningId::UNPRODUCED));
    Diagnostic d = vorn::warning(WarningId::UNPRODUCED, one, std::nullopt, "m");
    EXPECT_EQ(d.severity, vorn::Severity::ERROR);
    EXPECT_TRUE(d.promoted);
    d = vorn::warning(WarningId::MISSPELLING, one, std::nullopt, "m");
    EXPECT_EQ(d.severity, vorn::Severity::WARNING);
}

namespace {

// What the run of the engine did that a warning speaks of: the rules of the
// model each target rule rests on, and the steps each final rule was carried
// back through with a result.
class Witness : public vorn::Observer {
public:
    explicit Witness(const vorn::Provenance& provenance) : _provenance(provenance) {}
    void transferred(const sym::StateTransRule* transfer, const sym::StateConstRule* final_rule,
                     const std::list<sym::StateConstRule*>& results) override {
        if (results.empty()) return;
        auto through = vorn::model_rules_of(vorn::model_outline, _provenance.origin(transfer).get());
        auto from = vorn::model_rules_of(vorn::model_outline, _provenance.origin(final_rule).get());
        for (size_t step : through)
            for (size_t rule : from) carried.insert({rule, step});
    }
    std::set<std::pair<size_t, size_t>> carried;

private:
    const vorn::Provenance& _provenance;
};

// Stops a run that goes on too long (the corpus holds models that do not end
// by themselves): the model is then left out.
struct TooLong {};
size_t steps = 0;
std::chrono::steady_clock::time_point started;
void count_step() {
    if (++steps > 3000 || std::chrono::steady_clock::now() - started > std::chrono::milliseconds(500)) throw TooLong();
}

// The rule (index in the outline) a warning is about: the one whose text holds its place.
size_t rule_at(const vorn::Outline& outline, const vorn::Span& span) {
    for (size_t r = 0; r < outline.rules.size(); ++r) {
        const vorn::Span& whole = outline.rules[r].whole;
        if (span.offset >= whole.offset && span.offset < whole.end()) return r;
    }
    return outline.rules.size();
}

}  // namespace

// Over every model of the examples and the end-to-end cases that parses and
// whose run ends: no target rule rests on a rule that unproduced says can
// never apply, and no rule that partial-step names is carried back through
// its step.
TEST_F(Warnings, WhatTheyClaimHoldsInTheRunsOfTheCorpus) {
    size_t runs = 0;
    size_t claims = 0;
    vorn::closure_step_hook = count_step;
    for (const auto& path : corpus()) {
        SCOPED_TRACE(path.string());
        start_model(file_text(path));
        std::ostringstream quiet;
        std::streambuf* saved = std::cout.rdbuf(quiet.rdbuf());
        try {
            vorn::parse_model();
        } catch (...) {
            std::cout.rdbuf(saved);
            continue;
        }
        const vorn::Outline& outline = vorn::model_outline;
        std::set<size_t> never_apply;
        for (const Diagnostic& d : vorn::unproduced_requirements(outline))
            if (d.message.find("can never apply") != std::string::npos) never_apply.insert(rule_at(outline, *d.span));
        std::set<std::pair<size_t, size_t>> partial;
        for (const Diagnostic& d : vorn::partial_steps(outline)) {
            size_t line = std::stoul(d.message.substr(d.message.find("at line ") + 8));
            for (size_t r = 0; r < outline.rules.size(); ++r)
                if (outline.rules[r].transfer && outline.rules[r].marker.line == static_cast<int>(line))
                    partial.insert({rule_at(outline, *d.span), r});
        }
        vorn::Provenance provenance;
        vorn::record_parsed_model(provenance);
        Witness witness(provenance);
        vorn::Observers both({&provenance, &witness});
        vorn::Algorithm algorithm(&both);
        steps = 0;
        started = std::chrono::steady_clock::now();
        bool ended = true;
        try {
            algorithm.close_const_rule(vorn::raw_const_rules);
            algorithm.close_trans_rule(vorn::raw_trans_rules);
            algorithm.complete();
            algorithm.analysis(vorn::raw_accessable_states);
        } catch (const TooLong&) {
            ended = false;
        } catch (const common::UserError&) {
            ended = false;
        }
        std::cout.rdbuf(saved);
        if (!ended || vorn::raw_const_rules.size() + outline.rules.size() == 0) continue;
        ++runs;
        for (const sym::StateConstRule* target : algorithm.target_rules()) {
            for (size_t rule : vorn::model_rules_of(outline, provenance.origin(target).get())) {
                EXPECT_EQ(never_apply.count(rule), 0u) << "a target rule rests on the rule of line "
                                                       << outline.rules[rule].marker.line;
            }
        }
        for (const auto& [rule, step] : partial) {
            EXPECT_EQ(witness.carried.count({rule, step}), 0u)
                << "the rule of line " << outline.rules[rule].marker.line << " was carried back through line "
                << outline.rules[step].marker.line;
        }
        claims += never_apply.size() + partial.size();
    }
    vorn::closure_step_hook = nullptr;
    // The corpus exercises both claims.
    EXPECT_GT(runs, 100u);
    EXPECT_GT(claims, 100u);
}
