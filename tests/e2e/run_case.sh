#!/usr/bin/env bash
# Runs vorn on one model and compares standard output and exit status with the
# expected files beside it. Only the line that starts with "Verification Time: "
# is masked, since it holds a measured time. vorn runs in the case's directory
# with the model's file name, which is how its diagnostics name the model.
#
# Optional files beside NAME.vorn:
#   NAME.args  the whole command line, one argument a line, instead of just
#              the model. It runs in the case's directory, where "{model}"
#              stands for the model's file name; "{tmp}" is an empty
#              directory of its own. A line "<FILE" reads standard input
#              from FILE and a line ">FILE" sends standard output to FILE
#              (then nothing is captured: NAME.out is empty). Standard input
#              is /dev/null otherwise.
#   NAME.err   the expected standard error, compared byte for byte.
set -u
vorn=$1
model=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
base=${model%.vorn}
expected_out=$base.out
expected_status=$(tr -d '[:space:]' < "$base.status")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cd "$(dirname "$model")" || exit 1
args=("$(basename "$model")")
stdin=/dev/null
stdout=$tmp/actual
if [ -f "$base.args" ]; then
  args=()
  mkdir "$tmp/dir"
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line//\{model\}/$(basename "$model")}
    line=${line//\{tmp\}/$tmp/dir}
    case "$line" in
      '<'*) stdin=${line#<} ;;
      '>'*) stdout=${line#>} ;;
      *) args+=("$line") ;;
    esac
  done < "$base.args"
fi
: > "$tmp/actual"

"$vorn" "${args[@]}" > "$stdout" 2> "$tmp/stderr" < "$stdin"
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
if [ -f "$base.err" ] && ! cmp -s "$base.err" "$tmp/stderr"; then
  echo "standard error differs (expected vs actual):"
  diff "$base.err" "$tmp/stderr" | head -n 20
  fail=1
elif [ $fail -ne 0 ] && [ -s "$tmp/stderr" ]; then
  echo "standard error:"
  head -n 20 "$tmp/stderr"
fi
exit $fail
