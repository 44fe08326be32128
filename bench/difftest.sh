#!/usr/bin/env bash
# Differential test: do two builds of vorn print the same on random models?
#
#   bench/difftest.sh [options] BASE_REV [COUNT] [FIRST_SEED]
#
# Builds the revision BASE_REV and the working tree as it is (uncommitted changes
# included) in release mode, in a temporary folder, writes COUNT models (default
# 300) with bench/gen_random.py from the seeds FIRST_SEED (default 1) on, and
# runs both builds on each with a time limit. A model passes when the standard
# output (the "Verification Time: " line masked) and the exit status are the
# same. A model on which the base build hits the limit is skipped; one on which
# the new build hits twice the limit is a difference. With --corpus, the engine
# conformance models and the end-to-end cases of tests/e2e are run as well.
#
# Each difference prints its seed (or model) and where it was kept: the model
# and both masked outputs go to a folder named at the end. A line of counts on
# the base build's runs of the generated models shows how well they exercise
# the engine (full runs, compositions, target rules, steps carried back through
# transfer rules).
#
# Exit status: 0 when nothing differs, 1 when something does, 2 for a usage or
# build error.
set -u -o pipefail

usage() {
  cat <<EOF
usage: bench/difftest.sh [options] BASE_REV [COUNT] [FIRST_SEED]

Builds BASE_REV and the working tree, runs both on COUNT random models
(default 300, seeds from FIRST_SEED, default 1) and compares standard output
(time line masked) and exit status.

options:
  --corpus    also run every tests/e2e/**/*.vorn (the engine conformance models are
              among them, in tests/e2e/conformance/engine) and the models of the
              folder \$VORN_CONFORMANCE_MODELS, when it is set
  -t SECONDS  time limit of a run of the base build (default 10; the new build gets
              twice as long, and a model on which the base hits it is skipped)
  -g OPTIONS  options for bench/gen_random.py, in one word (e.g. -g '--sloppy 0.05')
  -k DIR      where to keep the models that differ (default: a new folder in \${TMPDIR:-/tmp})
  -h          this help
EOF
}

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# shellcheck source=bench/lib.sh
. "$here/lib.sh"

corpus=0
limit=10
gen_options=
keep=
positional=()
while [ $# -gt 0 ]; do
  case $1 in
    -h | --help) usage; exit 0 ;;
    --corpus) corpus=1; shift ;;
    -t) [ $# -ge 2 ] || bench_die "-t needs a value"; limit=$2; shift 2 ;;
    -g) [ $# -ge 2 ] || bench_die "-g needs a value"; gen_options=$2; shift 2 ;;
    -k) [ $# -ge 2 ] || bench_die "-k needs a value"; keep=$2; shift 2 ;;
    -*) usage >&2; bench_die "unknown option: $1" ;;
    *) positional+=("$1"); shift ;;
  esac
