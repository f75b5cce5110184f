#!/usr/bin/perl -w
use strict;
use FindBin;
use lib "$FindBin::Bin/lib";
use Helper;
print "Content-Type: text/plain\n\n";
print "bin=$FindBin::Bin script=$0 file=", __FILE__, " helper=", Helper::name(), "\n";
