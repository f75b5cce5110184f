#!/usr/bin/perl
print "Status: 302 Found\n";
print "Location: thanks.html\n\n";
