#!/usr/bin/env bash
# Compares the speed, memory and output of two builds of vorn.
#
#   bench/compare.sh [options] [BASE_REV]
#
# Builds the revision BASE_REV (by default 9be257e, the build the speed targets
# of bench/README.md are measured against) and the working tree as it is
# (uncommitted changes included) in release mode, in a temporary folder, then runs both on each
# benchmark model (*.vorn in $VORN_BENCH_MODELS, by default the Needham-Schroeder
# models ns1..ns5 and nsl1..nsl5 that bench/gen_ns.py writes) and each model of
# examples/, alternating base and new
# (A B A B ...) so that a drift of the machine's speed touches both alike. Each
# run writes its report to a file and is measured by /usr/bin/time.
#
# Small models run twice, with the whole trace and report-only (-q, a row of
# its own); ns3 runs report-only, ns4 too with -L, and bench/large/ models with
# the options of their NAME.args file (key_wrapping: -q --max-rules 220).
# Larger models (ns5, ...) run only when named with -m.
#
# One row per model: the median wall time of each build, their ratio base/new
# (above 1: the new build is faster), the time per rule generated of each (ms),
# the median peak memory of each and their ratio new/base, and
# whether the reports are byte-identical once the "Verification Time: " line is
# masked, exit status included, over every run of both builds. After a run hits
# the time limit, that build is not run again on the model.
#
# Exit status: 0 when no report differs, 1 when one does (the differing reports
# are kept, masked, in a folder named at the end), 2 for a usage or build error.
set -u -o pipefail

usage() {
  cat <<EOF
usage: bench/compare.sh [options] [BASE_REV]

Builds BASE_REV (default $default_base) and the working tree, runs both
alternately on the benchmark models and the examples, and prints per model:
median wall time of each build, speed-up (base/new), milliseconds per rule
generated of each, median peak memory (KB), its ratio new/base and whether the
reports (time line masked) are identical.

options:
  -n RUNS     runs of each build on each model (default 5)
  -t SECONDS  time limit of one run (default 300)
  -m NAMES    only these models, comma-separated names without .vorn (e.g. ns1,nsl2);
              a model named here runs even when it is large
  -L          also ns4 (report-only): a few minutes for the base build
  -d DIR      folder of the benchmark models (default \$VORN_BENCH_MODELS, or
              the models of bench/gen_ns.py, written into a temporary folder)
  -k DIR      where to keep the reports that differ (default: a new folder in \${TMPDIR:-/tmp})
  -B FILE     a release build of BASE_REV already at hand: run it instead of building
  -h          this help
EOF
}

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/lib.sh
. "$here/lib.sh"

default_base=9be257e
runs=5
limit=300
base_binary=
only=
large=0
models_dir=${VORN_BENCH_MODELS:-}
keep=
base_rev=
while [ $# -gt 0 ]; do
  case $1 in
    -h | --help) usage; exit 0 ;;
    -n) [ $# -ge 2 ] || bench_die "-n needs a value"; runs=$2; shift 2 ;;
    -t) [ $# -ge 2 ] || bench_die "-t needs a value"; limit=$2; shift 2 ;;
    -m) [ $# -ge 2 ] || bench_die "-m needs a value"; only=$2; shift 2 ;;
    -L) large=1; shift ;;
    -d) [ $# -ge 2 ] || bench_die "-d needs a value"; models_dir=$2; shift 2 ;;
    -k) [ $# -ge 2 ] || bench_die "-k needs a value"; keep=$2; shift 2 ;;
    -B) [ $# -ge 2 ] || bench_die "-B needs a value"; base_binary=$2; shift 2 ;;
    -*) usage >&2; bench_die "unknown option: $1" ;;
    *) [ -z "$base_rev" ] || { usage >&2; bench_die "one BASE_REV only"; }
       base_rev=$1; shift ;;
  esac
