#!/usr/bin/perl
print "Content-Type: text/html; charset=utf-8\n\n";
print "<!DOCTYPE html>\n<html><head><title>Bad</title></head>\n<body>\n";
print "<p>one <bogus>two</bogus></p>\n</body></html>\n";
