# Reads one message from standard input with Perl's Email::MIME and prints
# what a recipient sees, one "key<TAB>hex of UTF-8 (or raw bytes)" per line.
use strict;
use warnings;
use Email::MIME;
use Email::Address::XS qw(parse_email_addresses);
use Encode qw(encode);

local $/;
my $raw = <STDIN>;
my $message = Email::MIME->new($raw);
binmode STDOUT, ':raw';

sub text { my ($key, $value) = @_; print "$key\t", unpack("H*", encode("UTF-8", $value // "")), "\n"; }

text("subject", $message->header_str("Subject"));
my ($from) = parse_email_addresses($message->header_str("From") // "");
text("from_name", $from ? $from->phrase : "");
text("from_addr", $from ? $from->address : "");
for my $field ("To", "Cc", "Bcc") {
  my @list = parse_email_addresses($message->header_str($field) // "");
  text(lc $field, join(",", map { $_->address } @list));
}
my @parts = $message->subparts;
@parts = ($message) unless @parts;
for my $part (@parts) {
  text("part_type", lc($part->content_type // "") =~ s/;.*//sr);
  text("part_name", $part->filename);
  if (($part->header("Content-Disposition") // "") =~ /attachment/i) {
    print "part_bytes\t", unpack("H*", $part->body), "\n";
  } else {
    text("part_text", $part->body_str);
  }
}
