#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "symbolic/model.h"
#include "vorn/model/lexer.h"
#include "vorn/model/parser.h"

// Parses model text into the parser's globals and frees them afterwards.
class ModelTest : public ::testing::Test {
protected:
    void TearDown() override { vorn::release_model(); }

    static void parse(const std::string& text) {
        vorn::scan_string(text);
        vorn::parse_model();
    }

    static sym::StateConstRule* const_rule(size_t i = 0) {
        auto rule = vorn::raw_const_rules.begin();
        std::advance(rule, static_cast<long>(i));
        return *rule;
    }

    static sym::StateTransRule* trans_rule(size_t i = 0) {
        auto rule = vorn::raw_trans_rules.begin();
        std::advance(rule, static_cast<long>(i));
        return *rule;
    }

    static std::string text(const sym::Model& model) {
        std::ostringstream os;
        model.info(os);
        return os.str();
    }
};
