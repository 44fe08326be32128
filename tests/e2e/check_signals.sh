#!/usr/bin/env bash
# SIGINT and SIGTERM stop a saturation that would never end, like a limit:
# the report of what is held follows the line "Saturation stopped:
# interrupted; ...", the status is 130 or 143, --json records the interrupt,
# everything printed before the signal is still there, and the progress line
# is erased before the verdict line, the last on standard error. (A second signal ending the process at once is a unit test.)
# Usage: check_signals.sh VORN
set -u
vorn=$1
model=$(cd "$(dirname "$0")" && pwd)/large/key_wrapping.vorn
tmp=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill -KILL "$pid" 2> /dev/null; rm -rf "$tmp"' EXIT
fail=0
stop_line="Saturation stopped: interrupted; the rule sets are incomplete, so a missing target rule proves nothing."

for signal in INT TERM; do
  expected=130
  [ $signal = TERM ] && expected=143
  (cd "$(dirname "$model")" && exec "$vorn" --progress --json "$tmp/results.json" key_wrapping.vorn) > "$tmp/out" 2> "$tmp/err" < /dev/null &
  pid=$!
  # The trace shows that the saturation runs (and the handlers are in place).
  for _ in $(seq 1 300); do
    [ -s "$tmp/out" ] && break
    sleep 0.1
  done
  sleep 0.5
  cp "$tmp/out" "$tmp/before"
  kill -$signal "$pid"
  wait "$pid"
  status=$?
  pid=
  what="SIG$signal"
  if [ $status != $expected ]; then
    echo "$what: status $status, expected $expected"
    fail=1
  fi
  if [ "$(grep -c -x -F "$stop_line" "$tmp/out")" != 1 ]; then
    echo "$what: no line '$stop_line' (or more than one)"
    fail=1
  fi
  size=$(stat -c %s "$tmp/before")
  if [ "$size" = 0 ] || ! cmp -s -n "$size" "$tmp/before" "$tmp/out"; then
    echo "$what: what was printed before the signal is not the start of the output"
    fail=1
  fi
  # The report follows the stop line whole, up to the rule count.
  if ! sed -n "/^Saturation stopped: /,\$p" "$tmp/out" | grep -q '^Selectable Consistent Rules. $' ||
     ! tail -n 1 "$tmp/out" | grep -q '^Overall Rule Generated: [0-9][0-9]*$'; then
    echo "$what: the report after the stop line is incomplete"
    fail=1
  fi
  verdict="key_wrapping.vorn: verdict without access query (events reachable from no state): no verdict (stopped by $what)"
  if [ "$(tail -c $((${#verdict} + 1)) "$tmp/err")" != "$verdict" ]; then
    echo "$what: standard error does not end with '$verdict': $(tail -c 200 "$tmp/err")"
    fail=1
  fi
  if [ "$(head -c -$((${#verdict} + 1)) "$tmp/err" | tail -c 4 | od -An -c | tr -d ' ')" != '\r033[K' ]; then
    echo "$what: the progress line is not erased before the verdict: $(tail -c 240 "$tmp/err" | od -c | tail -n 5)"
    fail=1
  fi
  if ! grep -q '"stopped_by": "interrupt"' "$tmp/results.json" || ! grep -q '"completed": false' "$tmp/results.json"; then
    echo "$what: the JSON results do not record the interrupt"
    fail=1
  fi
done
[ $fail = 0 ] && echo "SIGINT and SIGTERM stop the run with its report"
exit $fail
