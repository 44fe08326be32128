#include "tests/tools/tool_support.h"

#include <sstream>
#include <streambuf>
#include <vector>

namespace vorn {

namespace {

class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

std::ostream& null_stream() {
    static NullBuffer buffer;
    static std::ostream stream(&buffer);
    return stream;
}

bool read_options(const std::string& text, const std::string& model, Options& options, std::string& error) {
    std::istringstream in(text);
    std::vector<std::string> words{"vorn"};
    std::string word;
    while (in >> word) words.push_back(word);
    words.push_back(model);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    CommandLine command = parse_command_line(static_cast<int>(argv.size()), argv.data());
    if (command.action != CommandLine::Action::RUN) {
        error = command.error.empty() ? "options not accepted: " + text : command.error;
        return false;
    }
    options = command.options;
    return true;
}

RunMonitor::Settings tool_limits(const Options& options) {
    RunMonitor::Settings limits;
    limits.max_rules = options.max_rules;
    limits.time_limit = options.time_limit;
    limits.max_memory = options.max_memory_mb << 20;
    limits.write_failed = [] { return false; };
    limits.interrupted = [] { return 0; };
    return limits;
}

}  // namespace vorn
