#!/usr/bin/perl -w
use strict;
# Shows a form that posts back to this script; the posted fields are shown
# in the title. The first page sends the form by itself.
print "Content-Type: text/html\n\n";
if (($ENV{REQUEST_METHOD} // '') eq 'POST') {
    read(STDIN, my $body, $ENV{CONTENT_LENGTH} // 0);
    my %f = map { my ($k, $v) = split /=/, $_, 2; $v =~ tr/+/ /; $v =~ s/%([0-9A-Fa-f]{2})/chr hex $1/ge; ($k, $v) } split /&/, $body;
    print "<html><head><title>Posted: $f{name} $f{colour} ($ENV{CONTENT_TYPE})</title></head><body>\n";
    print "<form method=\"post\" action=\"$ENV{SCRIPT_NAME}\"><input name=\"name\" value=\"again\"></form></body></html>\n";
    exit;
}
print <<'HTML';
<html><head><title>Form</title></head>
<body onload="document.forms[0].requestSubmit()">
<form method="post" action="post_form.cgi">
<input name="name" value="Ann Lee">
<input name="colour" value="red &amp; blue">
</form>
</body></html>
HTML
