#include "batch_window/Form2.h"
#include "export/ListModel.h"
#include "single_window/Form1.h"

#include "FakePlatform.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestScale : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void millionRowsWithOddLines();
    void textOutsideTheCodePageInTheSingleByteFile();
    void sixteenBitBoundary_data();
    void sixteenBitBoundary();

private:
    void click(const char* name) { m_form->findChild<QPushButton*>(QLatin1StringView(name))->click(); }
    void tickAll()
    {
        ListModel& results = *m_form->ListView2();
        results.publishRows();
        for (qsizetype row = 0; row < results.rows(); ++row)
            QVERIFY(results.setChecked(row, true));
    }
    QByteArray saved(const QString& path)
    {
        m_fake->fileDialogs->saveAnswers = { path };
        click("PushButton3");
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<Form1> m_single;
    Form2* m_form = nullptr;
    QTemporaryDir m_dir;
};

void TestScale::init()
{
    m_fake = std::make_unique<FakePlatform>();
    m_single = std::make_unique<Form1>(*m_fake->platform);
    m_single->findChild<QPushButton*>(u"PushButton1"_s)->click();
    m_form = m_single->batchWindow();
}

void TestScale::cleanup()
{
    m_single.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_fake.reset();
}

void TestScale::millionRowsWithOddLines()
{
    // A UTF-8 byte-order mark, then a million rows: addresses, every 1000th a
    // line of 10,000 digits, some with NUL bytes, some ended by a lone CR.
    constexpr int Rows = 1000000;
    QByteArray bytes("\xEF\xBB\xBF");
    bytes.reserve(40 << 20);
    const QByteArray longLine(10000, '7');
    for (int row = 0; row < Rows; ++row) {
        if (row % 1000 == 999)
            bytes += longLine;
        else if (row % 1000 == 500)
            bytes += QByteArray("1.2\0.3", 6);
        else
            bytes += QByteArray::number(100 + row % 150) + ".0." + QByteArray::number((row >> 8) & 0xFF) + '.'
                + QByteArray::number(row & 0xFF);
        bytes += row % 7 == 3 ? "\r" : "\r\n";
    }
    const QString path = m_dir.filePath(u"million.txt"_s);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    m_fake->fileDialogs->openAnswers = { { path } };
    click("PushButton4");
    ListModel& input = *m_form->ListView1();
    QCOMPARE(input.rows(), Rows);
    QCOMPARE(input.text(0), u"\u00EF\u00BB\u00BF100.0.0.0"_s);
    QCOMPARE(input.cellLength(999, 0), 10000);
    QCOMPARE(input.text(500), QString(u"1.2\0.3"_s));

    click("PushButton2");
    ListModel& results = *m_form->ListView2();
    QCOMPARE(results.rows(), Rows);
    QCOMPARE(results.subItem(1, 2), u"::6500:0001"_s);
    QCOMPARE(results.subItem(999, 1), QString()); // ten thousand digits: out of range
    QCOMPARE(results.cellLength(999, 3), 30 + 10000);
    QCOMPARE(results.subItem(500, 4), QString(u"::1.2\0.3"_s));
    // Two reports for each failing row: the mark's row, the long rows, the NUL rows.
    QCOMPARE(m_fake->messageBoxes->errorReports().size(), 2 * (1 + 1000 + 1000));
    QCOMPARE(m_fake->messageBoxes->texts().back(), u"Done."_s);

    // Nothing ticked: the caption line alone, padded to widths that count every row.
    const QByteArray file = saved(m_dir.filePath(u"results.txt"_s));
    QCOMPARE(file.size(), 10000 + 39 + 23 + (30 + 10000) + (2 + 10000) + 5 + 2);
    QVERIFY(file.startsWith("Original "));
    QVERIFY(file.endsWith(" \t\r\n"));
}

void TestScale::textOutsideTheCodePageInTheSingleByteFile()
{
    // Typed by hand: a euro sign (in windows-1252), a Latin a with macron and
    // an emoji (not in it). The file keeps one byte per UTF-16 unit.
    m_fake->inputBoxes->answers = { u"\u20AC\u0101\U0001F600"_s };
    click("PushButton1");
    click("PushButton2");
    tickAll();
    const QByteArray file = saved(m_dir.filePath(u"odd.txt"_s));
    const QList<QByteArray> lines = file.split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].size(), lines[1].size());
    QVERIFY(lines[1].startsWith("\x80???    \t"));
    QVERIFY(lines[1].contains("::\x80???"));

    // The clipboard is Unicode and keeps the text as typed.
    click("PushButton8");
    QVERIFY(m_fake->clipboard->text.startsWith(u"\u20AC\u0101\U0001F600\t"_s));
}

void TestScale::sixteenBitBoundary_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("32,767") << 32767;
    QTest::newRow("32,768") << 32768;
}

void TestScale::sixteenBitBoundary()
{
    QFETCH(int, rows);
    ListModel& input = *m_form->ListView1();
    for (int row = 0; row < rows; ++row)
        input.appendRow(u"10.%1.%2.%3"_s.arg(row >> 16).arg((row >> 8) & 0xFF).arg(row & 0xFF));
    click("PushButton2");
    ListModel& results = *m_form->ListView2();
    QCOMPARE(results.rows(), rows);
    QCOMPARE(results.text(rows - 1), input.text(rows - 1));
    QCOMPARE(results.subItem(rows - 1, 2),
             u"::0A00:"_s + QString::number(rows - 1, 16).toUpper().rightJustified(4, u'0'));
    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { u"Done."_s });
}

QTEST_MAIN(TestScale)
#include "tst_scale.moc"
