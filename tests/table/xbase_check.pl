#!/usr/bin/perl
# Second opinion on our tables from Perl's XBase module.
#   xbase_check.pl dump FILE    one line per record: deleted flag and fields, "U" for undef
#   xbase_check.pl write FILE   writes a dBase III table with known records
#   xbase_check.pl memo3 FILE   writes a dBase III table with a memo file (0x83)
#   xbase_check.pl memo4 FILE   writes a dBase IV table with a memo file (0x8B)
#   xbase_check.pl addmemo FILE appends one record with a memo to an existing table
#   xbase_check.pl delete FILE N              marks record N (from 1) deleted
#   xbase_check.pl set FILE N FIELD VALUE     stores VALUE in FIELD of record N (from 1)
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
} elsif ($mode eq 'memo3' || $mode eq 'memo4') {
    my $t = XBase->create(
        "name"           => $file,
        "field_names"    => ["NAME", "ADDRESS"],
        "field_types"    => ["C", "M"],
        "field_lengths"  => [10, 10],
        "field_decimals" => [0, 0],
        ($mode eq 'memo4' ? ("version" => 0x8B) : ()),
    ) or die XBase->errstr;
    $t->set_record(0, "first", "Front office\r\nMain hall 5");
    $t->set_record(1, "long", "x" x 700);
    $t->set_record(2, "none", undef);
    # A replaced memo leaves the old one behind in the file.
    $t->update_record_hash(0, "ADDRESS" => "Caf\x82 Zo\x89\r\n2 Rue Haute");
    $t->close;
} elsif ($mode eq 'addmemo') {
    my $t = XBase->new($file) or die XBase->errstr;
    $t->set_record($t->last_record + 1, "theirs", "Their line 1\r\nTheir line 2") or die $t->errstr;
    $t->close;
} elsif ($mode eq 'delete') {
    my $t = XBase->new($file) or die XBase->errstr;
    $t->delete_record($ARGV[2] - 1) or die $t->errstr;
    $t->close;
} elsif ($mode eq 'set') {
    my $t = XBase->new($file) or die XBase->errstr;
    $t->update_record_hash($ARGV[2] - 1, uc($ARGV[3]) => $ARGV[4]) or die $t->errstr;
    $t->close;
} else {
    die "unknown mode $mode\n";
}
