#!/usr/bin/env bash
# Runs a case whose model (and, when it is big too, expected output) is written
# at test time instead of being kept in the repository:
#   NAME.vorn.gen   the model
#   NAME.out.gen    the expected standard output (or NAME.out when it is small)
#   NAME.status     the expected exit status
#   NAME.err        the expected standard error, if it is to be compared
# In a .gen file, {{repeat N TEXT}} stands for TEXT written N times (TEXT runs
# up to the first "}}" on the same line); everything else is copied as it is.
# The expanded case is written to WORKDIR and compared by run_case.sh.
set -u
vorn=$1
gen=$2
work=$3
src=${gen%.vorn.gen}
name=$(basename "$src")
mkdir -p "$work" || exit 1
expand() { perl -pe 's/\{\{repeat (\d+) (.*?)\}\}/$2 x $1/ge' "$1" > "$2"; }
expand "$gen" "$work/$name.vorn" || exit 1
if [ -f "$src.out.gen" ]; then
  expand "$src.out.gen" "$work/$name.out" || exit 1
else
  cp "$src.out" "$work/$name.out" || exit 1
fi
cp "$src.status" "$work/$name.status" || exit 1
rm -f "$work/$name.err"
if [ -f "$src.err" ]; then cp "$src.err" "$work/$name.err" || exit 1; fi
# Lines of a big case can be megabytes long: the report of a failure is cut short.
bash "$(dirname "$0")/run_case.sh" "$vorn" "$work/$name.vorn" | cut -c1-400
status=${PIPESTATUS[0]}
# The big files are only kept when the case fails, to be looked at.
[ $status -eq 0 ] && rm -f "$work/$name.vorn" "$work/$name.out" "$work/$name.status" "$work/$name.err"
exit $status
