#!/usr/bin/env perl
# Checks the derivations that --explain prints against the closure trace of the
# same run and against the model file, without relying on the code that
# prints them.
#
# For every end-to-end case that ends normally or is stopped by a limit (with
# its NAME.args, unless they redirect a stream or ask for a report-only run),
# runs vorn --explain and checks that:
#   - there is one derivation per target rule of the report, and its last step
#     is that target rule;
#   - each step refers only to earlier steps, each step is used by a later one
#     (but the last), and no step is listed twice;
#   - a step "line L" holds the rule of the model file that starts on line L:
#     the K-th consistent (or transfer) rule of the file is the K-th consistent
#     (transfer) rule the trace tries, and the step's rule is that one;
#   - a composition's rule is one of the results of a "Composes at index"
#     block with the provider, index and consumer the step names;
#   - a variant's rule is tried after the rule it varies, which was tried as
#     selectable at the premise the step names, and prints the same but for
#     its identifiers;
#   - a transfer's rule is tried after the "Transfer rule :" block of the
#     transfer rule and final rule the step names, and before the next one;
#   - a target's rule is the answer of an "Analysis Accessability" block of
#     the final rule the step names;
#   - the outline lists each use of a model step that is a transfer rule or
#     has states as often as the derivation, unfolded into a tree, uses it
#     (a step made from the same step twice uses its rules twice), each as
#     its source line and the rule as written in the model file (comments
#     left out, blanks collapsed); or it says that no order of the steps
#     keeps the derivation's orderings, naming lines of the derivation. That
#     the order is a run is checked by check_outlines.sh.
# Usage: check_derivations.pl VORN E2E_DIR
use strict;
use warnings;
use File::Basename qw(dirname basename);
use File::Find;
use File::Temp qw(tempdir);

my ($vorn, $root) = @ARGV;
die "usage: $0 VORN E2E_DIR\n" unless defined $root;
my $tmp = tempdir(CLEANUP => 1);

sub slurp {
    my ($file) = @_;
    open(my $h, '<', $file) or die "cannot read $file: $!\n";
    local $/;
    my $text = <$h>;
    close $h;
    return $text;
}

# A rule's printed form from line $i on: up to its "]-> " line, and for a
# transfer rule the conversion lines after it. Returns (text, next index).
sub rule_at {
    my ($lines, $i) = @_;
    my $start = $i;
    while ($i < @$lines && $lines->[$i] !~ /^\]-> /) { $i++ }
    die "no rule at line " . ($start + 1) . "\n" if $i >= @$lines;
    my $arrow = $lines->[$i++];
    if ($arrow eq ']-> ') {
        $i++ while $i < @$lines && $lines->[$i] =~ /^</;
    }
    return (join("\n", @{$lines}[$start .. $i - 1]) . "\n", $i);
}

# The rule that ends just before line $i and starts after the last empty line.
sub rule_before {
    my ($lines, $i) = @_;
    my $start = $i - 1;
    $start-- while $start > 0 && $lines->[$start - 1] ne '';
    return join("\n", @{$lines}[$start .. $i - 1]) . "\n";
}

