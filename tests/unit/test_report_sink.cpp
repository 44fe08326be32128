// The report sink: when bytes reach the descriptor, that they all arrive in
// order whoever writes them, failed writes, and the way out of a failed
// assertion.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>

#include "test_support.h"
#include "vorn/report/report_sink.h"

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using vorn::ReportSink;

TEST(ReportSink, LineModeWritesEachFlushedLineAtOnce) {
    Pipe pipe;
    ReportSink sink(pipe.write_end, true);
    std::ostream out(&sink);
    out << "first" << std::endl;
    EXPECT_EQ(pipe.take(), "first\n");
    out << "second, ";
    EXPECT_EQ(pipe.take(), "") << "an unflushed line stays until its end";
    out << "and more" << std::endl;
    EXPECT_EQ(pipe.take(), "second, and more\n");
}

TEST(ReportSink, BufferedModeWritesFlushedLinesWithinTheInterval) {
    Pipe pipe;
    Clock::time_point created = Clock::now();
    ReportSink sink(pipe.write_end, false);
    std::ostream out(&sink);
    out << "a line" << std::endl;
    Clock::time_point flushed = Clock::now();
    std::string early = pipe.take();
    // Nothing goes out before the interval has passed since the last write
    // (here: since the sink was made), unless this thread was held up that long.
    if (!early.empty()) {
        EXPECT_GE(Clock::now() - created, ReportSink::flush_interval);
    }
    // Then the flusher writes the line without any further call from here.
    // (The bound is generous: a loaded test machine may be slow to schedule.)
    ASSERT_TRUE(early.size() > 0 || pipe.wait(milliseconds(3000)));
    Clock::time_point arrived = Clock::now();
    EXPECT_EQ(early + pipe.take(), "a line\n");
    EXPECT_LT(arrived - flushed, milliseconds(3000));
}

TEST(ReportSink, FlusherLeavesAnUnfinishedLineToThePrintingThread) {
    Pipe pipe;
    ReportSink sink(pipe.write_end, false);
    std::ostream out(&sink);
    out << "done" << std::endl << "half a li";
    ASSERT_TRUE(pipe.wait(milliseconds(3000)));
    std::this_thread::sleep_for(ReportSink::flush_interval * 3);
    EXPECT_EQ(pipe.take(), "done\n");
    sink.flush_all();
    EXPECT_EQ(pipe.take(), "half a li");
}

TEST(ReportSink, AFullBufferIsWrittenAtOnce) {
    Pipe pipe;
    ReportSink sink(pipe.write_end, false, 16);
    std::ostream out(&sink);
    out << std::string(40, 'x');
    std::string now = pipe.take();
    EXPECT_GE(now.size(), 32u);
    sink.finish();
    EXPECT_EQ(now + pipe.take(), std::string(40, 'x'));
}

TEST(ReportSink, EveryByteArrivesInOrderWhoeverWritesIt) {
    // Lines of all lengths, across many buffer refills, with pauses that let
    // the flusher write published lines while this thread goes on printing.
    std::string path = (std::filesystem::temp_directory_path() / ("vorn_sink_" + std::to_string(getpid()))).string();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::ostringstream expected;
    {
        ReportSink sink(fd, false, 4096);
        std::ostream out(&sink);
        for (int i = 0; i < 20000; ++i) {
            std::string line = std::to_string(i) + ":" + std::string(static_cast<size_t>(i % 300), 'a' + i % 26);
            out << line << std::endl;
            expected << line << "\n";
            if (i % 2000 == 0) std::this_thread::sleep_for(ReportSink::flush_interval + milliseconds(20));
        }
        out << "no line end";
        expected << "no line end";
    }
    close(fd);
    std::ifstream in(path, std::ios::binary);
    std::stringstream actual;
    actual << in.rdbuf();
    std::filesystem::remove(path);
    EXPECT_TRUE(actual.str() == expected.str()) << "lengths " << actual.str().size() << " and "
                                                << expected.str().size();
}

