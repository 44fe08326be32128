#!/usr/bin/env bash
# Diagnostics on standard error:
#  - every model of examples/, correct as written, runs without a diagnostic
#    (no warning, no error): standard error holds its verdict line alone, and
#    a verdict line quoted in its comments ("//   examples/NAME.vorn: verdict
#    ...") or in the README is that line;
#  - on a terminal (script, from util-linux) the diagnostics are coloured,
#    unless NO_COLOR is set, TERM is dumb or --color=never says otherwise;
#  - --check prints the same diagnostics as a full run prints before its
#    analysis, and nothing on standard output;
#  - an access query that unmatched-query says can never be used is not used:
#    without it, every end-to-end case finds the same number of target rules.
# Usage: check_diagnostics.sh VORN
set -u
vorn=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

cd "$root" || exit 1
for model in examples/*.vorn; do
  "$vorn" -q "$model" > /dev/null 2> "$tmp/err"
  if [ "$(wc -l < "$tmp/err")" != 1 ] || ! grep -q "^$model: verdict " "$tmp/err"; then
    echo "$model: standard error holds more than the verdict:"
    head -n 5 "$tmp/err"
    fail=1
  fi
  while IFS= read -r quoted; do
    if [ "$quoted" != "$(cat "$tmp/err")" ]; then
      echo "$model: its comments or the README quote the verdict '$quoted', the run says '$(cat "$tmp/err")'"
      fail=1
    fi
  done < <(sed -n "s|^//  *\($model: verdict .*\)|\1|p" "$model"; sed -n "s|^    \($model: verdict .*\)|\1|p" README.md)
done

command -v script > /dev/null || { echo "script (util-linux) is missing"; exit 1; }
cd "$here/docs" || exit 1
model=warn_unproduced.vorn
esc=$(printf '\033')
# Standard error on a terminal; standard output to a file.
on_terminal() {
  script -q -e -c "env $1 '$vorn' $2 $model > /dev/null" /dev/null < /dev/null > "$tmp/typescript"
}
expect_colour() {
  local env=$1 options=$2 wanted=$3
  on_terminal "$env" "$options"
  local found=no
  grep -q "${esc}\[1;35mwarning:" "$tmp/typescript" && found=yes
  grep -q "warning:" "$tmp/typescript" || { echo "env $env vorn $options: no warning on the terminal"; fail=1; }
  if [ "$found" != "$wanted" ]; then
    echo "env $env vorn $options on a terminal: coloured $found, expected $wanted"
    fail=1
  fi
}
expect_colour "-u NO_COLOR TERM=xterm" "" yes
expect_colour "TERM=xterm NO_COLOR=1" "" no
expect_colour "TERM=xterm NO_COLOR=" "" yes
expect_colour "-u NO_COLOR TERM=dumb" "" no
expect_colour "-u NO_COLOR TERM=xterm" "--color=never" no
expect_colour "TERM=xterm NO_COLOR=1" "--color=always" yes
expect_colour "TERM=xterm NO_COLOR=1" "--color" yes

# --check: the diagnostics of the full run, without the report and the verdict.
"$vorn" "$model" > /dev/null 2> "$tmp/all.err"
grep -v "^$model: verdict " "$tmp/all.err" > "$tmp/run.err"
"$vorn" --check "$model" > "$tmp/check.out" 2> "$tmp/check.err"
status=$?
if [ $status -ne 0 ] || [ -s "$tmp/check.out" ] || ! cmp -s "$tmp/run.err" "$tmp/check.err"; then
  echo "vorn --check $model: status $status, standard output $(wc -c < "$tmp/check.out") bytes, diagnostics:"
  diff "$tmp/run.err" "$tmp/check.err" | head -n 10
  fail=1
fi
queries=0
while IFS= read -r model; do
  # Runs that only a limit ends (status 3) cannot count their target rules.
  [ "$(tr -d '[:space:]' < "${model%.vorn}.status" 2> /dev/null)" = 0 ] || continue
  while IFS=: read -r line; do
    # The query's line without the query.
    sed "${line}s/^%[^;]*;//" "$model" > "$tmp/without.vorn"
    cmp -s "$model" "$tmp/without.vorn" && continue
    queries=$((queries + 1))
    before=$(timeout 60 "$vorn" -q "$model" 2> /dev/null | grep -c '^Target Rule :')
    after=$(timeout 60 "$vorn" -q "$tmp/without.vorn" 2> /dev/null | grep -c '^Target Rule :')
    if [ "$before" != "$after" ]; then
      echo "$model:$line: an unmatched query counts: $before target rules with it, $after without"
      fail=1
    fi
  done < <("$vorn" --check "$model" 2>&1 > /dev/null | sed -n 's/^[^:]*:\([0-9]*\):[0-9]*: warning: .*\[-Wunmatched-query\]$/\1/p')
done < <(find "$here" -name '*.vorn' | sort)
[ "$queries" -gt 10 ] || { echo "only $queries unmatched queries checked"; fail=1; }
[ $fail -eq 0 ] && echo "diagnostics: examples clean, colours as asked, --check as a full run, $queries unmatched queries unused"
exit $fail
