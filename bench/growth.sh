#!/usr/bin/env bash
# How time and memory grow with the size of a model, for one build.
#
#   bench/growth.sh [-b BUILD_DIR] [-t SECONDS] [-d DIR] [MODEL ...]
#
# Runs the build (the working tree built in release mode in a temporary
# folder, or the vorn of BUILD_DIR) once on each model, report-only (-q), or
# with the options of the model's NAME.args file beside it, and prints a
# Markdown table: rules generated, wall time, peak memory, and both per rule.
# Without models: ns1 to ns5 of the benchmark folder (by default written by
# bench/gen_ns.py) and bench/large/*.vorn.
# With gnuplot installed, a plot of time and memory against the rule count
# follows, drawn in text.
set -u -o pipefail

usage() {
  cat <<EOF
usage: bench/growth.sh [-b BUILD_DIR] [-t SECONDS] [-d DIR] [MODEL ...]

Runs one build of vorn report-only on each model and prints rules, time and
peak memory per model, and per rule; with gnuplot, a plot of both against the
rule count.

options:
  -b DIR      use DIR/vorn instead of building the working tree
  -t SECONDS  time limit of one run (default 1800)
  -d DIR      folder of the benchmark models (default \$VORN_BENCH_MODELS, or
              the models of bench/gen_ns.py, written into the temporary folder)
  -h          this help
EOF
}

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/lib.sh
. "$here/lib.sh"

build=
limit=1800
models_dir=${VORN_BENCH_MODELS:-}
while [ $# -gt 0 ]; do
  case $1 in
    -h | --help) usage; exit 0 ;;
    -b) [ $# -ge 2 ] || bench_die "-b needs a value"; build=$2; shift 2 ;;
    -t) [ $# -ge 2 ] || bench_die "-t needs a value"; limit=$2; shift 2 ;;
    -d) [ $# -ge 2 ] || bench_die "-d needs a value"; models_dir=$2; shift 2 ;;
    -*) usage >&2; bench_die "unknown option: $1" ;;
    *) break ;;
  esac
done
bench_is_seconds "$limit" || bench_die "-t wants a number of seconds above 0, not '$limit'"
bench_need python3 /usr/bin/time timeout
models=("$@")

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-growth.XXXXXX") || bench_die "cannot make a temporary folder"
trap 'rm -rf "$work"' EXIT
if [ ${#models[@]} = 0 ]; then
  if [ -z "$models_dir" ]; then
    models_dir=$work/ns
    python3 "$here/gen_ns.py" --write "$models_dir" 5 || bench_die "bench/gen_ns.py failed"
  fi
  for n in 1 2 3 4 5; do
    [ -e "$models_dir/ns$n.vorn" ] && models+=("$models_dir/ns$n.vorn")
  done
  models+=("$here"/large/*.vorn)
fi
if [ -z "$build" ]; then
  echo "building the working tree ..." >&2
  bench_build_tree new
  build=$work/new-build
fi
[ -x "$build/vorn" ] || bench_die "no vorn in $build"

echo "| model | options | rules | time (s) | peak memory (MB) | ms per rule | KB per rule |"
echo "|---|---|---|---|---|---|---|"
: > "$work/points"
: > "$work/others"
for model in "${models[@]}"; do
  [ -e "$model" ] || bench_die "no model $model"
  name=$(basename "$model" .vorn)
  options=(-q)
  [ -f "${model%.vorn}.args" ] && mapfile -t options < "${model%.vorn}.args"
  read -r code wall kb <<< "$(bench_timed_run "$build/vorn" "$model" "$limit" "$work/report" "${options[@]}")"
  rules=$(sed -n 's/^Overall Rule Generated: //p' "$work/report" | tail -n 1)
  if [ "$code" = 124 ] || [ -z "$rules" ]; then
    echo "| $name | ${options[*]} | - | over $limit (status $code) | - | - | - |"
    continue
  fi
  awk -v n="$name" -v o="${options[*]}" -v r="$rules" -v s="$wall" -v k="$kb" 'BEGIN {
    printf "| %s | %s | %d | %.2f | %.0f | %.3f | %.1f |\n", n, o, r, s, k / 1024, 1000 * s / r, k / r }'
  # The ns family is one line of the plot; other models stand alone.
  case $name in
    ns[0-9]*) echo "$rules $wall $((kb / 1024))" >> "$work/points" ;;
    *) echo "$rules $wall $((kb / 1024))" >> "$work/others" ;;
  esac
done

if command -v gnuplot > /dev/null && [ "$(wc -l < "$work/points")" -ge 2 ]; then
  echo
  echo '```'
  gnuplot <<EOF
set terminal dumb 100 30
set logscale xy
set xlabel "rules generated"
set key top left
set title "time (s) and peak memory (MB) against rules generated"
plot "$work/points" using 1:2 with linespoints title "time (s), ns", \
     "$work/points" using 1:3 with linespoints title "memory (MB), ns"$([ -s "$work/others" ] && printf ', \\\n     "%s" using 1:2 with points title "time (s), others", "%s" using 1:3 with points title "memory (MB), others"' "$work/others" "$work/others")
EOF
  echo '```'
fi
