#include "conversion/Embedding.h"
#include "conversion/MapIP.h"

#include <QTest>

using namespace Qt::StringLiterals;
using MapIP::ConversionOptions;
using MapIP::Embedding;
using MapIP::Form;
using MapIP::TextStyle;

class TestEmbedding : public QObject
{
    Q_OBJECT

private slots:
    void forms_data();
    void forms();
    void rfc5952RefusesWhatIsNoAddress_data();
    void rfc5952RefusesWhatIsNoAddress();
    void prefixes_data();
    void prefixes();
    void defaultsAreTheProgramsForms();
    void lengthsAgreeWithTheTexts();
    void dotFormsBelow96AreNotWritten();
};

namespace {

ConversionOptions optionsFor(const QString& block, bool rfc5952)
{
    QString error;
    const std::optional<Embedding> embedding = Embedding::parse(block, &error);
    if (!embedding)
        qFatal("test block %s refused: %s", qPrintable(block), qPrintable(error));
    return ConversionOptions(*embedding, rfc5952 ? TextStyle::Rfc5952 : TextStyle::Program);
}

} // namespace

// An empty expected form means that the form fails.
void TestEmbedding::forms_data()
{
    QTest::addColumn<QString>("block");
    QTest::addColumn<bool>("rfc5952");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("expected");

    const auto row = [](const char* name, const char16_t* block, bool rfc, const char16_t* address,
                        QStringList expected) {
        QTest::newRow(name) << QString::fromUtf16(block) << rfc << QString::fromUtf16(address) << expected;
    };
    const bool program = false;
    const bool rfc = true;
    const QString zeros5 = u"0000:0000:0000:0000:0000:"_s;
    // The program's text.
    row("compatible as today", u"compatible", program, u"172.16.254.1",
        { zeros5 + u"0000:AC10:FE01"_s, u"::AC10:FE01"_s, zeros5 + u"0000:172.16.254.1"_s,
          u"::172.16.254.1"_s });
    row("compatible zero keeps its groups", u"compatible", program, u"0.0.0.0",
        { zeros5 + u"0000:0000:0000"_s, u"::0000:0000"_s, zeros5 + u"0000:0.0.0.0"_s, u"::0.0.0.0"_s });
    row("mapped", u"mapped", program, u"172.16.254.1",
        { zeros5 + u"FFFF:AC10:FE01"_s, u"::FFFF:AC10:FE01"_s, zeros5 + u"FFFF:172.16.254.1"_s,
          u"::FFFF:172.16.254.1"_s });
    row("nat64", u"nat64", program, u"172.16.254.1",
        { u"0064:FF9B:0000:0000:0000:0000:AC10:FE01"_s, u"0064:FF9B::AC10:FE01"_s,
          u"0064:FF9B:0000:0000:0000:0000:172.16.254.1"_s, u"0064:FF9B::172.16.254.1"_s });
    row("gateway prefix", u"2001:db8:64::/96", program, u"172.16.254.1",
        { u"2001:0DB8:0064:0000:0000:0000:AC10:FE01"_s, u"2001:0DB8:0064::AC10:FE01"_s,
          u"2001:0DB8:0064:0000:0000:0000:172.16.254.1"_s, u"2001:0DB8:0064::172.16.254.1"_s });
    row("program: zero run at the start", u"::1:2:3:0:0/96", program, u"172.16.254.1",
        { u"0000:0000:0000:0001:0002:0003:AC10:FE01"_s, u"::0001:0002:0003:AC10:FE01"_s,
          u"0000:0000:0000:0001:0002:0003:172.16.254.1"_s, u"::0001:0002:0003:172.16.254.1"_s });
    row("program: zero run in the middle", u"1::2:3:0:0/96", program, u"172.16.254.1",
        { u"0001:0000:0000:0000:0002:0003:AC10:FE01"_s, u"0001::0002:0003:AC10:FE01"_s,
          u"0001:0000:0000:0000:0002:0003:172.16.254.1"_s, u"0001::0002:0003:172.16.254.1"_s });
    row("program: tie goes to the first run", u"1:0:0:2::/96", program, u"172.16.254.1",
        { u"0001:0000:0000:0002:0000:0000:AC10:FE01"_s, u"0001::0002:0000:0000:AC10:FE01"_s,
          u"0001:0000:0000:0002:0000:0000:172.16.254.1"_s, u"0001::0002:0000:0000:172.16.254.1"_s });
    row("program: a lone zero group stays", u"1:0:2:3:4:5::/96", program, u"10.0.0.1",
        { u"0001:0000:0002:0003:0004:0005:0A00:0001"_s, u"0001:0000:0002:0003:0004:0005:0A00:0001"_s,
          u"0001:0000:0002:0003:0004:0005:10.0.0.1"_s, u"0001:0000:0002:0003:0004:0005:10.0.0.1"_s });
    row("program: failing octets fail the hex forms", u"mapped", program, u"1.2.3.256",
        { u""_s, u""_s, zeros5 + u"FFFF:1.2.3.256"_s, u"::FFFF:1.2.3.256"_s });
    row("program: three parts as today", u"nat64", program, u"1.2.3",
        { u"0064:FF9B:0000:0000:0000:0000:0102:0203"_s, u"0064:FF9B::0102:0203"_s,
          u"0064:FF9B:0000:0000:0000:0000:1.2.3"_s, u"0064:FF9B::1.2.3"_s });
    row("program: the row as given", u"mapped", program, u" 010.0.0.1",
        { zeros5 + u"FFFF:0A00:0001"_s, u"::FFFF:0A00:0001"_s, zeros5 + u"FFFF: 010.0.0.1"_s,
          u"::FFFF: 010.0.0.1"_s });

    // RFC 5952 text.
    row("rfc: mapped", u"mapped", rfc, u"172.16.254.1",
        { zeros5 + u"ffff:ac10:fe01"_s, u"::ffff:ac10:fe01"_s, zeros5 + u"ffff:172.16.254.1"_s,
          u"::ffff:172.16.254.1"_s });
    row("rfc: nat64", u"nat64", rfc, u"172.16.254.1",
        { u"0064:ff9b:0000:0000:0000:0000:ac10:fe01"_s, u"64:ff9b::ac10:fe01"_s,
          u"0064:ff9b:0000:0000:0000:0000:172.16.254.1"_s, u"64:ff9b::172.16.254.1"_s });
    row("rfc: compatible zero is ::", u"compatible", rfc, u"0.0.0.0",
        { zeros5 + u"0000:0000:0000"_s, u"::"_s, zeros5 + u"0000:0.0.0.0"_s, u"::0.0.0.0"_s });
    row("RFC 6052 2.4 /96 example", u"64:ff9b::/96", rfc, u"192.0.2.33",
        { u"0064:ff9b:0000:0000:0000:0000:c000:0221"_s, u"64:ff9b::c000:221"_s,
          u"0064:ff9b:0000:0000:0000:0000:192.0.2.33"_s, u"64:ff9b::192.0.2.33"_s });
    row("RFC 4291 mapped example", u"mapped", rfc, u"129.144.52.38",
        { zeros5 + u"ffff:8190:3426"_s, u"::ffff:8190:3426"_s, zeros5 + u"ffff:129.144.52.38"_s,
          u"::ffff:129.144.52.38"_s });
    row("rfc: zero run at the start", u"::1:2:3:0:0/96", rfc, u"172.16.254.1",
        { u"0000:0000:0000:0001:0002:0003:ac10:fe01"_s, u"::1:2:3:ac10:fe01"_s,
          u"0000:0000:0000:0001:0002:0003:172.16.254.1"_s, u"::1:2:3:172.16.254.1"_s });
    row("rfc: zero run in the middle", u"1::2:3:0:0/96", rfc, u"172.16.254.1",
        { u"0001:0000:0000:0000:0002:0003:ac10:fe01"_s, u"1::2:3:ac10:fe01"_s,
          u"0001:0000:0000:0000:0002:0003:172.16.254.1"_s, u"1::2:3:172.16.254.1"_s });
    row("rfc: zero run at the end", u"1:2:3:4::/96", rfc, u"172.16.254.1",
        { u"0001:0002:0003:0004:0000:0000:ac10:fe01"_s, u"1:2:3:4::ac10:fe01"_s,
          u"0001:0002:0003:0004:0000:0000:172.16.254.1"_s, u"1:2:3:4::172.16.254.1"_s });
    row("rfc: zero run at the end takes the address's zeros", u"1:2:3:4::/96", rfc, u"0.0.0.0",
        { u"0001:0002:0003:0004:0000:0000:0000:0000"_s, u"1:2:3:4::"_s,
          u"0001:0002:0003:0004:0000:0000:0.0.0.0"_s, u"1:2:3:4::0.0.0.0"_s });
    row("rfc: no zero run", u"1:2:3:4:5:6::/96", rfc, u"172.16.254.1",
        { u"0001:0002:0003:0004:0005:0006:ac10:fe01"_s, u"1:2:3:4:5:6:ac10:fe01"_s,
          u"0001:0002:0003:0004:0005:0006:172.16.254.1"_s, u"1:2:3:4:5:6:172.16.254.1"_s });
    row("rfc: tie goes to the first run", u"1:0:0:2::/96", rfc, u"172.16.254.1",
        { u"0001:0000:0000:0002:0000:0000:ac10:fe01"_s, u"1::2:0:0:ac10:fe01"_s,
          u"0001:0000:0000:0002:0000:0000:172.16.254.1"_s, u"1::2:0:0:172.16.254.1"_s });
    row("rfc: the address lengthens the second run", u"1:0:0:2::/96", rfc, u"0.0.0.1",
        { u"0001:0000:0000:0002:0000:0000:0000:0001"_s, u"1:0:0:2::1"_s,
          u"0001:0000:0000:0002:0000:0000:0.0.0.1"_s, u"1::2:0:0:0.0.0.1"_s });
    row("rfc: a lone zero group is 0", u"1:0:2:3:4:5::/96", rfc, u"10.0.0.1",
        { u"0001:0000:0002:0003:0004:0005:0a00:0001"_s, u"1:0:2:3:4:5:a00:1"_s,
          u"0001:0000:0002:0003:0004:0005:10.0.0.1"_s, u"1:0:2:3:4:5:10.0.0.1"_s });
    row("rfc: the dotted quad written canonically", u"nat64", rfc, u"010.001.000.009",
        { u"0064:ff9b:0000:0000:0000:0000:0a01:0009"_s, u"64:ff9b::a01:9"_s,
          u"0064:ff9b:0000:0000:0000:0000:10.1.0.9"_s, u"64:ff9b::10.1.0.9"_s });
    // RFC 6052 section 2.4's worked values: 192.0.2.33 behind a prefix of
    // every length. Below /96 only the hex forms exist.
    row("rfc 6052 /32", u"2001:db8::/32", rfc, u"192.0.2.33",
        { u"2001:0db8:c000:0221:0000:0000:0000:0000"_s, u"2001:db8:c000:221::"_s, {}, {} });
    row("rfc 6052 /40", u"2001:db8:100::/40", rfc, u"192.0.2.33",
        { u"2001:0db8:01c0:0002:0021:0000:0000:0000"_s, u"2001:db8:1c0:2:21::"_s, {}, {} });
    row("rfc 6052 /48", u"2001:db8:122::/48", rfc, u"192.0.2.33",
        { u"2001:0db8:0122:c000:0002:2100:0000:0000"_s, u"2001:db8:122:c000:2:2100::"_s, {}, {} });
    row("rfc 6052 /56", u"2001:db8:122:300::/56", rfc, u"192.0.2.33",
        { u"2001:0db8:0122:03c0:0000:0221:0000:0000"_s, u"2001:db8:122:3c0:0:221::"_s, {}, {} });
    row("rfc 6052 /64", u"2001:db8:122:344::/64", rfc, u"192.0.2.33",
        { u"2001:0db8:0122:0344:00c0:0002:2100:0000"_s, u"2001:db8:122:344:c0:2:2100:0"_s, {}, {} });
    row("rfc 6052 /96", u"2001:db8:122:344::/96", rfc, u"192.0.2.33",
        { u"2001:0db8:0122:0344:0000:0000:c000:0221"_s, u"2001:db8:122:344::c000:221"_s,
          u"2001:0db8:0122:0344:0000:0000:192.0.2.33"_s, u"2001:db8:122:344::192.0.2.33"_s });
    // The program's text keeps every digit in upper case; its shorthand
    // writes the longest run of zero groups "::".
    row("program /48", u"2001:db8:122::/48", program, u"192.0.2.33",
        { u"2001:0DB8:0122:C000:0002:2100:0000:0000"_s, u"2001:0DB8:0122:C000:0002:2100::"_s, {}, {} });
    row("program /64, a lone zero group stays", u"2001:db8:122:344::/64", program, u"192.0.2.33",
        { u"2001:0DB8:0122:0344:00C0:0002:2100:0000"_s,
          u"2001:0DB8:0122:0344:00C0:0002:2100:0000"_s,
          {},
          {} });
    row("program /56, the first of two runs", u"2001:db8:0:0::/56", program, u"0.0.0.1",
        { u"2001:0DB8:0000:0000:0000:0001:0000:0000"_s, u"2001:0DB8::0001:0000:0000"_s, {}, {} });
    row("program /32 reads blanks as the program does", u"2001:db8::/32", program, u" 10.0.0.1",
        { u"2001:0DB8:0A00:0001:0000:0000:0000:0000"_s, u"2001:0DB8:0A00:0001::"_s, {}, {} });
    row("below /96, three parts are no address", u"2001:db8::/32", program, u"1.2.3", { {}, {}, {}, {} });
}

