#!/usr/bin/perl -wT
use strict;
print "Content-Type: text/plain\n\n";
print "taint=${^TAINT}\n";
