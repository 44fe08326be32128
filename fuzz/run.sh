#!/usr/bin/env bash
# Runs one fuzz target for a given time.
#   fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# TARGET is "parse" (front end on arbitrary bytes), "run" (whole runs on
# generated models) or "options" (the command line, with fuzz/options.dict).
# The targets are built in $VORN_FUZZ_BUILD (default build-fuzz) with clang
# when missing. The corpus grows in that directory under corpus/TARGET, seeded
# from examples/ and the end-to-end cases (their models, or for "options"
# their command lines); a finding is written to artifacts/TARGET/ and makes
# the script fail.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
target=${1:-}
seconds=${2:-}
if [ -z "$target" ] || [ -z "$seconds" ] || [ $# -lt 2 ]; then
  echo "usage: fuzz/run.sh parse|run|options SECONDS [libFuzzer options...]" >&2
  exit 2
fi
shift 2
case "$target" in
  parse|run|options) ;;
  *) echo "unknown target: $target" >&2; exit 2 ;;
esac
build=${VORN_FUZZ_BUILD:-$root/build-fuzz}
if [ ! -x "$build/fuzz/fuzz_$target" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DVORN_FUZZ=ON -DVORN_TESTS=OFF >/dev/null &&
    cmake --build "$build" --target "fuzz_$target" >/dev/null || exit 1
fi

corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
seeds=$build/seeds/$target
mkdir -p "$corpus" "$artifacts"
rm -rf "$seeds"
mkdir -p "$seeds"
i=0
if [ "$target" = options ]; then
  # The command lines of the end-to-end cases, one argument after each NUL.
  while IFS= read -r -d '' args; do
    i=$((i + 1))
    tr '\n' '\0' < "$args" > "$seeds/$i"
  done < <(find "$root/tests/e2e" -name '*.args' -print0 | sort -z)
fi
while [ "$target" != options ] && IFS= read -r -d '' model; do
  i=$((i + 1))
  if [ "$target" = run ]; then
    # An odd first byte makes the run target take the rest as model text.
    { printf '\001'; cat "$model"; } > "$seeds/$i"
  else
    cp "$model" "$seeds/$i"
  fi
done < <(find "$root/examples" "$root/tests/e2e" -name '*.vorn' -size -64k -print0 | sort -z)

# Leaks are checked after every input. A slow input counts as a hang: 10 s for
# the front end; 120 s for a run, whose bound cannot cut every single step
# short (deciding whether one rule implies another searches all matchings of
# their facts).
timeout=10
[ "$target" = run ] && timeout=120
extra=()
[ "$target" = options ] && extra+=(-dict="$here/options.dict")
exec "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=$timeout -rss_limit_mb=2048 "${extra[@]}" \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus" "$seeds"
