#!/usr/bin/env bash
# The comparisons of the levers and the abstraction over large corpora, too
# long for the test suite (which runs a few hundred models of each):
#
#   tests/compare/levers_corpus.sh TOOL ROOT [COUNT] [FIRST_SEED]
#
# TOOL is compare_targets of a test build, ROOT the repository. For each exact
# lever alone and for all of them: COUNT random models (default 1000) without
# configurations and with self-feeding rules, COUNT protocol-shaped ones, the
# examples and the conformance models, the same target rules up to renaming
# and implication; all levers on COUNT random models with configurations,
# where they may only gain targets; and the abstraction (depths 1 and 2) on
# the same corpora, where every exact target must be implied by one it finds.
# Prints one summary line per corpus and fails when any comparison fails.
set -uo pipefail

tool=$1 root=$2 count=${3:-1000} first=${4:-1}
compare="$root/tests/compare/compare_corpus.sh"
failed=0

run() {
    local title=$1; shift
    local out
    out=$(bash "$compare" "$tool" "$root" "$@" 2>&1)
    local status=$?
    echo "$title: $(tail -n 1 <<<"$out")"
    if [ $status -ne 0 ]; then
        failed=1
        echo "$out" | head -n 60
    fi
}

plain="random:$first:$count:--no-configurations,--loops,0.5"
protocol="random:$first:$count:--protocol"
with_configurations="random:$((first + 100000)):$count"
for lever in constructors versions selection fair all; do
    option="--levers=$lever"
    [ "$lever" = all ] && option="--levers"
    run "$lever, random" "$plain" --second "-q $option"
    run "$lever, protocols" "$protocol" --second "-q $option"
    run "$lever, examples" examples --second "-q $option" --bound "--max-rules 400 --time-limit 0.5"
    run "$lever, conformance" conformance --second "-q $option"
done
run "levers, configurations" "$with_configurations" --second "-q --levers" --expect first-in-second
for depth in 1 2; do
    run "abstract=$depth, random" "$with_configurations" --second "-q --levers --abstract=$depth" --expect first-in-second
    run "abstract=$depth, protocols" "$protocol" --second "-q --levers --abstract=$depth" --expect first-in-second
    run "abstract=$depth, examples" examples --second "-q --levers --abstract=$depth" --expect first-in-second \
        --bound "--max-rules 400 --time-limit 0.5"
done
exit $failed
