#!/usr/bin/perl -w
use strict;
use CGI;
my $q = CGI->new;
print $q->header('text/html');
print "<html><head><title>CGI.pm: ", $q->param('word'), "</title></head><body></body></html>\n";
