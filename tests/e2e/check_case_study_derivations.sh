#!/usr/bin/env bash
# The derivations that --explain prints for the attacks of the case studies
# pass the checks of check_derivations.pl: every case study whose verdict is
# attack, but the sanity models (which only show that the parts of a bad
# event are reachable) and those run with the levers, is copied, with its
# output and exit status as vorn prints them now (and its limit as
# NAME.args), into a scratch folder, which
# check_derivations.pl then checks as it checks the end-to-end cases.
# Usage: check_case_study_derivations.sh VORN CASE_STUDY_DIR
set -u
vorn=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

copied=0
for model in "$dir"/*.vorn; do
  grep -q '^// Verdict: attack$' "$model" || continue
  grep -q '^// Reaches: ' "$model" && continue
  # The checks follow the plain saturation's trace; a run with the levers
  # takes its steps in another order and rewrites rules on the way.
  grep -q '^// Options: ' "$model" && continue
  name=$(basename "$model" .vorn)
  cp "$model" "$tmp/$name.vorn"
  limit=$(sed -n 's|^// Limit: ||p' "$model" | head -n 1)
  args=()
  if [ -n "$limit" ]; then
    # shellcheck disable=SC2206
    args=($limit)
    printf '%s\n' "${args[@]}" '{model}' > "$tmp/$name.args"
  fi
  (cd "$tmp" && "$vorn" "${args[@]}" "$name.vorn" > "$name.out" 2> /dev/null < /dev/null)
  echo $? > "$tmp/$name.status"
  copied=$((copied + 1))
done
[ "$copied" -gt 0 ] || { echo "no attack among the case studies of $dir"; exit 1; }
echo "$copied attacks:"
perl "$here/check_derivations.pl" "$vorn" "$tmp"
