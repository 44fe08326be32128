// Provenance of rules, derivations and their text and graph forms.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model_fixture.h"
#include "vorn/report/explain.h"
#include "vorn/report/result_file.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

using vorn::Origin;

namespace {

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// Standard output goes into a string while alive.
class CaptureOut {
public:
    CaptureOut() : _saved(std::cout.rdbuf(_text.rdbuf())) {}
    ~CaptureOut() { std::cout.rdbuf(_saved); }
    std::string text() const { return _text.str(); }

private:
    std::ostringstream _text;
    std::streambuf* _saved;
};

class ProvenanceTest : public ModelTest {
protected:
    std::vector<std::string> titles(const vorn::Derivation& derivation) const {
        std::vector<std::string> all;
        for (const auto& step : derivation.steps) all.push_back(vorn::step_title(derivation, *step, provenance));
        return all;
    }

    vorn::Provenance provenance{true};
};

std::shared_ptr<Origin> made(Origin::Kind kind, std::shared_ptr<Origin> first, std::shared_ptr<Origin> second = {}) {
    auto origin = std::make_shared<Origin>();
    origin->kind = kind;
    origin->first = std::move(first);
    origin->second = std::move(second);
    return origin;
}

}  // namespace

TEST_F(ModelTest, RuleSourcesGiveTheLineOfEachRuleAndItsText) {
    parse("$ S(*id);\n"
          "// two rules on one line:\n"
          "! -[ S(a[]) ]-> k(x[]); ? k(x[]) -[ ]-> <S(a[]), S(b[])>;\n"
          "! k(f(y)),   // first premise\n"
          "\tk(y)\n"
          "  -[ ]-> k(g(y));\n");
    ASSERT_EQ(vorn::raw_const_sources.size(), 2u);
    ASSERT_EQ(vorn::raw_trans_sources.size(), 1u);
    EXPECT_EQ(vorn::raw_const_sources[0].line, 3);
    EXPECT_EQ(vorn::raw_const_sources[0].text, "! -[ S(a[]) ]-> k(x[]);");
    EXPECT_EQ(vorn::raw_trans_sources[0].line, 3);
    EXPECT_EQ(vorn::raw_trans_sources[0].text, "? k(x[]) -[ ]-> <S(a[]), S(b[])>;");
    EXPECT_EQ(vorn::raw_const_sources[1].line, 4);
    EXPECT_EQ(vorn::raw_const_sources[1].text, "! k(f(y)),   // first premise\n\tk(y)\n  -[ ]-> k(g(y));");
    EXPECT_EQ(vorn::one_line(vorn::raw_const_sources[1].text), "! k(f(y)), k(y) -[ ]-> k(g(y));");
    vorn::release_model();
    EXPECT_TRUE(vorn::raw_const_sources.empty());
    EXPECT_TRUE(vorn::raw_trans_sources.empty());
}

TEST(OneLine, LeavesOutCommentsAndCollapsesBlanks) {
    EXPECT_EQ(vorn::one_line("! k(x)\r\n  -[ ]-> // note\n k(y);  "), "! k(x) -[ ]-> k(y);");
    EXPECT_EQ(vorn::one_line("! -[ ]-> k(a[]); // to the end"), "! -[ ]-> k(a[]);");
    EXPECT_EQ(vorn::one_line("// only a comment"), "");
}

