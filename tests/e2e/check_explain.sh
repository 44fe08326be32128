#!/usr/bin/env bash
# Keeping the derivations changes nothing the run prints. For every
# end-to-end case that ends normally (status 0) or is stopped by a limit
# (status 3), runs it again:
#   - with --graph FILE: standard output and status are the case's own;
#   - with --explain: the output is the case's own followed by the
#     derivations, which start with an empty line and "Derivation of target
#     rule 1:" or "No target rule to explain.";
#   - with -q --explain: the same derivations.
# Cases with a NAME.args file run with the options in front of their
# arguments, unless they redirect a stream, use a scratch directory, ask for
# a report-only run, already ask for the derivations, only check the model or
# name no model.
# Usage: check_explain.sh VORN
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
  [ "$status" = 0 ] || [ "$status" = 3 ] || continue
  # A known divergence: its expected output is not what vorn prints.
  [ -f "$base.xfail" ] && continue
  args=("$(basename "$model")")
  if [ -f "$base.args" ]; then
    grep -q -e '^[<>]' -e '^-q$' -e '^--report-only$' -e '{tmp}' "$base.args" && continue
    grep -q -e '^--explain$' -e '^--graph' -e '^--check$' "$base.args" && continue
    grep -q '{model}' "$base.args" || continue
    args=()
    while IFS= read -r line || [ -n "$line" ]; do args+=("${line//\{model\}/$(basename "$model")}"); done < "$base.args"
  fi
  dir=$(dirname "$model")
  mask < "$base.out" > "$tmp/expected"
  problems=()

  (cd "$dir" && "$vorn" --graph "$tmp/graph.dot" "${args[@]}" < /dev/null 2> /dev/null) | mask > "$tmp/graph.out"
  actual=${PIPESTATUS[0]}
  [ "$actual" = "$status" ] || problems+=("--graph: status $actual")
  cmp -s "$tmp/expected" "$tmp/graph.out" || problems+=("--graph: the output differs")
  [ -s "$tmp/graph.dot" ] || problems+=("--graph: no graph written")

  (cd "$dir" && "$vorn" --explain "${args[@]}" < /dev/null 2> /dev/null) | mask > "$tmp/explain.out"
  actual=${PIPESTATUS[0]}
  [ "$actual" = "$status" ] || problems+=("--explain: status $actual")
  lines=$(wc -l < "$tmp/expected")
  head -n "$lines" "$tmp/explain.out" | cmp -s "$tmp/expected" - || problems+=("--explain: the report differs")
  tail -n +"$((lines + 1))" "$tmp/explain.out" > "$tmp/derivations"
  first=$(head -n 2 "$tmp/derivations" | tr '\n' '|')
  case "$first" in
    "|Derivation of target rule 1:|" | "|No target rule to explain.|") ;;
    *) problems+=("--explain: the derivations start with '$first'") ;;
  esac
  grep -c '^Target Rule :$' "$tmp/expected" > "$tmp/targets"
  [ "$(grep -c '^Derivation of target rule ' "$tmp/derivations")" = "$(cat "$tmp/targets")" ] ||
    problems+=("--explain: not one derivation per target rule")

  (cd "$dir" && "$vorn" -q --explain "${args[@]}" < /dev/null 2> /dev/null) > "$tmp/quiet.out"
  quiet_lines=$(($(wc -l < "$tmp/quiet.out") - $(wc -l < "$tmp/derivations")))
  tail -n +"$((quiet_lines + 1))" "$tmp/quiet.out" | cmp -s "$tmp/derivations" - ||
    problems+=("-q --explain: other derivations")

  checked=$((checked + 1))
  if [ ${#problems[@]} -gt 0 ]; then
    echo "${model#"$here"/} (${args[*]}):"
    printf '  %s\n' "${problems[@]}"
    failed=$((failed + 1))
  fi
done < <(find "$here" -name '*.vorn' | sort)
echo "$checked cases checked with --graph and --explain, $failed differ"
[ "$checked" -gt 0 ] && [ "$failed" -eq 0 ]
