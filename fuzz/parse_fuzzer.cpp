// Fuzz target: the front end on arbitrary bytes. The input is read as the
// driver reads a model file, scanned, parsed, built into rules that are
// validated on the way, and the rules and queries are printed (to nowhere).

#include <cstddef>
#include <cstdint>
#include <iostream>

#include "fuzz/fuzz_support.h"
#include "symbolic/state.h"
#include "vorn/lexer.h"
#include "vorn/parser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    vorn_fuzz::silence_standard_output();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vorn_fuzz::start_like_a_fresh_process();
    vorn::scan_string(vorn_fuzz::as_read_by_driver(data, size));
    vorn_fuzz::run_guarded([] {
        vorn::parse_model();
        for (const sym::StateConstRule* rule : vorn::raw_const_rules) rule->info(std::cout);
        for (const sym::StateTransRule* rule : vorn::raw_trans_rules) rule->info(std::cout);
        for (const auto& query : vorn::raw_accessable_states) query.first->info(std::cout);
    });
    vorn::release_model();
    return 0;
}
