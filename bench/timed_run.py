#!/usr/bin/env python3
"""Runs one command and prints "STATUS SECONDS MAX-RSS-KB".

    timed_run.py LIMIT OUT ERR COMMAND [ARG ...]

Standard output goes to OUT, standard error to ERR, standard input is empty.
The wall time runs from the start of the command to its end, read from a
monotonic clock: no shell or timeout process is counted, which matters for
runs of a few milliseconds. The peak memory comes from /usr/bin/time, which
starts the command: the kernel would count this script's own memory in the
peak of a command it started directly. A command still running after LIMIT
seconds is killed and reported with status 124.
"""
import os
import signal
import sys
import time


def main():
    limit, out, err = float(sys.argv[1]), sys.argv[2], sys.argv[3]
    memory = err + ".rss"
    command = ["/usr/bin/time", "-f", "%M", "-o", memory] + sys.argv[4:]
    with open(out, "wb") as stdout, open(err, "wb") as stderr, open(os.devnull, "rb") as stdin:
        start = time.perf_counter()
        pid = os.posix_spawnp(command[0], command, os.environ,
                              file_actions=[(os.POSIX_SPAWN_DUP2, stdin.fileno(), 0),
                                            (os.POSIX_SPAWN_DUP2, stdout.fileno(), 1),
                                            (os.POSIX_SPAWN_DUP2, stderr.fileno(), 2)],
                              setpgroup=0)
        timed_out = False

        def kill(_signum, _frame):
            nonlocal timed_out
            timed_out = True
            os.killpg(pid, signal.SIGKILL)

        signal.signal(signal.SIGALRM, kill)
        signal.setitimer(signal.ITIMER_REAL, limit)
        while True:
            try:
                _, status = os.waitpid(pid, 0)
                break
            except InterruptedError:
                continue
        seconds = time.perf_counter() - start
        signal.setitimer(signal.ITIMER_REAL, 0)
    if timed_out:
        code = 124
    elif os.WIFSIGNALED(status):
        code = 128 + os.WTERMSIG(status)
    else:
        code = os.WEXITSTATUS(status)
    kb = "-"
    try:
        with open(memory) as lines:
            kb = lines.read().split()[-1]
        os.remove(memory)
    except (OSError, IndexError):
        pass
    print(f"{code} {seconds:.6f} {kb}")


if __name__ == "__main__":
    main()
