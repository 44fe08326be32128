#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "symbolic/implication.h"
#include "symbolic/namer.h"
#include "symbolic/srule.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

// The model files of the examples and the end-to-end cases, in order.
inline std::vector<std::filesystem::path> corpus() {
    namespace fs = std::filesystem;
    std::vector<fs::path> models;
    for (const char* dir : {"examples", "tests/e2e"})
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(VORN_SOURCE_DIR) / dir))
            if (entry.path().extension() == ".vorn") models.push_back(entry.path());
    std::sort(models.begin(), models.end());
    return models;
}

inline std::string file_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Frees the parser's globals, starts the name and state counters and the
// record of arities over, and hands `text` to the scanner: the model is then
// parsed as in a fresh process.
inline void start_model(const std::string& text) {
    vorn::release_model();
    sym::namer = sym::_Namer();
    sym::StateRule::_sid = 0;
    sym::forget_arities();
    vorn::scan_string(text);
}
