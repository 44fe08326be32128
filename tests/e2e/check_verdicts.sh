#!/usr/bin/env bash
# The verdict line against the report, and --expect against the verdict, on
# the examples, the documented cases that run to their report, and two runs a
# limit stops (one before and one after its target rule is found):
#  - standard error ends with one verdict line: "attack: E1, E2 (N target
#    rules...)" with the distinct conclusions of the N target rules of the
#    report, "no attack found (saturation complete)" for a finished run
#    without target rules, "no verdict (stopped by the rule limit)" for a
#    stopped one without; under --abstract, "possible attack: ..." when the
#    line after the report says that every target rule was found through a
#    generalised rule and none of their runs replayed on the model;
#  - --expect changes neither standard output nor standard error; its status
#    is 0 for the verdict it names, 4 for the other one, and the status
#    without it (3) when there is no verdict; a possible attack is never
#    expected: 4, or 3 for an attack expected in a stopped run.
# The examples run also with --levers --abstract=1, where possible attacks
# come up.
# Usage: check_verdicts.sh VORN
set -u
vorn=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
checked=0
: > "$tmp/kinds"

# check DIR MODEL [OPTION...]: runs MODEL in DIR as it is named there.
check() {
  local dir=$1 model=$2
  shift 2
  local label="vorn $* $model"
  (cd "$dir" && "$vorn" -q "$@" "$model") > "$tmp/out" 2> "$tmp/err" < /dev/null
  local status=$?
  [ $status = 0 ] || [ $status = 3 ] || return 0
  checked=$((checked + 1))
  local verdict targets events
  verdict=$(tail -n 1 "$tmp/err")
  targets=$(grep -c '^Target Rule :$' "$tmp/out")
  # The distinct conclusions of the target rules, in the order of the report.
  events=$(awk '/^Target Rule :$/ { t = 1; next } t && /^\]-> / { sub(/^\]-> /, ""); print; t = 0 }' "$tmp/out" |
    awk '!seen[$0]++' | head -n 3 | paste -s -d '\t' | sed 's/\t/, /g')
  local answer=${verdict#*: verdict * query*: }
  [[ $verdict == "$model: verdict "* ]] || { echo "$label: no verdict line at the end: $verdict"; fail=1; return; }
  local expected
  if [ "$targets" -gt 0 ] &&
     grep -q "^Abstraction: .* $targets of $targets target rules .*: possible attacks, not confirmed\.$" "$tmp/out"; then
    expected="possible attack: $events"
    [[ $answer == "$expected"*" ($targets target rule"*", found through generalised rules"* ]] ||
      { echo "$label: '$answer', expected '$expected ... ($targets target rules, found through generalised rules...)'"; fail=1; }
    expected=possible
  elif [ "$targets" -gt 0 ]; then
    expected="attack: $events"
    [[ $answer == "$expected"*" ($targets target rule"* ]] || { echo "$label: '$answer', expected '$expected ... ($targets target rules...)'"; fail=1; }
    expected=attack
  elif [ $status = 0 ]; then
    [ "$answer" = "no attack found (saturation complete)" ] || { echo "$label: '$answer' for a finished run without target rule"; fail=1; }
    expected=secure
  else
    [ "$answer" = "no verdict (stopped by the rule limit)" ] || { echo "$label: '$answer' for a stopped run without target rule"; fail=1; }
    expected=none
  fi
  echo "$expected" >> "$tmp/kinds"
  cp "$tmp/out" "$tmp/out.plain"
  cp "$tmp/err" "$tmp/err.plain"
  local expect wanted got
  for expect in attack secure; do
    (cd "$dir" && "$vorn" -q --expect $expect "$@" "$model") > "$tmp/out" 2> "$tmp/err" < /dev/null
    got=$?
    if [ "$expected" = none ]; then
      wanted=$status
    elif [ "$expected" = possible ]; then
      wanted=4
      [ $expect = attack ] && [ $status = 3 ] && wanted=3
    elif [ "$expected" = $expect ]; then
      wanted=0
    else
      wanted=4
    fi
    [ "$got" = "$wanted" ] || { echo "$label --expect $expect: status $got, expected $wanted ($answer)"; fail=1; }
    if ! cmp -s <(sed '/^Verification Time: /d' "$tmp/out.plain") <(sed '/^Verification Time: /d' "$tmp/out") ||
       ! cmp -s "$tmp/err.plain" "$tmp/err"; then
      echo "$label --expect $expect: the output is not that of the run without it"
      fail=1
    fi
  done
}

for model in "$root"/examples/*.vorn; do check "$root" "examples/$(basename "$model")"; done
for model in "$here"/docs/*.vorn; do
  [ -f "${model%.vorn}.args" ] || check "$here/docs" "$(basename "$model")"
done
check "$here/docs" quick_start.vorn --max-rules 4
check "$here/cli" max_rules_stop.vorn --max-rules 8
for model in "$root"/examples/*.vorn; do
  check "$root" "examples/$(basename "$model")" --levers --abstract=1 --max-rules 400
done
check "$here/cli" possible_attack.vorn --levers --abstract=1
check "$here/cli" replayed_attack.vorn --levers --abstract=1
check "$root" examples/case_studies/yubikey_otp.vorn --levers --abstract --max-rules 100
possible=$(grep -c "^possible$" "$tmp/kinds")
[ "$possible" -ge 2 ] || { echo "only $possible possible attacks among the runs"; fail=1; }
[ "$checked" -ge 30 ] || { echo "only $checked runs checked"; fail=1; }
[ $fail = 0 ] && echo "verdicts: $checked runs, each verdict as its report says and --expect as the verdict"
exit $fail
