#!/usr/bin/perl
print "<html><body>No header</body></html>\n";
