#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "vorn/cli/interrupt.h"
#include "vorn/cli/memory_limit.h"
#include "vorn/saturation/algorithm.h"

namespace vorn {

// One line on a terminal, rewritten in place: "\r", the text, then an erase
// to the end of the line. Written with one write call each time, so that it
// never interleaves with other output inside a line.
class StatusLine {
public:
    explicit StatusLine(int fd);
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    // Cut to the terminal's width, so that it never wraps.
    void draw(const std::string& text);
    // Leaves the cursor at the start of an empty line; nothing when nothing is shown.
    void erase();
    bool shown() const { return _shown; }

private:
    void put(const std::string& bytes);
    int _fd;
    bool _shown = false;
};

// "vorn: 12.3 s | held 10/2/0/4/5 | queued 37 | tried 1234": the elapsed
// time, the rules held in the five saturated sets in the report's order, the
// rules in the work queue and the rules tried so far.
std::string progress_text(std::chrono::nanoseconds elapsed, const std::vector<size_t>& held, size_t queued,
                          size_t tried);

// Watches a saturation for the command line's limits and draws the progress
// line. It stops the saturation when a limit is reached or when the report
// can no longer be written.
class RunMonitor : public Observer {
public:
    using Clock = std::chrono::steady_clock;
    enum class Stop { NONE, RULES, TIME, MEMORY, INTERRUPT, WRITE_FAILED };

    struct Settings {
        // Most rules held in the five saturated sets; 0 for no bound.
        size_t max_rules = 0;
        // Most time since `start`; zero for no bound.
        std::chrono::nanoseconds time_limit{0};
        // Most resident memory in bytes; 0 for no bound.
        size_t max_memory = 0;
        Clock::time_point start = Clock::now();
        // Where to draw progress, or null for none.
        StatusLine* progress = nullptr;
        // Called before each drawing: writes out the report so far.
        std::function<void()> flush_report;
        // Whether writing the report has failed.
        std::function<bool()> write_failed;
        // The clock; replaceable for tests.
        std::function<Clock::time_point()> now = [] { return Clock::now(); };
        // The resident memory in bytes; replaceable for tests.
        std::function<size_t()> resident = resident_bytes;
        // The signal that asked the run to stop, or 0; replaceable for tests.
        std::function<int()> interrupted = interrupt_signal;
    };

    static constexpr std::chrono::milliseconds redraw_interval{100};
    // How often the resident memory is read, at most.
    static constexpr std::chrono::milliseconds memory_interval{20};
    // Inside a long step, the clock is read once every so many polls.
    static constexpr unsigned polls_per_look = 64;

    explicit RunMonitor(Settings settings);

    bool step(const Algorithm& engine, size_t queued) override;
    bool keep_going(const Algorithm& engine) override;
    bool admit(const Algorithm& engine, const sym::StateRule* rule) override;

    // Why the saturation stopped; NONE while it runs or when it completed.
    Stop stop() const { return _stop; }
    // "rule", "time" or "memory" for a limit, "interrupt" for a signal; empty otherwise.
    std::string limit_name() const;
    // The signal that stopped the saturation, or 0.
    int stop_signal() const { return _signal; }
    // Erases the progress line: the saturation is over.
    void end_progress();

private:
    void draw(const Algorithm& engine, size_t queued, Clock::time_point now);
    // Whether a signal, the time or the memory limit stops the run now.
    bool must_stop(Clock::time_point now);

    Settings _settings;
    Stop _stop = Stop::NONE;
    int _signal = 0;
    Clock::time_point _last_draw;
    Clock::time_point _last_memory_look;
    unsigned _polls = 0;
    size_t _queued = 0;
};

// Line printed before the report of a saturation a limit or a signal stopped.
std::string saturation_stopped_line(const std::string& limit_name);

}  // namespace vorn