TEST_F(ProvenanceTest, ADroppedRuleKeepsItsTextAsLongAsARuleDescendsFromIt) {
    parse("! k(f(y)) -[ ]-> k(y);\n"
          "! k(g(y)) -[ ]-> k(f(y));\n"
          "! k(g(z)) -[ ]-> k(z);\n");
    vorn::record_parsed_model(provenance);
    sym::StateConstRule* provider = const_rule(1);
    sym::StateConstRule* consumer = const_rule(0);
    sym::StateConstRule* result = const_rule(2);
    std::weak_ptr<const Origin> provider_record = provenance.origin(provider);
    std::weak_ptr<const Origin> consumer_record = provenance.origin(consumer);
    provenance.composed(provider, 0, consumer, {result});
    auto made_record = provenance.origin(result);
    ASSERT_TRUE(made_record);
    EXPECT_EQ(made_record->kind, Origin::Kind::COMPOSITION);
    EXPECT_EQ(made_record->first, provider_record.lock());
    EXPECT_EQ(made_record->second, consumer_record.lock());

    provenance.dropped(provider);
    EXPECT_EQ(provenance.origin(provider), nullptr);
    EXPECT_EQ(made_record->first->rule, nullptr);
    EXPECT_EQ(made_record->first->text, text(*provider));
    EXPECT_EQ(made_record->first->printed(), text(*provider));
    // A live rule is printed from the rule, and keeps no text.
    EXPECT_EQ(made_record->second->text, "");
    EXPECT_EQ(made_record->second->printed(), text(*consumer));

    made_record.reset();
    provenance.dropped(result);
    // The dropped provider was kept for its descendant only.
    EXPECT_TRUE(provider_record.expired());
    EXPECT_FALSE(consumer_record.expired());
    provenance.dropped(consumer);
    EXPECT_TRUE(consumer_record.expired());
    EXPECT_EQ(provenance.live_records(), 0u);
}

TEST_F(ProvenanceTest, ADeferredCompositionKeepsTheRecordsOfItsRulesUntilItIsReleased) {
    parse("! k(f(y)) -[ ]-> k(y);\n"
          "! k(g(y)) -[ ]-> k(f(y));\n"
          "! k(g(z)) -[ ]-> k(z);\n");
    vorn::record_parsed_model(provenance);
    sym::StateConstRule* provider = const_rule(1);
    sym::StateConstRule* consumer = const_rule(0);
    sym::StateConstRule* result = const_rule(2);
    std::weak_ptr<const Origin> provider_record = provenance.origin(provider);
    // Two compositions of the pair wait in the queue; the provider leaves its set meanwhile.
    provenance.deferred(provider, 0, consumer);
    provenance.deferred(provider, 0, consumer);
    provenance.dropped(provider);
    provenance.composed(provider, 0, consumer, {result});
    auto made_record = provenance.origin(result);
    ASSERT_TRUE(made_record);
    ASSERT_EQ(made_record->first, provider_record.lock());
    EXPECT_EQ(made_record->first->printed(), text(*provider));
    EXPECT_EQ(made_record->second, provenance.origin(consumer));

    provenance.released(provider, consumer);
    EXPECT_EQ(provenance.origin(provider), provider_record.lock()) << "one composition still needs it";
    provenance.released(provider, consumer);
    EXPECT_EQ(provenance.pending_records(), 0u);
    EXPECT_EQ(provenance.origin(provider), nullptr);
    // From now on only its descendant keeps the provider's record.
    made_record.reset();
    provenance.dropped(result);
    EXPECT_TRUE(provider_record.expired());
}

