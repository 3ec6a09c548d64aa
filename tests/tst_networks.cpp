#include "conversion/MapIP.h"
#include "conversion/Networks.h"

#include <QTest>

using namespace Qt::StringLiterals;
using MapIP::ConversionOptions;
using MapIP::Embedding;
using MapIP::Form;
using MapIP::Ipv4Network;
using MapIP::RowConversion;
using MapIP::TextStyle;

class TestNetworks : public QObject
{
    Q_OBJECT

private slots:
    void prefixLengthsCoverTheEmbedding_data();
    void prefixLengthsCoverTheEmbedding();
    void prefixForms_data();
    void prefixForms();
    void refusedPrefixesNameWhatWasMeant_data();
    void refusedPrefixesNameWhatWasMeant();
    void rowsThatOnlyLookLikePrefixesStayAddresses();
    void rangesSplitIntoPrefixes_data();
    void rangesSplitIntoPrefixes();
    void everythingButTheEnds();
    void rangePartsCarryTheRange();
    void reverseZones_data();
    void reverseZones();
};

namespace {

ConversionOptions optionsFor(const QString& embedding, TextStyle style = TextStyle::Program)
{
    return ConversionOptions(*Embedding::parse(embedding), style);
}

QString formText(const RowConversion& row, Form form)
{
    QString text;
    row.write(form, text);
    return text;
}

} // namespace

// The length of a prefix's forms covers the embedding's prefix and the
// prefix's bits, wherever RFC 6052 puts them.
void TestNetworks::prefixLengthsCoverTheEmbedding_data()
{
    QTest::addColumn<QString>("embedding");
    QTest::addColumn<QList<int>>("lengths"); // for n = 0, 1, 8, 24, 31, 32

    QTest::newRow("/96 blocks") << u"mapped"_s << QList<int> { 96, 97, 104, 120, 127, 128 };
    QTest::newRow("/32") << u"2001:db8::/32"_s << QList<int> { 32, 33, 40, 56, 63, 64 };
    QTest::newRow("/40: bits 64 to 71 lie inside")
        << u"2001:db8:100::/40"_s << QList<int> { 40, 41, 48, 64, 79, 80 };
    QTest::newRow("/48") << u"2001:db8:122::/48"_s << QList<int> { 48, 49, 56, 80, 87, 88 };
    QTest::newRow("/56") << u"2001:db8:122:300::/56"_s << QList<int> { 56, 57, 64, 88, 95, 96 };
    QTest::newRow("/64: the first bit after the u octet")
        << u"2001:db8::/64"_s << QList<int> { 64, 73, 80, 96, 103, 104 };
}

void TestNetworks::prefixLengthsCoverTheEmbedding()
{
    QFETCH(QString, embedding);
    QFETCH(QList<int>, lengths);

    const ConversionOptions options = optionsFor(embedding, TextStyle::Rfc5952);
    const int bits[] = { 0, 1, 8, 24, 31, 32 };
    for (size_t i = 0; i < std::size(bits); ++i) {
        // The network 128.0.0.0/1, 128.0.0.0/8 and so on: its first bit set.
        const QString network = bits[i] == 0 ? u"0.0.0.0"_s : u"128.0.0.0"_s;
        const QString row = network + u'/' + QString::number(bits[i]);
        const RowConversion conversion(row, options);
        QCOMPARE(conversion.kind(), RowConversion::Kind::Prefix);
        QCOMPARE(conversion.formPrefixLength(), lengths[qsizetype(i)]);
        // The forms are the address's, followed by the length.
        const RowConversion address(network, options);
        const QString suffix = u'/' + QString::number(lengths[qsizetype(i)]);
        QCOMPARE(formText(conversion, Form::Shorthand), formText(address, Form::Shorthand) + suffix);
        QCOMPARE(formText(conversion, Form::Full), formText(address, Form::Full) + suffix);
    }
}

void TestNetworks::prefixForms_data()
{
    QTest::addColumn<QString>("embedding");
    QTest::addColumn<bool>("rfc5952");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QStringList>("forms");

    QTest::newRow("mapped, the program's text")
        << u"mapped"_s << false << u"10.0.0.0/8"_s
        << QStringList { u"0000:0000:0000:0000:0000:FFFF:0A00:0000/104"_s, u"::FFFF:0A00:0000/104"_s,
                         u"0000:0000:0000:0000:0000:FFFF:10.0.0.0/104"_s, u"::FFFF:10.0.0.0/104"_s };
    QTest::newRow("mapped, RFC 5952 text")
        << u"mapped"_s << true << u"10.0.0.0/8"_s
        << QStringList { u"0000:0000:0000:0000:0000:ffff:0a00:0000/104"_s, u"::ffff:a00:0/104"_s,
                         u"0000:0000:0000:0000:0000:ffff:10.0.0.0/104"_s, u"::ffff:10.0.0.0/104"_s };
    QTest::newRow("the whole space") << u"nat64"_s << true << u"0.0.0.0/0"_s
                                     << QStringList { u"0064:ff9b:0000:0000:0000:0000:0000:0000/96"_s,
                                                      u"64:ff9b::/96"_s,
                                                      u"0064:ff9b:0000:0000:0000:0000:0.0.0.0/96"_s,
                                                      u"64:ff9b::0.0.0.0/96"_s };
    QTest::newRow("the program's dot forms keep the address as given")
        << u"compatible"_s << false << u"010.0.0.0/8"_s
        << QStringList { u"0000:0000:0000:0000:0000:0000:0A00:0000/104"_s, u"::0A00:0000/104"_s,
                         u"0000:0000:0000:0000:0000:0000:010.0.0.0/104"_s, u"::010.0.0.0/104"_s };
    QTest::newRow("/48 with /24 gives /80")
        << u"2001:db8:122::/48"_s << true << u"192.0.2.0/24"_s
        << QStringList { u"2001:0db8:0122:c000:0002:0000:0000:0000/80"_s, u"2001:db8:122:c000:2::/80"_s,
                         QString(), QString() };
}

