#!/usr/bin/env perl
# Where the constructs of vorn models are, found by a scanner and a parser of
# the model language of their own (written apart from the editor grammars, as
# the language describes itself), for the editor tests to check the scopes and
# syntax groups the editors give them.
#
# Usage: constructs.pl MODEL...
# Prints one line per construct: FILE, LINE, COLUMN (bytes, from 1), LENGTH
# and the construct, separated by tabs. Constructs: comment, decl-keyword,
# decl-name, key-star, key-name, position, rule-consistent, rule-transfer,
# query, states-begin, states-end, conversion-begin, conversion-end, know,
# event-name, state-name, function-name, nonce, constant, configuration,
# variable, flag, boolean. A file that does not parse (a syntax error case)
# yields its comments only, and a note on standard error.
use strict;
use warnings;
no warnings "recursion";

my @out;

sub emit {
    my ($file, $tok, $length, $what) = @_;
    push @out, join("\t", $file, $tok->{line}, $tok->{col}, $length, $what);
}

sub scan {
    my ($file, $text) = @_;
    my @tokens;
    my $unknown = 0;
    my ($line, $col, $pos) = (1, 1, 0);
    my $n = length $text;
    while ($pos < $n) {
        my $rest = substr($text, $pos, 64);
        my $c = substr($text, $pos, 1);
        if ($c eq "\n" || ($c eq "\r")) {
            $pos += ($c eq "\r" && substr($text, $pos + 1, 1) eq "\n") ? 2 : 1;
            $line++;
            $col = 1;
            next;
        }
        if ($c eq ' ' || $c eq "\t") { $pos++; $col++; next }
        if ($rest =~ m{^//}) {
            my $end = index($text, "\n", $pos);
            $end = $n if $end < 0;
            my $len = $end - $pos;
            $len-- if $len > 0 && substr($text, $end - 1, 1) eq "\r";
            push @out, join("\t", $file, $line, $col, $len, "comment");
            $col += $end - $pos;
            $pos = $end;
            next;
        }
        my ($kind, $len);
        if ($rest =~ /^([A-Za-z][A-Za-z0-9]*)/) {
            $len = length $1;
            $kind = $1 eq 'k' ? 'KNOW' : $1 eq 'true' || $1 eq 'false' ? 'BOOL' : 'NAME';
        } elsif ($rest =~ /^([0-9]+)/) {
            ($kind, $len) = ('INT', length $1);
        } elsif ($rest =~ /^(\]->|-\[|<-|:=|==|!=|:>|<:|>=|<=)/) {
            ($kind, $len) = ($1, length $1);
        } elsif ($c =~ /[()\[\]<>|*;,:#\$!?%]/) {
            ($kind, $len) = ($c, 1);
        } else {
            ($kind, $len) = ('UNKNOWN', 1);
        }
        push @tokens, { kind => $kind, text => substr($text, $pos, $len), line => $line, col => $col, len => $len }
            unless $kind eq 'UNKNOWN';
        $unknown++ if $kind eq 'UNKNOWN';
        $pos += $len;
        $col += $len;
    }
    push @tokens, { kind => 'END', text => '', line => $line, col => $col, len => 0 };
    print STDERR "$file: has characters that belong to no token\n" if $unknown;
    return @tokens;
}

# A recursive-descent parser of the model grammar over the tokens; dies on a
# syntax error.
sub parse {
    my ($file, $tokens) = @_;
    my $i = 0;
    my $peek = sub { $tokens->[$i]{kind} };
    my $take = sub {
        my ($kind) = @_;
        die "expected $kind at $tokens->[$i]{line}:$tokens->[$i]{col}\n" if $tokens->[$i]{kind} ne $kind;
        return $tokens->[$i++];
    };
    my $span = sub { my ($a, $b) = @_; return $b->{col} + $b->{len} - $a->{col} };
    my ($term, $terms, $state);
    $term = sub {
        if ($peek->() eq '[') {
            my $open = $take->('[');
            $take->('NAME');
            my $close = $take->(']');
            emit($file, $open, $span->($open, $close), 'nonce');
        } elsif ($peek->() eq '|') {
            my $open = $take->('|');
            $take->('NAME');
            my $close = $take->('|');
            emit($file, $open, $span->($open, $close), 'configuration');
        } else {
            my $name = $take->('NAME');
            if ($peek->() eq '(') {
                emit($file, $name, $name->{len}, 'function-name');
                $take->('(');
                $terms->();
                $take->(')');
            } elsif ($peek->() eq '[') {
                $take->('[');
                my $close = $take->(']');
                emit($file, $name, $span->($name, $close), 'constant');
            } else {
                emit($file, $name, $name->{len}, 'variable');
            }
        }
    };
    $terms = sub {
        return unless $peek->() =~ /^(NAME|\[|\|)$/;
        $term->();
        while ($peek->() eq ',') { $take->(','); $term->() }
    };
    $state = sub {
        my $name = $take->('NAME');
        emit($file, $name, $name->{len}, 'state-name');
        $take->('(');
        $terms->();
        $take->(')');
    };
    my $fact = sub {
        if ($peek->() eq 'KNOW') {
            my $k = $take->('KNOW');
            emit($file, $k, 1, 'know');
            $take->('(');
            $term->();
            $take->(')');
        } else {
            my $name = $take->('NAME');
            emit($file, $name, $name->{len}, 'event-name');
            $take->('(');
            $terms->();
            $take->(')');
        }
    };
    while ($peek->() eq '$') {
        my $d = $take->('$');
        emit($file, $d, 1, 'decl-keyword');
        my $name = $take->('NAME');
        emit($file, $name, $name->{len}, 'decl-name');
        $take->('(');
        if ($peek->() =~ /^(\*|NAME)$/) {
            while (1) {
                if ($peek->() eq '*') {
                    emit($file, $take->('*'), 1, 'key-star');
                    my $p = $take->('NAME');
                    emit($file, $p, $p->{len}, 'key-name');
                } else {
                    my $p = $take->('NAME');
                    emit($file, $p, $p->{len}, 'position');
                }
                last unless $peek->() eq ',';
                $take->(',');
            }
        }
        $take->(')');
        $take->(';');
    }
    while ($peek->() eq '!' || $peek->() eq '?') {
        my $transfer = $peek->() eq '?';
        my $mark = $take->($peek->());
        emit($file, $mark, 1, $transfer ? 'rule-transfer' : 'rule-consistent');
        if ($peek->() =~ /^(KNOW|NAME)$/) {
            $fact->();
            while ($peek->() eq ',') { $take->(','); $fact->() }
        }
        emit($file, $take->('-['), 2, 'states-begin');
        if ($peek->() eq 'NAME') {
            $state->();
            while ($peek->() eq ',') { $take->(','); $state->() }
        }
        emit($file, $take->(']->'), 3, 'states-end');
        if (!$transfer) {
            $fact->();
        } else {
            while (1) {
                emit($file, $take->('<'), 1, 'conversion-begin');
                if ($peek->() eq ',') { $take->(',') } else { $state->(); $take->(',') }
                $state->();
                emit($file, $take->('>'), 1, 'conversion-end');
                last unless $peek->() eq ',';
                $take->(',');
            }
        }
        $take->(';');
    }
    while ($peek->() eq '%') {
        emit($file, $take->('%'), 1, 'query');
        $state->();
        emit($file, $take->('*'), 1, 'flag');
        my $b = $take->('BOOL');
        emit($file, $b, $b->{len}, 'boolean');
        $take->(';');
    }
    $take->('END');
}

for my $file (@ARGV) {
    open(my $in, '<:raw', $file) or die "cannot read $file\n";
    local $/;
    my $text = <$in>;
    close $in;
    my $start = @out;
    my @tokens = scan($file, $text);
    my $comments = [grep { /\tcomment$/ } @out[$start .. $#out]];
    if (!eval { parse($file, \@tokens); 1 }) {
        print STDERR "$file: does not parse ($@), only its comments are checked\n" =~ s/\n\)/)/r;
        splice(@out, $start);
        push @out, @$comments;
    }
}
print "$_\n" for @out;
