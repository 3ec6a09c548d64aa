#include "export/ClipboardText.h"

#include "ExportFixtures.h"
#include "FakePlatform.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<ListModel> twoColumnExample()
{
    std::shared_ptr<ListModel> table = tableWithCaptions({ u"Original"_s, u" IPv6 Shorthand Address"_s });
    addRow(*table, { u"10.0.0.1"_s, u"::0A00:0001"_s });
    addRow(*table, { u"192.168.100.200"_s, u"::C0A8:64C8"_s });
    return table;
}

std::shared_ptr<ListModel> fiveColumnExample()
{
    std::shared_ptr<ListModel> table = resultsTable();
    addConverted(*table, u"10.0.0.1"_s);
    addConverted(*table, u"192.168.100.200"_s);
    return table;
}

QString spaces(int count)
{
    return QString(count, u' ');
}

} // namespace

class TestClipboardText : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void tableWithoutRowsLeavesTheClipboardAlone();
    void noneTickedEmptiesTheClipboard();
    void turnsAtEveryRowAndCell();
    void stopLeavesTheClipboardAlone();
    void changingTableIsNeverReadPastItsEnd();
};

void TestClipboardText::text_data()
{
    QTest::addColumn<std::shared_ptr<ListModel>>("table");
    QTest::addColumn<QString>("expected");

    // Widths 15 and 11: the captions do not count, the last column is not padded.
    QTest::newRow("two columns") << twoColumnExample()
                                 << u"10.0.0.1"_s + spaces(7)
            + u"\t::0A00:0001\r\n"
              u"192.168.100.200\t::C0A8:64C8\r\n"_s;

    // Widths 15, 39, 11, 45 and 17.
    QTest::newRow("five columns") << fiveColumnExample()
                                  << u"10.0.0.1"_s + spaces(7)
            + u"\t0000:0000:0000:0000:0000:0000:0A00:0001\t::0A00:0001\t"_s
            + u"0000:0000:0000:0000:0000:0000:10.0.0.1"_s + spaces(7) + u"\t::10.0.0.1\r\n"_s
            + u"192.168.100.200\t0000:0000:0000:0000:0000:0000:C0A8:64C8\t::C0A8:64C8\t"_s
            + u"0000:0000:0000:0000:0000:0000:192.168.100.200\t::192.168.100.200\r\n"_s;
    {
        std::shared_ptr<ListModel> table = twoColumnExample();
        addRow(*table, { u"an unticked, wider row"_s, u"::FFFF:FFFF:FFFF"_s }, false);
        QTest::newRow("an unticked row widens its columns") << table
                                                            << u"10.0.0.1"_s + spaces(14)
                + u"\t::0A00:0001\r\n192.168.100.200"_s + spaces(7) + u"\t::C0A8:64C8\r\n"_s;
    }
    {
        std::shared_ptr<ListModel> table = fiveColumnExample();
        addConverted(*table, u"1.2.3.256"_s);
        setTicked(*table, 0, false);
        setTicked(*table, 1, false);
        QTest::newRow("a failed conversion: its empty cells are all padding")
            << table
            << u"1.2.3.256"_s + spaces(6) + u"\t"_s + spaces(39) + u"\t"_s + spaces(11)
                + u"\t0000:0000:0000:0000:0000:0000:1.2.3.256"_s + spaces(6) + u"\t::1.2.3.256\r\n"_s;
    }
    {
        std::shared_ptr<ListModel> table = tableWithCaptions({ u"A"_s, u"B"_s, u"C"_s });
        addRow(*table, { u"a"_s, u"b  "_s, u"c  "_s });
        addRow(*table, { u"aa"_s, u"bb"_s, QString() });
        addRow(*table, { u"aaa"_s, QString(), u" "_s });
        QTest::newRow("line ends: trailing spaces go, a TAB stays before an empty or blank last cell")
            << table << u"a  \tb  \tc\r\naa \tbb \t\r\naaa\t   \t\r\n"_s;
    }
    {
        std::shared_ptr<ListModel> table = twoColumnExample();
        setTicked(*table, 0, false);
        setTicked(*table, 1, false);
        QTest::newRow("none ticked") << table << QString();
    }
}