TEST_F(ProvenanceTest, OperationsRecordWhatTheyWereMadeFromAndDeriveInDependencyOrder) {
    parse("$ S(*id);\n"
          "! k(y), k(f(y)) -[ ]-> k(g(y));\n"
          "! -[ ]-> k(f(a[]));\n"
          "! -[ S(a[]) ]-> k(a[]);\n"
          "! -[ S(b[]) ]-> k(b[]);\n"
          "! -[ S(c[]) ]-> k(c[]);\n"
          "! -[ S(d[]) ]-> k(d[]);\n"
          "! -[ S(e[]) ]-> k(e[]);\n"
          "! -[ S(h[]) ]-> k(h[]);\n"
          "? -[ ]-> <, S(a[])>;\n");
    // Only the model's first three rules and its transfer rule are rules of
    // the model here; the others stand for rules made from them.
    provenance.model_rule(const_rule(0), {2, "! k(y), k(f(y)) -[ ]-> k(g(y));"});
    provenance.model_rule(const_rule(1), {3, "! -[ ]-> k(f(a[]));"});
    provenance.model_rule(const_rule(2), {4, "! -[ S(a[]) ]-> k(a[]);"});
    provenance.model_rule(trans_rule(0), {8, "? -[ ]-> <, S(a[])>;"});
    sym::StateConstRule* variant = const_rule(3);
    sym::StateConstRule* composed = const_rule(4);
    sym::StateConstRule* transferred = const_rule(5);
    sym::StateConstRule* final_rule = const_rule(6);
    sym::StateConstRule* target = const_rule(7);

    // The variant passes over the premise its original selects.
    ASSERT_EQ(vorn::raw_const_rules.size(), 8u);
    size_t selected = const_rule(0)->select();
    ASSERT_NE(selected, sym::StateRule::NONSELECTABLE);
    provenance.varied(const_rule(0), variant);
    provenance.composed(const_rule(1), 1, variant, {composed});
    provenance.composed(const_rule(1), 1, composed, {transferred});
    provenance.transferred(trans_rule(0), transferred, {final_rule});
    provenance.targeted(final_rule, target);

    auto variant_record = provenance.origin(variant);
    EXPECT_EQ(variant_record->kind, Origin::Kind::VARIANT);
    EXPECT_EQ(variant_record->number, selected);
    EXPECT_EQ(provenance.origin(final_rule)->kind, Origin::Kind::TRANSFER);
    EXPECT_EQ(provenance.origin(final_rule)->first, provenance.origin(trans_rule(0)));
    EXPECT_EQ(provenance.origin(final_rule)->second, provenance.origin(transferred));
    EXPECT_EQ(provenance.origin(target)->first, provenance.origin(final_rule));

    vorn::Derivation derivation = vorn::derive(provenance.origin(target));
    std::vector<std::string> expected = {
        "line 8",
        "line 3",
        "line 2",
        "variant of step 3 passing over premise " + std::to_string(selected),
        "composition of step 2 into step 4 at premise 1",
        "composition of step 2 into step 5 at premise 1",
        "transfer of step 6 back through step 1",
        "target of step 7 for the access queries",
    };
    EXPECT_EQ(titles(derivation), expected);
    // Step 2 is used twice and listed once; every step is printed as its rule.
    EXPECT_EQ(derivation.steps[1]->printed(), text(*const_rule(1)));
    EXPECT_EQ(derivation.steps[4]->printed(), text(*composed));

    // These operations were not made, so nothing tells how their states
    // stand for each other: the outline says so rather than guess a run.
    std::ostringstream os;
    vorn::print_explanation(os, {derivation}, provenance);
    EXPECT_NE(os.str().find("Outline of target rule 1:\n  not worked out: no record of the states of its steps\n"),
              std::string::npos);
    EXPECT_EQ(count(os.str(), "\n  line "), 0u);
}

TEST(Derivation, AnUnrecordedOriginIsNamedSoAndAMissingTargetHasNoSteps) {
    auto orphan = made(Origin::Kind::TARGET, nullptr);
    vorn::Derivation derivation = vorn::derive(orphan);
    ASSERT_EQ(derivation.steps.size(), 1u);
    vorn::Provenance provenance;
    EXPECT_EQ(vorn::step_title(derivation, *orphan, provenance), "target of an unrecorded rule for the access queries");
    EXPECT_TRUE(vorn::derive(nullptr).steps.empty());
}

