# Shared by bench/compare.sh and bench/difftest.sh (sourced, not run): building a
# revision and the working tree in release mode, and running and masking reports.
#
# The caller sets `root` (the repository root) and `work` (its temporary folder).
# shellcheck shell=bash disable=SC2154

# Prints an error and leaves with status 2 (usage or set-up errors).
bench_die() {
  echo "$(basename "$0"): $*" >&2
  exit 2
}

# Fails unless every program named in the arguments can be run.
bench_need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" > /dev/null || bench_die "needs $tool, which is not installed"
  done
}

# Configures and builds vorn from source folder $1 into build folder $2, as a
# release build without the tests. The build's output goes to $2.log, and its
# end is shown if the build fails.
bench_cmake() {
  local src=$1 build=$2
  if ! { cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORN_TESTS=OFF &&
         cmake --build "$build" --target vorn; } > "$build.log" 2>&1; then
    echo "build of $src failed; the end of $build.log:" >&2
    tail -n 30 "$build.log" >&2
    return 1
  fi
}

# Writes the Needham-Schroeder benchmark models ns1..ns5 and nsl1..nsl5
# (bench/gen_ns.py) into a new temporary folder and prints its path; the
# caller removes it.
bench_ns_models() {
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/vorn-ns.XXXXXX") && python3 "$root/bench/gen_ns.py" --write "$dir" 5 && echo "$dir"
}

# Resolves revision $1 to a full commit id, or fails.
bench_commit() {
  git -C "$root" rev-parse --verify --quiet "$1^{commit}"
}

# Builds the committed revision $1 in $work/$2-src and $work/$2-build.
bench_build_rev() {
  local rev=$1 name=$2 commit
  commit=$(bench_commit "$rev") || bench_die "not a revision: $rev"
  mkdir -p "$work/$name-src"
  git -C "$root" archive --format=tar "$commit" | tar -x -C "$work/$name-src" ||
    bench_die "cannot extract $rev"
  bench_cmake "$work/$name-src" "$work/$name-build" || exit 2
}

# Builds the working tree as it is now (tracked files as they are on disk and
# untracked files that are not ignored) in $work/$1-src and $work/$1-build. A
# copy, so that editing the tree during a run changes nothing.
bench_build_tree() {
  local name=$1
  mkdir -p "$work/$name-src"
  (cd "$root" && git ls-files -z -co --exclude-standard |
     while IFS= read -r -d '' file; do
       # Tracked files deleted from the tree are left out.
       if [ -e "$file" ] || [ -L "$file" ]; then printf '%s\0' "$file"; fi
     done | tar --null -T - -cf -) | tar -x -C "$work/$name-src" ||
    bench_die "cannot copy the working tree"
  bench_cmake "$work/$name-src" "$work/$name-build" || exit 2
}

# Describes the working tree for a heading: its commit, and whether it has changes.
bench_tree_label() {
  local head
  head=$(git -C "$root" rev-parse --short HEAD)
  if [ -n "$(git -C "$root" status --porcelain --untracked-files=normal)" ]; then
    echo "working tree (HEAD $head with changes)"
  else
    echo "working tree (HEAD $head, no changes)"
  fi
}

# The report in file $1 with its measured time masked, on standard output.
bench_mask() {
  sed 's/^Verification Time: .*/Verification Time: <masked>/' "$1"
}

# Runs binary $1 on model $2 with a limit of $3 seconds, standard output to file $4
# and standard error to $4.err. Prints the exit status; 124 means the limit was hit.
bench_run() {
  local vorn=$1 model=$2 limit=$3 out=$4
  timeout -k 5 "$limit" "$vorn" "$model" > "$out" 2> "$out.err" < /dev/null
  echo $?
}

# As bench_run, measured: prints "STATUS SECONDS MAX-RSS-KB" for the vorn
# process alone (bench/timed_run.py): a wrapper process would add milliseconds
# to both builds and flatten the ratios of the small models. Arguments after
# the fourth are options put before the model.
bench_timed_run() {
  local vorn=$1 model=$2 limit=$3 out=$4
  shift 4
  python3 "$(dirname "${BASH_SOURCE[0]}")/timed_run.py" "$limit" "$out" "$out.err" "$vorn" "$@" "$model"
}

# The options a model asks to be run with: its "// Limit: OPTIONS" line, for
# a model whose saturation does not end (the case studies have them).
bench_model_options() {
  sed -n 's|^// Limit: ||p' "$1" | head -n 1
}

# True if $1 is a whole number greater than zero.
bench_is_count() {
  [[ $1 =~ ^[0-9]+$ ]] && [ "$1" -gt 0 ]
}

# True if $1 is a number of seconds greater than zero.
bench_is_seconds() {
  [[ $1 =~ ^[0-9]+(\.[0-9]+)?$ ]] && awk -v s="$1" 'BEGIN { exit !(s > 0) }'
}
