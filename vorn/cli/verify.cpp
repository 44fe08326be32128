#include "vorn/cli/verify.h"

#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <streambuf>
#include <string>
#include <system_error>

#include "common/runtime.h"
#include "symbolic/srule.h"
#include "symbolic/unifier.h"
#include "vorn/cli/interrupt.h"
#include "vorn/cli/memory_limit.h"
#include "vorn/cli/model_diagnostics.h"
#include "vorn/cli/run_monitor.h"
#include "vorn/model/helper.h"
#include "vorn/model/parser.h"
#include "vorn/report/explain.h"
#include "vorn/report/growth.h"
#include "vorn/report/json_report.h"
#include "vorn/report/report_sink.h"
#include "vorn/report/result_file.h"
#include "vorn/report/termination.h"
#include "vorn/report/verdict.h"
#include "vorn/saturation/algorithm.h"
#include "vorn/saturation/observers.h"
#include "vorn/saturation/provenance.h"

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

// Copies of the model's rules as the parser built them, consistent rules
// then transfer rules, before the engine takes them over.
std::vector<std::unique_ptr<sym::StateRule>> copy_model_rules() {
    static const sym::Unifier none;
    std::vector<std::unique_ptr<sym::StateRule>> copies;
    for (const sym::StateConstRule* rule : raw_const_rules) copies.emplace_back(rule->map(none, sym::StateRule::NONSELECTABLE));
    for (const sym::StateTransRule* rule : raw_trans_rules) copies.emplace_back(rule->map(none, sym::StateRule::NONSELECTABLE));
    return copies;
}

// The files the results go to besides standard output; null when not asked for.
struct ResultFiles {
    std::unique_ptr<ResultFile> json;
    std::unique_ptr<ResultFile> graph;
};

// The lines of the model's access queries, in the order of the file.
std::vector<int> query_lines() {
    std::vector<int> lines;
    for (const QueryOutline& query : model_outline.queries) lines.push_back(query.whole.line);
    return lines;
}

// The status of a run that printed its report: what stopped the saturation
// (0 when nothing did), unless --expect asks whether the verdict is the
// expected one. A signal's status stands: the run was asked to end.
int run_status(int stopped, int signal, Agreement agreement) {
    if (signal != 0) return stopped;
    switch (agreement) {
        case Agreement::AS_EXPECTED: return 0;
        case Agreement::NOT_AS_EXPECTED: return status_not_expected;
        case Agreement::NOT_ASKED: break;
        // A complete run without a verdict to compare found only possible
        // attacks: it is not the expected verdict either.
        case Agreement::NO_VERDICT: return stopped != 0 ? stopped : status_not_expected;
    }
    return stopped;
}

// Prints the report of a saturation, the warnings about the run, writes the
// result files and the verdict line; answers the exit status.
int report(const Options& options, ResultFiles& files, Algorithm& algorithm, const RunMonitor& monitor,
           const Provenance* provenance, const std::vector<const sym::StateRule*>& model_rules, Growth* growth,
           ModelDiagnostics& diagnostics, const timeval& start) {
    timeval end;
    // The report could not reach its reader: the caller says so.
    if (monitor.stop() == RunMonitor::Stop::WRITE_FAILED) return 1;
    std::string limit = monitor.limit_name();
    if (!limit.empty()) {
        std::cout << saturation_stopped_line(limit) << std::endl;
        std::string hint = ending_hint(options.settings);
        if (!hint.empty()) std::cout << hint << std::endl;
        std::cout << std::endl;
    }
    int stopped = monitor.stop_signal() != 0 ? interrupted_status(monitor.stop_signal()) : limit.empty() ? 0 : 3;
    algorithm.analysis(raw_accessable_states);
    gettimeofday(&end, nullptr);

    timeval span = diffms(end, start);
    print_report(algorithm, span);
    std::vector<Derivation> derivations;
    if (provenance) derivations = derive_targets(algorithm, *provenance);
    // A target found through generalised rules is an attack when the run of
    // its derivation replays on the model's own rules.
    std::vector<bool> replayed = replayed_targets(algorithm, derivations, model_rules, raw_accessable_states);
    std::cout << abstraction_note(algorithm, replayed);
    // Whatever stopped the saturation, the sets are incomplete: say what grew.
    if (growth && monitor.stop() != RunMonitor::Stop::NONE) growth->print(std::cout, algorithm);

    if (options.explain) print_explanation(std::cout, derivations, *provenance);
    Verdict verdict = judge(algorithm.target_rules(), query_lines(), stop_cause(limit, monitor.stop_signal()),
                            possible_attacks(algorithm, replayed));

    // The verdict comes last, after everything the report prints and the
    // warnings about the run.
    if (report_sink() != nullptr) report_sink()->flush_all();
    // Under -Werror, a warning about the run fails a run that went well.
    bool failed_by_warning = diagnostics.analysis_ended();
    std::cerr << verdict_line(shown_model_name(options.model), verdict) << std::flush;

    std::string error;
    if (files.json) {
        RunSummary summary{options.model, limit, static_cast<long long>(span.tv_sec) * 1000 + span.tv_usec / 1000,
                           replayed};
        if (!files.json->write(json_results(algorithm, raw_accessable_states, summary, verdict), error)) {
            std::cerr << error << std::flush;
            return 1;
        }
    }
    if (files.graph && !files.graph->write(derivation_graph(derivations, *provenance), error)) {
        std::cerr << error << std::flush;
        return 1;
    }
    int status = run_status(stopped, monitor.stop_signal(), as_expected(verdict.kind, options.expect));
    return failed_by_warning && status == 0 ? 1 : status;
}

