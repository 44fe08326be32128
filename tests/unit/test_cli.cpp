// The built tool with options: the JSON results against the text report of
// the same run, a time limit, help and version.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string join(const json& list, const std::string& separator) {
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i > 0) text += separator;
        text += list[i].is_string() ? list[i].get<std::string>() : list[i].dump();
    }
    return text;
}

// What the text report says, read back from its lines.
struct TextReport {
    std::vector<size_t> set_sizes;           // rules listed under the six headings
    std::vector<std::string> target_rules;   // each as printed under "Target Rule :"
    long long time_ms = -1;
    long long rule_count = -1;
    bool stop_line = false;

    explicit TextReport(const std::string& text) {
        static const std::vector<std::string> headings = {
            "Selectable Consistent Rules. ", "Not Selectable Consistent Rules. ", "Selectable Transfer Rules. ",
            "Not Selectable Transfer Rules. ", "Final Rules. ", "Target Rules. "};
        static const std::regex label("Select Rule at [0-9]+:|Not Selectable Rule :|Final Rule :|Target Rule :");
        static const std::regex time("Verification Time: ([0-9]+) min - ([0-9]+) sec - ([0-9]+) ms ");
        std::vector<std::string> lines = lines_of(text);
        int set = -1;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            std::smatch m;
            if (line.rfind("Saturation stopped: ", 0) == 0) stop_line = true;
            if (set + 1 < 6 && line == headings[static_cast<size_t>(set + 1)]) {
                ++set;
                set_sizes.push_back(0);
            } else if (set >= 0 && std::regex_match(line, label)) {
                ++set_sizes.back();
                if (set == 5) {
                    std::string rule;
                    for (size_t j = i + 1; j < lines.size() && !lines[j].empty(); ++j) rule += lines[j] + "\n";
                    target_rules.push_back(rule);
                }
            } else if (std::regex_match(line, m, time)) {
                time_ms = std::stoll(m[1]) * 60000 + std::stoll(m[2]) * 1000 + std::stoll(m[3]);
                set = 6;
            } else if (line.rfind("Overall Rule Generated: ", 0) == 0) {
                rule_count = std::stoll(line.substr(24));
            }
        }
    }
};

// A fact as the report prints it, made from its parts.
std::string fact_from_parts(const json& fact) {
    if (fact.at("kind") == "knowledge") return "know(" + fact.at("term").get<std::string>() + ")";
    std::string text = fact.at("predicate").get<std::string>() + "(";
    const json& arguments = fact.at("arguments");
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) text += ", ";
        if (arguments[i].at("starred").get<bool>()) text += "*";
        text += arguments[i].at("term").get<std::string>();
    }
    return text + ")";
}

// A target rule as the report prints it, made from its parts alone.
std::string rule_from_parts(const json& rule) {
    std::vector<std::string> premises;
    for (const json& know : rule.at("knowledge_premises"))
        premises.push_back(fact_from_parts(know) + " : " + join(know.at("states"), ", "));
    for (const json& event : rule.at("event_premises")) premises.push_back(fact_from_parts(event));
    std::string text;
    for (size_t i = 0; i < premises.size(); ++i) text += (i > 0 ? ", \n" : "") + premises[i];
    if (!premises.empty()) text += "\n";
    text += "--[\n";
    for (const json& state : rule.at("states")) {
        std::string ordering = state.at("ordering").empty() ? "[ ]" : "[" + join(state.at("ordering"), ", ") + "]";
        text += state.at("sid").dump() + " - " + fact_from_parts(state) + " : " + ordering + "\n";
    }
    return text + "]-> " + fact_from_parts(rule.at("conclusion")) + "\n";
}

