// compare_targets: runs one model twice in one process, each run with its own
// command-line options, and compares the target rules of the two runs up to
// renaming and implication. See usage() and tests/compare/README.md.

#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/exception.h"
#include "vorn/cli/options.h"
#include "vorn/cli/run_monitor.h"
#include "vorn/saturation/algorithm.h"
#include "tests/tools/target_comparison.h"
#include "tests/tools/tool_support.h"

namespace {

const char* usage() {
    return "Usage: compare_targets [--expect same|first-in-second|second-in-first] [--first 'OPTIONS']\n"
           "                       [--second 'OPTIONS'] [--quiet] MODEL\n"
           "Runs MODEL twice in one process, each run with the vorn options given (split at\n"
           "blanks; default none), and compares their target rules up to renaming and\n"
           "implication. first-in-second: every target of the first run is implied by a\n"
           "target of the second; same: both ways (the default). A run ended by a model\n"
           "error is not compared, nor a run stopped by a limit whose targets must imply\n"
           "the other's (its own targets are exact). Prints one line: 'holds', 'skipped'\n"
           "or 'FAILS' with the model and the numbers of targets, and for a failure the\n"
           "targets without partner. Status: 0 holds or skipped, 1 fails, 2 usage.\n";
}

}  // namespace

int main(int argc, char** argv) {
    vorn::TargetRelation expect = vorn::TargetRelation::SAME;
    std::string first_options, second_options, model;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--expect") {
            std::string name = value();
            if (!vorn::parse_target_relation(name, expect)) {
                std::cerr << usage();
                return 2;
            }
        } else if (arg == "--first") {
            first_options = value();
        } else if (arg == "--second") {
            second_options = value();
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (model.empty() && (arg == "-" || arg.rfind("-", 0) != 0)) {
            model = arg;
        } else {
            std::cerr << usage();
            return 2;
        }
    }
    if (model.empty()) {
        std::cerr << usage();
        return 2;
    }
    std::ifstream file(model);
    if (!file) {
        std::cerr << "compare_targets: cannot read " << model << "\n";
        return 2;
    }
    std::stringstream text;
    text << file.rdbuf();

    vorn::Options first, second;
    std::string error;
    if (!vorn::read_options(first_options, model, first, error) || !vorn::read_options(second_options, model, second, error)) {
        std::cerr << error;
        return 2;
    }

    // Nothing of the runs reaches standard output but the verdict line.
    std::streambuf* saved = std::cout.rdbuf(vorn::null_stream().rdbuf());
    vorn::ComparedRun a = vorn::run_for_comparison(text.str(), first);
    vorn::ComparedRun b = vorn::run_for_comparison(text.str(), second);
    vorn::TargetComparison result = vorn::compare_targets(a, b, expect);
    std::cout.rdbuf(saved);

    std::cout << vorn::comparison_line(model, a, b, result) << std::endl;
    if (!quiet && !result.holds) std::cout << vorn::comparison_details(a, b, result);
    return result.holds ? 0 : 1;
}
