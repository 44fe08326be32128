#!/usr/bin/env bash
# Renders the --graph file of models with target rules with Graphviz's dot
# (the real one: the test fails without it) and checks that the picture has
# one cluster per target rule, one node per step that --explain lists, each
# with its numbered title, and one edge per step a step is made from.
# Usage: check_graph.sh VORN
set -u
vorn=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
command -v dot > /dev/null || { echo "dot (Debian package graphviz) is not installed"; exit 1; }

fail=0
for model in examples/needham_schroeder.vorn tests/e2e/conformance/engine/compose_transfer_access.vorn \
             tests/e2e/conformance/engine/gen_7006.vorn; do
  "$vorn" -q --explain --graph "$tmp/graph.dot" "$root/$model" > "$tmp/explain" 2> "$tmp/err" < /dev/null ||
    { echo "$model: vorn failed"; cat "$tmp/err"; fail=1; continue; }
  if ! dot -Tsvg "$tmp/graph.dot" -o "$tmp/graph.svg" 2> "$tmp/dot.err" || [ -s "$tmp/dot.err" ]; then
    echo "$model: dot -Tsvg failed or warned:"
    head -n 5 "$tmp/dot.err"
    fail=1
    continue
  fi
  targets=$(grep -c '^Derivation of target rule ' "$tmp/explain")
  steps=$(grep -c '^[0-9]\+\. .*:$' "$tmp/explain")
  sources=$(grep '^[0-9]\+\. .*:$' "$tmp/explain" | grep -o 'step [0-9]\+' | wc -l)
  clusters=$(grep -c 'class="cluster"' "$tmp/graph.svg")
  nodes=$(grep -c 'class="node"' "$tmp/graph.svg")
  edges=$(grep -c 'class="edge"' "$tmp/graph.svg")
  [ "$targets" -gt 0 ] || { echo "$model: no derivation"; fail=1; }
  [ "$clusters" = "$targets" ] || { echo "$model: $clusters clusters for $targets target rules"; fail=1; }
  [ "$nodes" = "$steps" ] || { echo "$model: $nodes nodes for $steps steps"; fail=1; }
  [ "$edges" = "$sources" ] || { echo "$model: $edges edges for $sources references to steps"; fail=1; }
  missing=0
  while IFS= read -r title; do
    grep -q -F ">$title</text>" "$tmp/graph.svg" || { echo "$model: no node titled '$title'"; missing=1; }
  done < <(grep '^[0-9]\+\. .*:$' "$tmp/explain")
  [ $missing -eq 0 ] || fail=1
  echo "$model: $targets target rules, $steps steps, $edges edges rendered"
done
exit $fail
