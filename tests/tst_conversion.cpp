#include "conversion/MapIP.h"
#include "conversion/NumberSpelling.h"

#include <QTest>

#include <map>

using namespace Qt::StringLiterals;
using MapIP::ConversionError;
using MapIP::Form;

class TestConversion : public QObject
{
    Q_OBJECT

private slots:
    void fourForms_data();
    void fourForms();
    void failuresRaiseWithDescription_data();
    void failuresRaiseWithDescription();
    void failingHexFormsLeaveTheDotForms();
    void octetNumbers_data();
    void octetNumbers();
    void lengthsFollowSizeOnlyInTheProgramsBlock();
};

// An empty expected form means that the operation fails.
void TestConversion::fourForms_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("shorthand");

    const auto row
        = [](const char* name, const char16_t* address, const char16_t* full, const char16_t* shorthand) {
              QTest::newRow(name) << QString::fromUtf16(address) << QString::fromUtf16(full)
                                  << QString::fromUtf16(shorthand);
          };
    // The worked examples.
    row("sample", u"172.16.254.1", u"0000:0000:0000:0000:0000:0000:AC10:FE01", u"::AC10:FE01");
    row("leading zero groups", u"10.0.0.1", u"0000:0000:0000:0000:0000:0000:0A00:0001", u"::0A00:0001");
    row("all zero", u"0.0.0.0", u"0000:0000:0000:0000:0000:0000:0000:0000", u"::0000:0000");
    row("all ones", u"255.255.255.255", u"0000:0000:0000:0000:0000:0000:FFFF:FFFF", u"::FFFF:FFFF");
    row("leading zeros in parts", u"010.001.000.009", u"0000:0000:0000:0000:0000:0000:0A01:0009",
        u"::0A01:0009");
    row("three parts overlap", u"1.2.3", u"0000:0000:0000:0000:0000:0000:0102:0203", u"::0102:0203");
    row("five parts drop the middle", u"1.2.3.4.5", u"0000:0000:0000:0000:0000:0000:0102:0405",
        u"::0102:0405");
    row("one part taken twice", u"7", u"0000:0000:0000:0000:0000:0000:07:07", u"::07:07");
    row("empty argument", u"", u"0000:0000:0000:0000:0000:0000::", u":::");
    row("out of range", u"1.2.3.256", u"", u"");
    row("empty part", u"192.168..1", u"", u"");
    row("negative", u"-1.0.0.0", u"", u"");
    // Further edge cases.
    row("upper-case letters", u"171.205.239.1", u"0000:0000:0000:0000:0000:0000:ABCD:EF01", u"::ABCD:EF01");
    row("small values keep their zero", u"1.2.3.4", u"0000:0000:0000:0000:0000:0000:0102:0304",
        u"::0102:0304");
    row("blanks around numbers", u" 10.0.0.1 ", u"0000:0000:0000:0000:0000:0000:0A00:0001", u"::0A00:0001");
    row("tab before a number", u"\t10.0.0.1", u"0000:0000:0000:0000:0000:0000:0A00:0001", u"::0A00:0001");
    row("plus sign", u"+10.0.0.1", u"0000:0000:0000:0000:0000:0000:0A00:0001", u"::0A00:0001");
    row("minus zero is zero", u"-0.0.0.1", u"0000:0000:0000:0000:0000:0000:0000:0001", u"::0000:0001");
    row("two parts", u"1.2", u"0000:0000:0000:0000:0000:0000:0102:0102", u"::0102:0102");
    row("fraction splits the address", u"2.5.0.0.0", u"0000:0000:0000:0000:0000:0000:0205:0000",
        u"::0205:0000");
    row("a lone dot", u".", u"", u"");
    row("trailing dot", u"1.2.3.4.", u"", u"");
    row("text", u"abc", u"", u"");
    row("blank inside a number", u"1 0.0.0.1", u"", u"");
    row("sign alone", u"-.0.0.1", u"", u"");
    row("hex prefix refused", u"0x10.0.0.1", u"", u"");
    row("exponent refused", u"1e2.0.0.1", u"", u"");
    row("huge number", u"99999999999999999999999.0.0.1", u"", u"");
    row("arabic-indic digits refused", u"\u0661.0.0.1", u"", u"");
    row("out of range after text fails as text", u"abc.300", u"", u"");
    // Around the quick reading of one to three plain digits.
    row("three digits out of range", u"1.2.3.999", u"", u"");
    row("four digits with leading zero", u"0255.0.0.1", u"0000:0000:0000:0000:0000:0000:FF00:0001",
        u"::FF00:0001");
    row("four digits out of range", u"1000.0.0.1", u"", u"");
    row("digits then text", u"12a.0.0.1", u"", u"");
    row("digits then blank", u"12 .0.0.1", u"0000:0000:0000:0000:0000:0000:0C00:0001", u"::0C00:0001");
    row("empty first part", u".1.2.3", u"", u"");
    row("many parts keep the last two", u"1.2.3.4.5.6.7.8.9.10", u"0000:0000:0000:0000:0000:0000:0102:090A",
        u"::0102:090A");
}

