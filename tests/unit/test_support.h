#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

// A pipe whose read end never blocks.
struct Pipe {
    int read_end = -1;
    int write_end = -1;
    Pipe() {
        int fds[2];
        if (pipe(fds) != 0) std::abort();
        read_end = fds[0];
        write_end = fds[1];
        fcntl(read_end, F_SETFL, O_NONBLOCK);
    }
    ~Pipe() {
        close(read_end);
        close(write_end);
    }
    // What is in the pipe now.
    std::string take() {
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = read(read_end, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
        return text;
    }
    // Waits at most `limit` for something to read.
    bool wait(std::chrono::milliseconds limit) {
        pollfd fd{read_end, POLLIN, 0};
        return poll(&fd, 1, static_cast<int>(limit.count())) == 1;
    }
};
