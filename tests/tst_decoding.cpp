#include "conversion/Decoding.h"
#include "conversion/MapIP.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;
using MapIP::DecodeError;
using MapIP::DecodeOptions;
using MapIP::Embedding;
using MapIP::RowDecoding;

class TestDecoding : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void messagesNameTheRowAndTheReason_data();
    void messagesNameTheRowAndTheReason();
    void hexFormsRoundTripInEveryEmbedding();
    void nonGlobalRanges_data();
    void nonGlobalRanges();
};

namespace {

DecodeOptions optionsFor(const QString& chosen)
{
    if (chosen.isEmpty())
        return DecodeOptions();
    const std::optional<Embedding> embedding = Embedding::parse(chosen);
    if (!embedding)
        qFatal("test embedding %s refused", qPrintable(chosen));
    return DecodeOptions(*embedding);
}

} // namespace

// An empty IPv4 address means the row is refused with `error`; an empty
// choice means every carrier is tried in order.
void TestDecoding::decodes_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("ipv4");
    QTest::addColumn<QString>("embedding");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("error");

    const auto row = [](const char* name, const char16_t* chosen, const char16_t* text, const char16_t* ipv4,
                        const char16_t* embedding, const char16_t* detail = u"") {
        QTest::newRow(name) << QString::fromUtf16(chosen) << QString::fromUtf16(text)
                            << QString::fromUtf16(ipv4) << QString::fromUtf16(embedding)
                            << QString::fromUtf16(detail) << int(DecodeError::None);
    };
    const auto refused
        = [](const char* name, const char16_t* chosen, const char16_t* text, DecodeError error) {
              QTest::newRow(name) << QString::fromUtf16(chosen) << QString::fromUtf16(text) << QString()
                                  << QString() << QString() << int(error);
          };
    // Every carrier, found without a choice.
    row("mapped, dotted", u"", u"::ffff:192.0.2.1", u"192.0.2.1", u"mapped");
    row("mapped, hex in capitals", u"", u"::FFFF:C000:0201", u"192.0.2.1", u"mapped");
    row("nat64", u"", u"64:ff9b::192.0.2.33", u"192.0.2.33", u"nat64");
    row("nat64 written out with zeros", u"", u"0064:FF9B:0000::0A00:0001", u"10.0.0.1", u"nat64");
    row("6to4", u"", u"2002:c000:201::", u"192.0.2.1", u"6to4");
    row("6to4 with a subnet and host", u"", u"2002:c000:0201:1::1", u"192.0.2.1", u"6to4");
    row("teredo", u"", u"2001:0:4136:e378:8000:63bf:3fff:fdd2", u"192.0.2.45", u"teredo",
        u"server 65.54.227.120, port 40000");
    row("isatap, link-local", u"", u"fe80::5efe:172.16.254.1", u"172.16.254.1", u"isatap");
    row("isatap, global identifier", u"", u"2001:db8::200:5efe:c000:201", u"192.0.2.1", u"isatap");
    row("isatap, group bit", u"", u"fe80::300:5efe:1.2.3.4", u"1.2.3.4", u"isatap");
    row("compatible", u"", u"::1.2.3.4", u"1.2.3.4", u"compatible");
    row("compatible, the least that is no loopback", u"", u"::2", u"0.0.0.2", u"compatible");
    row("blanks around are ignored", u"", u" \t::ffff:1.2.3.4 ", u"1.2.3.4", u"mapped");
    // The first carrier that matches decodes the row.
    row("6to4 before isatap", u"", u"2002:c000:201::5efe:1.2.3.4", u"192.0.2.1", u"6to4");
    row("teredo before isatap", u"", u"2001:0:4136:e378:0:5efe:3fff:fdd2", u"192.0.2.45", u"teredo",
        u"server 65.54.227.120, port 41217");
    row("isatap before compatible", u"", u"::5efe:1.2.3.4", u"1.2.3.4", u"isatap");
    refused("no carrier", u"", u"2001:db8::1", DecodeError::NoIpv4);
    refused("an identifier isatap has not", u"", u"fe80::400:5efe:1.2.3.4", DecodeError::NoIpv4);
    refused("unspecified", u"", u"::", DecodeError::NoIpv4);
    refused("loopback", u"", u"::1", DecodeError::NoIpv4);
    // What is no IPv6 address.
    refused("zone", u"", u"fe80::5efe:1.2.3.4%eth0", DecodeError::Zone);
    // Prefixes carry an IPv4 prefix.
    row("a mapped prefix", u"", u"::ffff:10.0.0.0/104", u"10.0.0.0/8", u"mapped");
    row("the whole mapped block", u"", u"::ffff:0:0/96", u"0.0.0.0/0", u"mapped");
    row("a nat64 prefix", u"", u"64:ff9b::c000:200/120", u"192.0.2.0/24", u"nat64");
    row("a 6to4 prefix", u"", u"2002:c000:200::/40", u"192.0.2.0/24", u"6to4");
    row("a compatible prefix", u"", u"::/96", u"0.0.0.0/0", u"compatible");
    row("a whole address as a prefix", u"", u"::ffff:1.2.3.4/128", u"1.2.3.4/32", u"mapped");
    row("behind a /48, bits 64 to 71 between", u"2001:db8:122::/48", u"2001:db8:122:c000:2::/80",
        u"192.0.2.0/24", u"2001:db8:122::/48");
    row("behind a /48, up to the u octet", u"2001:db8:122::/48", u"2001:db8:122:c000::/64", u"192.0.0.0/16",
        u"2001:db8:122::/48");
    refused("a prefix ending inside the u octet", u"2001:db8:122::/48", u"2001:db8:122:c000::/68",
            DecodeError::PrefixInsideReservedBits);
    refused("shorter than its embedding", u"", u"64:ff9b::/64", DecodeError::PrefixShorterThanEmbedding);
    refused("shorter than the chosen prefix", u"2001:db8:122::/48", u"2001:db8::/32",
            DecodeError::PrefixShorterThanEmbedding);
    refused("host bits set", u"", u"64:ff9b::c000:201/120", DecodeError::HostBitsSet);
    refused("a teredo prefix", u"", u"2001:0:4136:e378::/64", DecodeError::PrefixNotCarried);
    refused("an isatap prefix", u"", u"fe80::5efe:0:0/96", DecodeError::PrefixNotCarried);
    refused("a length past 128", u"", u"::ffff:0:0/129", DecodeError::PrefixLengthInvalid);
    refused("an empty length", u"", u"::ffff:0:0/", DecodeError::PrefixLengthInvalid);
    refused("an IPv4 address", u"", u"1.2.3.4", DecodeError::NotIpv6);
    refused("empty", u"", u"", DecodeError::NotIpv6);
    refused("leading zero in the quad", u"", u"::ffff:1.2.3.04", DecodeError::NotIpv6);
    refused("nine groups", u"", u"1:2:3:4:5:6:7:8:9", DecodeError::NotIpv6);
    refused("a group of five digits", u"", u"12345::", DecodeError::NotIpv6);
    refused("blank inside", u"", u"::ffff: 1.2.3.4", DecodeError::NotIpv6);
    refused("another separator in the quad", u"", u"::ffff:1.2.3,4", DecodeError::NotIpv6);
    refused("a quad cut short", u"", u"::ffff:1.2.3", DecodeError::NotIpv6);
    // Only the chosen embedding decodes; ::1 is the round trip of 0.0.0.1.
    row("compatible chosen: ::1", u"compatible", u"::1", u"0.0.0.1", u"compatible");
    row("compatible chosen: ::", u"compatible", u"::", u"0.0.0.0", u"compatible");
    refused("compatible chosen: mapped is outside", u"compatible", u"::ffff:1.2.3.4",
            DecodeError::OutsideBlock);
    row("nat64 chosen", u"nat64", u"64:ff9b::1.2.3.4", u"1.2.3.4", u"nat64");
    row("a typed prefix that is nat64's", u"64:ff9b::/96", u"64:ff9b::1.2.3.4", u"1.2.3.4", u"nat64");
    refused("nat64 chosen: 6to4 is outside", u"nat64", u"2002:c000:201::", DecodeError::OutsideBlock);
    refused("mapped chosen: teredo is outside", u"mapped", u"2001:0:4136:e378:8000:63bf:3fff:fdd2",
            DecodeError::OutsideBlock);
    // RFC 6052 section 2.4 backwards: the same address behind every length.
    row("rfc 6052 /32", u"2001:db8::/32", u"2001:db8:c000:221::", u"192.0.2.33", u"2001:db8::/32");
    row("rfc 6052 /40", u"2001:db8:100::/40", u"2001:db8:1c0:2:21::", u"192.0.2.33", u"2001:db8:100::/40");
    row("rfc 6052 /48", u"2001:db8:122::/48", u"2001:db8:122:c000:2:2100::", u"192.0.2.33",
        u"2001:db8:122::/48");
    row("rfc 6052 /56", u"2001:db8:122:300::/56", u"2001:db8:122:3c0:0:221::", u"192.0.2.33",
        u"2001:db8:122:300::/56");
    row("rfc 6052 /64", u"2001:db8:122:344::/64", u"2001:db8:122:344:c0:2:2100:0", u"192.0.2.33",
        u"2001:db8:122:344::/64");
    row("rfc 6052 /96", u"2001:db8:122:344::/96", u"2001:db8:122:344::192.0.2.33", u"192.0.2.33",
        u"2001:db8:122:344::/96");
    row("the suffix is not looked at", u"2001:db8:122::/48", u"2001:db8:122:c000:2:21ff:ffff:1",
        u"192.0.2.33", u"2001:db8:122::/48");
    refused("the u octet set behind /48", u"2001:db8:122::/48", u"2001:db8:122:c000:ff02:2100::",
            DecodeError::ReservedBitsSet);
    refused("the u octet set behind /64", u"2001:db8:122:344::/64", u"2001:db8:122:344:1c0:2:2100:0",
            DecodeError::ReservedBitsSet);
    refused("another /40", u"2001:db8:100::/40", u"2001:db8:2c0:2:21::", DecodeError::OutsideBlock);
}

