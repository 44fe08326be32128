#!/usr/bin/env bash
# Times vorn on every model under bench/models and checks its output against the
# recorded checksum (the "Verification Time: " line masked). A model may carry a
# NAME.limit file with its time budget in seconds.
#   bench/run.sh [build-dir]          run and compare
#   bench/run.sh [build-dir] --record record the checksums of the current build
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
record=${2:-}
if [ ! -x "$build/vorn" ]; then
  cmake -S "$here/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORN_TESTS=OFF >/dev/null &&
    cmake --build "$build" --target vorn >/dev/null || exit 1
fi
status=0
printf '%-24s %9s %10s  %s\n' model seconds max-KB output
for model in "$here"/models/*.vorn; do
  name=$(basename "$model" .vorn)
  tmp=$(mktemp)
  /usr/bin/time -f '%e %M' -o "$tmp.time" "$build/vorn" "$model" > "$tmp"
  sum=$(sed 's/^Verification Time: .*/Verification Time: <masked>/' "$tmp" | sha256sum | cut -d' ' -f1)
  read -r seconds kb < "$tmp.time"
  rm -f "$tmp" "$tmp.time"
  if [ "$record" = "--record" ]; then
    echo "$sum" > "$here/models/$name.sha256"
    verdict=recorded
  elif [ "$sum" = "$(cat "$here/models/$name.sha256" 2>/dev/null)" ]; then
    verdict=same
  else
    verdict=DIFFERS
    status=1
  fi
  if [ -f "$here/models/$name.limit" ] && awk -v s="$seconds" -v l="$(cat "$here/models/$name.limit")" 'BEGIN{exit !(s>l)}'; then
    verdict="$verdict, over its limit of $(cat "$here/models/$name.limit") s"
    status=1
  fi
  printf '%-24s %9s %10s  %s\n' "$name" "$seconds" "$kb" "$verdict"
done
exit $status
