#!/usr/bin/env bash
# The case studies' verdicts, time and memory: a base build run without
# options beside a new build run with each model's options.
#
#   bench/case_studies.sh -b BASE_VORN -n NEW_VORN [-t SECONDS] [-r RUNS] [MODEL ...]
#
# For each case study of examples/case_studies (or the models named), runs
# the base build with the model's "// Limit: " options only (or, for a model
# whose saturation ends only with its "// Options: ", stopped by the time
# limit, -t, 10 s by default), and the new build with its "// Options: " and
# "// Limit: " options, each report-only, RUNS times (3 by default), and
# prints a Markdown table: the verdict of each run (attack: a target rule;
# possible attack: only target rules found through generalised rules;
# secure: the saturation ended without one; unknown: it was stopped without
# one), the rule count, the median wall time and the median peak memory.
set -u -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/lib.sh
. "$here/lib.sh"

base= new= limit=10 runs=3
while getopts b:n:t:r:h option; do
  case $option in
    b) base=$OPTARG ;;
    n) new=$OPTARG ;;
    t) limit=$OPTARG ;;
    r) runs=$OPTARG ;;
    *) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ -x "$base" ] && [ -x "$new" ] || bench_die "name two builds with -b BASE_VORN -n NEW_VORN"
models=("$@")
[ ${#models[@]} -gt 0 ] || models=("$root"/examples/case_studies/*.vorn)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

header() { sed -n "s|^// $1: ||p" "$2" | head -n 1; }

# verdict OUT STATUS: what a report says.
verdict() {
  local out=$1 status=$2 targets
  targets=$(grep -c '^Target Rule :$' "$out")
  if [ "$targets" -gt 0 ]; then
    if grep -q "^Abstraction: .* $targets of $targets target rules " "$out"; then echo "possible attack"; else echo attack; fi
  elif [ "$status" = 0 ]; then
    echo secure
  else
    echo unknown
  fi
}

# measure VORN MODEL OPTIONS...: "VERDICT|RULES|SECONDS|KB", medians over the runs.
measure() {
  local vorn=$1 model=$2
  shift 2
  local times=() memories=() line status seconds kb
  for ((i = 0; i < runs; ++i)); do
    line=$(bench_timed_run "$vorn" "$model" "$((limit * 3))" "$tmp/out" -q "$@")
    read -r status seconds kb <<< "$line"
    times+=("$seconds")
    memories+=("$kb")
  done
  local rules
  rules=$(sed -n 's/^Overall Rule Generated: //p' "$tmp/out")
  printf '%s|%s|%s|%s\n' "$(verdict "$tmp/out" "$status")" "${rules:-?}" \
    "$(printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")" \
    "$(printf '%s\n' "${memories[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p")"
}

echo "| Case study | Options | Literature | Base: verdict | rules | time (s) | KB | New: verdict | rules | time (s) | KB |"
echo "|---|---|---|---|---|---|---|---|---|---|---|"
for model in "${models[@]}"; do
  name=$(basename "$model" .vorn)
  options=$(header Options "$model")
  model_limit=$(header Limit "$model")
  base_options=$model_limit
  # Without its options the run may not end: the time limit stops it.
  [ -n "$options" ] && [ -z "$base_options" ] && base_options="--time-limit $limit"
  [ -n "$options" ] && [ -n "$base_options" ] && base_options="$base_options --time-limit $limit"
  # shellcheck disable=SC2086
  IFS='|' read -r bv br bt bk <<< "$(measure "$base" "$model" $base_options)"
  # shellcheck disable=SC2086
  IFS='|' read -r nv nr nt nk <<< "$(measure "$new" "$model" $options $model_limit)"
  printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "${options:-}${model_limit:+ $model_limit}" \
    "$(header Literature "$model")" "$bv" "$br" "$bt" "$bk" "$nv" "$nr" "$nt" "$nk"
done
