#!/usr/bin/env bash
# How the report reaches standard output when it is not a terminal:
#  - a reader that closes the pipe early (vorn ... | head) ends vorn by
#    SIGPIPE, quietly, as any filter;
#  - with SIGPIPE ignored, the closed pipe is a failed write: one line on
#    standard error and status 1;
#  - a closed standard output is a failed write too;
#  - no file the run opens takes the place of a closed standard stream;
#  - a report written to a file shows up there while the run goes on
#    (tail -f), not only at the end.
# Usage: check_streams.sh VORN
set -u
vorn=$1
here=$(cd "$(dirname "$0")" && pwd)
growing=$here/cli/max_rules_stop.vorn
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() {  # what, actual, expected
  if [ "$2" != "$3" ]; then
    echo "$1: got '$2', expected '$3'"
    fail=1
  fi
}

# Several hundred kilobytes of trace, far more than the pipe and the buffer hold.
"$vorn" --max-rules 300 "$growing" 2> "$tmp/err" < /dev/null | head -c 100 > /dev/null
check "closed pipe: status" "${PIPESTATUS[0]}" 141
check "closed pipe: standard error" "$(cat "$tmp/err")" ""

(
  trap '' PIPE
  "$vorn" --max-rules 300 "$growing" 2> "$tmp/err" < /dev/null | head -c 100 > /dev/null
  exit "${PIPESTATUS[0]}"
)
check "closed pipe, SIGPIPE ignored: status" "$?" 1
check "closed pipe, SIGPIPE ignored: standard error" "$(cat "$tmp/err")" \
  "vorn: cannot write the report: Broken pipe"

"$vorn" "$here/docs/quick_start.vorn" >&- 2> "$tmp/err" < /dev/null
check "closed standard output: status" "$?" 1
check "closed standard output: standard error" "$(cat "$tmp/err")" \
  "vorn: cannot write the report: Bad file descriptor"

# With descriptor 2 closed, the JSON file would be opened as descriptor 2 (the
# model is read from standard input) and receive the progress line, were it
# not kept open.
"$vorn" --progress --max-rules 500 --json "$tmp/closed.json" - 2>&- > /dev/null < "$growing"
check "closed standard error: status" "$?" 3
if ! perl -MJSON::PP -e 'local $/; decode_json(<STDIN>)' < "$tmp/closed.json" 2> /dev/null; then
  echo "closed standard error: the JSON file does not hold JSON alone:"
  head -c 300 "$tmp/closed.json" | cat -v
  fail=1
fi

# A run that prints its trace for two seconds: its file grows while it runs.
"$vorn" --time-limit 2 "$growing" > "$tmp/live" 2> /dev/null < /dev/null &
pid=$!
sizes=()
for i in 1 2 3; do
  sleep 0.5
  kill -0 "$pid" 2> /dev/null || break
  sizes+=("$(stat -c %s "$tmp/live")")
done
wait "$pid"
check "time-limited run: status" "$?" 3
if [ "${#sizes[@]}" -lt 3 ] || [ "${sizes[0]}" -eq 0 ] || [ "${sizes[1]}" -le "${sizes[0]}" ] ||
  [ "${sizes[2]}" -le "${sizes[1]}" ]; then
  echo "a report to a file: sizes every half second while running: ${sizes[*]}; expected growing from the start"
  fail=1
fi
tail -n 1 "$tmp/live" | grep -q '^Overall Rule Generated: ' || {
  echo "a report to a file: the end is missing"
  fail=1
}
[ $fail -eq 0 ] && echo "report streams: all as expected"
exit $fail
