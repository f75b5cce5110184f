#!/usr/bin/perl
print "Content-Type: text/plain\n\n";
print "<title>Not a title</title>\n";
