#!/usr/bin/perl -w
# Visitors' book: shows the form and keeps every entry in a text file.
# The form is sent by POST; the old entries are listed undernieth it.

use strict;
use CGI qw(:standard escapeHTML);
use CGI::Carp qw(fatalsToBrowser);
use Fcntl qw(:flock);

my $datafile = '/var/www/data/visitors.txt';
my $logdir   = "/usr/local/www/logs/";
my $name     = param('name') || '';
my $comments = param('comments') || '';
my $homepage = 'http://www.example.com/~club/index.html';
my %seen;
my @entries;

# Read what was posted from STDIN when the mesage came by POST
my $buffer = '';
if ($ENV{'REQUEST_METHOD'} eq 'POST') {
    read(STDIN, $buffer, $ENV{'CONTENT_LENGTH'});
}
elsif ($ENV{'QUERY_STRING'}) {
    $buffer = $ENV{'QUERY_STRING'};
}

# Tidy the name: no tags, no dubble spaces
$name =~ s/<[^>]*>//g;
$name =~ s/\s+/ /g;
$comments =~ tr/\r//d;
foreach my $pair (split /&/, $buffer) {
    my ($key, $value) = split /=/, $pair;
    next unless $key =~ m{^(\w+)$};
    $value =~ s/%([a-fA-F0-9][a-fA-F0-9])/pack("C", hex($1))/eg;
    $seen{$key} = $value;
}

if ($name eq '') {
    print header(-type => 'text/html', -charset => 'utf-8');
    print <<"EOT";
<html>
<head><title>Sign our visitors' book</title>
<style type="text/css">body { font-family: Verdana, sans-serif; }</style>
</head>
<body>
<h1>Welcome, $seen{'guest'}!</h1>
<p>Plese leave a few words for the club &amp; its members.</p>
<form method="post" action="/cgi-bin/visitors.cgi">
<input type="text" name="name" placeholder="Your full nmae">
<img src="/images/pen.gif" alt="A fountian pen" width="32">
<textarea name="comments"></textarea>
<input type="submit" value="Send">
</form>
</body>
</html>
EOT
    exit;
}

open(my $fh, '>>', $datafile) or die "Cannot open the visitors' file: $!";
flock($fh, LOCK_EX);
printf $fh "%s|%s|%d\n", $name, $comments, time;
close($fh);
print header(), "<p>Thank you, $name, your entry was saved succesfully.</p>\n";
print '<p><a href="' . $homepage . '">Back to the club</a></p>';
warn "Wrote entry for $name\n" if $ENV{'DEBUG'};

=head1 NAME

visitors.cgi - a small visitors' book for the club

=head1 DESCRIPTION

Shows a form and apends each entry to F</var/www/data/visitors.txt>.
It uses C<param()> from L<CGI> and B<never> sends mail.

    perl visitors.cgi name=Joe comments=Hello

=cut

__END__
name|Joe|comments|teh quik brown fox
