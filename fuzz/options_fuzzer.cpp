// Fuzz target: the command line. The input is split at NUL bytes into
// arguments (as the kernel hands them over), parsed as the tool parses them,
// and the answer is checked against what the options promise: a run has
// exactly one model and only accepted limit values; a refusal or a usage
// error is a complete message; a value is accepted exactly when it is written as the number it
// stands for.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "vorn/cli/options.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// Whether the text is the decimal form of the count, possibly with leading zeros.
bool writes(const std::string& text, size_t value) {
    size_t first = text.find_first_not_of('0');
    return first != std::string::npos && text.substr(first) == std::to_string(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments(1, "vorn");
    std::string current;
    for (size_t i = 0; i < size && arguments.size() < 64; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    if (!current.empty()) arguments.push_back(current);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);

    vorn::CommandLine line = vorn::parse_command_line(static_cast<int>(arguments.size()), argv.data());
    using Action = vorn::CommandLine::Action;
    // A refusal, and a usage error (no model or several), carry a complete message.
    if (line.action == Action::ERROR || line.action == Action::USAGE) {
        require(line.error.rfind("vorn: ", 0) == 0);
        require(!line.error.empty() && line.error.back() == '\n');
    } else {
        require(line.error.empty());
    }
    if (line.action == Action::RUN) {
        const vorn::Options& options = line.options;
        bool found = false;
        for (size_t i = 1; i < arguments.size(); ++i) found = found || arguments[i] == options.model;
        require(found);
        require(options.time_limit.count() >= 0);
        require(options.time_limit <= std::chrono::seconds(vorn::max_time_limit_seconds));
    }

    // Each argument also as a limit value on its own.
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& text = arguments[i];
        size_t count = 0;
        if (vorn::parse_positive_count(text, count)) require(count > 0 && writes(text, count));
        std::chrono::nanoseconds seconds{0};
        if (vorn::parse_positive_seconds(text, seconds)) {
            require(seconds.count() > 0);
            require(seconds <= std::chrono::seconds(vorn::max_time_limit_seconds));
            require(text.find_first_not_of("0123456789.") == std::string::npos);
        }
    }
    return 0;
}