void TestDecoding::decodes()
{
    QFETCH(QString, chosen);
    QFETCH(QString, row);
    QFETCH(QString, ipv4);
    QFETCH(QString, embedding);
    QFETCH(QString, detail);
    QFETCH(int, error);

    const DecodeOptions options = optionsFor(chosen);
    const RowDecoding decoding(row, options);
    QCOMPARE(int(decoding.decoded().error), error);
    QCOMPARE(decoding.text(RowDecoding::Field::Ipv4).toString(), ipv4);
    QCOMPARE(decoding.text(RowDecoding::Field::Embedding).toString(), embedding);
    QCOMPARE(decoding.text(RowDecoding::Field::Detail).toString(), detail);
    QCOMPARE(MapIP::describe(decoding.decoded(), row, options).isEmpty(), error == int(DecodeError::None));
    // The reverse-DNS name is the IPv4 address's (the zones are tested with
    // the networks); one that did not decode has none.
    QCOMPARE(decoding.reverseDnsName().isEmpty(), ipv4.isEmpty());
    if (row == u"64:ff9b::c000:200/120")
        QCOMPARE(decoding.reverseDnsName(), u"2.0.192.in-addr.arpa"_s);

    // An address kept as address() makes the same fields again; a failure,
    // a prefix and a Teredo address (its detail) are not kept.
    const std::optional<MapIP::DecodedAddress> address = decoding.address();
    QCOMPARE(address.has_value(), !ipv4.isEmpty() && !ipv4.contains(u'/') && detail.isEmpty());
    if (address) {
        const RowDecoding again(row, *address, options);
        for (const RowDecoding::Field field :
             { RowDecoding::Field::Ipv4, RowDecoding::Field::Embedding, RowDecoding::Field::Detail })
            QCOMPARE(again.text(field), decoding.text(field));
        QCOMPARE(again.reverseDnsName(), decoding.reverseDnsName());
    }
}

