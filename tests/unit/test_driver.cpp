// The driver: report texts of the exceptions, the time span, and the command
// line of the built tool.
#include <gtest/gtest.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/config.h"
#include "common/debug.h"
#include "common/exception.h"
#include "common/runtime.h"
#include "symbolic/renamer.h"
#include "symbolic/toposort.h"
#include "symbolic/unifier.h"
#include "vorn/model/helper.h"

namespace {

std::string unexpected() { return "Unexpected exception. " + common::conf_contact; }

timeval at(long sec, long usec) {
    timeval t;
    t.tv_sec = sec;
    t.tv_usec = usec;
    return t;
}

}  // namespace

TEST(Exceptions, ReportTexts) {
    EXPECT_EQ(common::UserError("yyparse", "state list size not match").string(), "Error: state list size not match");
    EXPECT_EQ(common::UserError("f", "").string(), "Error: ");
    // The detail of a SystemError is kept but never shown.
    common::SystemError system("insert", "name already exists");
    EXPECT_EQ(system.string(), "System error. " + common::conf_contact);
    EXPECT_EQ(system.detail(), "name already exists");
    EXPECT_EQ(system.string().find("name already exists"), std::string::npos);
    EXPECT_EQ(common::DebugError("f").string(), "Debug error. " + common::conf_contact);
    EXPECT_EQ(common::Warning("f", "careful").string(), "Warning: careful");
    EXPECT_EQ(common::conf_contact, "Please report this failure to the vorn maintainers, thank you.");
}

TEST(Exceptions, LibrarySignalsReportAsUnexpected) {
    // Caught through the driver's handler for common::Exception.
    auto report = [](const common::Exception& e) { return e.string(); };
    EXPECT_EQ(report(common::Exception()), unexpected());
    EXPECT_EQ(report(sym::UnifyFailed()), unexpected());
    EXPECT_EQ(report(sym::NotSortable()), unexpected());
    EXPECT_EQ(report(sym::NameNotExists()), unexpected());
}

TEST(Timing, DiffmsBorrowsASecondForNegativeMicroseconds) {
    timeval d = vorn::diffms(at(101, 100000), at(100, 900000));
    EXPECT_EQ(d.tv_sec, 0);
    EXPECT_EQ(d.tv_usec, 200000);
    d = vorn::diffms(at(161, 500000), at(100, 0));
    EXPECT_EQ(d.tv_sec / 60, 1);
    EXPECT_EQ(d.tv_sec % 60, 1);
    EXPECT_EQ(d.tv_usec / 1000, 500);
    d = vorn::diffms(at(5, 0), at(4, 999999));
    EXPECT_EQ(d.tv_sec, 0);
    EXPECT_EQ(d.tv_usec, 1);
    d = vorn::diffms(at(7, 250), at(7, 250));
    EXPECT_EQ(d.tv_sec, 0);
    EXPECT_EQ(d.tv_usec, 0);
}

// Runs the built tool (beside the test directory of the build tree) with the
// given arguments; returns its exit status and standard output.
class Tool : public testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        _tool = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "vorn";
        if (!fs::exists(_tool)) GTEST_SKIP() << "vorn not built at " << _tool;
        _dir = fs::temp_directory_path() / ("vorn_driver_" + std::to_string(getpid()));
        fs::create_directories(_dir);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(_dir, ec);
    }

    std::string model(const std::string& name, const std::string& text) {
        std::string path = (_dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    int run(const std::string& arguments, std::string& out) {
        std::string command = _tool.string() + " " + arguments + " 2>/dev/null </dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        out.clear();
        char buffer[256];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::filesystem::path _tool;
    std::filesystem::path _dir;
};

TEST_F(Tool, CommandLine) {
    std::string out;
    EXPECT_EQ(run("", out), 255);
    EXPECT_EQ(out, "Usage: vorn filename\n");
    EXPECT_EQ(run("a b", out), 255);
    EXPECT_EQ(out, "Usage: vorn filename\n");
    EXPECT_EQ(run((_dir / "missing.vorn").string(), out), 255);
    EXPECT_EQ(out, "open error\n");
    // A directory opens as a stream but is no model file.
    EXPECT_EQ(run(_dir.string(), out), 255);
    EXPECT_EQ(out, "open error\n");
}

TEST_F(Tool, LastLineWithoutBreakScansTheSame) {
    std::string with;
    std::string without;
    EXPECT_EQ(run(model("with.vorn", "$ A(x);\n@"), with), 255);
    EXPECT_EQ(run(model("without.vorn", "$ A(x);\n@\n"), without), 255);
    EXPECT_EQ(with, "Cannot identify @ at line 2, col 1\nError : no state constent rule\n\n");
    EXPECT_EQ(without, with);
}