class ToolRun : public testing::Test {
protected:
    void SetUp() override {
        _tool = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "vorn";
        if (!fs::exists(_tool)) GTEST_SKIP() << "vorn not built at " << _tool;
        _dir = fs::temp_directory_path() / ("vorn_cli_" + std::to_string(getpid()));
        fs::create_directories(_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(_dir, ec);
    }

    static std::string source(const std::string& relative) { return std::string(VORN_SOURCE_DIR) + "/" + relative; }

    // Runs the tool; standard output and error go to out and err.
    int run(const std::string& arguments) {
        std::string command = "'" + _tool.string() + "' " + arguments + " > '" + (_dir / "out").string() + "' 2> '" +
                              (_dir / "err").string() + "' < /dev/null";
        int status = std::system(command.c_str());
        out = slurp(_dir / "out");
        err = slurp(_dir / "err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Runs with --json and checks every field against the text report of the same run.
    json run_with_json(const std::string& options, const std::string& model, int expected_status) {
        std::string path = (_dir / "results.json").string();
        EXPECT_EQ(run(options + " --json '" + path + "' '" + model + "'"), expected_status) << err;
        json results;
        try {
            results = json::parse(slurp(path));
        } catch (const json::exception& e) {
            ADD_FAILURE() << "not JSON: " << e.what();
            return results;
        }
        TextReport text(out);
        EXPECT_EQ(results.at("format_version"), 1);
        EXPECT_EQ(results.at("model"), model);
        EXPECT_EQ(results.at("completed").get<bool>(), !text.stop_line);
        EXPECT_EQ(results.at("completed").get<bool>(), results.at("stopped_by").is_null());
        expect_verdict(results.at("verdict"), text, model);
        EXPECT_EQ(results.at("time_ms").get<long long>(), text.time_ms);
        EXPECT_EQ(results.at("rule_count").get<long long>(), text.rule_count);
        const json& sets = results.at("rule_sets");
        std::vector<size_t> sizes;
        for (const char* name : {"selectable_consistent", "not_selectable_consistent", "selectable_transfer",
                                 "not_selectable_transfer", "final", "target"})
            sizes.push_back(sets.at(name).get<size_t>());
        EXPECT_EQ(sizes, text.set_sizes);
        const json& targets = results.at("target_rules");
        EXPECT_EQ(targets.size(), text.target_rules.size());
        for (size_t i = 0; i < targets.size() && i < text.target_rules.size(); ++i) {
            EXPECT_EQ(targets[i].at("printed"), text.target_rules[i]);
            EXPECT_EQ(rule_from_parts(targets[i]), text.target_rules[i]);
            for (const json& state : targets[i].at("states")) {
                EXPECT_EQ(state.at("printed"), fact_from_parts(state));
                json key = json::array();
                for (const json& argument : state.at("arguments"))
                    if (argument.at("starred").get<bool>()) key.push_back(argument.at("term"));
                EXPECT_EQ(state.at("key"), key);
            }
            EXPECT_EQ(targets[i].at("conclusion").at("printed"), fact_from_parts(targets[i].at("conclusion")));
        }
        return results;
    }

    // The verdict: the one line on standard error, the same in the JSON
    // results, and what the report and the model say.
    void expect_verdict(const json& verdict, const TextReport& text, const std::string& model) {
        EXPECT_EQ(err, model + ": " + verdict.at("text").get<std::string>() + "\n");
        EXPECT_EQ(verdict.at("result"), !text.target_rules.empty() ? "attack" : text.stop_line ? "none" : "secure");
        EXPECT_EQ(verdict.at("target_rules").get<size_t>(), text.target_rules.size());
        std::vector<std::string> events;
        for (const std::string& rule : text.target_rules) {
            std::string event = rule.substr(rule.rfind("]-> ") + 4);
            event.pop_back();
            if (std::find(events.begin(), events.end(), event) == events.end()) events.push_back(event);
        }
        EXPECT_EQ(verdict.at("events").get<std::vector<std::string>>(), events);
        std::vector<int> lines;
        std::vector<std::string> file = lines_of(slurp(model));
        for (size_t i = 0; i < file.size(); ++i)
            if (file[i].rfind("%", 0) == 0) lines.push_back(static_cast<int>(i + 1));
        EXPECT_EQ(verdict.at("query_lines").get<std::vector<int>>(), lines);
    }

    // The access queries of a model file: "% Pred(args) * true|false;".
    static std::vector<std::pair<std::string, bool>> model_queries(const std::string& model) {
        std::vector<std::pair<std::string, bool>> queries;
        static const std::regex query("\\s*%\\s*([A-Za-z][A-Za-z0-9]*)\\(.*\\*\\s*(true|false)\\s*;.*");
        for (const std::string& line : lines_of(slurp(model))) {
            std::smatch m;
            if (std::regex_match(line, m, query)) queries.emplace_back(m[1], m[2] == "true");
        }
        return queries;
    }

    static void expect_queries(const json& results, const std::string& model) {
        std::vector<std::pair<std::string, bool>> expected = model_queries(model);
        const json& queries = results.at("queries");
        ASSERT_EQ(queries.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(queries[i].at("predicate"), expected[i].first);
            EXPECT_EQ(queries[i].at("reusable").get<bool>(), expected[i].second);
            EXPECT_EQ(queries[i].at("printed"), fact_from_parts(queries[i]));
        }
    }

    fs::path _tool;
    fs::path _dir;
    std::string out;
    std::string err;
};

}  // namespace

TEST_F(ToolRun, JsonMatchesTheReportOfTargetsWithKnowledgePremises) {
    std::string model = source("tests/e2e/conformance/engine/compose_transfer_access.vorn");
    json results = run_with_json("", model, 0);
    EXPECT_EQ(results.at("target_rules").size(), 5u);
    expect_queries(results, model);
    size_t premises = 0;
    for (const json& rule : results.at("target_rules")) premises += rule.at("knowledge_premises").size();
    EXPECT_GT(premises, 0u) << "the case is chosen for its knowledge premises";
}

TEST_F(ToolRun, JsonMatchesTheReportOfTargetsWithEventPremises) {
    std::string model = source("examples/needham_schroeder.vorn");
    json results = run_with_json("--no-progress", model, 0);
    ASSERT_EQ(results.at("target_rules").size(), 1u);
    const json& events = results.at("target_rules")[0].at("event_premises");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].at("kind"), "event");
    EXPECT_TRUE(results.at("queries").empty());
}