// Parses the scanned model, saturates it, prints the report (and the
// derivations) and writes the result files. With --check, stops before the
// analysis.
int saturate(const Options& options, ResultFiles& files, ModelDiagnostics& diagnostics) {
    diagnostics.parse();
    if (raw_const_rules.empty()) {
        std::cout << "Error : no state constent rule" << std::endl << std::endl;
        diagnostics.no_consistent_rule();
        return -1;
    }
    if (raw_trans_rules.empty()) std::cout << "Warning : no state transfer rule" << std::endl << std::endl;
    if (diagnostics.warn(!raw_trans_rules.empty())) return 1;
    if (options.check) return 0;

    Progress progress(progress_shown(options.progress));
    timeval start;
    gettimeofday(&start, nullptr);
    RunMonitor::Settings settings;
    settings.max_rules = options.max_rules;
    settings.time_limit = options.time_limit;
    settings.max_memory = options.max_memory_mb << 20;
    settings.progress = progress.line();
    settings.flush_report = [] {
        if (report_sink() != nullptr) report_sink()->flush_all();
    };
    settings.write_failed = report_write_failed;
    RunMonitor monitor(settings);
    // How each rule was made is kept only when it is asked for, or when the
    // abstraction needs it to replay the runs of its targets on copies of
    // the model's rules.
    std::unique_ptr<Provenance> provenance;
    std::unique_ptr<Growth> growth;
    std::vector<Observer*> observers{&monitor};
    bool replay = options.settings.abstraction();
    std::vector<std::unique_ptr<sym::StateRule>> model_copies;
    if (replay) model_copies = copy_model_rules();
    std::vector<const sym::StateRule*> model_rules;
    for (const auto& rule : model_copies) model_rules.push_back(rule.get());
    if (options.explain || files.graph || options.growth || replay) {
        provenance = std::make_unique<Provenance>(options.explain || replay);
        record_parsed_model(*provenance);
        observers.push_back(provenance.get());
        observers.push_back(diagnostics.failure_watch(*provenance));
    }
    if (Observer* partial_steps = diagnostics.partial_step_watch(options.settings)) observers.push_back(partial_steps);
    // Last: it takes every rule it is shown for admission as held.
    if (options.growth) observers.push_back((growth = std::make_unique<Growth>(*provenance)).get());
    std::unique_ptr<Observers> all;
    Observer* observer = &monitor;
    if (observers.size() > 1) {
        all = std::make_unique<Observers>(observers);
        observer = all.get();
    }
    diagnostics.analysis_starts();
    Algorithm algorithm(observer, options.settings);
    if (options.report_only) algorithm.trace_to(nullptr);
    try {
        {
            TraceSilencer silencer(options.report_only);
            InterruptGuard interrupts;
            algorithm.saturate(raw_const_rules, raw_trans_rules);
        }
        monitor.end_progress();
        return report(options, files, algorithm, monitor, provenance.get(), model_rules, growth.get(), diagnostics,
                      start);
    } catch (const std::bad_alloc&) {
        // The engine still holds what it made; it is freed on the way out.
        throw OutOfMemory{algorithm.rule_count()};
    }
}

}  // namespace

int verify(const Options& options) {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (options.model != "-") {
        std::error_code ec;
        errno = 0;
        file.open(options.model);
        int reason = file.is_open() ? 0 : errno != 0 ? errno : ENOENT;
        // A directory opens as a stream but cannot be read as a model.
        if (reason == 0 && std::filesystem::is_directory(options.model, ec)) reason = EISDIR;
        if (reason != 0) {
            // The line of old on standard output, in a run only; the located
            // form that editors and scripts read on standard error, always.
            if (!options.check) std::cout << "open error" << std::endl;
            if (report_sink() != nullptr) report_sink()->flush_all();
            std::cerr << "vorn: cannot open '" << options.model << "': " << std::strerror(reason) << std::endl;
            return -1;
        }
        in = &file;
    }
    ResultFiles files;
    std::string error;
    if (options.json && !options.check) {
        files.json = ResultFile::open("--json", *options.json, options.model, error);
        if (!files.json) {
            std::cerr << error << std::flush;
            return -1;
        }
    }
    if (options.graph && !options.check) {
        files.graph = ResultFile::open("--graph", *options.graph, options.model, error);
        // Two writers on one file would garble both.
        if (files.graph && files.json && files.graph->same_file_as(*files.json)) {
            files.graph.reset();
            error = "vorn: --graph: cannot write '" + *options.graph + "': it is the --json file\n";
        }
        if (!files.graph) {
            std::cerr << error << std::flush;
            return -1;
        }
    }
    std::string text = read_lines(*in);
    ModelDiagnostics diagnostics(options, text, std::cerr);
    Helper helper;
    helper.scan(text);
    // A check prints its diagnostics only.
    TraceSilencer quiet(options.check);
    try {
        return saturate(options, files, diagnostics);
    } catch (const common::UserError& error) {
        diagnostics.failed(error);
        if (options.check) return 1;
        throw;
    }
}

}  // namespace vorn
