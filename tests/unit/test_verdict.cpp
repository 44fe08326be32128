// The words of the verdict line: the question named by the lines of its
// access queries, and the answer with the events it names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