TEST(Derivation, LongLinesOfDescentAreWalkedAndFreedWithoutRecursion) {
    // Deep enough that a recursive walk or a recursive release would overflow the stack.
    const size_t depth = 300000;
    auto root = made(Origin::Kind::MODEL, nullptr);
    std::shared_ptr<Origin> last = root;
    for (size_t i = 1; i < depth; ++i) last = made(Origin::Kind::VARIANT, last);
    std::weak_ptr<Origin> watch = root;
    root.reset();
    {
        vorn::Derivation derivation = vorn::derive(last);
        ASSERT_EQ(derivation.steps.size(), depth);
        EXPECT_EQ(derivation.steps.front().get(), watch.lock().get());
        EXPECT_EQ(derivation.steps.back().get(), last.get());
        EXPECT_EQ(derivation.number(last->first.get()), depth - 1);
    }
    last.reset();
    EXPECT_TRUE(watch.expired());
}

namespace {

struct Counting : vorn::Observer {
    bool answer = true;
    int steps = 0, admits = 0, compositions = 0, variants = 0, transfers = 0, targets = 0, drops = 0;
    bool step(const vorn::Algorithm&, size_t) override { return ++steps, answer; }
    bool admit(const vorn::Algorithm&, const sym::StateRule*) override { return ++admits, answer; }
    void composed(const sym::StateConstRule*, size_t, const sym::StateRule*,
                  const std::list<sym::StateRule*>&) override {
        ++compositions;
    }
    void varied(const sym::StateRule*, const sym::StateRule*) override { ++variants; }
    void transferred(const sym::StateTransRule*, const sym::StateConstRule*,
                     const std::list<sym::StateConstRule*>&) override {
        ++transfers;
    }
    void targeted(const sym::StateConstRule*, const sym::StateRule*) override { ++targets; }
    void dropped(const sym::StateRule*) override { ++drops; }
};

}  // namespace

TEST(Observers, EveryObserverSeesEveryStepAndEitherCanStopTheRun) {
    Counting stopper;
    Counting watcher;
    vorn::Observers both({&stopper, &watcher});
    vorn::Algorithm engine;
    stopper.answer = false;
    EXPECT_FALSE(both.step(engine, 3));
    EXPECT_EQ(watcher.steps, 1);
    // A refused rule is not shown to the observers after the one that refused it.
    EXPECT_FALSE(both.admit(engine, nullptr));
    EXPECT_EQ(watcher.admits, 0);
    stopper.answer = true;
    watcher.answer = false;
    EXPECT_FALSE(both.step(engine, 3));
    EXPECT_EQ(stopper.steps, 2);
    watcher.answer = true;
    EXPECT_TRUE(both.admit(engine, nullptr));
    EXPECT_EQ(watcher.admits, 1);
    both.composed(nullptr, 0, nullptr, {});
    both.varied(nullptr, nullptr);
    both.transferred(nullptr, nullptr, {});
    both.targeted(nullptr, nullptr);
    both.dropped(nullptr);
    for (const Counting* observer : {&stopper, &watcher}) {
        EXPECT_EQ(observer->compositions, 1);
        EXPECT_EQ(observer->variants, 1);
        EXPECT_EQ(observer->transfers, 1);
        EXPECT_EQ(observer->targets, 1);
        EXPECT_EQ(observer->drops, 1);
    }
}

using Explanation = ProvenanceTest;

