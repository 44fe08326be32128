#!/usr/bin/env bash
# Compares the target rules of two runs of every model of a corpus with the
# compare_targets tool: see tests/compare/README.md.
#
#   compare_corpus.sh TOOL ROOT CORPUS [--first OPTS] [--second OPTS]
#                     [--expect REL] [--bound OPTS] [--min-compared N] [-v]
#
# CORPUS: examples (examples/ and examples/case_studies/), conformance (the
# conformance models under tests/e2e/conformance), random:FIRST:COUNT[:OPTS]
# (the models of bench/gen_random.py for COUNT seeds from FIRST, written with
# the generator's options OPTS, blanks written as commas), or a folder or a
# model file. ROOT is the repository. --bound adds options to both runs
# (default: --max-rules 1500 --time-limit 2), so that no model takes long; a
# run that the bound stops is compared only where its targets need no partner.
# Fails when a comparison fails, or when fewer than --min-compared models
# (default 1) were compared.
set -uo pipefail

usage() { sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 3 ] || usage
tool=$1 root=$2 corpus=$3
shift 3
first="" second="" expect=same bound="--max-rules 1500 --time-limit 2" min=1 verbose=0
while [ $# -gt 0 ]; do
    case $1 in
        --first) first=$2; shift 2 ;;
        --second) second=$2; shift 2 ;;
        --expect) expect=$2; shift 2 ;;
        --bound) bound=$2; shift 2 ;;
        --min-compared) min=$2; shift 2 ;;
        -v) verbose=1; shift ;;
        *) usage ;;
    esac
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

models=()
case $corpus in
    examples)
        models=("$root"/examples/*.vorn "$root"/examples/case_studies/*.vorn) ;;
    conformance)
        models=("$root"/tests/e2e/conformance/*/*.vorn) ;;
    random:*)
        IFS=: read -r _ from count generator <<<"$corpus"
        generator=${generator//,/ }
        # shellcheck disable=SC2086
        python3 "$root/bench/gen_random.py" "$from" --count "$count" --out-dir "$tmp" $generator || exit 2
        for ((seed = from; seed < from + count; ++seed)); do models+=("$tmp/$seed.vorn"); done ;;
    *)
        if [ -d "$corpus" ]; then models=("$corpus"/*.vorn); else models=("$corpus"); fi ;;
esac

compared=0 skipped=0 failed=0
for model in "${models[@]}"; do
    out=$("$tool" --expect "$expect" --first "$bound $first" --second "$bound $second" "$model" 2>&1)
    status=$?
    case $status in
        0)
            if [[ $out == skipped* ]]; then
                skipped=$((skipped + 1))
                [ $verbose = 1 ] && echo "$out"
            else
                compared=$((compared + 1))
                [ $verbose = 1 ] && echo "$out"
            fi ;;
        1)
            failed=$((failed + 1))
            echo "$out"
            # A random model is kept for the reader: it is gone with the folder.
            [[ $corpus == random:* ]] && { echo "--- the model:"; cat "$model"; } ;;
        *)
            failed=$((failed + 1))
            echo "error on $model (status $status): $out" ;;
    esac
done
echo "$corpus: first '$first', second '$second', $expect: $compared compared, $skipped skipped, $failed failed"
[ $failed = 0 ] && [ $compared -ge "$min" ]
