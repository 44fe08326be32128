#pragma once

namespace vorn {

// SIGINT and SIGTERM while a saturation runs: the first one is only
// recorded, so that the run stops at its next check and still prints its
// report; a second one ends the process at once, by that signal, after
// erasing the progress line if one is shown.
class InterruptGuard {
public:
    // Installs the handlers; the previous ones come back at destruction.
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// The first signal received while a guard was alive, or 0.
int interrupt_signal();

// The exit status of a run that a signal stopped: 128 + the signal number.
int interrupted_status(int signal);

// Where a progress line is shown now (the descriptor), or -1: the handler of
// the second signal erases it before the process ends.
void note_progress_line(int fd);

}  // namespace vorn
