#include "export/ListModel.h"
#include "shell/AnsiCodePage.h"
#include "shell/AppError.h"
#include "shell/ListFileReader.h"

#include "FakePlatform.h"
#include "FilePrivileges.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList rowsOf(const QByteArray& bytes)
{
    QStringList rows;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    readListRows(buffer, u"buffer"_s, [&](QStringView row) { rows.append(row.toString()); });
    return rows;
}

// Feeds the text in pieces of the given size, as a large file arrives.
QStringList rowsInPieces(const QString& text, qsizetype piece,
                         FinalLineFeed finalLineFeed = FinalLineFeed::SplitsLine)
{
    QStringList rows;
    ListLineSplitter splitter([&](QStringView row) { rows.append(row.toString()); }, finalLineFeed);
    for (qsizetype at = 0; at < text.size(); at += piece)
        splitter.feed(QStringView(text).sliced(at, qMin(piece, text.size() - at)));
    splitter.finish();
    return rows;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A device whose reads fail after the first `good` bytes.
class FailingDevice final : public QIODevice
{
public:
    FailingDevice(QByteArray bytes, qint64 good)
        : m_bytes(std::move(bytes))
        , m_good(good)
    {
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_at >= m_good) {
            setErrorString(u"Input/output error"_s);
            return -1;
        }
        const qint64 count = qMin(maxSize, m_good - m_at);
        std::copy_n(m_bytes.constData() + m_at, count, data);
        m_at += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    bool isSequential() const override { return true; }

private:
    QByteArray m_bytes;
    qint64 m_good;
    qint64 m_at = 0;
};

} // namespace

class TestListReader : public QObject
{
    Q_OBJECT

private slots:
    void lineRules_data();
    void lineRules();
    void finalLineFeedEndsTheLastLine_data();
    void finalLineFeedEndsTheLastLine();
    void piecesDoNotChangeRows();
    void singleByteDecoding();
    void encodingRoundTrip();
    void loadIntoList();
    void missingFileSaysFileNotFound();
    void directoryIsNotRead();
    void unreadableFileRaises();
    void readFailureKeepsRowsSoFar();
    void nulBytesAndLongLines();
};

void TestListReader::finalLineFeedEndsTheLastLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("LF only") << u"1.2.3.4\n5.6.7.8\n"_s << QStringList { u"1.2.3.4"_s, u"5.6.7.8"_s };
    QTest::newRow("one LF") << u"\n"_s << QStringList { QString() };
    QTest::newRow("an empty line before the final LF") << u"a\n\n"_s << QStringList { u"a"_s, QString() };
    QTest::newRow("an empty line in the middle") << u"a\n\nb"_s << QStringList { u"a"_s, QString(), u"b"_s };
    QTest::newRow("CR LF") << u"a\r\nb\r\n"_s << QStringList { u"a"_s, u"b"_s };
    QTest::newRow("LF after a CR LF line") << u"a\r\n\n"_s << QStringList { u"a"_s, QString() };
    QTest::newRow("LF then CR") << u"a\n\r"_s << QStringList { u"a"_s, QString() };
    QTest::newRow("no final line end") << u"a\nb"_s << QStringList { u"a"_s, u"b"_s };
    QTest::newRow("empty text") << QString() << QStringList();
}

// Text that comes with a line end after every line (a pipe, a paste): a final
// LF ends the last line and adds no row, whatever pieces the text comes in.
void TestListReader::finalLineFeedEndsTheLastLine()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QStringList read;
    readListText(
        text, [&](QStringView row) { read.append(row.toString()); }, FinalLineFeed::EndsLastLine);
    QCOMPARE(read, rows);
    for (qsizetype piece = 1; piece <= 3; ++piece)
        QCOMPARE(rowsInPieces(text, piece, FinalLineFeed::EndsLastLine), rows);
}