void TestConversion::fourForms()
{
    QFETCH(QString, address);
    QFETCH(QString, full);
    QFETCH(QString, shorthand);

    const auto converted = [&](auto operation) -> QString {
        try {
            return operation(address);
        } catch (const MapIP::ConversionException&) {
            return QString();
        }
    };
    QCOMPARE(converted(MapIP::IPv4ToIPv6Full), full);
    QCOMPARE(converted(MapIP::IPv4ToIPv6Shorthand), shorthand);
    // Forms 3 and 4 never look at the argument.
    QCOMPARE(MapIP::IPv4ToIPv6DotFull(address), u"0000:0000:0000:0000:0000:0000:"_s + address);
    QCOMPARE(MapIP::IPv4ToIPv6DotShorthand(address), u"::"_s + address);
}

void TestConversion::failuresRaiseWithDescription_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("description");

    QTest::newRow("out of range") << u"1.2.3.256"_s << int(ConversionError::OutOfRange)
                                  << u"Overflow: the address part \"256\" is outside 0 to 255"_s;
    QTest::newRow("negative") << u"-1.0.0.0"_s << int(ConversionError::OutOfRange)
                              << u"Overflow: the address part \"-1\" is outside 0 to 255"_s;
    QTest::newRow("empty part") << u"192.168..1"_s << int(ConversionError::NotANumber)
                                << u"Type mismatch: the address part \"\" is not a number"_s;
    QTest::newRow("a part of four digits, then three parts")
        << u"1234.5.6"_s << int(ConversionError::OutOfRange)
        << u"Overflow: the address part \"1234\" is outside 0 to 255"_s;
    QTest::newRow("digits joined by something else")
        << u"1,2,3,4"_s << int(ConversionError::NotANumber)
        << u"Type mismatch: the address part \"1,2,3,4\" is not a number"_s;
    QTest::newRow("first failing part decides")
        << u"abc.300"_s << int(ConversionError::NotANumber)
        << u"Type mismatch: the address part \"abc\" is not a number"_s;
    QTest::newRow("long part is cut in the message")
        << QString(60, u'x') << int(ConversionError::NotANumber)
        << u"Type mismatch: the address part \""_s + QString(40, u'x') + u"\u2026\" is not a number"_s;
}

void TestConversion::failuresRaiseWithDescription()
{
    QFETCH(QString, address);
    QFETCH(int, error);
    QFETCH(QString, description);

    // Both hex forms fail alike, and leave the text they were to write into.
    const MapIP::RowConversion row(address);
    for (const Form form : { Form::Full, Form::Shorthand }) {
        QString untouched = u"kept"_s;
        const MapIP::ConversionFailure failure = row.write(form, untouched);
        QCOMPARE(int(failure.error), error);
        QCOMPARE(untouched, u"kept"_s);
        QCOMPARE(MapIP::describe(failure), description);
    }

    for (auto operation : { MapIP::IPv4ToIPv6Full, MapIP::IPv4ToIPv6Shorthand }) {
        try {
            operation(address);
            QFAIL("the conversion should have raised");
        } catch (const MapIP::ConversionException& raised) {
            QCOMPARE(raised.description(), description);
        }
    }
}