void TestNetworks::prefixForms()
{
    QFETCH(QString, embedding);
    QFETCH(bool, rfc5952);
    QFETCH(QString, row);
    QFETCH(QStringList, forms);

    const ConversionOptions options
        = optionsFor(embedding, rfc5952 ? TextStyle::Rfc5952 : TextStyle::Program);
    const RowConversion conversion(row, options);
    for (const MapIP::FormDefinition& form : MapIP::Forms)
        QCOMPARE(formText(conversion, form.form), forms[qsizetype(MapIP::formIndex(form.form))]);
}

void TestNetworks::refusedPrefixesNameWhatWasMeant_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");

    QTest::newRow("host bits set")
        << u"10.0.0.1/8"_s << int(MapIP::ConversionError::HostBitsSet)
        << u"Not a network: \"10.0.0.1/8\" has bits set past its length; did you mean "
           u"10.0.0.0/8?"_s;
    QTest::newRow("longer than 32")
        << u"10.0.0.0/33"_s << int(MapIP::ConversionError::PrefixLengthInvalid)
        << u"Not a prefix: the length in \"10.0.0.0/33\" is not a number from 0 to 32; "
           u"did you mean 10.0.0.0/32?"_s;
    QTest::newRow("not a number")
        << u"10.0.0.0/8x"_s << int(MapIP::ConversionError::PrefixLengthInvalid)
        << u"Not a prefix: the length in \"10.0.0.0/8x\" is not a number from 0 to 32; "
           u"did you mean 10.0.0.0/32?"_s;
    QTest::newRow("empty length") << u"10.0.0.0/"_s << int(MapIP::ConversionError::PrefixLengthMissing)
                                  << u"Not a prefix: \"10.0.0.0/\" has no length after \"/\"; did you mean "
                                     u"10.0.0.0/32?"_s;
    QTest::newRow("a range backwards")
        << u"10.0.0.9-10.0.0.1"_s << int(MapIP::ConversionError::RangeBackwards)
        << u"Not a range: \"10.0.0.9-10.0.0.1\" ends below where it starts; did you "
           u"mean 10.0.0.1-10.0.0.9?"_s;
    QTest::newRow("a range of several prefixes")
        << u"10.0.0.1-10.0.0.6"_s << int(MapIP::ConversionError::SeveralPrefixes)
        << u"The range \"10.0.0.1-10.0.0.6\" holds 4 prefixes; the batch window lists them one by one"_s;
}

// A refused prefix fails every form, the dot forms of the program's text
// included: copying it would write a network that does not exist.
void TestNetworks::refusedPrefixesNameWhatWasMeant()
{
    QFETCH(QString, row);
    QFETCH(int, error);
    QFETCH(QString, message);

    const RowConversion conversion(row);
    QCOMPARE(conversion.convertedForms(), 0u);
    QCOMPARE(int(conversion.failure(Form::DotShorthand).error), error);
    QCOMPARE(MapIP::describe(conversion.failure(Form::Full)), message);
}

// Rows that were addresses before prefixes and ranges existed convert as
// they always did.
void TestNetworks::rowsThatOnlyLookLikePrefixesStayAddresses()
{
    for (const QString& row : { u"-1.0.0.0"_s, u"abc/8"_s, u"1.2.3/8"_s, u"1.2.3.-0"_s, u"1-2"_s }) {
        const RowConversion conversion(row);
        QCOMPARE(conversion.kind(), RowConversion::Kind::Address);
        QCOMPARE(formText(conversion, Form::DotShorthand), u"::"_s + row);
        QCOMPARE(conversion.formPrefixLength(), -1);
    }
    // "-0" is a number in the program's text, so this one converts.
    QCOMPARE(formText(RowConversion(u"1.2.3.-0"_s), Form::Shorthand), u"::0102:0300"_s);
}

