#include "vorn/cli/options.h"

#include <cstdint>
#include <limits>
#include <vector>

#ifndef VORN_VERSION
#error "VORN_VERSION must be defined by the build"
#endif

namespace vorn {

namespace {

const char* const try_help = "Try 'vorn --help'.\n";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

enum class Kind {
    REPORT_ONLY,
    MAX_RULES,
    TIME_LIMIT,
    MAX_MEMORY,
    PROGRESS,
    NO_PROGRESS,
    JSON,
    EXPLAIN,
    GRAPH,
    GROWTH,
    HELP,
    VERSION,
    CHECK,
    COLOR,
    EXPECT,
    PARTIAL_STEPS,
    LEVERS,
    ABSTRACT
};

struct Definition {
    const char* long_name;
    char short_name;
    bool takes_value;
    Kind kind;
};

const std::vector<Definition>& definitions() {
    static const std::vector<Definition> all = {
        {"report-only", 'q', false, Kind::REPORT_ONLY}, {"max-rules", 0, true, Kind::MAX_RULES},
        {"time-limit", 0, true, Kind::TIME_LIMIT},      {"max-memory", 0, true, Kind::MAX_MEMORY},
        {"progress", 0, false, Kind::PROGRESS},
        {"no-progress", 0, false, Kind::NO_PROGRESS},   {"json", 0, true, Kind::JSON},
        {"explain", 0, false, Kind::EXPLAIN},           {"graph", 0, true, Kind::GRAPH},
        {"growth", 0, false, Kind::GROWTH},
        {"help", 'h', false, Kind::HELP},               {"version", 0, false, Kind::VERSION},
        {"check", 0, false, Kind::CHECK},               {"color", 0, false, Kind::COLOR},
        {"expect", 0, true, Kind::EXPECT},
        {"partial-steps", 0, false, Kind::PARTIAL_STEPS},
        {"levers", 0, false, Kind::LEVERS},             {"abstract", 0, false, Kind::ABSTRACT},
    };
    return all;
}

// The exact levers by the names --levers=LIST takes.
struct LeverName {
    const char* name;
    bool Settings::*field;
};
const LeverName lever_names[] = {{"constructors", &Settings::split_constructors},
                                 {"versions", &Settings::merge_versions},
                                 {"selection", &Settings::avoid_loops},
                                 {"fair", &Settings::fair}};

// --levers alone turns every exact lever on; --levers=LIST those named.
std::string apply_levers(const std::string& value, Settings& settings) {
    if (value.empty()) {
        for (const LeverName& lever : lever_names) settings.*lever.field = true;
        return "";
    }
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(',', start);
        std::string name = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (const LeverName& lever : lever_names)
            if (name == lever.name) {
                settings.*lever.field = true;
                known = true;
            }
        if (!known)
            return "vorn: --levers: expected constructors, versions, selection or fair, got '" + name + "'\n";
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return "";
}

CommandLine failure(std::string error) {
    CommandLine result;
    result.action = CommandLine::Action::ERROR;
    result.error = std::move(error);
    return result;
}

// Sets the option from its value; an error text when the value is not accepted.
std::string apply(const Definition& option, const std::string& value, Options& options) {
    switch (option.kind) {
        case Kind::REPORT_ONLY: options.report_only = true; break;
        case Kind::PROGRESS: options.progress = Options::Progress::ON; break;
        case Kind::NO_PROGRESS: options.progress = Options::Progress::OFF; break;
        case Kind::JSON: options.json = value; break;
        case Kind::EXPLAIN: options.explain = true; break;
        case Kind::GRAPH: options.graph = value; break;
        case Kind::GROWTH: options.growth = true; break;
        case Kind::CHECK: options.check = true; break;
        case Kind::PARTIAL_STEPS: options.settings.partial_steps = true; break;
        case Kind::COLOR:
            // --color alone means always, as in GNU tools.
            if (value.empty() || value == "always")
                options.color = ColorChoice::ALWAYS;
            else if (value == "never")
                options.color = ColorChoice::NEVER;
            else if (value == "auto")
                options.color = ColorChoice::AUTO;
            else
                return "vorn: --color: expected always, never or auto, got '" + value + "'\n";
            break;
        case Kind::EXPECT:
            if (value == "attack")
                options.expect = Expectation::ATTACK;
            else if (value == "secure")
                options.expect = Expectation::SECURE;
            else
                return "vorn: --expect: expected attack or secure, got '" + value + "'\n";
            break;
        case Kind::MAX_RULES:
            if (!parse_positive_count(value, options.max_rules))
                return "vorn: --max-rules: expected a positive whole number, got '" + value + "'\n";
            break;
        case Kind::MAX_MEMORY:
            if (!parse_positive_count(value, options.max_memory_mb) || options.max_memory_mb > max_memory_megabytes)
                return "vorn: --max-memory: expected a positive whole number of megabytes up to " +
                       std::to_string(max_memory_megabytes) + ", got '" + value + "'\n";
            break;
        case Kind::TIME_LIMIT:
            if (!parse_positive_seconds(value, options.time_limit))
                return "vorn: --time-limit: expected a positive number of seconds up to " +
                       std::to_string(max_time_limit_seconds) + ", got '" + value + "'\n";
            break;
        case Kind::LEVERS: return apply_levers(value, options.settings);
        case Kind::ABSTRACT:
            if (value.empty()) {
                options.settings.depth_bound = default_abstract_depth;
            } else {
                size_t depth = 0;
                if (!parse_positive_count(value, depth) || depth > max_abstract_depth)
                    return "vorn: --abstract: expected a term depth from 1 to " + std::to_string(max_abstract_depth) +
                           ", got '" + value + "'\n";
                options.settings.depth_bound = static_cast<unsigned>(depth);
            }
            break;
        case Kind::HELP:
        case Kind::VERSION: break;
    }
    return "";
}

}  // namespace

bool parse_positive_count(const std::string& text, size_t& value) {
    if (text.empty()) return false;
    size_t result = 0;
    for (char c : text) {
        if (!is_digit(c)) return false;
        size_t digit = static_cast<size_t>(c - '0');
        if (result > (std::numeric_limits<size_t>::max() - digit) / 10) return false;
        result = result * 10 + digit;
    }
    if (result == 0) return false;
    value = result;
    return true;
}

bool parse_positive_seconds(const std::string& text, std::chrono::nanoseconds& value) {
    size_t point = text.find('.');
    std::string whole = text.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    // "5", "5.", ".5" and "5.25" are numbers; "." and "" are not.
    if (whole.empty() && fraction.empty()) return false;
    long long seconds = 0;
    for (char c : whole) {
        if (!is_digit(c)) return false;
        seconds = seconds * 10 + (c - '0');
        if (seconds > max_time_limit_seconds) return false;
    }
    long long nanos = 0;
    bool finer = false;
    for (size_t i = 0; i < fraction.size(); ++i) {
        char c = fraction[i];
        if (!is_digit(c)) return false;
        if (i < 9)
            nanos = nanos * 10 + (c - '0');
        else if (c != '0')
            finer = true;
    }
    for (size_t i = fraction.size(); i < 9; ++i) nanos *= 10;
    if (finer) ++nanos;
    long long total = seconds * 1000000000LL + nanos;
    if (total <= 0 || total > max_time_limit_seconds * 1000000000LL) return false;
    value = std::chrono::nanoseconds(total);
    return true;
}

CommandLine parse_command_line(int argc, const char* const* argv) {
    CommandLine result;
    std::vector<std::string> models;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        // Options and the model in any order, as GNU tools take them; "-"
        // alone is a model (standard input).
        if (options_end || argument.size() < 2 || argument[0] != '-') {
            models.push_back(argument);
            continue;
        }
        if (argument == "--") {
            options_end = true;
            continue;
        }
        if (WarningSettings::is_warning_option(argument)) {
            std::string error = result.options.warnings.apply(argument);
            if (!error.empty()) return failure(error + try_help);
            continue;
        }
        const Definition* option = nullptr;
        std::string value;
        bool inline_value = false;
        if (argument[1] == '-') {
            std::string name = argument.substr(2);
            size_t equals = name.find('=');
            if (equals != std::string::npos) {
                value = name.substr(equals + 1);
                name.resize(equals);
                inline_value = true;
            }
            for (const Definition& candidate : definitions())
                if (name == candidate.long_name) option = &candidate;
        } else if (argument.size() == 2) {
            for (const Definition& candidate : definitions())
                if (candidate.short_name != 0 && argument[1] == candidate.short_name) option = &candidate;
        }
        if (option == nullptr) return failure("vorn: unknown option '" + argument + "'\n" + try_help);
        std::string shown = std::string("--") + option->long_name;
        // --color=WHEN, --levers=LIST and --abstract=DEPTH take their value only written after "=".
        bool optional_value = option->kind == Kind::COLOR || option->kind == Kind::LEVERS || option->kind == Kind::ABSTRACT;
        if (inline_value && !option->takes_value && !optional_value)
            return failure("vorn: option '" + shown + "' takes no value\n" + try_help);
        if (option->takes_value && !inline_value) {
            if (i + 1 >= argc) return failure("vorn: option '" + shown + "' needs a value\n" + try_help);
            value = argv[++i];
        }
        if (option->kind == Kind::HELP || option->kind == Kind::VERSION) {
            result.action = option->kind == Kind::HELP ? CommandLine::Action::HELP : CommandLine::Action::VERSION;
            return result;
        }
        std::string error = apply(*option, value, result.options);
        if (!error.empty()) return failure(error);
    }
    if (models.size() != 1) {
        result.action = CommandLine::Action::USAGE;
        if (models.empty()) {
            result.error = "vorn: no model file given\n";
        } else {
            result.error = "vorn: one model file expected, got " + std::to_string(models.size()) + ":";
            for (const std::string& model : models) result.error += " '" + model + "'";
            result.error += "\n";
        }
        result.error += try_help;
        return result;
    }
    result.options.model = models.front();
    result.action = CommandLine::Action::RUN;
    return result;
}

