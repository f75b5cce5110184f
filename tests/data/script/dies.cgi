#!/usr/bin/perl -w
use strict;

print "Content-Type: text/html\n\n";
print "<html><body>before</body></html>\n";
my $reason = "on purpose";
die "Stopped $reason";
