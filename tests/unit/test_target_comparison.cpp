#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "tests/tools/target_comparison.h"

using vorn::ComparedRun;
using vorn::TargetRelation;

namespace {

const char* const general_model =
    "$ S(*p, q);\n$ Bad(x);\n? -[ ]-> <S(a[], x), S(a[], b[])>;\n! -[ S(a[], x) ]-> Bad(x);\n% S(a[], c[]) * false;\n";
// The same goal for one value of x only: its target is an instance of the general one.
const char* const specific_model =
    "$ S(*p, q);\n$ Bad(x);\n? -[ ]-> <S(a[], x), S(a[], b[])>;\n! -[ S(a[], c[]) ]-> Bad(c[]);\n% S(a[], c[]) * false;\n";

ComparedRun run(const std::string& text, size_t max_rules = 0) {
    vorn::Options options;
    options.report_only = true;
    options.max_rules = max_rules;
    std::ostringstream silenced;
    std::streambuf* saved = std::cout.rdbuf(silenced.rdbuf());
    ComparedRun result = vorn::run_for_comparison(text, options);
    std::cout.rdbuf(saved);
    return result;
}

}  // namespace

// The direction of implication: a general target covers a specific one, not
// the reverse, and "same" reports each side's targets without partner.
TEST(TargetComparison, ImplicationHasADirection) {
    ComparedRun general = run(general_model);
    ComparedRun specific = run(specific_model);
    ASSERT_EQ(general.end, ComparedRun::End::COMPLETE);
    ASSERT_FALSE(general.targets().empty());
    ASSERT_EQ(specific.targets().size(), 1u);

    EXPECT_TRUE(vorn::compare_targets(specific, general, TargetRelation::FIRST_IN_SECOND).holds);
    EXPECT_TRUE(vorn::compare_targets(general, specific, TargetRelation::SECOND_IN_FIRST).holds);
    vorn::TargetComparison wrong = vorn::compare_targets(general, specific, TargetRelation::FIRST_IN_SECOND);
    EXPECT_TRUE(wrong.compared);
    EXPECT_FALSE(wrong.holds);
    EXPECT_FALSE(wrong.first_unmatched.empty());

    vorn::TargetComparison same = vorn::compare_targets(general, specific, TargetRelation::SAME);
    EXPECT_FALSE(same.holds);
    EXPECT_EQ(same.first_unmatched, wrong.first_unmatched);
    EXPECT_TRUE(same.second_unmatched.empty());
    EXPECT_TRUE(vorn::compare_targets(general, run(general_model), TargetRelation::SAME).holds);
    std::string details = vorn::comparison_details(general, specific, same);
    EXPECT_NE(details.find("of the first run, implied by no target of the second run"), std::string::npos);
    EXPECT_NE(details.find("Bad(x@"), std::string::npos);
}

// A stopped run is compared only where its targets need no partner, and a
// model error is never compared.
TEST(TargetComparison, StoppedAndFailedRuns) {
    ComparedRun stopped = run(general_model, 1);
    ComparedRun complete = run(general_model);
    ASSERT_EQ(stopped.end, ComparedRun::End::STOPPED);
    EXPECT_TRUE(vorn::compare_targets(stopped, complete, TargetRelation::FIRST_IN_SECOND).compared);
    EXPECT_FALSE(vorn::compare_targets(complete, stopped, TargetRelation::FIRST_IN_SECOND).compared);
    EXPECT_FALSE(vorn::compare_targets(stopped, complete, TargetRelation::SAME).compared);

    ComparedRun broken = run("$ S(*p);\n! -[ S(a[], b[]) ]-> k(a[]);\n");
    EXPECT_EQ(broken.end, ComparedRun::End::MODEL_ERROR);
    EXPECT_FALSE(broken.why.empty());
    EXPECT_FALSE(vorn::compare_targets(broken, complete, TargetRelation::FIRST_IN_SECOND).compared);
}
