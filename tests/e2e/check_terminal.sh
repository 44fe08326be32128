#!/usr/bin/env bash
# Runs vorn in a pseudo-terminal (script, from util-linux) with standard
# output and standard error both on it, as a person at a terminal would, and
# checks that the progress line is shown (standard error is a terminal) and
# never garbles the report: the screen, with carriage returns and "erase to
# end of line" applied, must read exactly as the report of the same run
# written to a file, followed by the verdict line of standard error.
# Usage: check_terminal.sh VORN
set -u
vorn=$1
here=$(cd "$(dirname "$0")" && pwd)
model=$here/cli/max_rules_stop.vorn
if ! command -v script > /dev/null; then
  echo "script (util-linux) is missing"
  exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# What a terminal shows for the bytes on standard input: "\r" moves to the
# start of the line, ESC [ K erases from the cursor to the end of the line,
# anything else is written over what is there.
render() {
  perl -e '
    local $/; my $in = <STDIN>; my @out; my $line = ""; my $col = 0;
    while ($in =~ /\G(\e\[K|\r|\n|[^\r\n\e]+|\e)/gc) {
      my $t = $1;
      if ($t eq "\r") { $col = 0 }
      elsif ($t eq "\n") { push @out, $line; $line = ""; $col = 0 }
      elsif ($t eq "\e[K") { $line = substr($line, 0, $col) }
      else {
        $line .= " " x ($col - length $line) if length $line < $col;
        substr($line, $col, length $t) = $t; $col += length $t;
      }
    }
    push @out, $line if length $line;
    print map { "$_\n" } @out;
  '
}
mask() { sed 's/^Verification Time: .*/Verification Time: <masked>/'; }

fail=0
for mode in "" "-q"; do
  # Long enough (several tenths of a second) for the line to be drawn a few times.
  "$vorn" $mode --max-rules 500 "$model" < /dev/null 2> "$tmp/err" | mask > "$tmp/expected"
  cat "$tmp/err" >> "$tmp/expected"
  script -q -e -c "'$vorn' $mode --max-rules 500 '$model'" /dev/null < /dev/null > "$tmp/typescript"
  status=$?
  drawn=$(grep -a -o $'\rvorn: [0-9.]* s | held [0-9/]* | queued [0-9]* | tried [0-9]*\e\[K' "$tmp/typescript" | wc -l)
  render < "$tmp/typescript" | mask > "$tmp/screen"
  label="vorn ${mode:+$mode }--max-rules 500"
  if [ "$status" != 3 ]; then
    echo "$label in a terminal: status $status, expected 3"
    fail=1
  fi
  if [ "$(grep -c -v ': verdict for the access query at line 8: ' "$tmp/err")" != 0 ] ||
     [ "$(wc -l < "$tmp/err")" != 1 ]; then
    echo "$label with standard error not on a terminal printed more than its verdict on it:"
    head -n 5 "$tmp/err"
    fail=1
  fi
  if [ "$drawn" -lt 1 ]; then
    echo "$label in a terminal: no progress line drawn"
    fail=1
  fi
  if ! cmp -s "$tmp/expected" "$tmp/screen"; then
    echo "$label: the terminal shows something else than the report:"
    diff "$tmp/expected" "$tmp/screen" | head -n 20
    fail=1
  fi
  echo "$label: progress drawn $drawn times, screen $(wc -l < "$tmp/screen") lines"
done
exit $fail
