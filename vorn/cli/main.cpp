#include <exception>
#include <iostream>
#include <new>

#include "common/debug.h"
#include "common/exception.h"
#include "common/runtime.h"
#include "vorn/cli/memory_limit.h"
#include "vorn/cli/options.h"
#include "vorn/cli/verify.h"
#include "vorn/model/parser.h"
#include "vorn/report/report_sink.h"

namespace {

// No memory left: the line of any unexpected error, then on standard error
// how far the run came.
void out_of_memory(size_t rules) {
    std::cout << "Unexpected error, please contact the author. " << std::endl;
    if (vorn::report_sink() != nullptr) vorn::report_sink()->flush_all();
    std::cerr << vorn::out_of_memory_line(rules) << std::flush;
}

// The run inside the guarded block: every model or internal error ends here
// with its one line and status 1.
int run_guarded(const vorn::Options& options) {
    int status = 1;
    try {
        status = vorn::verify(options);
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
    } catch (const vorn::OutOfMemory& e) {
        out_of_memory(e.rules);
    } catch (const std::bad_alloc&) {
        out_of_memory(0);
    } catch (const std::exception&) {
        std::cout << "Unexpected error, please contact the author. " << std::endl;
    }
    // The engine has consumed the rule lists; free what the parser still holds.
    vorn::release_model();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    vorn::keep_standard_descriptors_open();
    vorn::install_report_sink();
    vorn::CommandLine command = vorn::parse_command_line(argc, argv);
    int status = -1;
    switch (command.action) {
        case vorn::CommandLine::Action::RUN: status = run_guarded(command.options); break;
        case vorn::CommandLine::Action::HELP:
            std::cout << vorn::help_text() << std::flush;
            status = 0;
            break;
        case vorn::CommandLine::Action::VERSION:
            std::cout << vorn::version_text() << std::flush;
            status = 0;
            break;
        case vorn::CommandLine::Action::USAGE:
            std::cout << "Usage: vorn filename" << std::endl;
            std::cerr << command.error << std::flush;
            break;
        case vorn::CommandLine::Action::ERROR: std::cerr << command.error << std::flush; break;
    }
    // Writes what is left of the report; a failed write turns the status into 1.
    return vorn::finish_report(status);
}