done
[ -n "$base_rev" ] || base_rev=$default_base
[ -z "$base_binary" ] || [ -x "$base_binary" ] || bench_die "not a program: $base_binary"
bench_is_count "$runs" || bench_die "-n wants a whole number above 0, not '$runs'"
bench_is_seconds "$limit" || bench_die "-t wants a number of seconds above 0, not '$limit'"
bench_need git cmake ninja tar timeout sha256sum /usr/bin/time
bench_commit "$base_rev" > /dev/null || bench_die "not a revision: $base_rev"
ns_models=
if [ -z "$models_dir" ]; then
  bench_need python3
  ns_models=$(bench_ns_models) || bench_die "bench/gen_ns.py failed"
  models_dir=$ns_models
  trap 'rm -rf "$ns_models"' EXIT
fi

# The models: name -> path; the benchmark models first, then bench/large/,
# the examples and the case studies.
declare -A path_of=()
names=()
add_model() {
  local model=$1 name
  name=$(basename "$model" .vorn)
  [ -z "${path_of[$name]:-}" ] || bench_die "two models named $name"
  path_of[$name]=$model
  names+=("$name")
}
if [ -d "$models_dir" ]; then
  for model in "$models_dir"/*.vorn; do
    [ -e "$model" ] && add_model "$model"
  done
else
  echo "note: no benchmark models folder $models_dir; examples only" >&2
fi
for model in "$here"/large/*.vorn "$root"/examples/*.vorn "$root"/examples/case_studies/*.vorn; do
  [ -e "$model" ] && add_model "$model"
done
named=0
if [ -n "$only" ]; then
  IFS=, read -r -a wanted <<< "$only"
  wanted=("${wanted[@]%.vorn}")
  for name in "${wanted[@]}"; do
    [ -n "${path_of[$name]:-}" ] || bench_die "no model named '$name'; there are: ${names[*]}"
  done
  names=("${wanted[@]}")
  named=1
fi

# The runs of a model, one line each: its label, a tab, its options.
runs_of() {
  local name=$1 model=${path_of[$1]}
  if [ -f "${model%.vorn}.args" ]; then
    printf '%s\t%s\n' "$name" "$(tr '\n' ' ' < "${model%.vorn}.args")"
    return
  fi
  case $name in
    ns3) printf '%s -q\t-q\n' "$name" ;;
    ns4) [ $large = 1 ] || [ $named = 1 ] && printf '%s -q\t-q\n' "$name" ;;
    ns[5-9] | ns[1-9][0-9] | nsl[4-9]) [ $named = 1 ] && printf '%s -q\t-q\n' "$name" ;;
    *)
      # A model whose saturation does not end names its limit.
      local limit_options
      limit_options=$(bench_model_options "$model")
      printf '%s\t%s\n%s -q\t-q %s\n' "$name" "$limit_options" "$name" "$limit_options"
      ;;
  esac
  return 0
}
labels=()
declare -A model_of=() options_of=()
for name in "${names[@]}"; do
  while IFS=$'\t' read -r label options; do
    labels+=("$label")
    model_of[$label]=${path_of[$name]}
    options_of[$label]=$options
  done < <(runs_of "$name")
done
[ ${#labels[@]} -gt 0 ] || bench_die "no models to run"

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-compare.XXXXXX") || bench_die "cannot make a temporary folder"
trap 'rm -rf "$work" ${ns_models:+"$ns_models"}' EXIT
trap 'exit 130' INT TERM

built_base=
if [ -z "$base_binary" ]; then
  echo "building base $base_rev ..."
  bench_build_rev "$base_rev" base
  base_binary=$work/base-build/vorn
  built_base=1
fi
echo "building the working tree ..."
bench_build_tree new
declare -A vorn_of=([base]=$base_binary [new]=$work/new-build/vorn)

# The median of the numbers in file $1, one a line, printed with printf format
# $2; "-" for none.
median() {
  sort -g "$1" | awk -v format="$2\n" '{ v[NR] = $1 } END {
    if (NR == 0) print "-"
    else if (NR % 2) printf format, v[(NR + 1) / 2]
    else printf format, (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Keeps the masked report of a run that differs from the reference run.
keep_report() {
  local name=$1 file=$2 label=$3
  if [ -z "$keep" ]; then
    keep=$(mktemp -d "${TMPDIR:-/tmp}/vorn-compare-diffs.XXXXXX") || bench_die "cannot make a folder"
  fi
  mkdir -p "$keep/$name"
  bench_mask "$file" > "$keep/$name/$label.out"
}

echo
echo "base: $base_rev ($(git -C "$root" rev-parse --short "$(bench_commit "$base_rev")"))${built_base:+, built}${built_base:-, run as $base_binary}"
echo "new:  $(bench_tree_label)"
echo "$runs runs of each, alternating; time limit ${limit} s a run; times in seconds, memory in KB"
echo
format='%-24s %9s %9s %9s %8s %9s %9s %10s %10s %7s  %s\n'
# shellcheck disable=SC2059
printf "$format" model rules base-s new-s speed-up base-ms/r new-ms/r base-KB new-KB memory output
status=0
for name in "${labels[@]}"; do
  model=${model_of[$name]}
  read -r -a options <<< "${options_of[$name]}"
  declare -A timed_out=([base]=0 [new]=0) done_runs=([base]=0 [new]=0)
  reference=
  rules=-
  differs=0
  : > "$work/base.wall"; : > "$work/new.wall"; : > "$work/base.kb"; : > "$work/new.kb"
  for ((i = 1; i <= runs; i++)); do
    for side in base new; do
      [ "${timed_out[$side]}" = 0 ] || continue
      report=$work/report
      read -r code wall kb <<< "$(bench_timed_run "${vorn_of[$side]}" "$model" "$limit" "$report" "${options[@]}")"
      if [ "$code" = 124 ] || [ "$code" = 137 ]; then
        timed_out[$side]=1
        continue
      fi
      done_runs[$side]=$((done_runs[$side] + 1))
      echo "$wall" >> "$work/$side.wall"
      echo "$kb" >> "$work/$side.kb"
      digest="$code $(bench_mask "$report" | sha256sum | cut -d' ' -f1)"
      if [ -z "$reference" ]; then
        reference=$digest
        reference_label="$side.run$i.status$code"
        cp "$report" "$work/reference"
        rules=$(sed -n 's/^Overall Rule Generated: //p' "$report" | tail -n 1)
      elif [ "$digest" != "$reference" ]; then
        if [ $differs = 0 ]; then keep_report "$name" "$work/reference" "$reference_label"; fi
        keep_report "$name" "$report" "$side.run$i.status$code"
        differs=1
      fi
    done
  done
  base_s=$(median "$work/base.wall" %.3f)
  new_s=$(median "$work/new.wall" %.3f)
  ratio=-
  if [ "$base_s" != - ] && [ "$new_s" != - ]; then
    # From the medians at full precision, not the rounded ones shown.
    ratio=$(awk -v b="$(median "$work/base.wall" %.6f)" -v n="$(median "$work/new.wall" %.6f)" \
      'BEGIN { if (n > 0) printf "%.2f", b / n; else print "-" }')
  fi
  if [ $differs = 1 ]; then
    verdict=DIFFERS
    status=1
  elif [ "${done_runs[base]}" -gt 0 ] && [ "${done_runs[new]}" -gt 0 ]; then
    verdict=identical
  else
    verdict=
  fi
  for side in base new; do
    if [ "${timed_out[$side]}" = 1 ]; then
      verdict="${verdict:+$verdict, }timeout ($side: ${done_runs[$side]} runs finished)"
    fi
  done
  # Milliseconds per rule generated, and the peak memory new/base.
  per_rule() {
    awk -v s="$1" -v r="$rules" 'BEGIN { if (s == "-" || r !~ /^[0-9]+$/ || r == 0) print "-"; else printf "%.4f", 1000 * s / r }'
  }
  base_kb=$(median "$work/base.kb" %.0f)
  new_kb=$(median "$work/new.kb" %.0f)
  memory=$(awk -v b="$base_kb" -v n="$new_kb" 'BEGIN { if (b == "-" || n == "-" || b == 0) print "-"; else printf "%.2f", n / b }')
  # shellcheck disable=SC2059
  printf "$format" "$name" "${rules:--}" "$base_s" "$new_s" "$ratio" "$(per_rule "$(median "$work/base.wall" %.6f)")" \
    "$(per_rule "$(median "$work/new.wall" %.6f)")" "$base_kb" "$new_kb" "$memory" "$verdict"
done

if [ $status != 0 ]; then
  echo
  echo "reports that differ (masked), by model: $keep"
fi
exit $status