void TestListReader::lineRules_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("CR LF with an empty line")
        << "1.2.3.4\r\n\r\n5.6.7.8\r\n"_ba << QStringList { u"1.2.3.4"_s, QString(), u"5.6.7.8"_s };
    QTest::newRow("LF only with a final LF")
        << "1.2.3.4\n5.6.7.8\n"_ba << QStringList { u"1.2.3.4"_s, u"5.6.7.8"_s, QString() };
    QTest::newRow("LF only without a final LF")
        << "1.2.3.4\n5.6.7.8"_ba << QStringList { u"1.2.3.4"_s, u"5.6.7.8"_s };
    QTest::newRow("CR only") << "a\rb\r"_ba << QStringList { u"a"_s, u"b"_s };
    QTest::newRow("no final line end") << "a\r\nb"_ba << QStringList { u"a"_s, u"b"_s };
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("one CR LF") << "\r\n"_ba << QStringList { QString() };
    QTest::newRow("one LF") << "\n"_ba << QStringList { QString(), QString() };
    QTest::newRow("LF before CR LF") << "a\n\r\n"_ba << QStringList { u"a"_s, QString() };
    QTest::newRow("CR CR LF") << "a\r\r\nb"_ba << QStringList { u"a"_s, QString(), u"b"_s };
    QTest::newRow("LF CR") << "a\n\rb"_ba << QStringList { u"a"_s, QString(), u"b"_s };
    // Line ends are searched for eight characters at a time: ends at the
    // start, in the middle and at the end of such a step.
    QTest::newRow("long lines") << "0123456789abcdef\r\n0123456789\n01234567\r012345678\r\n"_ba
                                << QStringList { u"0123456789abcdef"_s, u"0123456789"_s, u"01234567"_s,
                                                 u"012345678"_s };
    QTest::newRow("nothing trimmed") << " 10.0.0.1 \t\r\n"_ba << QStringList { u" 10.0.0.1 \t"_s };
    QTest::newRow("byte-order mark kept") << "\xEF\xBB\xBF"
                                             "1.2.3.4\r\n"_ba
                                          << QStringList { u"\u00EF\u00BB\u00BF1.2.3.4"_s };
}

void TestListReader::lineRules()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QCOMPARE(rowsOf(bytes), rows);
}

void TestListReader::piecesDoNotChangeRows()
{
    const QString text = u"a\r\nbb\n\r\r\nccc\rd\n\ne\r"_s;
    const QStringList whole = rowsInPieces(text, text.size());
    for (qsizetype piece = 1; piece < text.size(); ++piece)
        QCOMPARE(rowsInPieces(text, piece), whole);
}

void TestListReader::singleByteDecoding()
{
    // windows-1252: the euro sign at 0x80, curly quotes, Latin-1 above 0xA0, and
    // the undefined 0x81 kept as the control of the same value.
    QCOMPARE(AnsiCodePage::decode("\x80\x93x\x94\xE9\x81"), u"\u20AC\u201Cx\u201D\u00E9\u0081"_s);
    QCOMPARE(AnsiCodePage::decode(QByteArrayView("a\0b", 3)), QString(u"a\0b"_s));
}

void TestListReader::encodingRoundTrip()
{
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte)
        all.append(char(byte));
    QCOMPARE(AnsiCodePage::encode(AnsiCodePage::decode(all)), all);
    // What the code page cannot hold becomes "?", a byte for each UTF-16 unit,
    // so that padded columns stay aligned.
    QCOMPARE(AnsiCodePage::encode(u"a\u0100b\U0001F600c"_s), "a?b??c"_ba);

    // Long texts are narrowed in blocks: a character outside ASCII at any
    // place in or after a block is still encoded on its own, and decoded.
    const QString ascii = u"0000:0000:0000:0000:0000:0000:172.16.254.1"_s;
    for (qsizetype at = 0; at <= ascii.size(); ++at) {
        for (const auto& [character, byte] :
             { std::pair { u'\u00E9', '\xE9' }, std::pair { u'\u20AC', '\x80' },
               std::pair { u'\u0100', '?' } }) {
            QString text = ascii;
            text.insert(at, character);
            QByteArray expected = ascii.toLatin1();
            expected.insert(at, byte);
            QCOMPARE(AnsiCodePage::encode(text), expected);
            // Decoding widens in blocks the same way.
            if (byte != '?')
                QCOMPARE(AnsiCodePage::decode(expected), text);
        }
    }
    QByteArray appended = "kept:"_ba;
    AnsiCodePage::encodeAppend(ascii, appended);
    QCOMPARE(appended, "kept:"_ba + ascii.toLatin1());
}

