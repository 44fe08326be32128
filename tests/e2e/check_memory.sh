#!/usr/bin/env bash
# Memory: --max-memory stops a saturation that would never end like the other
# limits (status 3, the "memory" stop line, the report), and a run that runs
# out of memory ends with the line of an unexpected error on standard output,
# "vorn: out of memory after N rules; ..." on standard error and status 1,
# keeping what it printed before. A time limit stops the run inside one long
# step too.
# Usage: check_memory.sh VORN
set -u
vorn=$1
here=$(cd "$(dirname "$0")" && pwd)
model=$here/large/key_wrapping.vorn
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

timeout 600 "$vorn" -q --max-memory 12 "$model" > "$tmp/out" 2> "$tmp/err" < /dev/null
status=$?
if [ $status != 3 ] ||
   ! grep -q -x 'Saturation stopped: memory limit reached; the rule sets are incomplete, so a missing target rule proves nothing.' "$tmp/out" ||
   ! tail -n 1 "$tmp/out" | grep -q '^Overall Rule Generated: [0-9][0-9]*$'; then
  echo "--max-memory: status $status; output ends with:"
  tail -n 3 "$tmp/out"
  fail=1
fi

# One step of this model makes 3^11 rules: a time limit must not wait for its end.
{
  printf '$ H(*h, v); $ Done(x);\n! -[ '
  for i in $(seq 0 10); do printf 'H([h%d], a[])%s' "$i" "$([ "$i" = 10 ] || echo ', ')"; done
  printf ' ]-> k(f('
  for i in $(seq 0 10); do printf '[h%d]%s' "$i" "$([ "$i" = 10 ] || echo ', ')"; done
  printf '));\n! k(f(x0, x1, x2, x3, x4, x5, x6, x7, x8, x9, x10)) -[ H([g1], b[]), H([g2], b[]) ]-> Done(x0);\n'
} > "$tmp/wide.vorn"
for trace in -q --no-progress; do
  start=$(date +%s%N)
  timeout 600 "$vorn" "$trace" --time-limit 0.5 "$tmp/wide.vorn" > "$tmp/out" 2> "$tmp/err" < /dev/null
  status=$?
  elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ $status != 3 ] || ! grep -q '^Saturation stopped: time limit reached' "$tmp/out"; then
    echo "--time-limit $trace: status $status"
    fail=1
  elif [ $elapsed -gt 20000 ]; then
    echo "--time-limit $trace: the run took $elapsed ms to stop at a limit of 0.5 s"
    fail=1
  fi
done

# Address space for a few megabytes of rules: sanitizer builds cannot start
# under such a limit, and are left out.
if (ulimit -v 20000; "$vorn" --version) > /dev/null 2>&1; then
  for trace in -q --no-progress; do
    (ulimit -v 20000; exec "$vorn" "$trace" "$model") > "$tmp/out" 2> "$tmp/err" < /dev/null
    status=$?
    if [ $status != 1 ] ||
       ! grep -q -x 'vorn: out of memory after [0-9][0-9]* rules; try --max-memory or --max-rules' "$tmp/err" ||
       [ "$(tail -n 1 "$tmp/out")" != 'Unexpected error, please contact the author. ' ]; then
      echo "out of memory ($trace): status $status; standard error: $(head -c 300 "$tmp/err")"
      echo "standard output ends with: $(tail -n 2 "$tmp/out")"
      fail=1
    fi
    if [ "$trace" = --no-progress ] && ! head -n 1 "$tmp/out" | grep -q '^Try Add '; then
      echo "out of memory: the trace printed before is lost"
      fail=1
    fi
  done
else
  echo "note: this build cannot start with 20 MB of address space; out-of-memory runs not checked"
fi
[ $fail = 0 ] && echo "memory limit, out of memory and a time limit inside a step behave"
exit $fail
