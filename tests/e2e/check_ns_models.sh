#!/usr/bin/env bash
# The Needham-Schroeder benchmark models that bench/gen_ns.py writes are the
# models bench/README.md times: ns1 finds Lowe's attack with 205 rules, nsl1
# (Lowe's fix) ends secure with 126. A change to the generator that changes
# the models would make the recorded timings incomparable.
# Usage: check_ns_models.sh VORN GEN_NS_PY
set -u
vorn=$1
generator=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
while read -r name options verdict rules; do
  [ "$options" = - ] && options=
  # shellcheck disable=SC2086
  python3 "$generator" 1 $options > "$tmp/$name.vorn" || { echo "$name: the generator failed"; fail=1; continue; }
  "$vorn" -q --expect "$verdict" "$tmp/$name.vorn" > "$tmp/$name.out" 2> /dev/null
  status=$?
  count=$(sed -n 's/^Overall Rule Generated: //p' "$tmp/$name.out")
  if [ "$status" != 0 ] || [ "$count" != "$rules" ]; then
    echo "$name: status $status with --expect $verdict, $count rules (expected 0 and $rules)"
    fail=1
  fi
done <<'CASES'
ns1 - attack 205
nsl1 --lowe secure 126
CASES
[ $fail = 0 ] && echo "ns1 and nsl1 as bench/README.md times them"
exit $fail
