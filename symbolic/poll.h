#pragma once

namespace sym {

// Thrown out of a rule operation when the poll asks to stop; the operation
// frees what it made, and whoever installed the poll abandons the step.
struct Abandoned {};

// Asked often inside the operations whose cost can grow without bound (each
// rule built by composition or transfer, each correspondence implication
// tests): answering true abandons the operation. Unset, nothing is asked.
// Single-threaded, like the rest of the library.
class Poll {
public:
    virtual ~Poll() = default;
    virtual bool stop() = 0;
};

extern Poll* current_poll;

inline void poll() {
    if (current_poll != nullptr && current_poll->stop()) throw Abandoned();
}

// Installs a poll while alive; the previous one is restored afterwards.
class PollScope {
public:
    explicit PollScope(Poll* poll) : _previous(current_poll) { current_poll = poll; }
    ~PollScope() { current_poll = _previous; }
    PollScope(const PollScope&) = delete;
    PollScope& operator=(const PollScope&) = delete;

private:
    Poll* _previous;
};

}  // namespace sym