void TestListReader::loadIntoList()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    QVERIFY(writeFile(path, "1.2.3.4\r\n\r\n5.6.7.8\r\n"_ba));
    FakePlatform fake;
    ListModel list(ListModel::CheckBoxes::None);
    list.addColumn(u" IPv4(s)"_s);
    list.appendRow(u"before"_s);
    LoadListviewFromTextFile([&list](QStringView row) { list.appendRow(row); }, path, *fake.platform);
    QCOMPARE(list.rows(), 4);
    QCOMPARE(list.text(0), u"before"_s);
    QCOMPARE(list.text(1), u"1.2.3.4"_s);
    QCOMPARE(list.text(2), QString());
    QCOMPARE(list.text(3), u"5.6.7.8"_s);
    QVERIFY(fake.messageBoxes->shown.empty());
}

void TestListReader::missingFileSaysFileNotFound()
{
    QTemporaryDir dir;
    FakePlatform fake;
    fake.platform->setApplicationTitle(u"Quadrix"_s);
    ListModel list(ListModel::CheckBoxes::None);
    LoadListviewFromTextFile([&list](QStringView row) { list.appendRow(row); }, dir.filePath(u"gone.txt"_s),
                             *fake.platform);
    QCOMPARE(list.rows(), 0);
    QCOMPARE(fake.messageBoxes->texts(), QStringList { u"File not found"_s });
    QCOMPARE(fake.messageBoxes->shown[0].title, u"Quadrix"_s);
}

void TestListReader::directoryIsNotRead()
{
    QTemporaryDir dir;
    QVERIFY_THROWS_EXCEPTION(AppError, readListFile(dir.path(), [](QStringView) {}));
    QVERIFY_THROWS_EXCEPTION(AppError, readListFile(u"/dev/zero"_s, [](QStringView) {}));
}

void TestListReader::unreadableFileRaises()
{
    QVERIFY(dropFileAccessOverride());
    QTemporaryDir dir;
    const QString path = dir.filePath(u"locked.txt"_s);
    QVERIFY(writeFile(path, "1.2.3.4\r\n"_ba));
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    try {
        readListFile(path, [](QStringView) { QFAIL("nothing should be read"); });
        QFAIL("reading should have raised");
    } catch (const AppError& error) {
        QVERIFY2(error.description().startsWith(u"Cannot open \""_s + path), qPrintable(error.description()));
    }
}

void TestListReader::readFailureKeepsRowsSoFar()
{
    FailingDevice device("1.1.1.1\r\n2.2.2.2\r\n3.3"_ba, 19);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QStringList rows;
    QVERIFY_THROWS_EXCEPTION(
        AppError, readListRows(device, u"list"_s, [&](QStringView row) { rows.append(row.toString()); }));
    QCOMPARE(rows, (QStringList { u"1.1.1.1"_s, u"2.2.2.2"_s }));
}

void TestListReader::nulBytesAndLongLines()
{
    QByteArray bytes("a\0b\r\n", 5);
    bytes += QByteArray(3 << 20, 'x'); // longer than one read
    const QStringList rows = rowsOf(bytes);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], QString(u"a\0b"_s));
    QCOMPARE(rows[1].size(), qsizetype(3 << 20));
}

QTEST_GUILESS_MAIN(TestListReader)
#include "tst_listreader.moc"
