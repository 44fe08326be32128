#include "tests/tools/tool_support.h"

#include <sstream>
#include <streambuf>
#include <vector>

#include "common/exception.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

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

void run_model(ToolRun& run, const std::string& text, const Options& options, bool explain) {
    auto monitor = std::make_unique<RunMonitor>(tool_limits(options));
    RunMonitor& watch = *monitor;
    run.monitor = std::move(monitor);
    try {
        scan_string(text);
        parse_model();
        Observer* observer = &watch;
        if (explain) {
            run.provenance = std::make_unique<Provenance>(true);
            record_parsed_model(*run.provenance);
            run.observers = std::make_unique<Observers>(std::vector<Observer*>{&watch, run.provenance.get()});
            observer = run.observers.get();
        }
        run.engine = std::make_unique<Algorithm>(observer, options.settings);
        // A report-only run defers its compositions, as vorn -q does.
        run.engine->trace_to(options.report_only ? nullptr : &null_stream());
        run.engine->saturate(raw_const_rules, raw_trans_rules);
        run.engine->analysis(raw_accessable_states);
    } catch (const common::_Exception& error) {
        run.end = ToolRun::End::MODEL_ERROR;
        run.why = error.string();
    } catch (const SyntaxError& error) {
        run.end = ToolRun::End::MODEL_ERROR;
        run.why = error.string();
    }
    release_model();
    if (run.end == ToolRun::End::COMPLETE && watch.stop() != RunMonitor::Stop::NONE) {
        run.end = ToolRun::End::STOPPED;
        run.why = watch.limit_name();
    }
}

}  // namespace vorn
