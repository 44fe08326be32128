#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vorn/algorithm.h"

namespace sym {
class State;
}

namespace vorn {

// What the JSON results say about the run besides the engine's sets.
struct RunSummary {
    // As given on the command line ("-" for standard input).
    std::string model;
    // "rule" or "time" when a limit stopped the saturation; empty when it completed.
    std::string stopped_by;
    // The span printed as "Verification Time: ", in milliseconds.
    long long time_ms = 0;
};

// Version of the layout below; raised when a field changes meaning or goes away.
constexpr int json_format_version = 1;

// The results as one JSON document (pretty-printed, ending in a line feed):
// format_version, model, completed, stopped_by, time_ms, rule_count,
// rule_sets (the size of each of the six sets), queries, and target_rules,
// each both as printed in the report and taken apart into its premises, its
// states and its conclusion.
std::string json_results(const Algorithm& engine, const std::vector<std::pair<sym::State*, bool>>& queries,
                         const RunSummary& summary);

// The --json file, opened (created or emptied) before the run so that a path
// that cannot be written is reported before any work is done.
class JsonFile {
public:
    // Refuses the model file itself (`model`, "-" for standard input) and the
    // file standard output writes to, which the results would overwrite or
    // garble. Null with `error` (a full line) when refused or not writable.
    static std::unique_ptr<JsonFile> open(const std::string& path, const std::string& model, std::string& error);
    ~JsonFile();
    JsonFile(const JsonFile&) = delete;
    JsonFile& operator=(const JsonFile&) = delete;

    // Writes the text and closes the file; false with `error` (a full line) when it fails.
    bool write(const std::string& text, std::string& error);

private:
    JsonFile(std::string path, int fd) : _path(std::move(path)), _fd(fd) {}
    std::string _path;
    int _fd;
};

}  // namespace vorn
