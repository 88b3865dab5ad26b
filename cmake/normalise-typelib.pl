#!/usr/bin/perl
# widl writes the time it ran into a type library twice: as the text
# "Created by WIDL version <v> at <date>" and, right after it, as a 32-bit
# number. Both become the start of 1970, so that one IDL always gives the
# same type library, and the DLL that embeds it the same bytes.
#   normalise-typelib.pl TLB
use strict;
use warnings;

my $file = shift or die "usage: $0 TLB\n";
open(my $in, '<:raw', $file) or die "$file: $!\n";
my $data = do { local $/; <$in> };
close($in);

my $when = 'Thu Jan  1 00:00:00 1970';
my $count = ($data =~ s/(Created by WIDL version [^\n]* at )[^\n]{24}(\n(?:W{0,3})\x13\x00)..../$1$when$2\0\0\0\0/s);
die "$file: no WIDL time stamp found\n" unless $count == 1;

open(my $out, '>:raw', $file) or die "$file: $!\n";
print $out $data;
close($out) or die "$file: $!\n";
