#!/usr/bin/env bash
# Runs vorn on one model and compares standard output and exit status with the
# expected files beside it. Only the line that starts with "Verification Time: "
# is masked, since it holds a measured time.
set -u
vorn=$1
model=$2
base=${model%.vorn}
expected_out=$base.out
expected_status=$(tr -d '[:space:]' < "$base.status")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$vorn" "$model" > "$tmp/actual" 2> "$tmp/stderr" < /dev/null
status=$?

mask() { sed 's/^Verification Time: .*/Verification Time: <masked>/' "$1"; }
mask "$expected_out" > "$tmp/expected.masked"
mask "$tmp/actual" > "$tmp/actual.masked"

fail=0
if [ "$status" != "$expected_status" ]; then
  echo "exit status: expected $expected_status, got $status"
  fail=1
fi
if ! cmp -s "$tmp/expected.masked" "$tmp/actual.masked"; then
  echo "standard output differs (expected vs actual):"
  diff "$tmp/expected.masked" "$tmp/actual.masked" | head -n 60
  fail=1
fi
if [ $fail -ne 0 ] && [ -s "$tmp/stderr" ]; then
  echo "standard error:"
  head -n 20 "$tmp/stderr"
fi
exit $fail