void TestConversion::failingHexFormsLeaveTheDotForms()
{
    // A row is read only for the forms that need it: the dot forms copy it.
    const MapIP::RowConversion row(u"abc"_s);
    QCOMPARE(row.convertedForms(),
             1u << MapIP::formIndex(Form::DotFull) | 1u << MapIP::formIndex(Form::DotShorthand));
    QVERIFY(!row.failure(Form::DotShorthand).failed());
    QCOMPARE(row.prefix(Form::DotShorthand).toString() + row.body(Form::DotShorthand).toString(), u"::abc"_s);
    QVERIFY(row.prefix(Form::Shorthand).isEmpty() && row.body(Form::Shorthand).isEmpty());
    QCOMPARE(row.length(Form::Full), -1);
}

void TestConversion::octetNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("value");

    QTest::newRow("digits") << u"172"_s << true << 172.0;
    QTest::newRow("leading zero") << u"010"_s << true << 10.0;
    QTest::newRow("fraction") << u"2.5"_s << true << 2.5;
    QTest::newRow("point first") << u".5"_s << true << 0.5;
    QTest::newRow("point last") << u"5."_s << true << 5.0;
    QTest::newRow("negative") << u"-1"_s << true << -1.0;
    QTest::newRow("blanks") << u" 7 "_s << true << 7.0;
    QTest::newRow("large") << u"999"_s << true << 999.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("blank only") << u"  "_s << false << 0.0;
    QTest::newRow("point only") << u"."_s << false << 0.0;
    QTest::newRow("sign only") << u"-"_s << false << 0.0;
    QTest::newRow("letters") << u"abc"_s << false << 0.0;
    QTest::newRow("two points") << u"1.2."_s << false << 0.0;
    QTest::newRow("exponent") << u"1e2"_s << false << 0.0;
}

void TestConversion::octetNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(double, value);

    const std::optional<double> read = NumberSpelling::readOctetNumber(text);
    QCOMPARE(read.has_value(), numeric);
    if (numeric)
        QCOMPARE(*read, value);
}

// Rows for which lengthsFollowSize() holds and that have as many characters
// have forms of the same lengths: a writer measures one of each. It holds for
// plain addresses of four parts in the program's /96 blocks, and for nothing
// in RFC 5952 text or behind a prefix below /96, where the lengths follow the
// octets' values.
void TestConversion::lengthsFollowSizeOnlyInTheProgramsBlock()
{
    using MapIP::ConversionOptions;
    using MapIP::Embedding;
    const QStringList rows { u"1.2.3.4"_s,    u"0.0.0.0"_s,    u"9.9.9.9"_s,   u"10.0.0.1"_s, u"01.2.3.4"_s,
                             u"10.20.30.4"_s, u"1.2.3.4/32"_s, u"1.2.3.4-5"_s, u"1.2"_s,      u"1.2.3"_s,
                             u"abc"_s,        u"1.2.3.4.5"_s,  u"1.2.3.256"_s };
    const std::pair<ConversionOptions, int> layouts[] = {
        { ConversionOptions(), 6 },
        { ConversionOptions(Embedding::named(Embedding::Named::Mapped), MapIP::TextStyle::Program), 6 },
        { ConversionOptions(Embedding(), MapIP::TextStyle::Rfc5952), 0 },
        { ConversionOptions(*Embedding::parse(u"2001:db8::/64"), MapIP::TextStyle::Program), 0 },
    };
    for (const auto& [options, following] : layouts) {
        std::map<qsizetype, std::vector<qsizetype>> lengthsOfSize;
        int found = 0;
        for (const QString& row : rows) {
            const MapIP::RowConversion conversion(row, options);
            if (!conversion.lengthsFollowSize())
                continue;
            ++found;
            std::vector<qsizetype> lengths;
            for (const MapIP::FormDefinition& form : MapIP::Forms)
                lengths.push_back(conversion.length(form.form));
            QCOMPARE(lengthsOfSize.emplace(row.size(), lengths).first->second, lengths);
        }
        QCOMPARE(found, following);
    }
}

QTEST_APPLESS_MAIN(TestConversion)
#include "tst_conversion.moc"
