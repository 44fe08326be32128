#!/usr/bin/env bash
# Checks that the examples in docs/*.md are the end-to-end cases of this
# directory, so that the documentation cannot drift from the tool.
#
# In the documentation, a line that starts with
#     Case `tests/e2e/docs/NAME.vorn`
# names the case of the code blocks that follow it, up to the next such line:
#   - a block opened with ```vorn must be the whole model file NAME.vorn;
#   - a block opened with ```text must be an excerpt of NAME.out: its lines
#     appear in NAME.out one after the other, and a line "..." stands for any
#     number of lines left out. Lines starting with "Verification Time: "
#     match each other whatever the time.
#   - a block opened with ```stderr must be an excerpt of NAME.err (standard
#     error) in the same way.
# Every ```vorn block must follow a Case line, every case of this directory
# must be named by some Case line, and the expected output and status files
# of a named case must exist.
#
# Usage: tests/e2e/docs/check_docs.sh   (from anywhere; exit status 0 when all
# examples match)
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

exec perl -e '
use strict; use warnings;
my ($root, $here, @docs) = @ARGV;
my $fail = 0;
my %named;
sub slurp { my ($f) = @_; open(my $h, "<", $f) or return undef; local $/; my $s = <$h>; close $h; return $s; }
sub norm { my ($l) = @_; return $l =~ /^Verification Time: / ? "Verification Time: *" : $l; }
sub report { my ($where, $msg) = @_; print "$where: $msg\n"; $fail = 1; }
# Does the excerpt (list of lines, "..." = gap) occur in the output lines?
sub excerpt_ok {
    my ($ex, $out) = @_;
    my @chunks = ([]);
    for my $l (@$ex) { if ($l eq "...") { push @chunks, [] } else { push @{$chunks[-1]}, norm($l) } }
    my @o = map { norm($_) } @$out;
    my $pos = 0;
    my $first = 1;
    for my $c (@chunks) {
        next unless @$c;
        my $found = -1;
        for (my $i = $pos; $i + @$c <= @o; $i++) {
            my $ok = 1;
            for my $j (0 .. $#$c) { if ($o[$i + $j] ne $c->[$j]) { $ok = 0; last } }
            if ($ok) { $found = $i; last }
        }
        return 0 if $found < 0;
        $pos = $found + @$c;
    }
    return 1;
}
for my $doc (@docs) {
    my $text = slurp($doc);
    defined $text or do { report($doc, "cannot read"); next };
    my @lines = split /\n/, $text, -1;
    my $case;
    my $i = 0;
    while ($i < @lines) {
        my $l = $lines[$i];
        if ($l =~ /^Case `tests\/e2e\/docs\/([A-Za-z0-9_]+)\.vorn`/) {
            $case = $1; $named{$case} = 1;
            for my $ext ("vorn", "out", "status") {
                report("$doc:" . ($i + 1), "missing tests/e2e/docs/$case.$ext") unless -f "$here/$case.$ext";
            }
            $i++; next;
        }
        if ($l =~ /^```(\S*)\s*$/ && $1 ne "") {
            my $kind = $1; my $start = $i + 1; my @block;
            $i++;
            while ($i < @lines && $lines[$i] !~ /^```\s*$/) { push @block, $lines[$i]; $i++ }
            $i++;
            next unless $kind eq "vorn" || $kind eq "text" || $kind eq "stderr";
            if (!defined $case) {
                report("$doc:$start", "a $kind block without a Case line before it") if $kind eq "vorn";
                next;
            }
            if ($kind eq "vorn") {
                my $model = slurp("$here/$case.vorn");
                next unless defined $model;
                report("$doc:$start", "block differs from tests/e2e/docs/$case.vorn")
                    unless join("\n", @block) . "\n" eq $model;
            } else {
                my $ext = $kind eq "text" ? "out" : "err";
                my $out = slurp("$here/$case.$ext");
                defined $out or do { report("$doc:$start", "missing tests/e2e/docs/$case.$ext"); next };
                my @o = split /\n/, $out, -1; pop @o if @o && $o[-1] eq "";
                report("$doc:$start", "block is not an excerpt of tests/e2e/docs/$case.$ext")
                    unless excerpt_ok(\@block, \@o);
            }
            next;
        }
        $i++;
    }
}
opendir(my $d, $here) or die;
for my $f (sort readdir $d) {
    next unless $f =~ /^(.*)\.vorn$/;
    report("tests/e2e/docs/$f", "not named by any Case line in docs/") unless $named{$1};
}
print $fail ? "documentation examples: FAILED\n" : "documentation examples: all match\n";
exit $fail;
' "$root" "$here" "$root"/docs/*.md
