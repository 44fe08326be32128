// Model errors the engine raises, traced to the model: which rules met and
// what the engine was doing, by a run that records origins or by a second
// run after the failure; and the located message made of it.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "common/runtime.h"
#include "corpus.h"
#include "symbolic/arity_clash.h"
#include "symbolic/implication.h"
#include "symbolic/namer.h"
#include "symbolic/srule.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/engine_failure.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

using vorn::FailureSite;
using vorn::Meeting;

namespace {

const auto far_future = std::chrono::steady_clock::now() + std::chrono::hours(1);

struct Failure {
    std::optional<FailureSite> site;
    std::string detail;
    std::string symbol;
};

// Runs the model once, recording origins, as a run with --explain does.
Failure run_recording(const std::string& model) {
    start_model(model);
    std::ostringstream quiet;
    std::streambuf* saved = std::cout.rdbuf(quiet.rdbuf());
    Failure failure;
    vorn::parse_model();
    vorn::Provenance provenance;
    vorn::record_parsed_model(provenance);
    vorn::FailureWatch watch(provenance);
    vorn::Observers both({&provenance, &watch});
    {
        vorn::Algorithm algorithm(&both);
        try {
            algorithm.close_const_rule(vorn::raw_const_rules);
            algorithm.close_trans_rule(vorn::raw_trans_rules);
            algorithm.complete();
            algorithm.analysis(vorn::raw_accessable_states);
        } catch (const common::UserError& error) {
            failure.detail = error.detail();
            if (auto* clash = dynamic_cast<const sym::ArityClash*>(&error)) failure.symbol = clash->symbol();
            failure.site = watch.site();
        }
    }
    std::cout.rdbuf(saved);
    return failure;
}

std::set<int> lines(const std::shared_ptr<const vorn::Origin>& origin) {
    std::set<int> found;
    for (size_t rule : vorn::model_rules_of(vorn::model_outline, origin.get()))
        found.insert(vorn::model_outline.rules[rule].marker.line);
    return found;
}

class EngineFailure : public testing::Test {
protected:
    void TearDown() override { vorn::release_model(); }
};

const char* const compose_model =
    "$ Lamp(*id, mode);\n! -[ Lamp(l[], on[]) ]-> k(pair(light[], l[]));\n! k(pair(x)) -[ ]-> k(x);\n";
const char* const imply_model = "$ Lamp(*id, mode);\n! -[ Lamp(l[]) ]-> k(light[]);\n! -[ Lamp(l[], on[]) ]-> k(light[]);\n";
const char* const transfer_model =
    "$ P(*i, m); $ E(x);\n! -[ P(a[], d[]) ]-> E(a[]);\n? -[ P(e[]) ]-> <P(a[], c[]), P(a[], d[])>;\n";
const char* const access_model = "$ P(*i, m); $ E(x);\n! -[ P(a[], d[]) ]-> E(a[]);\n% P(a[]) * true;\n";

}  // namespace

