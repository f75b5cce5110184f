package Helper;
use strict;
sub name { return "found" }
1;
