#include <sys/time.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#include "common/debug.h"
#include "common/exception.h"
#include "common/runtime.h"
#include "vorn/algorithm.h"
#include "vorn/helper.h"
#include "vorn/parser.h"

namespace {

// Parses the scanned model, saturates it and prints the report.
int verify(const vorn::Helper& helper) {
    helper.parse();
    if (vorn::raw_const_rules.empty()) {
        std::cout << "Error : no state constent rule" << std::endl << std::endl;
        return -1;
    }
    if (vorn::raw_trans_rules.empty()) std::cout << "Warning : no state transfer rule" << std::endl << std::endl;

    timeval start;
    timeval end;
    gettimeofday(&start, nullptr);
    vorn::Algorithm algorithm;
    algorithm.close_const_rule(vorn::raw_const_rules);
    algorithm.close_trans_rule(vorn::raw_trans_rules);
    algorithm.complete();
    algorithm.analysis(vorn::raw_accessable_states);
    gettimeofday(&end, nullptr);

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

    timeval d = vorn::diffms(end, start);
    std::cout << "Verification Time: " << d.tv_sec / 60 << " min - " << d.tv_sec % 60 << " sec - "
              << d.tv_usec / 1000 << " ms " << std::endl
              << std::endl;
    std::cout << "Verification Stat: " << std::endl;
    std::cout << "Overall Rule Generated: " << algorithm.rule_count() << std::endl;
    return 0;
}

int run(int argc, char** argv) {
    if (argc != 2) {
        std::cout << "Usage: vorn filename" << std::endl;
        return -1;
    }
    std::string filename = argv[1];
    std::error_code ec;
    std::ifstream file(filename);
    // A directory opens as a stream but cannot be read as a model.
    if (!file.is_open() || std::filesystem::is_directory(filename, ec)) {
        std::cout << "open error" << std::endl;
        return -1;
    }
    std::string text;
    std::string current;
    while (std::getline(file, current)) text += current + "\n";

    vorn::Helper helper;
    helper.scan(text);
    if (verify(helper) != 0) return -1;
    file.close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // All output goes through std::cout, each line flushed; it needs no sync with C stdio.
    std::ios::sync_with_stdio(false);
    int status = 1;
    try {
        status = run(argc, argv);
    } catch (const common::UserError& e) {
        std::cout << e.string() << std::endl;
    } catch (const common::SystemError& e) {
        std::cout << e.string() << std::endl;
    } catch (const common::DebugError& e) {
        std::cout << e.string() << std::endl;
    } catch (const common::Warning& e) {
        std::cout << e.string() << std::endl;
    } catch (const common::Exception& e) {
        std::cout << e.string() << std::endl;
    } catch (const std::exception&) {
        std::cout << "Unexpected error, please contact the author. " << std::endl;
    }
    // The engine has consumed the rule lists; free what the parser still holds.
    vorn::release_model();
    return status;
}
