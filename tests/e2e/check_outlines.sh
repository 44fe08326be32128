#!/usr/bin/env bash
# Replays the outline that --explain prints for each target rule on its model
# with the check_outlines tool (vorn/report/run_replay.h): every step's states
# must be the current states of their processes, every conversion must start
# from the current state of the process it moves, and every premise that
# takes another step's conclusion must take that of an earlier step. The
# models:
#   examples: every model of examples/ and the attacks of
#             examples/case_studies/, with their "// Limit: " options;
#   e2e:      every end-to-end case whose expected report has target rules,
#             with the options of its NAME.args (cases that redirect a stream,
#             use a scratch folder or only check the model are left out);
#   random:   COUNT models of bench/gen_random.py from seed 1, and as many
#             shaped as protocols (--protocol), whose runs are longer; half
#             of them report-only (-q), as vorn -q defers compositions.
# Fails when an outline cannot be replayed, or when a corpus replays fewer
# runs than it should (so that a change that loses the targets or the
# outlines does not pass unseen). An outline that says its derivation has no
# order is counted, not failed.
# Usage: check_outlines.sh TOOL ROOT [COUNT [CORPORA [OPTIONS]]]   (CORPORA: the
# corpora to check, among "examples e2e random", all by default; OPTIONS: vorn
# options added to every run)
set -uo pipefail
tool=$1 root=$2 count=${3:-150} corpora=${4:-examples e2e random} extra=${5:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bound="--max-rules 3000 --time-limit 10 $extra"
failed=0

# check NAME LEAST-RUNS: the models listed in $tmp/list (MODEL<TAB>OPTIONS).
check() {
  local name=$1 least=$2 model options out
  : > "$tmp/$name.out"
  while IFS=$'\t' read -r model options; do
    out=$("$tool" --options "$bound $options" "$model" 2>&1 | sed '$d')
    status=${PIPESTATUS[0]}
    printf '%s\n' "$out" >> "$tmp/$name.out"
    if [ "$status" != 0 ] || [[ $out != holds* && $out != skipped* ]]; then
      printf '%s\n' "$out"
      [[ $model == "$tmp"/* ]] && { echo "--- the model:"; cat "$model"; }
      failed=$((failed + 1))
    fi
  done < "$tmp/list"
  local summary
  summary=$(awk '/^holds|^FAILS/ {m++; t += $3; r += $5; s += $8}
                 /without order/ {for (i = 1; i < NF; i++) if ($(i + 1) == "without") o += $i}
                 END {printf "%d %d %d %d %d", m, t, r, s, o}' "$tmp/$name.out")
  read -r models targets runs steps no_order <<< "$summary"
  echo "$name: $models models with targets, $targets targets, $runs runs of $steps steps replayed, $no_order without order"
  if [ "$runs" -lt "$least" ]; then
    echo "$name: fewer than $least runs replayed"
    failed=$((failed + 1))
  fi
}

wanted() { [[ " $corpora " == *" $1 "* ]]; }

wanted examples && {
: > "$tmp/list"
for model in "$root"/examples/*.vorn "$root"/examples/case_studies/*.vorn; do
  # The case studies that are secure or do not end have no outline to replay.
  grep -q '^// Verdict: ' "$model" && ! grep -q '^// Verdict: attack$' "$model" && continue
  printf '%s\t%s\n' "$model" "$(sed -n 's|^// Limit: ||p' "$model" | head -n 1)" >> "$tmp/list"
done
check examples 30
}

wanted e2e && {
: > "$tmp/list"
while IFS= read -r model; do
  base=${model%.vorn}
  [ -f "$base.out" ] && grep -q '^Target Rule :$' "$base.out" || continue
  status=$(tr -d '[:space:]' < "$base.status")
  [ "$status" = 0 ] || [ "$status" = 3 ] || continue
  options=""
  if [ -f "$base.args" ]; then
    grep -q -e '^[<>]' -e '{tmp}' -e '^--check$' "$base.args" && continue
    options=$(grep -v '^{model}$' "$base.args" | tr '\n' ' ')
  fi
  printf '%s\t%s\n' "$model" "$options" >> "$tmp/list"
done < <(find "$root/tests/e2e" -name '*.vorn' | sort)
check e2e 50
}

wanted random && {
mkdir -p "$tmp/random" "$tmp/protocol"
python3 "$root/bench/gen_random.py" 1 --count "$count" --out-dir "$tmp/random" || exit 2
python3 "$root/bench/gen_random.py" 1 --protocol --count "$count" --out-dir "$tmp/protocol" || exit 2
: > "$tmp/list"
for ((seed = 1; seed <= count; ++seed)); do
  # Half of them report-only, which defers compositions until the queue reaches them.
  printf '%s\t%s\n' "$tmp/random/$seed.vorn" "$([ $((seed % 2)) = 0 ] && echo -q)" \
    "$tmp/protocol/$seed.vorn" "$([ $((seed % 2)) = 1 ] && echo -q)" >> "$tmp/list"
done
check random $((count / 2))
}

[ "$failed" = 0 ]
