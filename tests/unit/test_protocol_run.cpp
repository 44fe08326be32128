// The outline of --explain as a run of the protocol, and the replay that
// checks it (vorn/report/run_replay.h): the replay must refuse the orders the
// outline must not print, and the outline must print a run or say there is
// none.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/outline_check.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

namespace {

class OutlineRun : public ::testing::Test {
protected:
    void TearDown() override { vorn::release_model(); }

    // Runs a model of the repository as --explain does, and parses it again to replay on.
    void explain(const std::string& relative) {
        std::ifstream file(std::string(VORN_SOURCE_DIR) + "/" + relative);
        ASSERT_TRUE(file) << relative;
        std::stringstream text;
        text << file.rdbuf();
        run = vorn::run_explained(text.str(), vorn::Options{});
        ASSERT_EQ(run.end, vorn::ExplainedRun::End::COMPLETE) << run.why;
        for (const vorn::Derivation& derivation : run.derivations) runs.push_back(vorn::protocol_run(derivation));
        vorn::scan_string(text.str());
        vorn::parse_model();
        rules.assign(vorn::raw_const_rules.begin(), vorn::raw_const_rules.end());
        rules.insert(rules.end(), vorn::raw_trans_rules.begin(), vorn::raw_trans_rules.end());
    }

    // The lines of the steps over states, in order.
    std::vector<int> lines(const vorn::ProtocolRun& outline) const {
        std::vector<int> all;
        for (const vorn::RunStep& step : outline.steps)
            if (step.model->over_states) all.push_back(run.provenance->source(*step.model).line);
        return all;
    }

    vorn::Replay replay(const vorn::ProtocolRun& outline) const {
        return vorn::replay_run(outline, rules, vorn::raw_accessable_states);
    }

    vorn::ExplainedRun run;
    std::vector<vorn::ProtocolRun> runs;
    std::vector<const sym::StateRule*> rules;
};

}  // namespace

TEST_F(OutlineRun, TheReconfiguredDeviceDecryptsEachHalfInTheModeItIsIn) {
    explain("examples/case_studies/lor_reconfigure.vorn");
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].status, vorn::ProtocolRun::Status::RUN);
    // Configure right, decrypt y, reset, configure left, decrypt x.
    EXPECT_EQ(lines(runs[0]), (std::vector<int>{27, 32, 30, 26, 31}));
    vorn::Replay outline = replay(runs[0]);
    EXPECT_TRUE(outline.holds) << outline.problem;

    // The order of the derivation's steps, which the outline used to print,
    // decrypts y while the device is left: the replay refuses it.
    std::vector<size_t> order(runs[0].steps.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return run.derivations[0].number(runs[0].steps[a].model) < run.derivations[0].number(runs[0].steps[b].model);
    });
    vorn::Replay derivation_order = replay(vorn::reordered(runs[0], order));
    EXPECT_FALSE(derivation_order.holds);
    EXPECT_NE(derivation_order.problem.find("right[]"), std::string::npos) << derivation_order.problem;
}

TEST_F(OutlineRun, AStepTakenAgainAfterAResetIsListedAgainAndNoTwoStepsOfTheRunCanSwap) {
    explain("tests/e2e/docs/explain_reset.vorn");
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].status, vorn::ProtocolRun::Status::RUN);
    EXPECT_EQ(lines(runs[0]), (std::vector<int>{10, 12, 13, 15, 9, 12, 13}));
    EXPECT_EQ(runs[0].processes, 1u);
    // A run longer than asked for is not worked out.
    EXPECT_EQ(vorn::protocol_run(run.derivations[0], 6).status, vorn::ProtocolRun::Status::TOO_LONG);
    vorn::Replay outline = replay(runs[0]);
    EXPECT_TRUE(outline.holds) << outline.problem;
    // Each step needs the one before it: a state it enters or the knowledge it derives.
    for (size_t i = 0; i + 1 < runs[0].steps.size(); ++i) {
        std::vector<size_t> order(runs[0].steps.size());
        for (size_t j = 0; j < order.size(); ++j) order[j] = j;
        std::swap(order[i], order[i + 1]);
        EXPECT_FALSE(replay(vorn::reordered(runs[0], order)).holds) << "steps " << i + 1 << " and " << i + 2;
    }
}

TEST_F(OutlineRun, ADerivationWhoseOrderingsMakeACircleIsSaidToBeNoRun) {
    explain("tests/e2e/docs/explain_no_run.vorn");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].status, vorn::ProtocolRun::Status::NO_ORDER);
    std::vector<int> cycle;
    for (const vorn::Origin* step : runs[0].cycle) cycle.push_back(run.provenance->source(*step).line);
    std::sort(cycle.begin(), cycle.end());
    EXPECT_EQ(cycle, (std::vector<int>{4, 5}));
    // Here no order of the same steps is a run either.
    std::optional<bool> some = vorn::some_order_replays(runs[0], rules, vorn::raw_accessable_states, 8);
    ASSERT_TRUE(some.has_value());
    EXPECT_FALSE(*some);
}