void TestEmbedding::forms()
{
    QFETCH(QString, block);
    QFETCH(bool, rfc5952);
    QFETCH(QString, address);
    QFETCH(QStringList, expected);

    const ConversionOptions options = optionsFor(block, rfc5952);
    const MapIP::RowConversion row(address, options);
    for (int k = 1; k <= MapIP::FormCount; ++k) {
        const Form form = MapIP::formAt(k);
        const QString& want = expected[k - 1];
        QString text = u"kept"_s;
        row.write(form, text);
        QCOMPARE(row.converts(form), !want.isEmpty());
        QCOMPARE(text, want.isEmpty() ? u"kept"_s : want);
    }
}

void TestEmbedding::rfc5952RefusesWhatIsNoAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("description");

    QTest::newRow("three parts")
        << u"1.2.3"_s
        << u"Not an IPv4 address: the address \"1.2.3\" has 3 parts, not the four that RFC 5952 text needs"_s;
    QTest::newRow("five parts")
        << u"1.2.3.4.5"_s
        << u"Not an IPv4 address: the address \"1.2.3.4.5\" has 5 parts, not the four that RFC 5952 text needs"_s;
    QTest::newRow("empty")
        << u""_s
        << u"Not an IPv4 address: the address \"\" has 0 parts, not the four that RFC 5952 "
           u"text needs"_s;
    QTest::newRow("one part") << u"7"_s
                              << u"Not an IPv4 address: the address \"7\" has 1 parts, not the four that RFC "
                                 u"5952 text needs"_s;
    QTest::newRow("out of range") << u"1.2.3.256"_s
                                  << u"Overflow: the address part \"256\" is outside 0 to 255"_s;
    QTest::newRow("empty octet") << u"192.168..1"_s
                                 << u"Type mismatch: the address part \"\" is not a number"_s;
    QTest::newRow("text") << u"a.b.c.d"_s << u"Type mismatch: the address part \"a\" is not a number"_s;
    // RFC 5952 text takes octets in decimal digits alone, where the program's
    // text also takes blanks and signs.
    const auto notAnOctet = [](const char16_t* part) {
        return u"Not an IPv4 address: the address part \""_s + QString::fromUtf16(part)
            + u"\" is not written in decimal digits alone, as RFC 5952 text needs"_s;
    };
    QTest::newRow("minus zero") << u"1.2.3.-0"_s << notAnOctet(u"-0");
    QTest::newRow("plus sign") << u"+1.2.3.4"_s << notAnOctet(u"+1");
    QTest::newRow("blank before") << u" 1.2.3.4"_s << notAnOctet(u" 1");
    QTest::newRow("blank after") << u"1.2.3.4 "_s << notAnOctet(u"4 ");
    QTest::newRow("tab inside") << u"1.2.\t3.4"_s << notAnOctet(u"\t3");
}