TEST_F(Explanation, ARunExplainsEachTargetFromRulesItPrintedAndDrawsOneNodePerStep) {
    parse("$ Safe(*id, mode); $ Stolen(x);\n"
          "! -[ Safe(s[], locked[]) ]-> k(code[]);\n"
          "? k(code[]) -[ ]-> <Safe(s[], locked[]), Safe(s[], open[])>;\n"
          "! -[ Safe(s[], open[]) ]-> Stolen(gold[]);\n"
          "! -[ Safe(s[], locked[]) ]-> Stolen(silver[]);\n"
          "% Safe(s[], locked[]) * false;\n");
    vorn::record_parsed_model(provenance);
    vorn::Algorithm engine(&provenance);
    std::string trace;
    {
        CaptureOut capture;
        engine.close_const_rule(vorn::raw_const_rules);
        engine.close_trans_rule(vorn::raw_trans_rules);
        engine.complete();
        engine.analysis(vorn::raw_accessable_states);
        trace = capture.text();
    }
    std::vector<vorn::Derivation> derivations = vorn::derive_targets(engine, provenance);
    ASSERT_EQ(derivations.size(), 2u);
    ASSERT_EQ(engine.target_rules().size(), 2u);
    size_t steps = 0;
    size_t references = 0;
    auto target = engine.target_rules().begin();
    for (const vorn::Derivation& derivation : derivations) {
        // The last step is the target rule, and every step was printed by the trace.
        EXPECT_EQ(derivation.steps.back()->printed(), text(**target++));
        for (const auto& step : derivation.steps) {
            EXPECT_NE(trace.find(step->printed()), std::string::npos) << step->printed();
            references += (step->first != nullptr) + (step->second != nullptr);
        }
        steps += derivation.steps.size();
    }
    // Silver is stolen from the locked safe at once; gold needs the opening step.
    EXPECT_EQ(titles(derivations[0]).size(), 2u);
    EXPECT_EQ(titles(derivations[1]).size(), 6u);

    std::ostringstream os;
    vorn::print_explanation(os, derivations, provenance);
    std::string explanation = os.str();
    EXPECT_EQ(explanation.rfind("\nDerivation of target rule 1:\n\n1. line 5:\n", 0), 0u);
    EXPECT_EQ(count(explanation, "Derivation of target rule "), 2u);
    EXPECT_NE(explanation.find("Outline of target rule 2:\n"
                               "  line 2: ! -[ Safe(s[], locked[]) ]-> k(code[]);\n"
                               "  line 3: ? k(code[]) -[ ]-> <Safe(s[], locked[]), Safe(s[], open[])>;\n"
                               "  line 4: ! -[ Safe(s[], open[]) ]-> Stolen(gold[]);\n"),
              std::string::npos);

    std::string dot = vorn::derivation_graph(derivations, provenance);
    EXPECT_EQ(dot.rfind("digraph derivations {\n", 0), 0u);
    EXPECT_EQ(count(dot, "subgraph cluster_"), 2u);
    // Nodes and edges are labelled.
    EXPECT_EQ(count(dot, " [label=\""), steps + references);
    EXPECT_EQ(count(dot, " -> "), references);
    // Model rules are filled, target rules framed twice.
    EXPECT_EQ(count(dot, "fillcolor=\"#dbe8f6\""), 4u);
    EXPECT_EQ(count(dot, "peripheries=2"), 2u);
    EXPECT_NE(dot.find("t2s5 [label=\"5. transfer of step 4 back through step 3:\\l--[\\l"), std::string::npos);
}

TEST(ResultFiles, OnlyTheSameRegularFileCountsAsTheSame) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("vorn_result_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string error;
    auto json = vorn::ResultFile::open("--json", (dir / "a").string(), "model.vorn", error);
    auto same = vorn::ResultFile::open("--graph", (dir / "." / "a").string(), "model.vorn", error);
    auto other = vorn::ResultFile::open("--graph", (dir / "b").string(), "model.vorn", error);
    auto null1 = vorn::ResultFile::open("--json", "/dev/null", "model.vorn", error);
    auto null2 = vorn::ResultFile::open("--graph", "/dev/null", "model.vorn", error);
    ASSERT_TRUE(json && same && other && null1 && null2) << error;
    EXPECT_TRUE(same->same_file_as(*json));
    EXPECT_FALSE(other->same_file_as(*json));
    EXPECT_FALSE(null2->same_file_as(*null1));
    EXPECT_TRUE(other->write("x", error));
    auto refused = vorn::ResultFile::open("--graph", (dir / "none" / "c").string(), "model.vorn", error);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(error,
              "vorn: --graph: cannot write '" + (dir / "none" / "c").string() + "': No such file or directory\n");
    std::error_code ec;
    fs::remove_all(dir, ec);
}
