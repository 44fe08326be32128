#!/usr/bin/env bash
# --growth adds the section "Growth of the rule sets:" after the report of a
# saturation that something stopped, and nothing else. For every end-to-end
# case that is stopped by a limit (status 3), and every case of docs/ and
# growth/ that ends normally (status 0), runs it again with --growth in front
# of its arguments (cases with a NAME.args file only when they neither
# redirect a stream nor use a scratch directory, and not when they ask for
# --growth or for the derivations, which follow the section):
#   - status 0: the output is the case's own;
#   - status 3: the output is the case's own followed by the section, whose
#     "the Nth of the M rules held" count among the rules held at the stop.
# Then a run stopped by the time limit instead of the rule limit prints the
# section too, naming the nesting symbol and the model line behind it.
# Usage: check_growth.sh VORN
set -u
vorn=$1
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mask() { sed 's/^Verification Time: .*/Verification Time: <masked>/'; }

checked=0
failed=0
while IFS= read -r model; do
  base=${model%.vorn}
  status=$(tr -d '[:space:]' < "$base.status")
  case "$status:${model#"$here"/}" in
    3:* | 0:docs/* | 0:growth/*) ;;
    *) continue ;;
  esac
  [ -f "$base.xfail" ] && continue
  # The large models are there for speed; the small stopped cases cover --growth.
  case ${model#"$here"/} in large/*) continue ;; esac
  args=("$(basename "$model")")
  if [ -f "$base.args" ]; then
    grep -q -e '^[<>]' -e '{tmp}' -e '^--growth$' -e '^--explain$' "$base.args" && continue
    grep -q '{model}' "$base.args" || continue
    args=()
    while IFS= read -r line || [ -n "$line" ]; do args+=("${line//\{model\}/$(basename "$model")}"); done < "$base.args"
  fi
  mask < "$base.out" > "$tmp/expected"
  (cd "$(dirname "$model")" && "$vorn" --growth "${args[@]}" < /dev/null 2> /dev/null) | mask > "$tmp/actual"
  actual=${PIPESTATUS[0]}
  problems=()
  [ "$actual" = "$status" ] || problems+=("status $actual")
  lines=$(wc -l < "$tmp/expected")
  head -n "$lines" "$tmp/actual" | cmp -s "$tmp/expected" - || problems+=("the report differs")
  rest=$(tail -n +"$((lines + 1))" "$tmp/actual" | head -n 2 | tr '\n' '|')
  if [ "$status" = 0 ]; then
    [ -z "$rest" ] || problems+=("a completed run prints more: '$rest'")
  else
    [ "$rest" = "|Growth of the rule sets:|" ] || problems+=("a stopped run goes on with '$rest'")
    # A rule "the Nth of the M rules held" is counted among the rules held at
    # the stop: M is the total of the table's stop row, and N is at most M.
    counts=$(tail -n +"$((lines + 1))" "$tmp/actual" | awk '
      $8 == "stop" { total = $7 }
      /the [0-9]+(st|nd|rd|th) rule held/ { bad = bad " uncounted" }
      { while (match($0, /the [0-9]+(st|nd|rd|th) of the [0-9]+ rules held/)) {
          split(substr($0, RSTART, RLENGTH), w, " "); n = w[2] + 0; m = w[5] + 0
          if (m != total || n > m) bad = bad " " n "/" m "/" total
          $0 = substr($0, RSTART + RLENGTH) } }
      END { print bad }')
    [ -z "$counts" ] || problems+=("rules counted beyond the rules held (N/M/held):$counts")
  fi
  checked=$((checked + 1))
  if [ ${#problems[@]} -gt 0 ]; then
    echo "${model#"$here"/} (${args[*]}):"
    printf '  %s\n' "${problems[@]}"
    failed=$((failed + 1))
  fi
done < <(find "$here" -name '*.vorn' | sort)
echo "$checked cases checked with --growth, $failed differ"

# Any stop is reported alike: the time limit here, in a report-only run.
"$vorn" -q --growth --time-limit 0.2 "$here/docs/growth_counter.vorn" > "$tmp/timed" 2> /dev/null < /dev/null
status=$?
if [ "$status" != 3 ] || ! grep -q '^Saturation stopped: time limit reached' "$tmp/timed" ||
   ! grep -q '^Growth of the rule sets:$' "$tmp/timed" || ! grep -q '^     nested along it: s [0-9]* times$' "$tmp/timed" ||
   ! grep -q '^       line 7 ([0-9]* times): ? -\[ \]-> <Ctr(c\[\], x), Ctr(c\[\], s(x))>;$' "$tmp/timed"; then
  echo "docs/growth_counter.vorn stopped by --time-limit (status $status): no growth section naming s and line 7"
  failed=$((failed + 1))
fi
# The section is the same whether compositions are made at once (a run with
# its trace) or deferred until the queue reaches them (a report-only run):
# the origins of rules made late, from rules that left their sets meanwhile,
# are kept.
model=$here/large/key_wrapping_short.vorn
"$vorn" --growth --max-rules 40 "$model" 2> /dev/null < /dev/null | sed -n '/^Growth of the rule sets:$/,$p' > "$tmp/made"
"$vorn" -q --growth --max-rules 40 "$model" 2> /dev/null < /dev/null | sed -n '/^Growth of the rule sets:$/,$p' > "$tmp/deferred"
if [ ! -s "$tmp/made" ] || ! cmp -s "$tmp/made" "$tmp/deferred"; then
  echo "large/key_wrapping_short.vorn: the growth section of a report-only run differs from that of a traced run:"
  diff "$tmp/made" "$tmp/deferred" | head -n 10
  failed=$((failed + 1))
fi
[ "$checked" -gt 0 ] && [ "$failed" -eq 0 ]