void TestEmbedding::rfc5952RefusesWhatIsNoAddress()
{
    QFETCH(QString, address);
    QFETCH(QString, description);

    for (const char16_t* block : { u"compatible", u"nat64" }) {
        const ConversionOptions options = optionsFor(QString::fromUtf16(block), true);
        const MapIP::RowConversion row(address, options);
        QCOMPARE(row.convertedForms(), 0u);
        for (const MapIP::FormDefinition& form : MapIP::Forms) {
            QCOMPARE(MapIP::describe(row.failure(form.form)), description);
            QVERIFY(row.prefix(form.form).isEmpty() && row.body(form.form).isEmpty());
            QCOMPARE(row.length(form.form), -1);
            try {
                MapIP::convert(form.form, address, options);
                QFAIL("the conversion should have raised");
            } catch (const MapIP::ConversionException& raised) {
                QCOMPARE(raised.description(), description);
            }
        }
    }
}

// An empty prefix means the text is refused with a message containing `expected`.
void TestEmbedding::prefixes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("expected");

    const auto row
        = [](const char* name, const char16_t* text, const char16_t* prefix, const char16_t* expected) {
              QTest::newRow(name) << QString::fromUtf16(text) << QString::fromUtf16(prefix)
                                  << QString::fromUtf16(expected);
          };
    row("compatible", u"compatible", u"::/96", u"");
    row("mapped", u"mapped", u"::ffff:0:0/96", u"");
    row("nat64", u"nat64", u"64:ff9b::/96", u"");
    row("upper case and zeros", u"2001:0DB8:0064:0000::/96", u"2001:db8:64::/96", u"");
    row("every group written", u"0:0:0:0:0:ffff:0:0/96", u"::ffff:0:0/96", u"");
    row("dotted quad of zeros", u"::ffff:0.0.0.0/96", u"::ffff:0:0/96", u"");
    row("no zeros to shorten", u"1:2:3:4:5:6:0:0/96", u"1:2:3:4:5:6::/96", u"");

    const char16_t* notIPv6 = u"is not IPv6 text";
    row("empty", u"", u"", notIPv6);
    row("a name in capitals", u"Mapped", u"", notIPv6);
    row("not hex", u"2001:db8::g/96", u"", notIPv6);
    row("two gaps", u"1::2::3/96", u"", notIPv6);
    row("three colons", u"1:::3/96", u"", notIPv6);
    row("nine groups", u"1:2:3:4:5:6:7:8:9/96", u"", notIPv6);
    row("seven groups", u"1:2:3:4:5:6:7/96", u"", notIPv6);
    row("group of five digits", u"12345::/96", u"", notIPv6);
    row("leading colon", u":1::/96", u"", notIPv6);
    row("zone", u"fe80::%eth0/96", u"", notIPv6);
    row("dotted quad with leading zero", u"::ffff:0.0.0.00/96", u"", notIPv6);
    row("dotted quad in the middle", u"::1.2.3.4:0/96", u"", notIPv6);
    row("an IPv4 address", u"192.0.2.0/96", u"", notIPv6);

    row("a /32", u"2001:db8::/32", u"2001:db8::/32", u"");
    row("a /40", u"2001:db8:100::/40", u"2001:db8:100::/40", u"");
    row("a /56", u"2001:db8:122:300::/56", u"2001:db8:122:300::/56", u"");
    row("a /64", u"2001:db8::/64", u"2001:db8::/64", u"");

    const char16_t* noLength = u"has no length an IPv4 address can follow";
    row("no length", u"64:ff9b::", u"", noLength);
    row("a length RFC 6052 has not", u"2001:db8::/36", u"", noLength);
    row("longer than /96", u"64:ff9b::/128", u"", noLength);
    row("blank after the length", u"64:ff9b::/96 ", u"", noLength);
    row("empty length", u"64:ff9b::/", u"", noLength);

    const char16_t* bitsPast96 = u"has bits set past the 96th";
    row("last group", u"::1/96", u"", bitsPast96);
    row("seventh group", u"64:ff9b::1:0/96", u"", bitsPast96);
    row("an address behind the prefix", u"::ffff:192.0.2.1/96", u"", bitsPast96);
    row("a bit past the 48th", u"2001:db8:122:8000::/48", u"", u"has bits set past the 48th");
    row("the u octet behind a /64", u"2001:db8:122:344:100::/64", u"", u"has bits set past the 64th");
    row("a bit past the 32nd", u"2001:db8:1::/32", u"", u"has bits set past the 32nd");
}

