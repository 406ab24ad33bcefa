#!/usr/bin/perl
# Reads a multiple-index file with Perl's XBase::Index, a reader written
# independently of ours.
#   mdx_check.pl tags FILE       the tag names, one a line
#   mdx_check.pl walk FILE TAG   every key of the tag in its order: record number, key in hex
use strict;
use warnings;
use XBase::Index;

my ($mode, $file, $tag) = @ARGV;
if ($mode eq 'tags') {
    my $idx = XBase::Index->new($file) or die XBase::Index->errstr;
    print "$_\n" for $idx->tags;
} elsif ($mode eq 'walk') {
    my $idx = XBase::Index->new($file, 'tag' => $tag) or die XBase::Index->errstr;
    $idx->prepare_select;
    while (my ($key, $rec) = $idx->fetch) {
        print "$rec\t", unpack('H*', $key), "\n";
    }
} else {
    die "unknown mode $mode\n";
}
