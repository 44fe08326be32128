// check_outlines: runs each model as vorn --explain would, and replays the
// outline of each target rule on the model (tests/tools/outline_check.h).
// See usage().

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/outline_check.h"
#include "tests/tools/tool_support.h"
#include "vorn/cli/options.h"

namespace {

const char* usage() {
    return "Usage: check_outlines [--options 'OPTIONS'] MODEL...\n"
           "Runs each MODEL with the vorn options given (split at blanks; default none) and\n"
           "replays the outline of each target rule on the model: every step's states must\n"
           "be the current states of their processes and its knowledge derived before.\n"
           "Prints one line per model: 'holds', 'skipped' (a model error, or no target\n"
           "rule) or 'FAILS' with the steps that could not be taken; then a summary.\n"
           "Status: 0 when nothing fails, 1 otherwise, 2 usage.\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string options_text;
    std::vector<std::string> models;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--options" && i + 1 < argc) {
            options_text = argv[++i];
        } else if (arg.rfind("-", 0) != 0) {
            models.push_back(arg);
        } else {
            std::cerr << usage();
            return 2;
        }
    }
    if (models.empty()) {
        std::cerr << usage();
        return 2;
    }
    size_t failed = 0, checked = 0, targets = 0, runs = 0, steps = 0, no_order = 0, not_worked_out = 0;
    for (const std::string& model : models) {
        std::ifstream file(model);
        if (!file) {
            std::cerr << "check_outlines: cannot read " << model << "\n";
            return 2;
        }
        std::stringstream text;
        text << file.rdbuf();
        vorn::Options options;
        std::string error;
        if (!vorn::read_options(options_text, model, options, error)) {
            std::cerr << error << "\n";
            return 2;
        }
        vorn::OutlineCheck check = vorn::check_outlines(model, text.str(), options);
        std::cout << check.line << std::endl;
        failed += !check.holds;
        checked += check.checked;
        targets += check.targets;
        runs += check.runs;
        steps += check.steps;
        no_order += check.no_order;
        not_worked_out += check.not_worked_out;
    }
    std::cout << models.size() << " models, " << checked << " with targets: " << targets << " targets, " << runs
              << " runs of " << steps << " steps replayed, " << no_order << " without order, " << not_worked_out
              << " not worked out; " << failed << " models fail" << std::endl;
    return failed == 0 ? 0 : 1;
}
