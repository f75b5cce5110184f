#!/usr/bin/perl -w
use strict;
# Echoes the query string and the cookies it was sent.
my $q = $ENV{QUERY_STRING} // '';
my $c = $ENV{HTTP_COOKIE} // '';
print "Content-Type: text/html\r\n";
print "Set-Cookie: visits=1\r\n" unless $c =~ /visits=/;
print "\r\n";
print "<html><head><title>Query: $q; Cookie: [$c]</title></head><body><p id=\"cookies\">$c</p></body></html>\n";
