#!/usr/bin/env bash
# Partial steps: a final rule that names a process for some of the processes
# a transfer rule moves, but not one for each.
#  - Over every model of examples/ and the end-to-end cases with a transfer
#    rule of two conversions or more (no other has a partial step), run
#    plainly, with -Wno-partial-step and with --partial-steps (each bounded):
#    counting the rules a partial step loses changes nothing on standard
#    output; --partial-steps changes nothing on standard output unless it
#    notes that it carried a step back; and it notes one exactly when the
#    plain run warns that a step was lost (both runs are the same up to the
#    first partial step). That --partial-steps only gains target rules is
#    checked by compare_targets (the compare/partial_steps_* tests).
#  - The models of tests/partial_steps each warn, in a plain run and with
#    --check; a plain run finds no target rule for the events of their
#    "// Lost:" line, and --partial-steps finds one for every event of their
#    "// Reaches:" line.
# Usage: check_partial_steps.sh VORN
set -u
vorn=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
# Each run is bounded: by the model's own limit, if it has one, or else by
# a small rule count; the large cases are left out.
default_bound="--max-rules 100"
lost="where --partial-steps makes"
carried="note: --partial-steps carried"

run() {
  local name=$1 model=$2
  shift 2
  local bound
  bound=$(sed -n 's|^// Limit: ||p' "$model" | head -n 1)
  # shellcheck disable=SC2086
  "$vorn" ${bound:-$default_bound} "$@" "$model" < /dev/null 2> "$tmp/$name.err" | sed 's/^Verification Time: .*//' > "$tmp/$name.out"
}

models=0
noted=0
while IFS= read -r model; do
  tr '\n' ' ' < "$model" | grep -q -E '>[[:space:]]*,[[:space:]]*<' || continue
  models=$((models + 1))
  name=${model#"$root"/}
  run plain "$model"
  run unwarned "$model" -Wno-partial-step
  run partial "$model" --partial-steps
  if ! cmp -s "$tmp/plain.out" "$tmp/unwarned.out"; then
    echo "$name: standard output differs with -Wno-partial-step"
    fail=1
  fi
  warned=no
  grep -q -e "$lost" "$tmp/plain.err" && warned=yes
  note=no
  grep -q -e "$carried" "$tmp/partial.err" && note=yes
  if [ $warned != $note ]; then
    echo "$name: the plain run warns of a lost step: $warned; --partial-steps notes a step carried back: $note"
    fail=1
  fi
  if [ $note = yes ]; then
    noted=$((noted + 1))
  elif ! cmp -s "$tmp/plain.out" "$tmp/partial.out"; then
    echo "$name: --partial-steps changes standard output without carrying a step back"
    fail=1
  fi
done < <(find "$root/examples" "$here" "$root/tests/partial_steps" -name '*.vorn' -not -path '*/large/*' | sort)
[ $models -gt 50 ] || { echo "only $models models"; fail=1; }
# The corpus has partial steps.
[ $noted -ge 3 ] || { echo "only $noted models with a partial step"; fail=1; }

# The target events of a report.
targets() { awk '/^Target Rule :$/ { t = 1; next } t && /^\]-> / { sub(/^\]-> /, ""); sub(/\(.*/, ""); print; t = 0 }' "$1" | sort -u; }
for model in "$root"/tests/partial_steps/*.vorn; do
  name=$(basename "$model")
  lost_events=$(sed -n 's|^// Lost: ||p' "$model")
  reaches=$(sed -n 's|^// Reaches: ||p' "$model")
  [ -n "$lost_events" ] && [ -n "$reaches" ] || { echo "$name: no '// Lost:' or '// Reaches:' line"; fail=1; }
  "$vorn" -q "$model" > "$tmp/plain.out" 2> "$tmp/plain.err" < /dev/null
  "$vorn" --check "$model" > /dev/null 2> "$tmp/check.err" < /dev/null
  "$vorn" -q --partial-steps "$model" > "$tmp/partial.out" 2> /dev/null < /dev/null
  grep -q -e "$lost" "$tmp/plain.err" || { echo "$name: no warning of a lost step"; fail=1; }
  grep -q -e '\[-Wpartial-step\]' "$tmp/check.err" || { echo "$name: --check does not warn"; fail=1; }
  for event in $lost_events; do
    targets "$tmp/plain.out" | grep -qx "$event" && { echo "$name: a plain run reaches $event"; fail=1; }
  done
  for event in $reaches; do
    targets "$tmp/partial.out" | grep -qx "$event" || { echo "$name: --partial-steps does not reach $event"; fail=1; }
  done
done
[ $fail -eq 0 ] && echo "partial steps: $models models, $noted carried back; tests/partial_steps as expected"
exit $fail