TEST_F(EngineFailure, TheWatchKnowsWhatTheEngineWasDoingWithWhichRules) {
    struct Case {
        const char* model;
        Meeting meeting;
        std::set<int> first;
        std::set<int> second;
        const char* symbol;
    };
    const Case cases[] = {
        {compose_model, Meeting::COMPOSITION, {2}, {3}, "pair"},
        {imply_model, Meeting::IMPLICATION, {2}, {3}, "Lamp"},
        {transfer_model, Meeting::TRANSFER, {3}, {2}, "P"},
        {access_model, Meeting::ACCESS, {2}, {}, "P"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        Failure failure = run_recording(c.model);
        ASSERT_TRUE(failure.site.has_value());
        EXPECT_EQ(failure.site->meeting, c.meeting);
        EXPECT_EQ(lines(failure.site->first), c.first);
        EXPECT_EQ(lines(failure.site->second), c.second);
        EXPECT_EQ(failure.symbol, c.symbol);
    }
}

TEST_F(EngineFailure, ASecondRunFindsWhatARecordingRunFinds) {
    for (const char* model : {compose_model, imply_model, transfer_model, access_model}) {
        SCOPED_TRACE(model);
        Failure recorded = run_recording(model);
        ASSERT_TRUE(recorded.site.has_value());
        // After a run without records, in the same process: the counters of
        // names and states have moved on, and the replay starts them over.
        std::ostringstream printed;
        std::streambuf* saved = std::cout.rdbuf(printed.rdbuf());
        std::optional<FailureSite> replayed = vorn::replay_failure(model, far_future);
        std::cout.rdbuf(saved);
        // It prints nothing: standard output holds the first run's report.
        EXPECT_EQ(printed.str(), "");
        ASSERT_TRUE(replayed.has_value());
        EXPECT_EQ(replayed->meeting, recorded.site->meeting);
        EXPECT_EQ(lines(replayed->first), lines(recorded.site->first));
        EXPECT_EQ(lines(replayed->second), lines(recorded.site->second));
    }
    // A model without an error, or a deadline already past: nothing to tell.
    EXPECT_FALSE(vorn::replay_failure("$ L(*i);\n! -[ L(a[]) ]-> k(b[]);\n", far_future).has_value());
    EXPECT_FALSE(vorn::replay_failure(compose_model, std::chrono::steady_clock::now() - std::chrono::seconds(1)).has_value());
}

TEST_F(EngineFailure, TheLocatedMessageNamesTheSymbolTheUsesAndTheRulesThatMet) {
    Failure failure = run_recording(compose_model);
    sym::ArityClash clash("unify", "function size not match", sym::ArityClash::Kind::FUNCTION, "pair", 1, 2);
    vorn::Diagnostic d = vorn::engine_error(vorn::model_outline, clash, failure.site);
    ASSERT_TRUE(d.span.has_value());
    EXPECT_EQ(d.span->line, 3);
    EXPECT_EQ(d.span->col, 5);
    EXPECT_EQ(d.message, "function 'pair' is used with 1 argument here and with 2 arguments at line 2; the two met when "
                         "the analysis composed a rule from line 2 into a rule from line 3");
    ASSERT_EQ(d.notes.size(), 1u);
    EXPECT_EQ(d.notes[0].span->line, 2);
    EXPECT_EQ(d.notes[0].span->col, 28);

    failure = run_recording(transfer_model);
    sym::ArityClash state("unify", "state list size not match", sym::ArityClash::Kind::STATE, "P", 1, 2);
    d = vorn::engine_error(vorn::model_outline, state, failure.site);
    EXPECT_NE(d.message.find("the two met when the analysis carried a rule from line 2 back through the transfer rule of line 3"),
              std::string::npos)
        << d.message;
    failure = run_recording(access_model);
    d = vorn::engine_error(vorn::model_outline, state, failure.site);
    EXPECT_EQ(d.span->line, 3);  // the query's use is the later one
    EXPECT_NE(d.message.find("matched a rule from line 2 against the access queries"), std::string::npos) << d.message;

    // Without a site: the first uses of each number in the model, and no story.
    d = vorn::engine_error(vorn::model_outline, state, std::nullopt);
    ASSERT_TRUE(d.span.has_value());
    EXPECT_EQ(d.message.find("met"), std::string::npos);
}

TEST_F(EngineFailure, OtherModelErrorsPointAtTheConclusionTheyCarry) {
    // The composition concludes k(y) of a bare variable with nothing left to resolve.
    const char* model = "! -[ ]-> k(f(c[]));\n! k(f(x)) -[ ]-> k(x);\n! k(g(y)) -[ ]-> k(y);\n! -[ ]-> k(g(z));\n";
    Failure failure = run_recording(model);
    ASSERT_TRUE(failure.site.has_value());
    EXPECT_EQ(failure.detail, "if predicates are in set N, the conclusion should not be a variable");
    common::UserError error("simplify", failure.detail);
    vorn::Diagnostic d = vorn::engine_error(vorn::model_outline, error, failure.site);
    ASSERT_TRUE(d.span.has_value());
    EXPECT_EQ(d.span->line, 3);
    EXPECT_EQ(d.span->col, 18);
    EXPECT_NE(d.message.find("concludes the knowledge of a bare variable"), std::string::npos);
    EXPECT_NE(d.message.find("found when the analysis composed a rule from line 4 into a rule from line 3"),
              std::string::npos)
        << d.message;
}
