// A final rule that names a process for some of the processes a step moves,
// but not one for each: what the run reports of it, and what --partial-steps
// makes of it: the rules that the model makes when the rule names the
// lacking processes itself.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"
#include "vorn/saturation/partial_steps.h"
#include "tests/tools/target_comparison.h"

using vorn::ComparedRun;
using vorn::TargetRelation;

namespace {

ComparedRun run(const std::string& text, bool partial_steps) {
    vorn::Options options;
    options.report_only = true;
    options.settings.partial_steps = partial_steps;
    std::ostringstream silenced;
    std::streambuf* saved = std::cout.rdbuf(silenced.rdbuf());
    ComparedRun result = vorn::run_for_comparison(text, options);
    std::cout.rdbuf(saved);
    return result;
}

// A step moves A and B, or B and a second process of the same name, or
// creates B; the goal names A, or holds it through the rule that provides
// its knowledge.
const std::string two = "$ A(*id, m); $ B(*id, m); $ E(x);\n"
                        "? -[ ]-> <A(a[], p[]), A(a[], q[])>, <B(b[], p[]), B(b[], q[])>;\n";
const std::string created = "$ A(*id, m); $ B(*id, m); $ E(x);\n"
                            "? -[ ]-> <A(a[], p[]), A(a[], q[])>, <, B([b], q[])>;\n";
const std::string provided = "$ A(*id, m); $ B(*id, m); $ E(x);\n"
                             "? -[ ]-> <A([a], p[]), A([a], q[])>, <B([b], p[]), B([b], q[])>;\n"
                             "! -[ A([a], q[]) ]-> k(half([a]));\n";
const std::string same_name = "$ D(*key, status); $ E(x);\n"
                              "? -[ ]-> <D(pk(x), valid[]), D(pk(x), revoked[])>, <, D(pk(y), valid[])>;\n";

struct Case {
    const char* what;
    std::string partial;
    std::string named;
    // Whether the targets are the same; otherwise those of the model that
    // names the processes are among them: that model may meet partial steps
    // of its own.
    bool same;
};

}  // namespace

// Carried back with --partial-steps, the goal that names one process of the
// step finds the targets of the goal that names the other one too, with
// any state (all of them, and more where that model meets partial steps
// itself); without it, none.
TEST(PartialSteps, CarriedBackAsIfTheRuleNamedEveryProcess) {
    const Case cases[] = {
        {"two processes", two + "! -[ A(a[], q[]) ]-> E(a[]);\n% A(a[], p[]) * false;\n% B(b[], p[]) * false;\n",
         two + "! -[ A(a[], q[]), B(b[], y) ]-> E(a[]);\n% A(a[], p[]) * false;\n% B(b[], p[]) * false;\n", true},
        {"a created process", created + "! -[ A(a[], q[]) ]-> E(a[]);\n% A(a[], p[]) * false;\n",
         created + "! -[ A(a[], q[]), B([b], y) ]-> E(a[]);\n% A(a[], p[]) * false;\n", true},
        {"states from the provider", provided + "! k(half([a])) -[ ]-> E([a]);\n% A([a], p[]) * true;\n% B([b], p[]) * true;\n",
         provided + "! k(half([a])) -[ B([b], y) ]-> E([a]);\n% A([a], p[]) * true;\n% B([b], p[]) * true;\n",
         true},
        {"two processes of one name",
         same_name + "! -[ D(pk([s]), revoked[]) ]-> E([s]);\n% D(pk([s]), valid[]) * true;\n",
         same_name + "! -[ D(pk([s]), revoked[]), D(z, v) ]-> E([s]);\n% D(pk([s]), valid[]) * true;\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ComparedRun lost = run(c.partial, false);
        ComparedRun carried = run(c.partial, true);
        ComparedRun named = run(c.named, false);
        ASSERT_EQ(carried.end, ComparedRun::End::COMPLETE);
        ASSERT_EQ(named.end, ComparedRun::End::COMPLETE);
        EXPECT_TRUE(lost.targets().empty());
        ASSERT_FALSE(named.targets().empty());
        TargetRelation relation = c.same ? TargetRelation::SAME : TargetRelation::SECOND_IN_FIRST;
        vorn::TargetComparison result = vorn::compare_targets(carried, named, relation);
        EXPECT_TRUE(result.holds) << vorn::comparison_details(carried, named, result);
    }
}

namespace {

// The partial steps a run of the model meets, by what the watch gathered.
std::map<vorn::PartialStepWatch::Key, vorn::PartialStepWatch::Count> partial_steps_of(const std::string& text,
                                                                                      bool partial_steps) {
    vorn::release_model();
    vorn::scan_string(text);
    vorn::parse_model();
    vorn::PartialStepWatch watch;
    vorn::Settings settings;
    settings.partial_steps = partial_steps;
    std::ostringstream silenced;
    std::streambuf* saved = std::cout.rdbuf(silenced.rdbuf());
    {
        vorn::Algorithm algorithm(&watch, settings);
        algorithm.trace_to(nullptr);
        algorithm.close_const_rule(vorn::raw_const_rules);
        algorithm.close_trans_rule(vorn::raw_trans_rules);
        algorithm.complete();
    }
    std::cout.rdbuf(saved);
    vorn::release_model();
    return watch.counts();
}

}  // namespace

// The run reports the step by its place in the model and the conversion the
// final rule lacks (for two processes of one name, the one that no process
// of the rule can stand for), with the rules it would make.
TEST(PartialSteps, TheRunTellsTheStepAndTheProcessLacked) {
    auto lost = partial_steps_of(same_name + "! -[ D(pk([s]), revoked[]) ]-> E([s]);\n", false);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost.begin()->first.step, 1u);
    EXPECT_EQ(lost.begin()->first.lacking, std::vector<size_t>{1});
    EXPECT_EQ(lost.begin()->second.final_rules, 1u);
    EXPECT_EQ(lost.begin()->second.rules, 1u);
    EXPECT_FALSE(lost.begin()->second.carried);

    auto carried = partial_steps_of(two + "! -[ A(a[], q[]) ]-> E(a[]);\n", true);
    ASSERT_EQ(carried.size(), 1u);
    EXPECT_EQ(carried.begin()->first.step, 1u);
    EXPECT_EQ(carried.begin()->first.lacking, std::vector<size_t>{1});
    EXPECT_TRUE(carried.begin()->second.carried);

    // A rule that names every process, one that names none, and a step of one
    // process are no partial steps.
    EXPECT_TRUE(partial_steps_of(two + "! -[ A(a[], q[]), B(b[], y) ]-> E(a[]);\n", false).empty());
    EXPECT_TRUE(partial_steps_of("$ A(*id, m); $ B(*id, m); $ C(*id); $ E(x);\n"
                                 "? -[ ]-> <A(a[], p[]), A(a[], q[])>, <B(b[], p[]), B(b[], q[])>;\n"
                                 "! -[ C(c[]) ]-> E(c[]);\n",
                                 false)
                    .empty());
    EXPECT_TRUE(partial_steps_of("$ A(*id, m); $ E(x);\n? -[ ]-> <A(a[], p[]), A(a[], q[])>;\n"
                                 "! -[ A(a[], q[]) ]-> E(a[]);\n",
                                 false)
                    .empty());
}
