#include "vorn/verify.h"

#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <system_error>

#include "vorn/algorithm.h"
#include "vorn/helper.h"
#include "vorn/json_report.h"
#include "vorn/parser.h"
#include "vorn/report_sink.h"
#include "vorn/run_monitor.h"

namespace vorn {

namespace {

// The model text as the tool has always read it: every line followed by one
// line feed, so that a last line without a line break gains one.
std::string read_lines(std::istream& in) {
    std::string text;
    std::string current;
    while (std::getline(in, current)) text += current + "\n";
    return text;
}

class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// While alive (and active), std::cout prints to nowhere: a report-only run
// saturates without its trace.
class TraceSilencer {
public:
    explicit TraceSilencer(bool active) {
        if (active) _saved = std::cout.rdbuf(&_null);
    }
    ~TraceSilencer() {
        if (_saved != nullptr) std::cout.rdbuf(_saved);
    }
    TraceSilencer(const TraceSilencer&) = delete;
    TraceSilencer& operator=(const TraceSilencer&) = delete;

private:
    NullBuffer _null;
    std::streambuf* _saved = nullptr;
};

// The progress line on standard error, erased whenever the report is about to
// be written to the terminal, and for good when the run ends in any way.
class Progress {
public:
    explicit Progress(bool shown) {
        if (!shown) return;
        _line.emplace(STDERR_FILENO);
        if (report_sink() != nullptr) report_sink()->set_before_write([this] { _line->erase(); });
    }
    ~Progress() {
        if (_line && report_sink() != nullptr) report_sink()->set_before_write(nullptr);
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    StatusLine* line() { return _line ? &*_line : nullptr; }

private:
    std::optional<StatusLine> _line;
};

bool progress_shown(Options::Progress setting) {
    if (setting == Options::Progress::AUTO) return isatty(STDERR_FILENO) == 1;
    return setting == Options::Progress::ON;
}

void print_report(const Algorithm& algorithm, const timeval& span) {
    algorithm.print_se_const_rules(std::cout);
    std::cout << std::endl << std::endl;
    algorithm.print_ns_const_rules(std::cout);
    std::cout << std::endl << std::endl;
    algorithm.print_se_trans_rules(std::cout);
    std::cout << std::endl << std::endl;
    algorithm.print_ns_trans_rules(std::cout);
    std::cout << std::endl << std::endl;
    algorithm.print_final_rules(std::cout);
    std::cout << std::endl << std::endl;
    algorithm.print_target_rules(std::cout);
    std::cout << std::endl << std::endl;

    std::cout << "Verification Time: " << span.tv_sec / 60 << " min - " << span.tv_sec % 60 << " sec - "
              << span.tv_usec / 1000 << " ms " << std::endl
              << std::endl;
    std::cout << "Verification Stat: " << std::endl;
    std::cout << "Overall Rule Generated: " << algorithm.rule_count() << std::endl;
}

// Parses the scanned model, saturates it, prints the report and writes the JSON results.
int saturate(const Options& options, JsonFile* json) {
    Helper helper;
    helper.parse();
    if (raw_const_rules.empty()) {
        std::cout << "Error : no state constent rule" << std::endl << std::endl;
        return -1;
    }
    if (raw_trans_rules.empty()) std::cout << "Warning : no state transfer rule" << std::endl << std::endl;

    Progress progress(progress_shown(options.progress));
    timeval start;
    timeval end;
    gettimeofday(&start, nullptr);
    RunMonitor::Settings settings;
    settings.max_rules = options.max_rules;
    settings.time_limit = options.time_limit;
    settings.progress = progress.line();
    settings.flush_report = [] {
        if (report_sink() != nullptr) report_sink()->flush_all();
    };
    settings.write_failed = report_write_failed;
    RunMonitor monitor(settings);
    Algorithm algorithm(&monitor);
    {
        TraceSilencer silencer(options.report_only);
        algorithm.close_const_rule(raw_const_rules);
        algorithm.close_trans_rule(raw_trans_rules);
        algorithm.complete();
    }
    monitor.end_progress();
    // The report could not reach its reader: the caller says so.
    if (monitor.stop() == RunMonitor::Stop::WRITE_FAILED) return 1;
    std::string limit = monitor.limit_name();
    if (!limit.empty()) std::cout << saturation_stopped_line(limit) << std::endl << std::endl;
    algorithm.analysis(raw_accessable_states);
    gettimeofday(&end, nullptr);

    timeval span = diffms(end, start);
    print_report(algorithm, span);

    if (json != nullptr) {
        RunSummary summary{options.model, limit, static_cast<long long>(span.tv_sec) * 1000 + span.tv_usec / 1000};
        std::string error;
        if (!json->write(json_results(algorithm, raw_accessable_states, summary), error)) {
            std::cerr << error << std::flush;
            return 1;
        }
    }
    return limit.empty() ? 0 : 3;
}

}  // namespace

int verify(const Options& options) {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (options.model != "-") {
        std::error_code ec;
        file.open(options.model);
        // A directory opens as a stream but cannot be read as a model.
        if (!file.is_open() || std::filesystem::is_directory(options.model, ec)) {
            std::cout << "open error" << std::endl;
            return -1;
        }
        in = &file;
    }
    std::unique_ptr<JsonFile> json;
    if (options.json) {
        std::string error;
        json = JsonFile::open(*options.json, options.model, error);
        if (!json) {
            std::cerr << error << std::flush;
            return -1;
        }
    }
    std::string text = read_lines(*in);
    Helper helper;
    helper.scan(text);
    return saturate(options, json.get());
}

}  // namespace vorn
