// The words of the verdict line: the question named by the lines of its
// access queries, and the answer with the events it names.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "model_fixture.h"
#include "vorn/report/verdict.h"

using vorn::Verdict;
using vorn::VerdictKind;

TEST(Verdict, TheQuestionNamesItsLinesOnceEachInRuns) {
    EXPECT_EQ(vorn::question_text({}), "without access query (events reachable from no state)");
    EXPECT_EQ(vorn::question_text({7}), "for the access query at line 7");
    // Two queries on one line, runs of consecutive lines, a comment between two queries.
    EXPECT_EQ(vorn::question_text({3, 4, 5, 5, 9, 11, 12}), "for the access query at lines 3-5, 9, 11-12");
    EXPECT_EQ(vorn::question_text({4, 4}), "for the access query at line 4");
}

TEST(Verdict, TheAnswerNamesAtMostThreeEventsAndTheStop) {
    Verdict verdict;
    verdict.kind = VerdictKind::ATTACK;
    verdict.events = {"A(a[])", "B(b[])", "C(c[])", "D(d[])", "E(e[])"};
    verdict.target_rules = 6;
    verdict.stopped_by = "the rule limit";
    EXPECT_EQ(vorn::answer_text(verdict),
              "attack: A(a[]), B(b[]), C(c[]) and 2 other events (6 target rules, found before the rule limit "
              "stopped the saturation)");
    verdict.kind = VerdictKind::NO_VERDICT;
    EXPECT_EQ(vorn::verdict_line("m.vorn", verdict),
              "m.vorn: verdict without access query (events reachable from no state): no verdict (stopped by the "
              "rule limit)\n");
    EXPECT_EQ(vorn::stop_cause("memory", 0), "the memory limit");
    EXPECT_EQ(vorn::stop_cause("interrupt", 15), "SIGTERM");
    EXPECT_EQ(vorn::stop_cause("", 0), "");
}

// Under the abstraction, the run is a possible attack only when every target
// rule came through a generalised rule; one exact target makes it an attack.
// A possible attack is not secure, and not yet an attack.
using VerdictOfTargets = ModelTest;
TEST_F(VerdictOfTargets, APossibleAttackNeedsEveryTargetGeneralised) {
    parse("$ e(x);\n! -[ ]-> e(a[]);\n! -[ ]-> e(b[]);\n");
    std::list<sym::StateConstRule*> targets = {const_rule(0), const_rule(1)};
    EXPECT_EQ(vorn::judge(targets, {}, "").kind, VerdictKind::ATTACK);
    EXPECT_EQ(vorn::judge(targets, {}, "", {true, false}).kind, VerdictKind::ATTACK);
    EXPECT_EQ(vorn::judge(targets, {}, "", {false, false}).kind, VerdictKind::ATTACK);
    Verdict possible = vorn::judge(targets, {}, "the rule limit", {true, true});
    ASSERT_EQ(possible.kind, VerdictKind::POSSIBLE_ATTACK);
    EXPECT_EQ(vorn::answer_text(possible),
              "possible attack: e(a[]), e(b[]) (2 target rules, found through generalised rules, found before the "
              "rule limit stopped the saturation)");
    EXPECT_STREQ(vorn::verdict_result(possible.kind), "possible");
    EXPECT_EQ(vorn::as_expected(possible.kind, vorn::Expectation::SECURE), vorn::Agreement::NOT_AS_EXPECTED);
    EXPECT_EQ(vorn::as_expected(possible.kind, vorn::Expectation::ATTACK), vorn::Agreement::NO_VERDICT);
    EXPECT_EQ(vorn::judge({}, {}, "", {}).kind, VerdictKind::NO_ATTACK);
}