TEST(ReportSink, AFailedWriteIsRememberedAndTheRestDiscarded) {
    int fd = open("/dev/full", O_WRONLY);
    if (fd < 0) GTEST_SKIP() << "no /dev/full";
    for (bool line_mode : {true, false}) {
        ReportSink sink(fd, line_mode, 64);
        std::ostream out(&sink);
        EXPECT_EQ(sink.error(), 0);
        for (int i = 0; i < 100; ++i) out << "a line that cannot be written" << std::endl;
        sink.finish();
        EXPECT_EQ(sink.error(), ENOSPC);
        EXPECT_TRUE(out.good()) << "the stream goes on; the caller reports the failure";
    }
    close(fd);
    // A failure found elsewhere (a closed standard output) counts the same; the first one stays.
    Pipe pipe;
    ReportSink sink(pipe.write_end, true);
    sink.fail(EBADF);
    sink.fail(EIO);
    std::ostream out(&sink);
    out << "lost" << std::endl;
    EXPECT_EQ(sink.error(), EBADF);
    EXPECT_EQ(pipe.take(), "");
}

TEST(ReportSink, TheHookRunsBeforeEachWriteOnATerminalOnly) {
    Pipe pipe;
    std::string seen;
    {
        ReportSink sink(pipe.write_end, true);
        sink.set_before_write([&] { seen += "[" + pipe.take() + "]"; });
        std::ostream out(&sink);
        out << "one" << std::endl << "two" << std::endl;
        EXPECT_EQ(seen, "[][one\n]");
    }
    seen.clear();
    ReportSink sink(pipe.write_end, false);
    sink.set_before_write([&] { seen += "!"; });
    std::ostream out(&sink);
    out << "three" << std::endl;
    sink.finish();
    EXPECT_EQ(seen, "");
}

// glibc's own message, from its __assert_fail (this program replaces the
// symbol, so the original is looked up behind it), printed by a child.
static std::string glibc_assertion_message(const char* assertion, const char* file, unsigned line,
                                           const char* function) {
    using AssertFail = void (*)(const char*, const char*, unsigned, const char*);
    auto original = reinterpret_cast<AssertFail>(dlsym(RTLD_NEXT, "__assert_fail"));
    if (original == nullptr) return "?";
    int fds[2];
    if (pipe(fds) != 0) return "?";
    pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], STDERR_FILENO);
        original(assertion, file, line, function);
    }
    close(fds[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return text;
}

TEST(ReportSink, AssertionMessageIsGlibcs) {
    EXPECT_EQ(vorn::assertion_message(program_invocation_short_name, "n > 0", "vorn/engine.cpp", 42, "void f(int)"),
              glibc_assertion_message("n > 0", "vorn/engine.cpp", 42, "void f(int)"));
    EXPECT_EQ(vorn::assertion_message(program_invocation_short_name, "x", "a.cpp", 7, nullptr),
              glibc_assertion_message("x", "a.cpp", 7, nullptr));
    EXPECT_EQ(vorn::assertion_message("", "x", "a.cpp", 7, "g()"), "a.cpp:7: g(): Assertion `x' failed.\n");
}

// A failed assertion in a run whose report goes to a file: the report printed
// so far is written first, then the assertion's message, then the process
// aborts. Without the sink the buffered lines would be lost with the process.
TEST(ReportSinkDeathTest, AFailedAssertionWritesTheReportFirst) {
    std::string path = (std::filesystem::temp_directory_path() / ("vorn_assert_" + std::to_string(getpid()))).string();
    EXPECT_DEATH(
        {
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
            vorn::install_report_sink();
            std::cout << "report line 1" << std::endl << "report line 2" << std::endl << "unfinished";
            assert(path.empty());
        },
        "");
    std::ifstream in(path);
    std::stringstream written;
    written << in.rdbuf();
    std::filesystem::remove(path);
    // The message's exact form is checked against glibc's above.
    std::string message = std::string(program_invocation_short_name) + ": " + __FILE__ + ":";
    ASSERT_EQ(written.str().rfind("report line 1\nreport line 2\nunfinished" + message, 0), 0u) << written.str();
    EXPECT_NE(written.str().find(": Assertion `path.empty()' failed.\n"), std::string::npos) << written.str();
}

// An exception nobody catches ends the process through std::terminate: the
// report so far is written before the runtime's message.
TEST(ReportSinkDeathTest, TerminateWritesTheReportFirst) {
    std::string path = (std::filesystem::temp_directory_path() / ("vorn_terminate_" + std::to_string(getpid()))).string();
    EXPECT_DEATH(
        {
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDOUT_FILENO);
            vorn::install_report_sink();
            std::cout << "report line" << std::endl << "unfinished";
            std::terminate();
        },
        "terminate called without an active exception");
    std::ifstream in(path);
    std::stringstream written;
    written << in.rdbuf();
    std::filesystem::remove(path);
    EXPECT_EQ(written.str(), "report line\nunfinished");
}
