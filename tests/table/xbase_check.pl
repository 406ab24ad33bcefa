#!/usr/bin/perl
# Second opinion on our tables from Perl's XBase module.
#   xbase_check.pl dump FILE    one line per record: deleted flag and fields, "U" for undef
#   xbase_check.pl write FILE   writes a dBase III table with known records
use strict;
use warnings;
use XBase;

binmode STDOUT, ':raw';
my ($mode, $file) = @ARGV;
die "usage: $0 dump|write FILE\n" unless $mode && $file;

if ($mode eq 'dump') {
    my $t = XBase->new($file) or die XBase->errstr;
    print "version ", $t->version, " count ", $t->last_record + 1, "\n";
    print "fields ", join(",", map { $_ . ":" . $t->field_type($_) . ":" .
        $t->field_length($_) . ":" . $t->field_decimal($_) } $t->field_names), "\n";
    for my $i (0 .. $t->last_record) {
        my @d = $t->get_record($i);
        print join("|", map { defined $_ ? $_ : "U" } @d), "\n";
    }
    $t->close;
} elsif ($mode eq 'write') {
    my $t = XBase->create(
        "name"           => $file,
        "field_names"    => ["NAME", "QTY", "PRICE", "OK", "DAY", "RATE"],
        "field_types"    => ["C", "N", "N", "L", "D", "F"],
        "field_lengths"  => [12, 6, 9, 1, 8, 10],
        "field_decimals" => [0, 0, 2, 0, 0, 3],
    ) or die XBase->errstr;
    $t->set_record(0, "Alice", 42, 1234.5, 1, "20080305", 2.25);
    $t->set_record(1, "Bob", -7, 0.01, 0, undef, -1.5);
    $t->set_record(2, "Caf\x82 Zo\x94", 0, undef, undef, "19991231", undef);
    $t->delete_record(1);
    $t->close;
} else {
    die "unknown mode $mode\n";
}