done
if [ ${#positional[@]} -lt 1 ] || [ ${#positional[@]} -gt 3 ]; then
  usage >&2
  exit 2
fi
base_rev=${positional[0]}
count=${positional[1]:-300}
first_seed=${positional[2]:-1}
[[ $count =~ ^[0-9]+$ ]] || bench_die "COUNT wants a whole number, not '$count'"
[[ $first_seed =~ ^[0-9]+$ ]] || bench_die "FIRST_SEED wants a whole number, not '$first_seed'"
bench_is_seconds "$limit" || bench_die "-t wants a number of seconds above 0, not '$limit'"
new_limit=$(awk -v s="$limit" 'BEGIN { print 2 * s }')
bench_need git cmake ninja tar timeout python3
bench_commit "$base_rev" > /dev/null || bench_die "not a revision: $base_rev"
read -r -a gen_args <<< "$gen_options"
# Fail early on generator options it does not take.
python3 "$here/gen_random.py" 0 "${gen_args[@]}" > /dev/null || bench_die "bad generator options: $gen_options"

corpus_models=()
if [ $corpus = 1 ]; then
  conformance=${VORN_CONFORMANCE_MODELS:-}
  if [ -z "$conformance" ]; then
    :
  elif [ -d "$conformance" ]; then
    for model in "$conformance"/*.vorn; do
      [ -e "$model" ] && corpus_models+=("$model")
    done
  else
    echo "note: no conformance models folder $conformance" >&2
  fi
  while IFS= read -r -d '' model; do
    corpus_models+=("$model")
  done < <(find "$root/tests/e2e" -name '*.vorn' -print0 | sort -z)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-difftest.XXXXXX") || bench_die "cannot make a temporary folder"
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

echo "building base $base_rev ..."
bench_build_rev "$base_rev" base
echo "building the working tree ..."
bench_build_tree new
base_vorn=$work/base-build/vorn
new_vorn=$work/new-build/vorn

echo
echo "base: $base_rev ($(git -C "$root" rev-parse --short "$(bench_commit "$base_rev")"))"
echo "new:  $(bench_tree_label)"
echo "$count generated models from seed $first_seed${gen_options:+ (generator options: $gen_options)}," \
  "${#corpus_models[@]} corpus models; time limit ${limit} s a run"
echo

same=0 differ=0 skipped=0 base_status=
# What the base build did with the generated models.
full=0 composed=0 targets=0 carried=0 model_errors=0 other=0

# Runs both builds on model file $1; $2 names it in messages and in the kept
# folder. Returns 2 when the base build hit the limit (skipped), else 0, and
# leaves the base build's output in $work/base.out and its status in $base_status.
check() {
  local model=$1 label=$2 new_status why=
  base_status=$(bench_run "$base_vorn" "$model" "$limit" "$work/base.out")
  if [ "$base_status" = 124 ] || [ "$base_status" = 137 ]; then
    skipped=$((skipped + 1))
    return 2
  fi
  # Twice the limit, so that a model close to the limit is not a difference.
  new_status=$(bench_run "$new_vorn" "$model" "$new_limit" "$work/new.out")
  bench_mask "$work/base.out" > "$work/base.masked"
  bench_mask "$work/new.out" > "$work/new.masked"
  if [ "$new_status" = 124 ] || [ "$new_status" = 137 ]; then
    why="the new build hit twice the time limit"
  elif [ "$base_status" != "$new_status" ]; then
    why="exit status $base_status (base), $new_status (new)"
  elif ! cmp -s "$work/base.masked" "$work/new.masked"; then
    why="standard output differs from line $(cmp "$work/base.masked" "$work/new.masked" |
      sed -n 's/.* line \([0-9]*\).*/\1/p')"
  fi
  if [ -z "$why" ]; then
    same=$((same + 1))
    return 0
  fi
  differ=$((differ + 1))
  if [ -z "$keep" ]; then
    keep=$(mktemp -d "${TMPDIR:-/tmp}/vorn-difftest-diffs.XXXXXX") || bench_die "cannot make a folder"
  fi
  mkdir -p "$keep"
  cp "$model" "$keep/$label.vorn"
  cp "$work/base.masked" "$keep/$label.base.out"
  cp "$work/new.masked" "$keep/$label.new.out"
  echo "DIFFERS $label: $why; model $keep/$label.vorn"
  return 0
}

# True if report $1 shows a rule kept during complete, which carries final rules
# back through transfer rules: an "Adding Successful" after the first transfer
# block (its line of 86 dashes).
carried_back() {
  awk '/^-+$/ && length($0) == 86 { complete = 1 }
       complete && /^Adding Successful/ { found = 1; exit }
       END { exit !found }' "$1"
}

for ((seed = first_seed; seed < first_seed + count; seed++)); do
  model=$work/model.vorn
  python3 "$here/gen_random.py" "$seed" "${gen_args[@]}" > "$model" || bench_die "generator failed on seed $seed"
  check "$model" "seed-$seed" || continue
  case $base_status in
    0) full=$((full + 1))
       grep -q '^Composition Successful for :' "$work/base.out" && composed=$((composed + 1))
       grep -q '^Target Rule :' "$work/base.out" && targets=$((targets + 1))
       carried_back "$work/base.out" && carried=$((carried + 1)) ;;
    1) model_errors=$((model_errors + 1)) ;;
    *) other=$((other + 1)) ;;
  esac
done
for model in "${corpus_models[@]}"; do
  # tests/e2e/docs/x.vorn is named e2e-docs-x; a conformance model conformance-NAME.
  case $model in
    "$root/tests/e2e/"*) label=${model#"$root/tests/e2e/"}; label=e2e-${label//\//-} ;;
    *) label=conformance-$(basename "$model") ;;
  esac
  check "$model" "${label%.vorn}"
done

echo
echo "generated models, base build: $full full runs (exit 0), of which $composed with compositions," \
  "$targets with target rules, $carried with a rule carried back through a transfer rule;" \
  "$model_errors model errors (exit 1), $other other exits, rest skipped"
echo "same: $same  differ: $differ  skipped (base hit the limit): $skipped"
if [ $differ -gt 0 ]; then
  echo "differing models and both masked outputs: $keep"
  exit 1
fi
exit 0
