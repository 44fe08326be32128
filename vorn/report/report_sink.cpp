#include "vorn/report/report_sink.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <system_error>
#include <utility>

namespace vorn {

ReportSink::ReportSink(int fd, bool line_mode, size_t capacity)
    : _fd(fd), _line_mode(line_mode), _capacity(capacity > 0 ? capacity : 1), _buffer(new char[_capacity]) {
    setp(_buffer.get(), _buffer.get() + _capacity);
    _last_write = std::chrono::steady_clock::now();
    if (_line_mode) return;
    try {
        _flusher = std::thread([this] { run_flusher(); });
    } catch (const std::system_error&) {
        // No thread to be had: every flushed line is written at once instead.
    }
}

ReportSink::~ReportSink() { finish(); }

void ReportSink::fail(int error) {
    int none = 0;
    _error.compare_exchange_strong(none, error, std::memory_order_acq_rel);
}

void ReportSink::set_before_write(std::function<void()> hook) {
    if (_line_mode) _before_write = std::move(hook);
}

void ReportSink::write_out(size_t from, size_t to) {
    if (from >= to || _error.load(std::memory_order_relaxed) != 0) return;
    if (_before_write) _before_write();
    const char* data = _buffer.get() + from;
    size_t left = to - from;
    while (left > 0) {
        ssize_t n = ::write(_fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
            return;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    _last_write = std::chrono::steady_clock::now();
}

void ReportSink::drain() {
    std::lock_guard<std::mutex> lock(_mutex);
    write_out(_written, used());
    _written = 0;
    _published.store(0, std::memory_order_relaxed);
    setp(_buffer.get(), _buffer.get() + _capacity);
}

ReportSink::int_type ReportSink::overflow(int_type c) {
    drain();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int ReportSink::sync() {
    if (_line_mode || !_flusher.joinable())
        drain();
    else
        _published.store(used(), std::memory_order_release);
    // A failed write is reported by the caller; the stream itself stays good.
    return 0;
}

void ReportSink::flush_all() {
    if (!_finished) drain();
}

void ReportSink::run_flusher() {
    std::unique_lock<std::mutex> lock(_mutex);
    while (!_stop) {
        auto now = std::chrono::steady_clock::now();
        size_t published = _published.load(std::memory_order_acquire);
        bool due = now - _last_write >= flush_interval;
        if (published > _written && due) {
            write_out(_written, published);
            _written = published;
            _last_write = now;
        }
        // With lines waiting, wake when they are due; otherwise look again soon,
        // so that a line printed after a quiet spell goes out within a tick.
        if (_published.load(std::memory_order_acquire) > _written && !due)
            _wake.wait_until(lock, _last_write + flush_interval);
        else
            _wake.wait_for(lock, flush_interval / 10);
    }
}

void ReportSink::finish() {
    if (_finished) return;
    if (_flusher.joinable()) {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _stop = true;
        }
        _wake.notify_all();
        _flusher.join();
    }
    drain();
    _finished = true;
}

namespace {

ReportSink* installed = nullptr;
std::streambuf* original = nullptr;
bool stdout_was_closed = false;

void print_write_error(int error) {
    std::string line = "vorn: cannot write the report: " + std::string(std::strerror(error)) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// Ends the installed sink: writes the rest, restores std::cout; answers the error.
int end_sink() {
    if (installed == nullptr) return 0;
    installed->finish();
    int error = installed->error();
    std::cout.rdbuf(original);
    delete installed;
    installed = nullptr;
    return error;
}

std::terminate_handler previous_terminate = nullptr;

// An exception nobody catches: the report so far first, then the usual message.
[[noreturn]] void flush_then_terminate() {
    if (installed != nullptr) installed->flush_all();
    if (previous_terminate != nullptr) previous_terminate();
    std::abort();
}

// std::exit (the parser's error exit) runs this before static destructors,
// which may still flush std::cout.
void end_sink_at_exit() {
    int error = end_sink();
    if (error == 0) return;
    print_write_error(error);
    std::_Exit(1);
}

}  // namespace

void keep_standard_descriptors_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == 1) stdout_was_closed = true;
        // open() takes the lowest free descriptor: this one.
        int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null != fd && null >= 0) ::close(null);
    }
}

void install_report_sink() {
    if (installed != nullptr) return;
    installed = new ReportSink(STDOUT_FILENO, isatty(STDOUT_FILENO) == 1);
    // Nothing of the report could reach its reader.
    if (stdout_was_closed) installed->fail(EBADF);
    original = std::cout.rdbuf(installed);
    std::atexit(end_sink_at_exit);
    previous_terminate = std::set_terminate(flush_then_terminate);
}

ReportSink* report_sink() { return installed; }

bool report_write_failed() { return installed != nullptr && installed->error() != 0; }

int finish_report(int status) {
    int error = end_sink();
    if (error == 0) return status;
    print_write_error(error);
    return 1;
}

std::string assertion_message(const char* program, const char* assertion, const char* file, unsigned int line,
                              const char* function) {
    // glibc: "%s%s%s:%u: %s%sAssertion `%s' failed.\n"
    std::string message = program;
    if (*program != '\0') message += ": ";
    message += file;
    message += ":" + std::to_string(line) + ": ";
    if (function != nullptr) {
        message += function;
        message += ": ";
    }
    message += "Assertion `";
    message += assertion;
    message += "' failed.\n";
    return message;
}

}  // namespace vorn

// A failed internal check: the report printed so far is written first, then
// glibc's own message, then the process aborts as the standard one does.
extern "C" void __assert_fail(const char* assertion, const char* file, unsigned int line,
                              const char* function) noexcept {
    if (vorn::report_sink() != nullptr) vorn::report_sink()->flush_all();
    std::string message = vorn::assertion_message(program_invocation_short_name, assertion, file, line, function);
    std::fputs(message.c_str(), stderr);
    std::fflush(stderr);
    std::abort();
}