void TestDecoding::messagesNameTheRowAndTheReason_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("message");

    QTest::newRow("not IPv6")
        << QString() << u"1.2.3.4"_s
        << u"Not an IPv6 address: \"1.2.3.4\" is not IPv6 text (groups of hex digits joined "
           u"by \":\")"_s;
    QTest::newRow("zone")
        << QString() << u"fe80::1%eth0"_s
        << u"Not an IPv6 address: \"fe80::1%eth0\" names a zone (\"%\" and what follows); give "
           u"the address without it"_s;
    QTest::newRow("no carrier") << QString() << u"2001:db8::1"_s
                                << u"No IPv4 address: \"2001:db8::1\" lies in none of the blocks that carry "
                                   u"one (mapped, nat64, 6to4, "
                                   u"teredo, isatap, compatible)"_s;
    QTest::newRow("outside a named block")
        << u"nat64"_s << u"::ffff:1.2.3.4"_s
        << u"Not in the chosen block: \"::ffff:1.2.3.4\" lies outside 64:ff9b::/96 (nat64)"_s;
    QTest::newRow("reserved bits") << u"2001:db8:122::/48"_s << u"2001:db8:122:c000:ff02:2100::"_s
                                   << u"Not an RFC 6052 address: \"2001:db8:122:c000:ff02:2100::\" has bits "
                                      u"64 to 71 set, which stay zero "
                                      u"behind 2001:db8:122::/48"_s;
    QTest::newRow("host bits")
        << QString() << u"64:ff9b::c000:201/120"_s
        << u"Not a network: \"64:ff9b::c000:201/120\" has bits set past its length; did you mean "
           u"64:ff9b::c000:200/120?"_s;
    QTest::newRow("shorter than the embedding") << QString() << u"64:ff9b::/64"_s
                                                << u"Not an IPv4 prefix: \"64:ff9b::/64\" is shorter than "
                                                   u"its embedding (64:ff9b::/96 (nat64)), so it "
                                                   u"holds more than IPv4 addresses"_s;
    QTest::newRow("teredo prefix")
        << QString() << u"2001:0:4136:e378::/64"_s
        << u"Not an IPv4 prefix: \"2001:0:4136:e378::/64\" is a teredo prefix; Teredo "
           u"and ISATAP addresses carry an IPv4 address, their prefixes none"_s;
    QTest::newRow("a long row is cut") << QString() << QString(100, u'x')
                                       << u"Not an IPv6 address: \""_s + QString(40, u'x')
            + u"\u2026\" is not IPv6 text (groups of hex digits joined by \":\")"_s;
}

