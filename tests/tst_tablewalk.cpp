#include "export/EncodedBlocks.h"
#include "export/ExportTarget.h"
#include "export/TableFormats.h"
#include "export/TableWalk.h"
#include "shell/AppError.h"

#include "ExportFixtures.h"

#include <QBuffer>
#include <QFile>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

// A format that writes what it is handed as lines of text, the shape a CSV
// export would take: "r: cell|cell|cell" for a complete row, "cut r" for a
// row that went away.
class RecordingFormat final : public RowFormat
{
public:
    void beginRow(qsizetype row) override { m_line = QString::number(row) + u": "_s; }
    void cell(const TableCell& cell) override
    {
        if (cell.column() > 0)
            m_line += u'|';
        m_line += cell.view();
    }
    bool endRow(qsizetype) override
    {
        lines.append(m_line);
        return lines.size() < rowsBeforeRefusing;
    }
    void rowCut(qsizetype row) override { lines.append(u"cut "_s + QString::number(row)); }

    QStringList lines;
    // After so many rows endRow() asks the walk to end.
    qsizetype rowsBeforeRefusing = std::numeric_limits<qsizetype>::max();

private:
    QString m_line;
};

// Three columns, four rows; rows 0 and 2 ticked.
std::unique_ptr<ListModel> smallTable()
{
    auto table = tableWithCaptions({ u"A"_s, u"Bee"_s, u"C"_s });
    addRow(*table, { u"a0"_s, u"b0"_s, u"c0"_s }, true);
    addRow(*table, { u"an unticked row"_s, u""_s, u"c1"_s }, false);
    addRow(*table, { u"a2"_s, u""_s, u"c2"_s }, true);
    addRow(*table, { u"a3"_s, u"b3"_s, u"c3"_s }, false);
    return table;
}

// A device that records the size of every write it is given.
class CountingBuffer final : public QBuffer
{
public:
    QList<qint64> writes;

protected:
    qint64 writeData(const char* data, qint64 size) override
    {
        writes.append(size);
        return QBuffer::writeData(data, size);
    }
};

} // namespace

class TestTableWalk : public QObject
{
    Q_OBJECT

private slots:
    void handsOnTickedRowsInOrder();
    void yieldsBeforeEveryRowAndCell();
    void stopEndsTheWalkAtOnce();
    void formatCanEndTheWalk();
    void rowGoneWhileItsCellsAreReadIsCut();
    void widthsCountEveryRowAndTheStart();
    void widthsAreNeverReadPastTheEnd();

    void streamWritesFullBlocksAsItGoes();
    void gatheringWritesOnlyOnFlush();
    void failedFlushKeepsTheBytes();
    void csvFormulaFields_data();
    void csvFormulaFields();
};

void TestTableWalk::handsOnTickedRowsInOrder()
{
    const auto table = smallTable();
    NoYield yielder;
    RecordingFormat format;
    QVERIFY(TableWalk(*table, yielder).forEachTickedRow(format));
    QCOMPARE(format.lines, QStringList({ u"0: a0|b0|c0"_s, u"2: a2||c2"_s }));
}

void TestTableWalk::yieldsBeforeEveryRowAndCell()
{
    const auto table = smallTable();
    ScriptedYielder yielder;
    RecordingFormat format;
    QVERIFY(TableWalk(*table, yielder).forEachTickedRow(format));
    // Four rows, and the three cells of each of the two ticked rows.
    QCOMPARE(yielder.calls, 4 + 2 * 3);

    ScriptedYielder captions;
    QStringList seen;
    QVERIFY(TableWalk(*table, captions).forEachColumn([&](int k) { seen.append(table->caption(k)); }));
    QCOMPARE(seen, QStringList({ u"A"_s, u"Bee"_s, u"C"_s }));
    QCOMPARE(captions.calls, 3);
}

