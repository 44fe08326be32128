#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

namespace vorn {

// The stream buffer behind std::cout: the report's bytes are never changed,
// only the moment they reach the file descriptor.
//
// Line mode (a terminal): every line is written when it is flushed, as a
// person reading along expects.
// Buffered mode (a file or a pipe): the report is written in large pieces,
// when the buffer is full and, from a flusher thread, when more than
// flush_interval has passed since the last write, so that a long run still
// shows in the file (tail -f) and a killed run loses little.
//
// A failed write is remembered (errno) and everything after it is discarded;
// the caller reports it. SIGPIPE is left as it is, so a closed pipe ends the
// process quietly. Without a flusher thread (none could be started), every
// flushed line is written at once, as in line mode.
//
// Threads: only one thread (the one that prints) writes into the buffer. At
// each flush of the stream (std::endl) it publishes how far the buffer holds
// complete lines; the flusher writes only published bytes, which the printing
// thread no longer touches, and the buffer is only rewound under the mutex
// that every write to the descriptor holds.
class ReportSink : public std::streambuf {
public:
    static constexpr std::chrono::milliseconds flush_interval{100};
    static constexpr size_t default_capacity = size_t{1} << 15;

    ReportSink(int fd, bool line_mode, size_t capacity = default_capacity);
    ~ReportSink() override;
    ReportSink(const ReportSink&) = delete;
    ReportSink& operator=(const ReportSink&) = delete;

    bool line_mode() const { return _line_mode; }
    // Writes everything printed so far. Only from the printing thread.
    void flush_all();
    // Stops the flusher thread and writes the rest. Idempotent.
    void finish();
    // errno of the first failed write; 0 while every write succeeded.
    int error() const { return _error.load(std::memory_order_acquire); }
    // Records a failure found outside the sink (a closed descriptor); the
    // report is discarded from then on.
    void fail(int error);
    // In line mode, called before each write (to erase a status line on the
    // same terminal). Ignored in buffered mode, where writes come from the
    // flusher thread too.
    void set_before_write(std::function<void()> hook);

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    void run_flusher();
    // Writes buffer bytes [from, to). The caller holds _mutex or is the only thread.
    void write_out(size_t from, size_t to);
    // Writes everything and rewinds the buffer; takes _mutex.
    void drain();
    size_t used() const { return static_cast<size_t>(pptr() - pbase()); }

    const int _fd;
    const bool _line_mode;
    // Not zeroed: its pages are touched only as the report fills them.
    const size_t _capacity;
    std::unique_ptr<char[]> _buffer;
    std::function<void()> _before_write;

    std::mutex _mutex;
    std::condition_variable _wake;
    // Bytes [0, _published) are complete lines the printing thread is done with.
    std::atomic<size_t> _published{0};
    // Bytes [0, _written) are out; guarded by _mutex.
    size_t _written = 0;
    std::chrono::steady_clock::time_point _last_write;
    bool _stop = false;
    bool _finished = false;
    std::atomic<int> _error{0};
    std::thread _flusher;
};

// Puts a ReportSink for standard output behind std::cout (line mode when
// standard output is a terminal) and makes every way out of the process write
// the report first: a normal end (finish_report), std::exit (the parser's
// error exit), std::terminate and a failed assertion.
void install_report_sink();

// The installed sink, or null.
ReportSink* report_sink();

// Whether a write of the report has failed.
bool report_write_failed();

// Writes the rest of the report and restores std::cout. After a failed write
// it prints "vorn: cannot write the report: " and the reason on standard error
// and answers 1; otherwise it answers status.
int finish_report(int status);

// The text glibc prints for a failed assertion (before it aborts).
std::string assertion_message(const char* program, const char* assertion, const char* file, unsigned int line,
                              const char* function);

// Makes sure descriptors 0, 1 and 2 are open, so that no file the tool opens
// takes their place. A closed standard output is recorded as a failed write
// (EBADF) once the sink is installed.
void keep_standard_descriptors_open();

}  // namespace vorn
