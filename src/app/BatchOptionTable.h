#pragma once

#include <QStringView>

// The options of quadrix-batch: the parser and --help are both made from
// this table.

enum class OptionSection { Input, Output, Forms, Other };

// What an option lists under its description, one item a line.
enum class OptionItems { None, Formats, Embeddings };

// One option of the command line.
struct OptionRow
{
    QStringView longName;
    QStringView shortName; // empty when there is none
    QStringView valueName; // empty for an option that takes no value
    OptionSection section;
    QStringView description;
    OptionItems items = OptionItems::None;

    bool takesValue() const { return !valueName.isEmpty(); }
};

inline constexpr OptionRow BatchOptionTable[] = {
    { u"address", u"a", u"ADDRESS", OptionSection::Input, u"add ADDRESS as a row (may be repeated)" },
    { u"sample",
      {},
      {},
      OptionSection::Input,
      u"add the three sample rows 204.93.240.0, 199.27.128.43 and 173.245.48.111" },
    { u"format", u"f", u"FORMAT", OptionSection::Output, u"what to write:", OptionItems::Formats },
    { u"output", u"o", u"FILE", OptionSection::Output,
      u"write to FILE, which is replaced only once complete; without -o, or with \"-\", write to standard "
      u"output" },
    { u"tick", u"t", u"LIST", OptionSection::Output,
      u"tick only the rows in LIST (row numbers from 1, and ranges: 1,3-5); only ticked rows are written, "
      u"and every row is ticked by default. Rows past the last one tick nothing. May be repeated." },
    { u"csv-safe",
      {},
      {},
      OptionSection::Output,
      u"in CSV, write a \"'\" before a field that starts with \"=\", \"+\", \"-\", \"@\", a TAB or a CR, so "
      u"that a spreadsheet shows it as text rather than run it as a formula; the file then no longer holds "
      u"the rows exactly" },
    { u"decode",
      u"d",
      {},
      OptionSection::Forms,
      u"the other way: read each row as IPv6 text, an address or a prefix, and write the IPv4 address or "
      u"prefix it carries, in the columns original, ipv4, embedding (where it was found) and detail "
      u"(Teredo's server and port). Without --embedding every carrier is tried in order: mapped, nat64, "
      u"6to4, teredo, isatap, compatible; with it only that block decodes. A row that carries none is "
      u"reported and its cells stay empty (null in JSON Lines)" },
    { u"expand",
      {},
      {},
      OptionSection::Forms,
      u"turn every prefix (a.b.c.d/n) and range (a.b.c.d-e.f.g.h) into one row per address, the address "
      u"as its original; plain addresses stay as they are. tsv, csv and jsonl write the addresses as they "
      u"are made, in address order, in constant memory (--expand -f tsv -a 0.0.0.0/0 writes all of IPv4); "
      u"text and clipboard take at most 16,777,216 rows and xlsx 1,048,575, and refuse a larger expansion "
      u"before writing anything" },
    { u"reverse-dns",
      {},
      {},
      OptionSection::Forms,
      u"add a last column reverse_dns (\"Reverse DNS Name\"): the ip6.arpa name of each result, or the "
      u"nibble zones that cover a prefix exactly, separated by a blank; with --decode the in-addr.arpa name "
      u"of the IPv4 address, or the octet zones of a prefix" },
    { u"embedding", u"e", u"BLOCK", OptionSection::Forms, u"the block the addresses are embedded in:",
      OptionItems::Embeddings },
    { u"rfc5952",
      {},
      {},
      OptionSection::Forms,
      u"write the forms in RFC 5952's style: hex digits in lower case and the dotted quad written "
      u"canonically; the shorthand forms drop leading zeros and write the longest run of zero groups as "
      u"\"::\", while the full forms keep every digit. A row that is not exactly four octets of 0 to 255 "
      u"fails all four forms" },
    { u"help", u"h", {}, OptionSection::Other, u"show this help and exit" },
    { u"version", u"V", {}, OptionSection::Other, u"show the version and exit" },
};