TEST_F(ToolRun, JsonOfAReportOnlyRunIsTheSame) {
    std::string model = source("tests/e2e/docs/quick_start.vorn");
    json full = run_with_json("", model, 0);
    std::string full_out = out;
    json quiet = run_with_json("-q", model, 0);
    EXPECT_LT(out.size(), full_out.size());
    full.erase("time_ms");
    quiet.erase("time_ms");
    EXPECT_EQ(full, quiet);
    expect_queries(full, model);
}

TEST_F(ToolRun, JsonSaysWhichLimitStoppedTheRun) {
    std::string model = source("tests/e2e/cli/max_rules_stop.vorn");
    json results = run_with_json("--max-rules 8", model, 3);
    EXPECT_FALSE(results.at("completed").get<bool>());
    EXPECT_EQ(results.at("stopped_by"), "rule");
    EXPECT_EQ(results.at("rule_count").get<size_t>() - results.at("rule_sets").at("target").get<size_t>(), 8u);
}

TEST_F(ToolRun, TimeLimitStopsTheRunSoonAfterIt) {
    std::string model = source("tests/e2e/cli/max_rules_stop.vorn");
    auto start = std::chrono::steady_clock::now();
    json results = run_with_json("-q --time-limit 0.4", model, 3);
    auto wall = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(results.at("stopped_by"), "time");
    EXPECT_NE(out.find("Saturation stopped: time limit reached; the rule sets are incomplete, so a missing target "
                       "rule proves nothing.\n--levers may end the saturation, or report its attacks although it "
                       "does not end.\n\n"),
              std::string::npos);
    EXPECT_GE(results.at("time_ms").get<long long>(), 400);
    // Far more than a step of this model takes, for a loaded test machine.
    EXPECT_LT(wall, std::chrono::seconds(10));
}