void TestDecoding::messagesNameTheRowAndTheReason()
{
    QFETCH(QString, chosen);
    QFETCH(QString, row);
    QFETCH(QString, message);

    const DecodeOptions options = optionsFor(chosen);
    QCOMPARE(MapIP::describe(MapIP::decode(row, options), row, options), message);
}

// Decoding what the forward direction writes gives the address back, behind
// every embedding and length, from either hex form, in either text style.
void TestDecoding::hexFormsRoundTripInEveryEmbedding()
{
    QRandomGenerator random(20261208);
    const QStringList embeddings { u"compatible"_s,
                                   u"mapped"_s,
                                   u"nat64"_s,
                                   u"2001:db8::/32"_s,
                                   u"2001:db8:100::/40"_s,
                                   u"2001:db8:122::/48"_s,
                                   u"2001:db8:122:300::/56"_s,
                                   u"2001:db8:122:344::/64"_s,
                                   u"2001:db8:64::/96"_s,
                                   u"ffff:ffff:ffff:ffff::/64"_s };
    for (const QString& text : embeddings) {
        const Embedding embedding = *Embedding::parse(text);
        const DecodeOptions chosen(embedding);
        for (const MapIP::TextStyle style : { MapIP::TextStyle::Program, MapIP::TextStyle::Rfc5952 }) {
            const MapIP::ConversionOptions forward(embedding, style);
            for (int i = 0; i < 2000; ++i) {
                // The ends of the range and random addresses between them.
                const quint32 address = i == 0 ? 0u : i == 1 ? 0xFFFFFFFFu : random.generate();
                const QString quad = MapIP::dottedQuad(address);
                const MapIP::RowConversion row(quad, forward);
                for (const MapIP::Form form : { MapIP::Form::Full, MapIP::Form::Shorthand }) {
                    const QString written = MapIP::convert(form, quad, forward);
                    const RowDecoding back(written, chosen);
                    QVERIFY2(!back.failed() && back.decoded().ipv4 == address,
                             qPrintable(text + u' ' + quad + u' ' + written));
                }
            }
        }
    }
}

void TestDecoding::nonGlobalRanges_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("range");

    QTest::newRow("this network") << u"0.1.2.3"_s << u"a \"this network\" address (RFC 1122)"_s;
    QTest::newRow("private 10/8") << u"10.255.0.1"_s << u"a private address (RFC 1918)"_s;
    QTest::newRow("private 172.16/12, last") << u"172.31.255.255"_s << u"a private address (RFC 1918)"_s;
    QTest::newRow("just past 172.16/12") << u"172.32.0.0"_s << QString();
    QTest::newRow("private 192.168/16") << u"192.168.1.1"_s << u"a private address (RFC 1918)"_s;
    QTest::newRow("shared") << u"100.64.0.1"_s << u"a shared address (RFC 6598)"_s;
    QTest::newRow("just past shared") << u"100.128.0.0"_s << QString();
    QTest::newRow("loopback") << u"127.0.0.1"_s << u"a loopback address (RFC 1122)"_s;
    QTest::newRow("link-local") << u"169.254.1.1"_s << u"a link-local address (RFC 3927)"_s;
    QTest::newRow("documentation") << u"198.51.100.7"_s << u"a documentation address (RFC 5737)"_s;
    QTest::newRow("benchmarking") << u"198.19.255.255"_s << u"a benchmarking address (RFC 2544)"_s;
    QTest::newRow("multicast") << u"224.0.0.1"_s << u"a multicast address (RFC 5771)"_s;
    QTest::newRow("broadcast") << u"255.255.255.255"_s << u"a reserved address (RFC 1112)"_s;
    QTest::newRow("global") << u"8.8.8.8"_s << QString();
    QTest::newRow("global, next to documentation") << u"192.0.3.0"_s << QString();
}

void TestDecoding::nonGlobalRanges()
{
    QFETCH(QString, address);
    QFETCH(QString, range);

    const std::optional<quint32> value = MapIP::RowConversion(address).ipv4();
    QVERIFY(value);
    QCOMPARE(MapIP::nonGlobalRange(*value).value_or(QString()), range);
}

QTEST_APPLESS_MAIN(TestDecoding)
#include "tst_decoding.moc"