void TestEmbedding::prefixes()
{
    QFETCH(QString, text);
    QFETCH(QString, prefix);
    QFETCH(QString, expected);

    QString error = u"untouched"_s;
    const std::optional<Embedding> embedding = Embedding::parse(text, &error);
    if (prefix.isEmpty()) {
        QVERIFY2(!embedding, qPrintable(text));
        QVERIFY2(error.contains(expected), qPrintable(error));
        // The message quotes what it refuses: the address part when that is no
        // IPv6 text, the whole text otherwise.
        const QString quoted = expected == u"is not IPv6 text" ? text.section(u'/', 0, 0) : text;
        QVERIFY2(error.contains(u'"' + quoted + u'"'), qPrintable(error));
    } else {
        QVERIFY2(embedding, qPrintable(error));
        QCOMPARE(embedding->prefixText(), prefix);
        QCOMPARE(error, u"untouched"_s);
        // The text it is shown as names the same block.
        QCOMPARE(Embedding::parse(prefix), embedding);
    }
}

void TestEmbedding::defaultsAreTheProgramsForms()
{
    const ConversionOptions compatible(Embedding::named(Embedding::Named::Compatible), TextStyle::Program);
    QVERIFY(compatible == ConversionOptions::defaults());
    QCOMPARE(compatible.prefix(Form::Full), u"0000:0000:0000:0000:0000:0000:"_s);
    QCOMPARE(compatible.prefix(Form::Shorthand), u"::"_s);
    QCOMPARE(compatible.prefix(Form::DotFull), u"0000:0000:0000:0000:0000:0000:"_s);
    QCOMPARE(compatible.prefix(Form::DotShorthand), u"::"_s);
    for (const char16_t* address : { u"172.16.254.1", u"1.2.3", u"", u"7", u"1.2.3.256" }) {
        const MapIP::RowConversion withOptions(address, compatible);
        const MapIP::RowConversion plain(address);
        for (const MapIP::FormDefinition& form : MapIP::Forms) {
            QCOMPARE(withOptions.failure(form.form).error, plain.failure(form.form).error);
            QCOMPARE(withOptions.body(form.form), plain.body(form.form));
        }
    }
    QVERIFY(!(ConversionOptions(Embedding(), TextStyle::Rfc5952) == compatible));
    QVERIFY(
        !(ConversionOptions(Embedding::named(Embedding::Named::Mapped), TextStyle::Program) == compatible));
}

