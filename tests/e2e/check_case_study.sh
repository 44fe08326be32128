#!/usr/bin/env bash
# Checks one case study of examples/case_studies against the lines of its
# opening comment:
#   // Literature: attack|secure    what the literature answers
#   // Options: OPTIONS             (optional) the options the verdict is
#                                   given with (--levers, --abstract)
#   // Verdict: attack|secure|possible attack|unknown   what vorn answers
#   // Why: ...                     right below the verdict when the two differ
#   // Reaches: EVENT ...           (optional) events that must each be the
#                                   conclusion of a target rule
#   // Limit: OPTIONS               (optional) the options that stop a run
#                                   that does not end
#   // Limit in checked builds: OPTIONS   (optional) the same, only in the
#                                   builds that check every implication twice
#                                   or run under the sanitizers, where the
#                                   full run takes minutes
# and runs vorn on it (report only), with --expect for the verdict of an
# attack or a secure model, so that the exit status says whether vorn's
# verdict is the one the model states:
#   attack:  status 0, the verdict line says "attack", at least one target
#            rule, and each event of Reaches among them (also when the limit
#            stopped the run: the witness holds all the same); in a checked
#            build stopped by its shorter limit, "no verdict" or "possible
#            attack" is allowed too;
#   secure:  status 0 and "no attack found (saturation complete)", no target
#            rule; with a limit in a checked build, "no verdict" and the
#            status of the limit (3);
#   possible attack: "possible attack": target rules, every one of them
#            found through a rule that --abstract generalised; status 0, or
#            3 with a limit (in a checked build, "no verdict" is allowed too);
#   unknown: the run is stopped by its limit (status 3) without target rule:
#            "no verdict".
# The derivations of the attacks are checked by check_case_study_derivations.sh.
# Usage: check_case_study.sh VORN MODEL [checked]
set -u
vorn=$1
model=$2
checked=${3:-}
name=$(basename "$model")

header() { sed -n "s|^// $1: ||p" "$model" | head -n 1; }
fail() {
  echo "$name: $*"
  exit 1
}

literature=$(header Literature)
run_options=$(header Options)
verdict=$(header Verdict)
reaches=$(header Reaches)
limit=$(header Limit)
checked_limit=$(header 'Limit in checked builds')
case "$literature" in attack | secure) ;; *) fail "no '// Literature: attack' or '// Literature: secure' line" ;; esac
case "$verdict" in attack | secure | "possible attack" | unknown) ;;
  *) fail "no '// Verdict: attack', 'secure', 'possible attack' or 'unknown' line" ;;
esac
if [ "$verdict" != "$literature" ]; then
  below=$(grep -A1 -m1 '^// Verdict: ' "$model" | tail -n 1)
  [[ $below == "// Why: "* ]] || fail "the verdict differs from the literature's, and no '// Why: ' line follows it"
fi
[ "$verdict" != unknown ] || [ -n "$limit" ] || fail "a run that does not end needs a '// Limit: ' line"
[ -z "$reaches" ] || [ "$verdict" = attack ] || fail "'// Reaches: ' belongs to a model whose verdict is attack"

options=$limit
[ -n "$checked" ] && [ -n "$checked_limit" ] && options=$checked_limit
expect=
case "$verdict" in attack | secure) expect="--expect $verdict" ;; esac
# shellcheck disable=SC2086
errors=$(mktemp)
output=$("$vorn" -q $run_options $options $expect "$model" 2> "$errors" < /dev/null)
status=$?
line=$(tail -n 1 "$errors")
rm -f "$errors"
answer=${line#"$model: verdict "*": "}
[[ $line == "$model: verdict "* ]] || fail "no verdict line: $line"
# The conclusion of each target rule: the "]-> " line after "Target Rule :".
targets=$(awk '/^Target Rule :$/ { t = 1; next } t && /^\]-> / { sub(/^\]-> /, ""); print; t = 0 }' <<< "$output")
count=$(grep -c . <<< "$targets")

case "$verdict" in
  attack)
    # A checked build stopped by its shorter limit may not have got there yet.
    if [ -n "$checked" ] && [ -n "$checked_limit" ] && [ "$status" != 0 ]; then
      [[ $answer == "no verdict (stopped by "* || $answer == "possible attack: "* ]] ||
        fail "status $status with --expect attack: $answer"
      echo "$name: $answer, as the checked builds' shorter limit allows"
      exit 0
    fi
    [ "$status" = 0 ] || fail "status $status with --expect attack: $answer"
    [[ $answer == "attack: "* ]] || fail "the verdict is not attack: $answer"
    [ "$count" -gt 0 ] || fail "no target rule, but the verdict is attack"
    for event in $reaches; do
      grep -q "^$event(" <<< "$targets" || fail "no target rule concludes $event"
    done
    ;;
  secure)
    if [ -n "$options" ]; then
      [ "$status" = 3 ] || fail "status $status with $options, not stopped by the limit: $answer"
      [[ $answer == "no verdict (stopped by "* ]] || fail "the verdict is not 'no verdict': $answer"
    else
      [ "$status" = 0 ] || fail "status $status with --expect secure: $answer"
      [ "$answer" = "no attack found (saturation complete)" ] || fail "the verdict is not secure: $answer"
    fi
    [ "$count" = 0 ] || fail "$count target rules, but the verdict is secure: $(head -n 1 <<< "$targets")"
    ;;
  "possible attack")
    [ "$status" = 0 ] || { [ -n "$options" ] && [ "$status" = 3 ]; } || fail "status $status: $answer"
    # A checked build stopped by its shorter limit may not have got there yet.
    if [ -n "$checked" ] && [ -n "$checked_limit" ] && [[ $answer == "no verdict (stopped by "* ]]; then
      echo "$name: $answer, as the checked builds' shorter limit allows"
      exit 0
    fi
    [[ $answer == "possible attack: "* ]] || fail "the verdict is not possible attack: $answer"
    [ "$count" -gt 0 ] || fail "no target rule, but the verdict is possible attack"
    ;;
  unknown)
    [ "$status" = 3 ] || fail "status $status with $options: the run was not stopped by its limit"
    [[ $answer == "no verdict (stopped by "* ]] || fail "the verdict is not 'no verdict': $answer"
    [ "$count" = 0 ] || fail "$count target rules within the limit: the verdict would be attack"
    ;;
esac
echo "$name: $verdict (literature: $literature), $count target rules, status $status${run_options:+ with $run_options}${options:+ with $options}"