TEST_F(ToolRun, HelpAndVersion) {
    EXPECT_EQ(run("--help"), 0);
    std::string help = out;
    EXPECT_EQ(err, "");
    EXPECT_EQ(help.rfind("Usage: vorn [OPTION]... MODEL\n", 0), 0u);
    EXPECT_EQ(run("-h"), 0);
    EXPECT_EQ(out, help);
    EXPECT_EQ(run("--version"), 0);
    EXPECT_EQ(out, std::string("vorn ") + VORN_VERSION + "\n");
    EXPECT_EQ(err, "");
}

TEST_F(ToolRun, JsonIsNotWrittenWhenTheRunFails) {
    std::string path = (_dir / "results.json").string();
    std::ofstream(path) << "old";
    // A model error: status 1, the file is left empty (opened before the run).
    EXPECT_EQ(run("--json '" + path + "' '" + source("tests/e2e/docs/err_state_undeclared.vorn") + "'"), 1);
    EXPECT_EQ(slurp(path), "");
    // The JSON file cannot be where the report goes.
    EXPECT_EQ(run("--json '" + (_dir / "out").string() + "' '" + source("tests/e2e/docs/quick_start.vorn") + "'"),
              255);
    EXPECT_EQ(err, "vorn: --json: cannot write '" + (_dir / "out").string() + "': it is where the report goes\n");
    EXPECT_EQ(out, "");
}

TEST_F(ToolRun, GraphAndJsonFilesMustBeTwoFilesUnlessTheyAreDevices) {
    std::string model = source("tests/e2e/docs/quick_start.vorn");
    std::string path = (_dir / "results").string();
    EXPECT_EQ(run("--json '" + path + "' --graph '" + _dir.string() + "/./results' '" + model + "'"), 255);
    EXPECT_EQ(err, "vorn: --graph: cannot write '" + _dir.string() + "/./results': it is the --json file\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(run("--json /dev/null --graph /dev/null --explain '" + model + "'"), 0) << err;
    EXPECT_NE(out.find("\nDerivation of target rule 1:\n"), std::string::npos);
}

// Under the abstraction each target rule says whether it came through a
// generalised rule, and for those, whether the replay of its run on the
// model confirmed it, as the report's last line lists them; without it,
// nothing.
TEST_F(ToolRun, JsonMarksTheTargetsOfGeneralisedRules) {
    std::string path = (_dir / "results.json").string();
    auto results = [&](const std::string& name, const std::string& options, const char* result, const char* marks) {
        std::string model = source("tests/e2e/cli/" + name + ".vorn");
        EXPECT_EQ(run("-q " + options + " --json '" + path + "' '" + model + "'"), 0) << err;
        json document = json::parse(slurp(path));
        EXPECT_EQ(document.at("verdict").at("result"), result) << name << " " << options;
        std::string seen;
        for (const json& target : document.at("target_rules")) {
            if (!target.contains("generalised"))
                seen += '-';
            else if (!target.at("generalised").get<bool>())
                seen += target.contains("replayed") ? '?' : 'E';
            else
                seen += target.at("replayed").get<bool>() ? 'R' : 'G';
        }
        EXPECT_EQ(seen, marks) << name << " " << options;
    };
    results("possible_attack", "--levers --abstract=1", "possible", "G");
    EXPECT_NE(out.find("\nAbstraction: terms deeper than 1 were generalised; 1 of 1 target rules (1) were found "
                       "through generalised rules: possible attacks, not confirmed.\n"),
              std::string::npos);
    results("possible_attack", "--levers --abstract=3", "secure", "");
    results("replayed_attack", "--levers --abstract=1", "attack", "R");
    EXPECT_NE(out.find("\nAbstraction: terms deeper than 1 were generalised; 1 of 1 target rules (1) were found "
                       "through generalised rules: attacks, confirmed by an exact replay of their runs on the model.\n"),
              std::string::npos);
    results("replayed_attack", "--levers --abstract=3", "attack", "E");
    EXPECT_NE(out.find("\nAbstraction: terms deeper than 3 were generalised; no target rule was found through a "
                       "generalised rule.\n"),
              std::string::npos);
    results("replayed_attack", "--levers", "attack", "-");
    EXPECT_EQ(out.find("Abstraction:"), std::string::npos);
}