// Behind a prefix shorter than /96 there is no place for a dotted quad: the
// dot forms have no text, and that is no failure to report.
void TestEmbedding::dotFormsBelow96AreNotWritten()
{
    const ConversionOptions options = optionsFor(u"2001:db8:122::/48"_s, false);
    const MapIP::RowConversion row(u"192.0.2.33"_s, options);
    QCOMPARE(row.convertedForms(),
             1u << MapIP::formIndex(Form::Full) | 1u << MapIP::formIndex(Form::Shorthand));
    for (const Form form : { Form::DotFull, Form::DotShorthand }) {
        QVERIFY(!options.writesForm(form));
        QVERIFY(!row.failure(form).failed());
        QCOMPARE(MapIP::convert(form, u"192.0.2.33"_s, options), QString());
    }
}

QTEST_APPLESS_MAIN(TestEmbedding)
// The lengths a table measures its columns by are worked out without writing
// the text: for every place the run written "::" can take (depending on which
// of the last two groups are zero), every count of digits, and every way a row
// can be spelt or fail, they are the written text's.
void TestEmbedding::lengthsAgreeWithTheTexts()
{
    const QStringList blocks { u"compatible"_s,
                               u"mapped"_s,
                               u"nat64"_s,
                               u"2001:db8:64::/96"_s,
                               u"1:2:3:4:5:6::/96"_s,
                               u"1:0:0:2:0:0::/96"_s,
                               u"0:0:1:0:0:1::/96"_s,
                               u"0:1:0:1:0:1::/96"_s,
                               u"fe80::/96"_s,
                               u"2001:db8::/32"_s,
                               u"2001:db8:100::/40"_s,
                               u"::/48"_s,
                               u"2001:db8:122:300::/56"_s,
                               u"64:ff9b:1::/64"_s };
    const QStringList addresses { u"0.0.0.0"_s,
                                  u"0.0.0.1"_s,
                                  u"0.1.0.0"_s,
                                  u"1.0.0.0"_s,
                                  u"0.0.16.0"_s,
                                  u"0.16.1.0"_s,
                                  u"255.255.0.0"_s,
                                  u"0.0.255.255"_s,
                                  u"16.0.1.0"_s,
                                  u"172.16.254.1"_s,
                                  u"255.255.255.255"_s,
                                  u"001.002.003.004"_s,
                                  u"010.0.0.1"_s,
                                  u"0010.0.0.1"_s,
                                  u" 1.2.3.4"_s,
                                  u"1.2.3"_s,
                                  u"1.2.3.4.5"_s,
                                  u"1.2.3.4.5.6.7"_s,
                                  u"7"_s,
                                  u"1..2.3"_s,
                                  u"1.2.3."_s,
                                  u"."_s,
                                  u"256.1.1.1"_s,
                                  u"1.2.3.1000"_s,
                                  u"a.b.c.d"_s,
                                  u"\u00e9t\u00e9"_s,
                                  QString() };
    for (const QString& block : blocks) {
        for (const bool rfc5952 : { false, true }) {
            const ConversionOptions options = optionsFor(block, rfc5952);
            for (const QString& address : addresses) {
                for (const MapIP::FormDefinition& definition : MapIP::Forms) {
                    const Form form = definition.form;
                    const QByteArray where = (block + u' ' + address + u' ' + definition.name.toString()
                                              + (rfc5952 ? u" rfc5952"_s : QString()))
                                                 .toUtf8();
                    // Each way of reading a form from a row of its own, so
                    // that none leans on what another worked out first.
                    QString text;
                    const bool converts = MapIP::RowConversion(address, options).converts(form);
                    MapIP::RowConversion(address, options).write(form, text);
                    QVERIFY2(MapIP::RowConversion(address, options).length(form)
                                 == (converts ? text.size() : -1),
                             where.constData());
                    QVERIFY2(MapIP::RowConversion(address, options).isText(form, text) == converts,
                             where.constData());
                    const MapIP::RowConversion pieces(address, options);
                    QVERIFY2(pieces.prefix(form).toString() + pieces.body(form).toString() == text,
                             where.constData());
                    if (!converts)
                        continue;
                    QVERIFY2(MapIP::RowConversion(address, options).lengthIfConverts(form) == text.size(),
                             where.constData());
                    QVERIFY2(!pieces.isText(form, text + u'0') && !pieces.isText(form, text.chopped(1)),
                             where.constData());
                    // Written into a string that holds a longer text, nothing
                    // of the old text is left behind.
                    QString reused(80, u'#');
                    pieces.write(form, reused);
                    QVERIFY2(reused == text, where.constData());
                }
            }
        }
    }
}

#include "tst_embedding.moc"
