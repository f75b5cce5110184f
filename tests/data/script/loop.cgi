#!/usr/bin/perl
# Never ends; its child neither.
$| = 1;
if (fork() == 0) { 1 while 1; }
1 while 1;
