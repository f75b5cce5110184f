#!/usr/bin/perl
# For each Perl file named on standard input (one path a line), prints the
# byte ranges that PPI, Perl's document parser, puts in strings,
# here-documents, comments, POD, regular expressions and data:
#   F <path>
#   <start> <length> <PPI token class without PPI::Token::>
#   E
# or "X <reason>" instead of the ranges when PPI cannot read the file.
# Here-document bodies are "HereDoc::Body". bench_highlight reads this.
use strict;
use warnings;
use PPI;

my %wanted = map { $_ => 1 } qw(
  Quote::Single Quote::Double Quote::Literal Quote::Interpolate
  QuoteLike::Words QuoteLike::Command QuoteLike::Backtick QuoteLike::Readline QuoteLike::Regexp
  HereDoc Comment Pod Regexp::Match Regexp::Substitute Regexp::Transliterate End Data
);

$| = 1;
while (my $path = <STDIN>) {
    chomp $path;
    print "F $path\n";
    my $src = do { local $/; open my $fh, '<:raw', $path or do { print "X unreadable\n"; next }; <$fh> };
    my $doc = eval { PPI::Document->new(\$src, readonly => 1) };
    unless ($doc) { print "X PPI failed\n"; next; }
    my @ranges;
    my $emit = sub { my ($start, $length, $kind) = @_; push @ranges, "$start $length $kind" if $length > 0 };
    my $pos = 0;
    my @pending; # body line counts of here-documents whose bodies are still to come
    for my $t ($doc->tokens) {
        my $content = $t->content;
        my $length = length $content;
        (my $kind = ref $t) =~ s/^PPI::Token:://;
        $kind = '' unless $wanted{$kind};
        if ($t->isa('PPI::Token::HereDoc')) {
            my @body = $t->heredoc;
            push @pending, scalar(@body) + (defined $t->{_terminator_line} ? 1 : 0);
        } elsif (@pending and (my $nl = index($content, "\n")) >= 0) {
            # The bodies follow the first line break after their introducers.
            $emit->($pos, $nl + 1, $kind) if $kind;
            my $p = $pos + $nl + 1;
            for my $lines (@pending) {
                for (1 .. $lines) {
                    my $e = index($src, "\n", $p);
                    $e = length($src) if $e < 0;
                    $emit->($p, $e - $p, 'HereDoc::Body');
                    $p = $e + 1;
                }
            }
            @pending = ();
            $emit->($p, $length - $nl - 1, $kind) if $kind;
            $pos = $p + $length - $nl - 1;
            next;
        }
        if ($kind eq 'Comment' and $content =~ /^([ \t]+)#/) {
            # A comment alone on its line takes its indentation with it in
            # PPI; the indentation is no part of what is shown as comment.
            $emit->($pos + length $1, $length - length $1, $kind);
        } else {
            $emit->($pos, $length, $kind) if $kind;
        }
        $pos += $length;
    }
    if ($pos < length($src) - 1 or $pos > length($src) + 1) {
        print "X positions do not add up ($pos of ", length($src), ")\n";
        next;
    }
    print "$_\n" for @ranges;
    print "E\n";
}
