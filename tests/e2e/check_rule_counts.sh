#!/usr/bin/env bash
# In every expected report under tests/e2e, the number after "Overall Rule
# Generated: " must equal the number of rules listed by the six rule sets.
set -u
here=$(cd "$(dirname "$0")" && pwd)
status=0
checked=0
while IFS= read -r out; do
  grep -q '^Overall Rule Generated: ' "$out" || continue
  listed=$(awk '/^Selectable Consistent Rules\. $/ { on = 1 }
                on && /^(Select Rule at [0-9]+:|Not Selectable Rule :|Final Rule :|Target Rule :)$/ { n++ }
                END { print n + 0 }' "$out")
  total=$(sed -n 's/^Overall Rule Generated: //p' "$out")
  checked=$((checked + 1))
  if [ "$listed" != "$total" ]; then
    echo "$out: lists $listed rules, reports $total"
    status=1
  fi
done < <(find "$here" -name '*.out' | sort)
echo "$checked reports checked"
[ "$checked" -gt 0 ] || status=1
exit $status