void TestTableWalk::stopEndsTheWalkAtOnce()
{
    const auto table = smallTable();
    // Turns: row 0, its three cells (turns 2 to 4), row 1 (turn 5), row 2
    // (turn 6), its cells (turns 7 to 9), row 3 (turn 10).
    for (int stop = 1; stop <= 10; ++stop) {
        ScriptedYielder yielder;
        yielder.stopFrom = stop;
        RecordingFormat format;
        QVERIFY(!TableWalk(*table, yielder).forEachTickedRow(format));
        QCOMPARE(yielder.calls, stop);
        QStringList written;
        if (stop > 4)
            written.append(u"0: a0|b0|c0"_s);
        if (stop > 9)
            written.append(u"2: a2||c2"_s);
        QCOMPARE(format.lines, written);
    }

    ScriptedYielder widths;
    widths.stopFrom = 6;
    QVERIFY(!TableWalk(*table, widths).columnWidths());
    QCOMPARE(widths.calls, 6);

    ScriptedYielder captions;
    captions.stopFrom = 2;
    int visited = 0;
    QVERIFY(!TableWalk(*table, captions).forEachColumn([&](int) { ++visited; }));
    QCOMPARE(visited, 1);
}

void TestTableWalk::formatCanEndTheWalk()
{
    const auto table = smallTable();
    ScriptedYielder yielder;
    RecordingFormat format;
    format.rowsBeforeRefusing = 1;
    QVERIFY(!TableWalk(*table, yielder).forEachTickedRow(format));
    QCOMPARE(format.lines, QStringList({ u"0: a0|b0|c0"_s }));
    // Nothing is read or yielded after the row whose end refused.
    QCOMPARE(yielder.calls, 4);
}

void TestTableWalk::rowGoneWhileItsCellsAreReadIsCut()
{
    for (const TableChange change : AllTableChanges) {
        const auto table = smallTable();
        BoundsCheckingTable checked(*table);
        ScriptedYielder yielder;
        // Turn 7 is the one before row 2's first cell.
        yielder.onYield = [&](int call) {
            if (call == 7) {
                applyChange(*table, change);
                applyChange(*table, change);
            }
        };
        RecordingFormat format;
        QVERIFY2(TableWalk(checked, yielder).forEachTickedRow(format), nameOf(change));
        QCOMPARE(format.lines, QStringList({ u"0: a0|b0|c0"_s, u"cut 2"_s }));
        QCOMPARE(checked.readsPastEnd, 0);
    }
}

void TestTableWalk::widthsCountEveryRowAndTheStart()
{
    const auto table = smallTable();
    NoYield yielder;
    QCOMPARE(TableWalk(*table, yielder).columnWidths(), std::vector<qsizetype>({ 15, 2, 2 }));

    // A start of its own per column, as the text file starts from the captions.
    class CaptionStart final : public ColumnMeasure
    {
    public:
        explicit CaptionStart(const TableSource& table)
            : m_table(table)
        {
        }
        qsizetype startWidth(int column) override { return m_table.caption(column).size(); }

    private:
        const TableSource& m_table;
    } start(*table);
    QCOMPARE(TableWalk(*table, yielder).columnWidths(start), std::vector<qsizetype>({ 15, 3, 2 }));
}

void TestTableWalk::widthsAreNeverReadPastTheEnd()
{
    for (const TableChange change : AllTableChanges) {
        for (int at = 1; at <= 12; ++at) {
            const auto table = smallTable();
            BoundsCheckingTable checked(*table);
            ScriptedYielder yielder;
            yielder.onYield = [&](int call) {
                if (call == at)
                    applyChange(*table, change);
            };
            const std::optional<std::vector<qsizetype>> widths = TableWalk(checked, yielder).columnWidths();
            QVERIFY(widths);
            QCOMPARE(widths->size(), size_t(3));
            QCOMPARE(checked.readsPastEnd, 0);
        }
    }
}

void TestTableWalk::streamWritesFullBlocksAsItGoes()
{
    CountingBuffer device;
    device.open(QIODevice::WriteOnly);
    ExportTarget target(device, u"buffer"_s);
    target.create();
    EncodedBlocks blocks(target);

    // A text of two and a half blocks, with characters the code page cannot
    // hold (a "?" each) and one it can (é).
    const QString text = QString(EncodedBlocks::BlockBytes, u'x') + u"\u0100é"_s
        + QString(EncodedBlocks::BlockBytes * 3 / 2, u'y');
    blocks.append(text);
    QCOMPARE(device.writes.size(), 2);
    for (const qint64 size : device.writes)
        QVERIFY(size >= EncodedBlocks::BlockBytes && size < EncodedBlocks::BlockBytes + 4096);
    blocks.append('\n');
    blocks.flush();
    target.finish();

    QByteArray expected = QByteArray(EncodedBlocks::BlockBytes, 'x') + "?\xe9"
        + QByteArray(EncodedBlocks::BlockBytes * 3 / 2, 'y') + '\n';
    QCOMPARE(device.data(), expected);
}

