// The command line: what each argument list asks for, and which option
// values are refused with which message.
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

#include "vorn/cli/options.h"

using vorn::CommandLine;
using vorn::Options;
using Action = CommandLine::Action;

namespace {

CommandLine parse(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv = {"vorn"};
    argv.insert(argv.end(), arguments);
    return vorn::parse_command_line(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(CommandLine, OneModelWithoutOptionsIsAPlainRun) {
    CommandLine line = parse({"model.vorn"});
    ASSERT_EQ(line.action, Action::RUN);
    EXPECT_EQ(line.options.model, "model.vorn");
    EXPECT_FALSE(line.options.report_only);
    EXPECT_EQ(line.options.max_rules, 0u);
    EXPECT_EQ(line.options.time_limit.count(), 0);
    EXPECT_EQ(line.options.progress, Options::Progress::AUTO);
    EXPECT_FALSE(line.options.json.has_value());
    EXPECT_FALSE(line.options.growth);
}

TEST(CommandLine, GrowthIsAFlag) {
    CommandLine line = parse({"--growth", "--max-rules", "5", "m"});
    ASSERT_EQ(line.action, Action::RUN) << line.error;
    EXPECT_TRUE(line.options.growth);
    EXPECT_EQ(line.options.max_rules, 5u);
    line = parse({"--growth=yes", "m"});
    ASSERT_EQ(line.action, Action::ERROR);
    EXPECT_EQ(line.error, "vorn: option '--growth' takes no value\nTry 'vorn --help'.\n");
}

TEST(CommandLine, AnythingButOneModelIsTheOldUsageError) {
    EXPECT_EQ(parse({}).action, Action::USAGE);
    EXPECT_EQ(parse({}).error, "vorn: no model file given\nTry 'vorn --help'.\n");
    EXPECT_EQ(parse({"a", "-q", "b"}).action, Action::USAGE);
    EXPECT_EQ(parse({"a", "-q", "b"}).error, "vorn: one model file expected, got 2: 'a' 'b'\nTry 'vorn --help'.\n");
    EXPECT_EQ(parse({"-q"}).action, Action::USAGE);
    EXPECT_EQ(parse({"--"}).action, Action::USAGE);
    EXPECT_EQ(parse({"m", "--", "-q"}).action, Action::USAGE);
}

TEST(CommandLine, OptionsAfterTheModelAsGnuToolsTakeThem) {
    CommandLine line = parse({"model.vorn", "-q", "--max-rules", "5", "-Wno-unproduced"});
    ASSERT_EQ(line.action, Action::RUN) << line.error;
    EXPECT_EQ(line.options.model, "model.vorn");
    EXPECT_TRUE(line.options.report_only);
    EXPECT_EQ(line.options.max_rules, 5u);
    EXPECT_FALSE(line.options.warnings.enabled(vorn::WarningId::UNPRODUCED));
    // A value is taken before the model is looked for.
    line = parse({"--json", "m.vorn", "r.vorn"});
    ASSERT_EQ(line.action, Action::RUN) << line.error;
    EXPECT_EQ(line.options.model, "r.vorn");
    EXPECT_EQ(parse({"model.vorn", "--help"}).action, Action::HELP);
    EXPECT_EQ(parse({"model.vorn", "--bogus"}).action, Action::ERROR);
}

TEST(CommandLine, DoubleDashAndSingleDash) {
    CommandLine line = parse({"--", "-q"});
    ASSERT_EQ(line.action, Action::RUN);
    EXPECT_EQ(line.options.model, "-q");
    EXPECT_FALSE(line.options.report_only);
    line = parse({"-q", "-"});
    ASSERT_EQ(line.action, Action::RUN);
    EXPECT_EQ(line.options.model, "-");
    EXPECT_TRUE(line.options.report_only);
    EXPECT_EQ(parse({"--", "-", "x"}).action, Action::USAGE);
    // An empty argument is a (missing) model file, not an option.
    line = parse({""});
    ASSERT_EQ(line.action, Action::RUN);
    EXPECT_EQ(line.options.model, "");
}

TEST(CommandLine, EveryOptionInBothSpellings) {
    CommandLine line = parse({"-q", "--max-rules", "12", "--time-limit", "2.5", "--progress", "--json", "r.json", "m"});
    ASSERT_EQ(line.action, Action::RUN) << line.error;
    EXPECT_TRUE(line.options.report_only);
    EXPECT_EQ(line.options.max_rules, 12u);
    EXPECT_EQ(line.options.time_limit, std::chrono::milliseconds(2500));
    EXPECT_EQ(line.options.progress, Options::Progress::ON);
    EXPECT_EQ(line.options.json.value_or("?"), "r.json");

    line = parse({"--report-only", "--max-rules=7", "--time-limit=3", "--no-progress", "--json=-x.json", "m"});
    ASSERT_EQ(line.action, Action::RUN) << line.error;
    EXPECT_TRUE(line.options.report_only);
    EXPECT_EQ(line.options.max_rules, 7u);
    EXPECT_EQ(line.options.time_limit, std::chrono::seconds(3));
    EXPECT_EQ(line.options.progress, Options::Progress::OFF);
    EXPECT_EQ(line.options.json.value_or("?"), "-x.json");

    // The last of a repeated option wins; a value that looks like an option is still a value.
    line = parse({"--no-progress", "--progress", "--max-rules", "3", "--max-rules", "4", "--json", "--", "m"});
    ASSERT_EQ(line.action, Action::RUN) << line.error;
    EXPECT_EQ(line.options.progress, Options::Progress::ON);
    EXPECT_EQ(line.options.max_rules, 4u);
    EXPECT_EQ(line.options.json.value_or("?"), "--");
    EXPECT_EQ(line.options.model, "m");
}

TEST(CommandLine, HelpAndVersionActAsSoonAsTheyAreRead) {
    EXPECT_EQ(parse({"-h"}).action, Action::HELP);
    EXPECT_EQ(parse({"--help", "a", "b"}).action, Action::HELP);
    EXPECT_EQ(parse({"-q", "--help", "--bogus"}).action, Action::HELP);
    EXPECT_EQ(parse({"--version"}).action, Action::VERSION);
    EXPECT_EQ(parse({"--bogus", "--help"}).action, Action::ERROR);
    EXPECT_EQ(vorn::version_text(), std::string("vorn ") + VORN_VERSION + "\n");
}

TEST(CommandLine, UsageErrorsNameTheOptionAndPointToHelp) {
    struct Case {
        std::initializer_list<const char*> arguments;
        std::string error;
    };
    const std::string try_help = "Try 'vorn --help'.\n";
    const Case cases[] = {
        {{"--bogus", "m"}, "vorn: unknown option '--bogus'\n" + try_help},
        {{"-x", "m"}, "vorn: unknown option '-x'\n" + try_help},
        {{"-qh", "m"}, "vorn: unknown option '-qh'\n" + try_help},
        {{"--max-rule=3", "m"}, "vorn: unknown option '--max-rule=3'\n" + try_help},
        {{"--max-rules"}, "vorn: option '--max-rules' needs a value\n" + try_help},
        {{"--time-limit"}, "vorn: option '--time-limit' needs a value\n" + try_help},
        {{"--json"}, "vorn: option '--json' needs a value\n" + try_help},
        {{"--report-only=yes", "m"}, "vorn: option '--report-only' takes no value\n" + try_help},
        {{"--max-rules", "-3", "m"}, "vorn: --max-rules: expected a positive whole number, got '-3'\n"},
        {{"--max-rules=", "m"}, "vorn: --max-rules: expected a positive whole number, got ''\n"},
        {{"--time-limit", "soon", "m"},
         "vorn: --time-limit: expected a positive number of seconds up to 1000000000, got 'soon'\n"},
    };
    for (const Case& c : cases) {
        CommandLine line = parse(c.arguments);
        EXPECT_EQ(line.action, Action::ERROR) << *c.arguments.begin();
        EXPECT_EQ(line.error, c.error);
    }
}

TEST(OptionValues, PositiveCounts) {
    size_t value = 99;
    EXPECT_TRUE(vorn::parse_positive_count("1", value));
    EXPECT_EQ(value, 1u);
    EXPECT_TRUE(vorn::parse_positive_count("007", value));
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(vorn::parse_positive_count("18446744073709551615", value));
    EXPECT_EQ(value, 18446744073709551615u);
    for (const char* bad : {"", "0", "000", "-1", "+1", "1.5", " 1", "1 ", "0x10", "1e3", "18446744073709551616",
                            "99999999999999999999999999"}) {
        value = 5;
        EXPECT_FALSE(vorn::parse_positive_count(bad, value)) << bad;
        EXPECT_EQ(value, 5u) << "a refused value leaves the option unchanged: " << bad;
    }
}

TEST(OptionValues, PositiveSeconds) {
    using std::chrono::nanoseconds;
    nanoseconds value{0};
    struct Good {
        const char* text;
        long long nanos;
    };
    for (Good good : {Good{"2", 2000000000LL}, Good{"0.25", 250000000LL}, Good{".5", 500000000LL},
                      Good{"5.", 5000000000LL}, Good{"0.000000001", 1}, Good{"0.0000000001", 1},
                      Good{"1.0000000001", 1000000001LL}, Good{"1000000000", 1000000000LL * 1000000000LL}}) {
        EXPECT_TRUE(vorn::parse_positive_seconds(good.text, value)) << good.text;
        EXPECT_EQ(value.count(), good.nanos) << good.text;
    }
    for (const char* bad : {"", ".", "0", "0.0", "00.000000000000", "-1", "+1", "1e3", "1,5", "1.2.3", "nan", "inf",
                            " 1", "1000000000.000000001", "1000000001", "99999999999999999999999"}) {
        value = nanoseconds(7);
        EXPECT_FALSE(vorn::parse_positive_seconds(bad, value)) << bad;
        EXPECT_EQ(value.count(), 7) << bad;
    }
}

TEST(CommandLine, CheckAndColour) {
    CommandLine line = parse({"--check", "m.vorn"});
    ASSERT_EQ(line.action, Action::RUN);
    EXPECT_TRUE(line.options.check);
    EXPECT_EQ(line.options.color, vorn::ColorChoice::AUTO);
    EXPECT_EQ(parse({"--color", "m.vorn"}).options.color, vorn::ColorChoice::ALWAYS);
    EXPECT_EQ(parse({"--color=always", "m.vorn"}).options.color, vorn::ColorChoice::ALWAYS);
    EXPECT_EQ(parse({"--color=never", "m.vorn"}).options.color, vorn::ColorChoice::NEVER);
    EXPECT_EQ(parse({"--color=never", "--color=auto", "m.vorn"}).options.color, vorn::ColorChoice::AUTO);
    // The value goes after "=" only: a separate word is the model.
    line = parse({"--color", "never"});
    ASSERT_EQ(line.action, Action::RUN);
    EXPECT_EQ(line.options.model, "never");
    line = parse({"--color=", "m.vorn"});
    EXPECT_EQ(line.options.color, vorn::ColorChoice::ALWAYS);
    line = parse({"--color=sometimes", "m.vorn"});
    ASSERT_EQ(line.action, Action::ERROR);
    EXPECT_EQ(line.error, "vorn: --color: expected always, never or auto, got 'sometimes'\n");
    EXPECT_EQ(parse({"--check=yes", "m.vorn"}).error, "vorn: option '--check' takes no value\nTry 'vorn --help'.\n");
}

TEST(CommandLine, WarningSwitches) {
    using vorn::WarningId;
    Options defaults = parse({"m.vorn"}).options;
    EXPECT_TRUE(defaults.warnings.enabled(WarningId::UNPRODUCED));
    EXPECT_TRUE(defaults.warnings.enabled(WarningId::PARTIAL_STEP));
    EXPECT_FALSE(defaults.warnings.enabled(WarningId::MISSING_TRANSFER_RULE));
    EXPECT_FALSE(defaults.warnings.any_errors());

    Options options = parse({"-Wno-unproduced", "-Wmissing-transfer-rule", "-Werror", "m.vorn"}).options;
    EXPECT_FALSE(options.warnings.enabled(WarningId::UNPRODUCED));
    EXPECT_TRUE(options.warnings.enabled(WarningId::MISSING_TRANSFER_RULE));
    EXPECT_TRUE(options.warnings.enabled(WarningId::MISSPELLING));
    EXPECT_TRUE(options.warnings.is_error(WarningId::UNPRODUCED));
    // The last word on one warning counts.
    EXPECT_TRUE(parse({"-Wno-misspelling", "-Wmisspelling", "m.vorn"}).options.warnings.enabled(WarningId::MISSPELLING));
    EXPECT_FALSE(parse({"-Wmisspelling", "-Wno-misspelling", "m.vorn"}).options.warnings.enabled(WarningId::MISSPELLING));
    // -w silences every warning, whatever else asks for one.
    options = parse({"-w", "-Wmissing-transfer-rule", "m.vorn"}).options;
    for (const vorn::WarningInfo& info : vorn::warning_table()) EXPECT_FALSE(options.warnings.enabled(info.id)) << info.name;

    for (const char* wrong : {"-Wno-such", "-Wsuch", "-W", "-Wno-", "-Werror=such", "-Werror=", "-Wno-error=such", "-Wall=1"}) {
        CommandLine line = parse({wrong, "m.vorn"});
        ASSERT_EQ(line.action, Action::ERROR) << wrong;
        EXPECT_EQ(line.error, std::string("vorn: unknown warning option '") + wrong + "'\nTry 'vorn --help'.\n");
    }
    // After "--" a -W word is the model.
    CommandLine line = parse({"--", "-Wx"});
    ASSERT_EQ(line.action, Action::RUN);
    EXPECT_EQ(line.options.model, "-Wx");
}
