#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <type_traits>

#include "common/runtime.h"
#include "symbolic/model.h"

// The printed form of a term, fact or rule (info), or of any streamable value.
template <class T>
std::string text(const T& item) {
    std::ostringstream os;
    if constexpr (std::is_base_of_v<sym::Model, T>)
        item.info(os);
    else
        os << item;
    return os.str();
}

// The statement must raise a UserError with this function and detail.
#define EXPECT_USER_ERROR(statement, function_text, detail_text) \
    try {                                                        \
        statement;                                               \
        ADD_FAILURE() << "no UserError";                         \
    } catch (const common::UserError& e) {                       \
        EXPECT_EQ(e.function(), function_text);                  \
        EXPECT_EQ(e.detail(), detail_text);                      \
    }