void TestTableWalk::gatheringWritesOnlyOnFlush()
{
    CountingBuffer device;
    device.open(QIODevice::WriteOnly);
    ExportTarget target(device, u"buffer"_s);
    target.create();
    EncodedBlocks blocks(target);

    blocks.gatherPadded(u"ab"_s, 5, '\t');
    blocks.gatherPadded(u"longer than its width"_s, 3, ';');
    const qsizetype lineEnd = blocks.size();
    blocks.gather(QString(EncodedBlocks::BlockBytes, u'z'));
    QVERIFY(blocks.isFull());
    QVERIFY(device.writes.isEmpty());

    // A line dropped after all, as the text file drops a row that went away.
    blocks.truncate(lineEnd);
    QVERIFY(!blocks.isFull());
    blocks.flush();
    QCOMPARE(device.data(), QByteArray("ab   \tlonger than its width;"));
    QCOMPARE(blocks.size(), 0);
}

void TestTableWalk::failedFlushKeepsTheBytes()
{
    QFile full(u"/dev/full"_s);
    if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        QSKIP("no /dev/full here");
    ExportTarget target(full, u"/dev/full"_s);
    target.create();
    EncodedBlocks blocks(target);
    blocks.gather(u"kept"_s);
    QVERIFY_THROWS_EXCEPTION(AppError, blocks.flush());
    QCOMPARE(blocks.size(), 4);
    blocks.discard();
    QCOMPARE(blocks.size(), 0);
}

void TestTableWalk::csvFormulaFields_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("exact");
    QTest::addColumn<QByteArray>("safe");

    QTest::newRow("=") << u"=1+1"_s << "=1+1"_ba
                       << "'=1+1"_ba;
    QTest::newRow("+") << u"+1"_s << "+1"_ba
                       << "'+1"_ba;
    QTest::newRow("-") << u"-1"_s << "-1"_ba
                       << "'-1"_ba;
    QTest::newRow("@") << u"@SUM(A1)"_s << "@SUM(A1)"_ba
                       << "'@SUM(A1)"_ba;
    QTest::newRow("TAB") << u"\tx"_s << "\tx"_ba
                         << "'\tx"_ba;
    QTest::newRow("CR, quoted") << u"\rx"_s << "\"\rx\""_ba
                                << "\"'\rx\""_ba;
    QTest::newRow("quoted formula") << u"=HYPERLINK(\"http://x\",\"y\")"_s
                                    << "\"=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""_ba
                                    << "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""_ba;
    QTest::newRow("only the start counts") << u"a=b-c"_s << "a=b-c"_ba
                                           << "a=b-c"_ba;
    QTest::newRow("a blank first") << u" =1"_s << " =1"_ba
                                   << " =1"_ba;
    QTest::newRow("LF first, quoted") << u"\n=1"_s << "\"\n=1\""_ba
                                      << "\"\n=1\""_ba;
    QTest::newRow("empty") << QString() << QByteArray() << QByteArray();
}

// CSV writes a field exactly by default; FormulaSafe marks one a spreadsheet
// would run as a formula, inside its quotes when it has them.
void TestTableWalk::csvFormulaFields()
{
    QFETCH(QString, cell);
    QFETCH(QByteArray, exact);
    QFETCH(QByteArray, safe);

    auto table = tableWithCaptions({ u" Caption"_s });
    addRow(*table, { cell }, true);
    for (const CsvFields fields : { CsvFields::Exact, CsvFields::FormulaSafe }) {
        QBuffer device;
        device.open(QIODevice::WriteOnly);
        ExportTarget target(device, u"buffer"_s);
        target.create();
        EncodedBlocks blocks(target, EncodedBlocks::Encoding::Utf8);
        NoYield yielder;
        QVERIFY(writeCsv(*table, yielder, blocks, fields));
        blocks.flush();
        QCOMPARE(device.data(), "Caption\r\n" + (fields == CsvFields::Exact ? exact : safe) + "\r\n");
    }
}

QTEST_GUILESS_MAIN(TestTableWalk)
#include "tst_tablewalk.moc"
