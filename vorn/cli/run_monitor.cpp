#include "vorn/cli/run_monitor.h"

#include <errno.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <utility>

namespace vorn {

StatusLine::StatusLine(int fd) : _fd(fd) {}

StatusLine::~StatusLine() { erase(); }

void StatusLine::put(const std::string& bytes) {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(_fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        // Progress is a courtesy: a failed write of it is not an error of the run.
        if (n <= 0) return;
        data += n;
        left -= static_cast<size_t>(n);
    }
}

void StatusLine::draw(const std::string& text) {
    std::string line = text;
    winsize size{};
    if (ioctl(_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && line.size() >= size.ws_col)
        line.resize(size.ws_col - 1);
    put("\r" + line + "\x1b[K");
    _shown = true;
    note_progress_line(_fd);
}

void StatusLine::erase() {
    if (!_shown) return;
    note_progress_line(-1);
    put("\r\x1b[K");
    _shown = false;
}

std::string progress_text(std::chrono::nanoseconds elapsed, const std::vector<size_t>& held, size_t queued,
                          size_t tried) {
    long long tenths = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 100;
    std::string text = "vorn: " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s | held ";
    for (size_t i = 0; i < held.size(); ++i) {
        if (i > 0) text += "/";
        text += std::to_string(held[i]);
    }
    text += " | queued " + std::to_string(queued) + " | tried " + std::to_string(tried);
    return text;
}

std::string saturation_stopped_line(const std::string& limit_name) {
    std::string why = limit_name == "interrupt" ? "interrupted" : limit_name + " limit reached";
    return "Saturation stopped: " + why + "; the rule sets are incomplete, so a missing target rule proves nothing.";
}

RunMonitor::RunMonitor(Settings settings)
    : _settings(std::move(settings)), _last_draw(_settings.start), _last_memory_look(_settings.start) {}

namespace {

// The five sets the saturation fills; the sixth (target rules) is only made afterwards.
std::vector<size_t> held_sizes(const Algorithm& engine) {
    std::vector<size_t> sizes = engine.set_sizes();
    sizes.resize(5);
    return sizes;
}

}  // namespace

bool RunMonitor::must_stop(Clock::time_point now) {
    if (_settings.interrupted) {
        if (int signal = _settings.interrupted()) {
            _stop = Stop::INTERRUPT;
            _signal = signal;
            return true;
        }
    }
    if (_settings.time_limit.count() > 0 && now - _settings.start >= _settings.time_limit) {
        _stop = Stop::TIME;
        return true;
    }
    if (_settings.max_memory > 0 && now - _last_memory_look >= memory_interval) {
        _last_memory_look = now;
        if (_settings.resident() > _settings.max_memory) {
            _stop = Stop::MEMORY;
            return true;
        }
    }
    return false;
}

bool RunMonitor::step(const Algorithm& engine, size_t queued) {
    if (_stop != Stop::NONE) return false;
    if (_settings.write_failed && _settings.write_failed()) {
        _stop = Stop::WRITE_FAILED;
        return false;
    }
    _queued = queued;
    Clock::time_point now = _settings.now();
    if (must_stop(now)) return false;
    if (_settings.progress != nullptr && now - _last_draw >= redraw_interval) draw(engine, queued, now);
    return true;
}

bool RunMonitor::keep_going(const Algorithm& engine) {
    if (_stop != Stop::NONE) return false;
    if (++_polls % polls_per_look != 0) return true;
    Clock::time_point now = _settings.now();
    if (must_stop(now)) return false;
    // A long step still shows that the run goes on.
    if (_settings.progress != nullptr && now - _last_draw >= redraw_interval) draw(engine, _queued, now);
    return true;
}

bool RunMonitor::admit(const Algorithm& engine, const sym::StateRule*) {
    if (_settings.max_rules == 0) return true;
    size_t held = 0;
    for (size_t size : held_sizes(engine)) held += size;
    // The rules the newcomer implies are already gone: it only adds to the
    // count when it replaces none, so a refusal never loses a held rule.
    if (held + 1 <= _settings.max_rules) return true;
    _stop = Stop::RULES;
    return false;
}

void RunMonitor::draw(const Algorithm& engine, size_t queued, Clock::time_point now) {
    if (_settings.flush_report) _settings.flush_report();
    _settings.progress->draw(progress_text(now - _settings.start, held_sizes(engine), queued, engine.rules_tried()));
    _last_draw = now;
}

void RunMonitor::end_progress() {
    if (_settings.progress != nullptr) _settings.progress->erase();
}

std::string RunMonitor::limit_name() const {
    switch (_stop) {
        case Stop::RULES: return "rule";
        case Stop::TIME: return "time";
        case Stop::MEMORY: return "memory";
        case Stop::INTERRUPT: return "interrupt";
        default: return "";
    }
}

}  // namespace vorn