# The statements of a model file: [kind ("!" or "?"), start line, text with
# comments left out and blanks collapsed], in file order.
sub model_rules {
    my ($text) = @_;
    my @rules;
    my ($current, $line, $start) = ('', 1, 0);
    for my $raw (split /\n/, $text, -1) {
        (my $code = $raw) =~ s{//.*}{};
        for my $c (split //, $code) {
            if ($current eq '' && $c =~ /\s/) { next }
            $start = $line if $current eq '';
            $current .= $c;
            if ($c eq ';') {
                (my $flat = $current) =~ s/\s+/ /g;
                push @rules, [substr($flat, 0, 1), $start, $flat] if $flat =~ /^[!?]/;
                $current = '';
            }
        }
        $current .= ' ' if $current ne '';
        $line++;
    }
    return @rules;
}

sub shape { my ($text) = @_; $text =~ s/\d+/N/g; return $text; }

my ($models, $steps_checked, $targets_checked, $failed, $no_order) = (0, 0, 0, 0, 0);
my %kinds;

sub check_case {
    my ($model, $args) = @_;
    my $dir = dirname($model);
    my $out = "$tmp/out";
    system("cd '$dir' && '$vorn' --explain " . join(' ', map { "'$_'" } @$args) . " < /dev/null > '$out' 2> /dev/null");
    my @lines = split /\n/, slurp($out), -1;
    pop @lines if @lines && $lines[-1] eq '';
    my @errors;
    my $fail = sub { push @errors, $_[0] };

    # The trace, up to the report.
    my (@tries, @composes, @transfers, @analyses);
    my $i = 0;
    my $trace_end;
    while ($i < @lines && $lines[$i] ne 'Selectable Consistent Rules. ') {
        my $l = $lines[$i];
        $trace_end //= $i if $l =~ /^(Saturation stopped: |Analysis Accessability : $)/;
        if ($l =~ /^Try Add (Selectable|Nonselectable|Final) (Consistent|Transfer) Rule(?: at (\d+))?:$/) {
            my ($text, $next) = rule_at(\@lines, $i + 1);
            push @tries, { kind => $2, select => $3, text => $text, at => $i };
            $i = $next;
        } elsif ($l =~ /^Composes at index (\d+):$/) {
            my %block = (index => $1, provider => rule_before(\@lines, $i), results => []);
            ($block{consumer}, $i) = rule_at(\@lines, $i + 1);
            while ($i + 1 < @lines && $lines[$i] eq '' && $lines[$i + 1] eq 'Composition Successful for :') {
                my $text;
                ($text, $i) = rule_at(\@lines, $i + 2);
                push @{ $block{results} }, $text;
            }
            push @composes, \%block;
        } elsif ($l eq 'Transfer rule :') {
            my %block = (transfer => rule_before(\@lines, $i), at => $i);
            ($block{final}, $i) = rule_at(\@lines, $i + 1);
            push @transfers, \%block;
        } elsif ($l eq 'Analysis Accessability : ') {
            my %block;
            ($block{final}, $i) = rule_at(\@lines, $i + 1);
            $i++ while $i < @lines && $lines[$i] ne 'Accessability Successful :';
            ($block{target}, $i) = rule_at(\@lines, $i + 1);
            push @analyses, \%block;
        } else {
            $i++;
        }
    }
    $trace_end //= $i;
    # The target rules of the report, and the derivations after it.
    my @targets;
    $i++ while $i < @lines && $lines[$i] ne 'Target Rules. ';
    while ($i < @lines && $lines[$i] !~ /^Verification Time: /) {
        if ($lines[$i] eq 'Target Rule :') {
            my $text;
            ($text, $i) = rule_at(\@lines, $i + 1);
            push @targets, $text;
        } else {
            $i++;
        }
    }
    $i++ while $i < @lines && $lines[$i] !~ /^Overall Rule Generated: /;
    my @derivations;
    while (++$i < @lines) {
        my $l = $lines[$i];
        if ($l =~ /^Derivation of target rule (\d+):$/) {
            $fail->("derivation $1 out of order") unless $1 == @derivations + 1;
            push @derivations, { steps => [], outline => [], none => undef };
        } elsif ($l =~ /^(\d+)\. (.*):$/ && @derivations) {
            my $steps = $derivations[-1]{steps};
            $fail->("step $1 out of order") unless $1 == @$steps + 1;
            my ($text, $next) = rule_at(\@lines, $i + 1);
            push @$steps, { title => $2, text => $text };
            $i = $next;
            $fail->("no empty line after step $1") unless $i < @lines && $lines[$i] eq '';
        } elsif ($l =~ /^  line (\d+): (.*)$/ && @derivations) {
            push @{ $derivations[-1]{outline} }, [$1, $2];
        } elsif ($l =~ /^  (none: .*|not worked out: .*|no model rule over states)$/ && @derivations) {
            $derivations[-1]{none} = $1;
        }
    }
    my @model = model_rules(slurp($model));
    my %ordinal;
    my %count;
    for my $rule (@model) { $ordinal{ $rule->[1] }{ $rule->[0] } //= $count{ $rule->[0] }++ }
    my @tried_const = grep { $_->{kind} eq 'Consistent' } @tries;
    my @tried_trans = grep { $_->{kind} eq 'Transfer' } @tries;

    $fail->(scalar(@derivations) . " derivations for " . scalar(@targets) . " target rules")
        unless @derivations == @targets;
    for my $d (0 .. $#derivations) {
        my $steps = $derivations[$d]{steps};
        my $where = "derivation " . ($d + 1);
        if (!@$steps) { $fail->("$where has no steps"); next }
        $fail->("$where does not end with target rule " . ($d + 1))
            unless defined $targets[$d] && $steps->[-1]{text} eq $targets[$d];
        my (%used, %seen, %source, @uses);
        for my $s (0 .. $#$steps) {
            my ($title, $text) = ($steps->[$s]{title}, $steps->[$s]{text});
            my $step = "$where, step " . ($s + 1);
            $fail->("$step repeats a step") if $seen{"$title\n$text"}++;
            my @refs = $title =~ /step (\d+)/g;
            for my $r (@refs) {
                $fail->("$step refers to step $r, not an earlier one") unless $r >= 1 && $r <= $s;
                $used{$r} = 1;
            }
            my $ref = sub { $steps->[ $_[0] - 1 ]{text} // '' };
            # The uses of model rules over states that the step rests on.
            $uses[$s] = {};
            for my $r (grep { $_ >= 1 && $_ <= $s } @refs) {
                $uses[$s]{$_} += $uses[ $r - 1 ]{$_} for keys %{ $uses[ $r - 1 ] };
            }
            $steps_checked++;
            if ($title =~ /^line (\d+)$/) {
                $kinds{model}++;
                my $line = $1;
                my $found = 0;
                for my $kind ('!', '?') {
                    my $k = $ordinal{$line}{$kind};
                    next unless defined $k;
                    my $tried = $kind eq '!' ? $tried_const[$k] : $tried_trans[$k];
                    next unless defined $tried && $tried->{text} eq $text;
                    $found = 1;
                    my ($source) = grep { $_->[1] == $line && $_->[0] eq $kind } @model;
                    my $has_states = $text =~ /--\[\n[^\]]/;
                    if ($kind eq '?' || $has_states) {
                        $uses[$s] = { $line => 1 };
                        $source{$line} = $source->[2];
                    }
                }
                $fail->("$step: line $line of the model holds no rule printed so") unless $found;
            } elsif ($title =~ /^composition of step (\d+) into step (\d+) at premise (\d+)$/) {
                $kinds{composition}++;
                my ($p, $c, $index) = ($ref->($1), $ref->($2), $3);
                my $ok = grep {
                    $_->{index} == $index && $_->{provider} eq $p && $_->{consumer} eq $c
                        && grep { $_ eq $text } @{ $_->{results} }
                } @composes;
                $fail->("$step: no such composition in the trace") unless $ok;
            } elsif ($title =~ /^variant of step (\d+) passing over premise (\d+)$/) {
                $kinds{variant}++;
                my ($original, $index) = ($ref->($1), $2);
                my ($first) = grep { $_->{text} eq $original && defined $_->{select} && $_->{select} == $index } @tries;
                my $ok = $first && grep { $_->{text} eq $text && $_->{at} > $first->{at} } @tries;
                $fail->("$step: not tried after its original") unless $ok;
                $fail->("$step: differs from its original") unless shape($text) eq shape($original);
            } elsif ($title =~ /^transfer of step (\d+) back through step (\d+)$/) {
                $kinds{transfer}++;
                my ($final, $transfer) = ($ref->($1), $ref->($2));
                my $ok = 0;
                for my $b (0 .. $#transfers) {
                    my $block = $transfers[$b];
                    next unless $block->{transfer} eq $transfer && $block->{final} eq $final;
                    my $end = $b < $#transfers ? $transfers[ $b + 1 ]{at} : $trace_end;
                    $ok ||= grep { $_->{text} eq $text && $_->{at} > $block->{at} && $_->{at} < $end } @tries;
                }
                $fail->("$step: not tried after its transfer block") unless $ok;
            } elsif ($title =~ /^target of step (\d+) for the access queries$/) {
                $kinds{target}++;
                my $final = $ref->($1);
                $fail->("$step: no such accessibility block")
                    unless grep { $_->{final} eq $final && $_->{target} eq $text } @analyses;
                $fail->("$step: a target before the last step") unless $s == $#$steps;
            } else {
                $fail->("$step: unknown operation '$title'");
            }
        }
        for my $s (1 .. $#$steps) {
            $fail->("$where, step $s is used by no later step") unless $used{$s};
        }
        my $outline = $derivations[$d]{outline};
        my $expected = $uses[-1] // {};
        my $none = $derivations[$d]{none};
        if (defined $none && $none =~ /^none: the derivation needs (.*), so no order/) {
            $fail->("$where: the outline both lists lines and says there is no order") if @$outline;
            my %model_steps = map { /^line (\d+)$/ ? ($1 => 1) : () } map { $_->{title} } @$steps;
            for my $line ($1 =~ /line (\d+)/g) {
                $fail->("$where: the outline names line $line, no step of the derivation") unless $model_steps{$line};
            }
            $no_order++;
        } elsif (defined $none && $none eq 'no model rule over states') {
            $fail->("$where: the outline says no model rule over states, but the derivation uses some") if %$expected;
        } elsif (defined $none) {
            $fail->("$where: the outline was not worked out: $none");
        } else {
            my %listed;
            for my $entry (@$outline) {
                $listed{ $entry->[0] }++;
                $fail->("$where: the outline's line $entry->[0] is not the rule as written")
                    unless defined $source{ $entry->[0] } && $source{ $entry->[0] } eq $entry->[1];
            }
            my $shape = sub { my ($h) = @_; join(' ', map { "${_}x$h->{$_}" } sort { $a <=> $b } keys %$h) };
            $fail->("$where: the outline lists " . $shape->(\%listed) . ", the derivation uses " . $shape->($expected))
                unless $shape->(\%listed) eq $shape->($expected);
        }
        $targets_checked++;
    }
    if (@errors) {
        $failed++;
        print "$model (" . join(' ', @$args) . "):\n", map { "  $_\n" } @errors[0 .. ($#errors > 9 ? 9 : $#errors)];
    }
    $models++ if @derivations;
}

my @cases;
find({ wanted => sub { push @cases, $File::Find::name if /\.vorn$/ }, no_chdir => 1 }, $root);
for my $model (sort @cases) {
    (my $base = $model) =~ s/\.vorn$//;
    next unless -f "$base.status" && -f "$base.out";
    my $status = slurp("$base.status");
    $status =~ s/\s//g;
    next unless $status eq '0' || $status eq '3';
    # Only models whose expected report has target rules.
    next unless slurp("$base.out") =~ /^Target Rule :$/m;
    my @args = (basename($model));
    if (-f "$base.args") {
        my @lines = split /\n/, slurp("$base.args");
        next if grep { /^[<>]/ || /\{tmp\}/ || $_ eq '-q' || $_ eq '--report-only' } @lines;
        @args = map { s/\{model\}/basename($model)/er } @lines;
    }
    check_case($model, \@args);
}
my $kinds = join(', ', map { "$kinds{$_} $_" } sort keys %kinds);
print "$models models, $targets_checked target rules ($no_order without order), $steps_checked steps ($kinds) checked;"
    . " $failed models failed\n";
exit($failed == 0 && $models > 0 && $kinds{composition} && $kinds{transfer} && $kinds{target} && $kinds{model} ? 0 : 1);