std::string version_text() { return std::string("vorn ") + VORN_VERSION + "\n"; }

std::string help_text() {
    std::string warnings;
    for (const WarningInfo& info : warning_table()) {
        std::string name = info.name;
        warnings += "  " + name + std::string(name.size() < 23 ? 23 - name.size() : 1, ' ') + info.summary + "\n";
    }
    return "Usage: vorn [OPTION]... MODEL\n"
           "Saturate the rules of the protocol model MODEL (a file, or - for standard\n"
           "input) and print the closure trace, the rule sets and the target rules:\n"
           "the events reachable from the queried states.\n"
           "\n"
           "Options (before or after MODEL):\n"
           "  -q, --report-only      print no closure trace, only the report from the\n"
           "                         accessibility results on\n"
           "      --max-rules N      stop the saturation before the rules held would be\n"
           "                         more than N (a positive whole number)\n"
           "      --time-limit SECONDS\n"
           "                         stop the saturation once the analysis has taken\n"
           "                         SECONDS of wall time (a positive number, such as 30\n"
           "                         or 2.5)\n"
           "      --max-memory MB    stop the saturation once the process's resident\n"
           "                         memory is more than MB megabytes (a positive whole\n"
           "                         number)\n"
           "      --progress         show a progress line on standard error even when it\n"
           "                         is not a terminal\n"
           "      --no-progress      never show the progress line\n"
           "      --json FILE        write the results to FILE as JSON\n"
           "      --explain          after the report, print how each target rule was\n"
           "                         derived, step by step, and an outline of the\n"
           "                         protocol run it stands for\n"
           "      --graph FILE       write the same derivations to FILE as a Graphviz\n"
           "                         graph (render it with dot -Tsvg FILE)\n"
           "      --check            read and build MODEL and print its diagnostics,\n"
           "                         without the analysis (exit status 0 when there is\n"
           "                         no error)\n"
           "      --color[=WHEN]     colour the diagnostics: always (the same as --color\n"
           "                         alone), never, or auto, the default: when standard\n"
           "                         error is a terminal and NO_COLOR is not set\n"
           "  -w                     print no warnings\n"
           "  -Werror                make every warning an error: exit status 1 before\n"
           "                         the analysis (after it for what the run finds)\n"
           "  -WNAME, -Wno-NAME      turn the warning NAME on (the default) or off\n"
           "  -Werror=NAME           turn the warning NAME on and make it an error\n"
           "  -Wno-error=NAME        never make the warning NAME an error\n"
           "  -Wall                  turn on every warning that is on by default\n"
           "  -Wextra                turn on the warnings that are off by default\n"
           "      --expect VERDICT   attack or secure: exit with status 0 when the run's\n"
           "                         verdict is VERDICT, 4 when it is the other one\n"
           "                         or a possible attack\n"
           "      --growth           when a limit or a signal stops the run, print after the\n"
           "                         report what grows: the held rules per set, the model\n"
           "                         rules they descend from, the deepest terms held and\n"
           "                         the model rules that nest them, the states whose\n"
           "                         keys keep changing\n"
           "      --partial-steps    carry a final rule back through a step that moves\n"
           "                         processes it does not all name, with a process added\n"
           "                         for each it lacks (see the warning partial-step)\n"
           "      --levers[=LIST]    saturate with the exact levers, which change the\n"
           "                         order of the work and which rules are kept, never\n"
           "                         the target rules, and end more models: all of them,\n"
           "                         or those of LIST, separated by commas: constructors\n"
           "                         (knowing a pair is knowing its parts), versions (a\n"
           "                         process's versions agree where no step changes\n"
           "                         them), selection (resolve a premise that does not\n"
           "                         loop), fair (carry final rules back while the\n"
           "                         closure goes on, the narrowest work first)\n"
           "      --abstract[=DEPTH] also replace the terms of states and events nested\n"
           "                         deeper than DEPTH function symbols (default 4) by\n"
           "                         variables, so that a growing term cannot keep the\n"
           "                         run going; a target rule found through such a rule\n"
           "                         is an attack when its run replays on the model's\n"
           "                         rules, else a possible attack (listed after the\n"
           "                         report)\n"
           "  -h, --help             print this help and exit\n"
           "      --version          print the version and exit\n"
           "      --                 end of the options: the next argument is MODEL\n"
           "\n"
           "When standard error is a terminal, a progress line shows the elapsed time,\n"
           "the rules held in each set, the rules waiting and the rules tried.\n"
           "A limit that stops the saturation prints \"Saturation stopped: ...\" before\n"
           "the report: the rule sets are then incomplete, so a missing target rule\n"
           "proves nothing, while every target rule found is still a witness.\n"
           "Ctrl-C (SIGINT) or SIGTERM stops the saturation in the same way; a second\n"
           "one ends vorn at once.\n"
           "\n"
           "After the report, one line on standard error gives the verdict on the\n"
           "model's access queries (all its % lines together), or without any, on\n"
           "the events reachable from no state: \"attack: EVENT...\" when a target rule\n"
           "was found, \"no attack found (saturation complete)\", or \"no verdict\n"
           "(stopped by ...)\" when a limit or a signal stopped the run first.\n"
           "\n"
           "Every error and warning about the model is also shown on standard error\n"
           "as MODEL:LINE:COL: error: MESSAGE, with the line and a caret under the\n"
           "place. Warnings (NAME in brackets after the message):\n" +
           warnings +
           "\n"
           "Exit status:\n"
           "  0    the run finished and printed its report (with --check: the model\n"
           "       has no error; with --expect: the verdict is the one expected)\n"
           "  1    a model error (also a warning made an error), an internal error, no\n"
           "       memory left, or the report, the JSON file or the graph file could not\n"
           "       be written\n"
           "  2    a failure of the scanner's own machinery\n"
           "  3    a limit stopped the saturation (with --expect: before a verdict)\n"
           "  4    with --expect: the verdict is not the one expected\n"
           "  130  SIGINT stopped the saturation (the report is printed)\n"
           "  143  SIGTERM stopped the saturation (the report is printed)\n"
           "  255  a usage error, an unreadable model file, a JSON or graph file that\n"
           "       cannot be opened, a syntax error or a term nested too deeply, or a\n"
           "       model without consistent rules\n";
}

}  // namespace vorn