void TestClipboardText::text()
{
    QFETCH(std::shared_ptr<ListModel>, table);
    QFETCH(QString, expected);
    NoYield yielder;

    const std::optional<QString> text = buildClipboardText(*table, yielder);

    QVERIFY(text.has_value());
    QCOMPARE(*text, expected);

    // Line by line: the same text in pieces that each end a line.
    QStringList lines;
    QVERIFY(
        forEachClipboardLine(*table, yielder, [&lines](QStringView line) { lines.append(line.toString()); }));
    QCOMPARE(lines.join(QString()), expected);
    for (const QString& line : lines)
        QCOMPARE(line.count(u"\r\n"_s), 1);
    if (QByteArray(QTest::currentDataTag()) == "two columns")
        QCOMPARE(text->size(), 58);
    if (QByteArray(QTest::currentDataTag()) == "five columns") {
        const QStringList lines = text->split(u'\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0].size() + 1, 126);
        QCOMPARE(lines[1].size() + 1, 133);
    }
}

void TestClipboardText::tableWithoutRowsLeavesTheClipboardAlone()
{
    FakeClipboard clipboard;
    clipboard.text = u"held before"_s;
    clipboard.hasText = true;
    auto table = resultsTable();
    NoYield yielder;

    CopyListviewProperlySpaced(*table, clipboard, yielder);

    QCOMPARE(clipboard.clearAttempts, 0);
    QCOMPARE(clipboard.setAttempts, 0);
    QCOMPARE(clipboard.text, u"held before"_s);
}

void TestClipboardText::noneTickedEmptiesTheClipboard()
{
    FakeClipboard clipboard;
    clipboard.text = u"held before"_s;
    clipboard.hasText = true;
    std::shared_ptr<ListModel> table = twoColumnExample();
    setTicked(*table, 0, false);
    setTicked(*table, 1, false);
    NoYield yielder;

    CopyListviewProperlySpaced(*table, clipboard, yielder);

    QCOMPARE(clipboard.clearAttempts, 1);
    QCOMPARE(clipboard.setAttempts, 1);
    QVERIFY(clipboard.hasText);
    QCOMPARE(clipboard.text, QString());
}

void TestClipboardText::turnsAtEveryRowAndCell()
{
    std::shared_ptr<ListModel> table = fiveColumnExample();
    addConverted(*table, u"1.1.1.1"_s, false);
    ScriptedYielder yielder;

    QVERIFY(buildClipboardText(*table, yielder).has_value());

    // 5 columns x 3 rows for the widths, one per row, one per cell of the
    // two ticked rows.
    QCOMPARE(yielder.calls, 15 + 3 + 2 * 5);
}

void TestClipboardText::stopLeavesTheClipboardAlone()
{
    for (int stopFrom : { 1, 4, 20, 28 }) {
        FakeClipboard clipboard;
        clipboard.text = u"held before"_s;
        std::shared_ptr<ListModel> table = fiveColumnExample();
        addConverted(*table, u"1.1.1.1"_s, false);
        ScriptedYielder yielder;
        yielder.stopFrom = stopFrom;

        CopyListviewProperlySpaced(*table, clipboard, yielder);

        QCOMPARE(yielder.calls, stopFrom);
        QCOMPARE(clipboard.clearAttempts + clipboard.setAttempts, 0);
        QCOMPARE(clipboard.text, u"held before"_s);
    }
    // Line by line, a stop ends the lines where it comes: after the first
    // row's line (15 turns for the widths, 6 for that row), none later.
    std::shared_ptr<ListModel> table = fiveColumnExample();
    ScriptedYielder yielder;
    yielder.stopFrom = 15 + 6 + 1;
    int lines = 0;
    QVERIFY(!forEachClipboardLine(*table, yielder, [&lines](QStringView) { ++lines; }));
    QCOMPARE(lines, 1);
}

void TestClipboardText::changingTableIsNeverReadPastItsEnd()
{
    auto build = [] {
        std::shared_ptr<ListModel> table = twoColumnExample();
        addRow(*table, { u"3.3.3.3"_s, u"::0303:0303"_s }, false);
        addRow(*table, { u"4.4.4.4"_s, u"::0404:0404"_s }, true);
        return table;
    };
    const int turns = 2 * 4 + 4 + 3 * 2;
    for (TableChange change : AllTableChanges) {
        for (int at = 1; at <= turns; ++at) {
            std::shared_ptr<ListModel> table = build();
            BoundsCheckingTable checked(*table);
            ScriptedYielder yielder;
            yielder.onYield = [&](int call) {
                if (call == at)
                    applyChange(*table, change);
            };

            const std::optional<QString> text = buildClipboardText(checked, yielder);

            QCOMPARE(checked.readsPastEnd, 0);
            QVERIFY(text.has_value());
            // Only whole lines: two cells each, then CR LF.
            QVERIFY(text->isEmpty() || text->endsWith(u"\r\n"_s));
            const QStringList lines = text->split(u"\r\n"_s);
            for (qsizetype i = 0; i + 1 < lines.size(); ++i)
                QVERIFY2(lines[i].count(u'\t') == 1,
                         qPrintable(QString::fromLatin1(nameOf(change)) + u": "_s + lines[i]));
        }
    }
}

QTEST_GUILESS_MAIN(TestClipboardText)
#include "tst_clipboardtext.moc"
