#!/usr/bin/env bash
# Runs one fuzz target for a given time.
#   fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# TARGET is "parse" (front end on arbitrary bytes) or "run" (whole runs on
# generated models). The targets are built in $VORN_FUZZ_BUILD (default
# build-fuzz) with clang when missing. The corpus grows in that directory under
# corpus/TARGET, seeded from examples/ and the end-to-end cases; a finding is
# written to artifacts/TARGET/ and makes the script fail.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
target=${1:-}
seconds=${2:-}
if [ -z "$target" ] || [ -z "$seconds" ] || [ $# -lt 2 ]; then
  echo "usage: fuzz/run.sh parse|run SECONDS [libFuzzer options...]" >&2
  exit 2
fi
shift 2
case "$target" in
  parse|run) ;;
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
while IFS= read -r -d '' model; do
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
exec "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=$timeout -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus" "$seeds"
