#include "vorn/cli/interrupt.h"

#include <signal.h>
#include <unistd.h>

namespace vorn {

namespace {

volatile sig_atomic_t received = 0;
volatile sig_atomic_t progress_fd = -1;

const int handled[] = {SIGINT, SIGTERM};
struct sigaction previous[2];

extern "C" void on_signal(int signal) {
    if (received == 0) {
        received = signal;
        return;
    }
    // The second signal: the progress line goes, then the process, as the
    // signal's default action would end it.
    int fd = progress_fd;
    if (fd >= 0) {
        static const char erase[] = "\r\x1b[K";
        ssize_t ignored = ::write(fd, erase, sizeof erase - 1);
        (void)ignored;
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

InterruptGuard::InterruptGuard() {
    received = 0;
    struct sigaction action = {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // Interrupted reads and writes start over: the report must not lose a line.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) sigaction(handled[i], &action, &previous[i]);
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < 2; ++i) sigaction(handled[i], &previous[i], nullptr);
}

int interrupt_signal() { return received; }

int interrupted_status(int signal) { return 128 + signal; }

void note_progress_line(int fd) { progress_fd = fd; }

}  // namespace vorn