void TestNetworks::rangesSplitIntoPrefixes_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QStringList>("prefixes");

    QTest::newRow("one address") << u"10.0.0.1-10.0.0.1"_s << QStringList { u"10.0.0.1/32"_s };
    QTest::newRow("one prefix") << u"10.0.0.0-10.255.255.255"_s << QStringList { u"10.0.0.0/8"_s };
    QTest::newRow("an unaligned start and end")
        << u"10.0.0.1-10.0.0.6"_s
        << QStringList { u"10.0.0.1/32"_s, u"10.0.0.2/31"_s, u"10.0.0.4/31"_s, u"10.0.0.6/32"_s };
    QTest::newRow("the whole space") << u"0.0.0.0-255.255.255.255"_s << QStringList { u"0.0.0.0/0"_s };
    QTest::newRow("blanks in the program's text")
        << u" 10.0.0.0 - 10.0.0.1"_s << QStringList { u"10.0.0.0/31"_s };
}

void TestNetworks::rangesSplitIntoPrefixes()
{
    QFETCH(QString, row);
    QFETCH(QStringList, prefixes);

    QStringList got;
    for (const Ipv4Network& prefix : RowConversion(row).rangePrefixes())
        got.append(MapIP::dottedQuad(prefix.address) + u'/' + QString::number(prefix.length));
    QCOMPARE(got, prefixes);
}

void TestNetworks::everythingButTheEnds()
{
    // Everything but the first and the last address of the space: 62 prefixes
    // that meet end to end and cover it exactly.
    const std::vector<Ipv4Network> most = MapIP::summarizeRange(1, 0xFFFFFFFE);
    QCOMPARE(most.size(), size_t(62));
    quint64 next = 1;
    for (const Ipv4Network& prefix : most) {
        QCOMPARE(quint64(prefix.address), next);
        QCOMPARE(prefix.address & ~MapIP::networkMask(prefix.length), 0u);
        next = quint64(prefix.last()) + 1;
    }
    QCOMPARE(next, quint64(0xFFFFFFFF));
}

void TestNetworks::rangePartsCarryTheRange()
{
    const QString range = u"10.0.0.1-10.0.0.6"_s;
    const ConversionOptions options = optionsFor(u"nat64"_s, TextStyle::Rfc5952);
    const RowConversion part(range, Ipv4Network { 0x0A000002, 31 }, options);
    QCOMPARE(part.address(), range);
    QCOMPARE(formText(part, Form::Shorthand), u"64:ff9b::a00:2/127"_s);
    QCOMPARE(formText(part, Form::DotShorthand), u"64:ff9b::10.0.0.2/127"_s);
    // The program's dot forms write the part's address, not the range.
    const RowConversion programPart(range, Ipv4Network { 0x0A000002, 31 }, ConversionOptions::defaults());
    QCOMPARE(formText(programPart, Form::DotShorthand), u"::10.0.0.2/127"_s);
}

void TestNetworks::reverseZones_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("decode");
    QTest::addColumn<QString>("zones");

    const QString mappedTail = u"0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.ip6.arpa"_s;
    QTest::newRow("an address") << u"192.0.2.33"_s << false << u"1.2.2.0.0.0.0.c.f.f.f.f."_s + mappedTail;
    QTest::newRow("a prefix on a nibble") << u"192.0.0.0/8"_s << false << u"0.c.f.f.f.f."_s + mappedTail;
    QTest::newRow("a prefix between nibbles: two zones")
        << u"192.0.0.0/7"_s << false << u"0.c.f.f.f.f."_s + mappedTail + u" 1.c.f.f.f.f."_s + mappedTail;
    QTest::newRow("a prefix between nibbles: eight zones") << u"128.0.0.0/1"_s << false << [&] {
        QStringList names;
        for (const char c : "89abcdef")
            if (c)
                names.append(QString(QLatin1Char(c)) + u".f.f.f.f."_s + mappedTail);
        return names.join(u' ');
    }();
    QTest::newRow("in-addr.arpa: an address") << u"192.0.2.33"_s << true << u"33.2.0.192.in-addr.arpa"_s;
    QTest::newRow("in-addr.arpa: on an octet") << u"192.0.2.0/24"_s << true << u"2.0.192.in-addr.arpa"_s;
    QTest::newRow("in-addr.arpa: between octets")
        << u"192.0.2.0/23"_s << true << u"2.0.192.in-addr.arpa 3.0.192.in-addr.arpa"_s;
    QTest::newRow("in-addr.arpa: everything") << u"0.0.0.0/0"_s << true << u"in-addr.arpa"_s;
}

void TestNetworks::reverseZones()
{
    QFETCH(QString, row);
    QFETCH(bool, decode);
    QFETCH(QString, zones);

    const ConversionOptions mapped = optionsFor(u"mapped"_s);
    const RowConversion conversion(row, mapped);
    if (!decode) {
        QCOMPARE(conversion.reverseDnsName(), zones);
        return;
    }
    const Ipv4Network network = conversion.network().value_or(Ipv4Network { *conversion.ipv4(), 32 });
    QCOMPARE(MapIP::inAddrArpaZones(network.address, network.length), zones);
}

QTEST_APPLESS_MAIN(TestNetworks)
#include "tst_networks.moc"
