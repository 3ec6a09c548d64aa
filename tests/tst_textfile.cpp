#include "export/TextFileWriter.h"

#include "conversion/Decoding.h"
#include "conversion/MapIP.h"
#include "export/AlignedTextRows.h"
#include "export/CellDeriver.h"
#include "export/ResultsTable.h"

#include "export/ExportTarget.h"

#include "ExportFixtures.h"
#include "FilePrivileges.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// One cell as the file holds it, with the width given by the test.
QByteArray cellBytes(const QByteArray& text, qsizetype width)
{
    return text + QByteArray(std::max<qsizetype>(width - text.size(), 0), ' ') + '\t';
}

std::unique_ptr<ListModel> twoColumnExample()
{
    auto table = tableWithCaptions({ u"Original"_s, u" IPv6 Shorthand Address"_s });
    addRow(*table, { u"10.0.0.1"_s, u"::0A00:0001"_s });
    addRow(*table, { u"192.168.100.200"_s, u"::C0A8:64C8"_s });
    return table;
}

std::unique_ptr<ListModel> fiveColumnExample()
{
    auto table = resultsTable();
    addConverted(*table, u"10.0.0.1"_s);
    addConverted(*table, u"192.168.100.200"_s);
    return table;
}

const QByteArray FiveColumnCaptionLine = cellBytes("Original", 15) + cellBytes(" IPv6 Full Address", 39)
    + cellBytes(" IPv6 Shorthand Address", 23) + cellBytes(" IPv6 and Dot Notation Full Address", 45)
    + cellBytes(" IPv6 and Dot Notation Shorthand Address", 40) + "\r\n";
const QByteArray FiveColumnFirstRow = cellBytes("10.0.0.1", 15)
    + cellBytes("0000:0000:0000:0000:0000:0000:0A00:0001", 39) + cellBytes("::0A00:0001", 23)
    + cellBytes("0000:0000:0000:0000:0000:0000:10.0.0.1", 45) + cellBytes("::10.0.0.1", 40) + "\r\n";
const QByteArray FiveColumnSecondRow = cellBytes("192.168.100.200", 15)
    + cellBytes("0000:0000:0000:0000:0000:0000:C0A8:64C8", 39) + cellBytes("::C0A8:64C8", 23)
    + cellBytes("0000:0000:0000:0000:0000:0000:192.168.100.200", 45) + cellBytes("::192.168.100.200", 40)
    + "\r\n";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// Makes writes past `bytes` fail in this process (EFBIG), as a full disk
// would, until it goes out of scope. It is set only around a save: it holds
// for every file the process writes, the test log included.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limit { bytes, m_old.rlim_max };
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

enum class Failure {
    MissingFolder,
    Directory,
    FullDevice,
    FullDiskDuringRows,
    FullDiskAtClose,
    ReadOnlyFolder
};

} // namespace

class TestTextFile : public QObject
{
    Q_OBJECT

private slots:
    void fileFormat_data();
    void fileFormat();
    void existingFileIsReplaced();
    void progressStepsAndTurns();
    void progressOfALargeTable_data();
    void progressOfALargeTable();
    void failureIsReportedOnceAndKeepsTheOldFile_data();
    void failureIsReportedOnceAndKeepsTheOldFile();
    void deviceFailureIsReportedOnce_data();
    void deviceFailureIsReportedOnce();
    void stopKeepsTheOldFileAndLeavesTheDisplayAlone();
    void changingTableIsNeverReadPastItsEnd_data();
    void changingTableIsNeverReadPastItsEnd();
    void cellGrownPastItsWidthIsFollowedByItsTab();
    void keptRowsWriteWhatTheTableWrites_data();
    void keptRowsWriteWhatTheTableWrites();

private:
    QTemporaryDir m_dir;
};

void TestTextFile::fileFormat_data()
{
    QTest::addColumn<std::shared_ptr<ListModel>>("table");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("two columns, both ticked") << std::shared_ptr<ListModel>(twoColumnExample())
                                              << QByteArray("Original       \t IPv6 Shorthand Address\t\r\n"
                                                            "10.0.0.1       \t::0A00:0001            \t\r\n"
                                                            "192.168.100.200\t::C0A8:64C8            \t\r\n");

    QTest::newRow("five columns, widths 15 39 23 45 40")
        << std::shared_ptr<ListModel>(fiveColumnExample())
        << FiveColumnCaptionLine + FiveColumnFirstRow + FiveColumnSecondRow;

    {
        auto table = twoColumnExample();
        setTicked(*table, 0, false);
        setTicked(*table, 1, false);
        QTest::newRow("none ticked: the caption line, still padded for every row")
            << std::shared_ptr<ListModel>(std::move(table))
            << QByteArray("Original       \t IPv6 Shorthand Address\t\r\n");
    }
    {
        auto table = twoColumnExample();
        addRow(*table, { u"an unticked row, widest"_s, u"::"_s }, false);
        QTest::newRow("an unticked row widens its column")
            << std::shared_ptr<ListModel>(std::move(table))
            << QByteArray("Original               \t IPv6 Shorthand Address\t\r\n"
                          "10.0.0.1               \t::0A00:0001            \t\r\n"
                          "192.168.100.200        \t::C0A8:64C8            \t\r\n");
    }
    {
        auto table = fiveColumnExample();
        addConverted(*table, u"1.2.3.256"_s);
        QTest::newRow("a failed conversion: its empty cells are all padding")
            << std::shared_ptr<ListModel>(std::move(table))
            << FiveColumnCaptionLine + FiveColumnFirstRow + FiveColumnSecondRow + cellBytes("1.2.3.256", 15)
                + cellBytes("", 39) + cellBytes("", 23)
                + cellBytes("0000:0000:0000:0000:0000:0000:1.2.3.256", 45) + cellBytes("::1.2.3.256", 40)
                + "\r\n";
    }
    QTest::newRow("empty table: each caption directly followed by its TAB")
        << std::shared_ptr<ListModel>(resultsTable())
        << QByteArray("Original\t IPv6 Full Address\t IPv6 Shorthand Address\t IPv6 and Dot Notation Full "
                      "Address\t IPv6 and Dot Notation Shorthand Address\t\r\n");
    {
        auto table = tableWithCaptions({ u"Original"_s, u"B"_s });
        addRow(*table, { u"Z\u00FCrich\u20AC\u2713"_s, u"x"_s });
        QTest::newRow("single-byte text, \"?\" for what the code page lacks")
            << std::shared_ptr<ListModel>(std::move(table))
            << QByteArray("Original\tB\t\r\n"
                          "Z\xFCrich\x80?\tx\t\r\n");
    }
}

void TestTextFile::fileFormat()
{
    QFETCH(std::shared_ptr<ListModel>, table);
    QFETCH(QByteArray, expected);
    const QString path = m_dir.filePath(u"format.txt"_s);
    RecordingReporter reporter;
    NoYield yielder;

    SaveListviewProperlySpaced(*table, path, nullptr, yielder, reporter);

    QCOMPARE(reporter.reports, QStringList());
    const QByteArray written = readAll(path);
    QCOMPARE(written, expected);

    // The same bytes to a device that is already open, which stays open.
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    ExportTarget target(buffer, u"the buffer"_s);
    SaveListviewProperlySpaced(*table, target, nullptr, yielder, reporter);
    QCOMPARE(reporter.reports, QStringList());
    QCOMPARE(buffer.data(), expected);
    QVERIFY(buffer.isOpen());
    if (QByteArray(QTest::currentDataTag()).startsWith("two columns"))
        QCOMPARE(written.size(), 126);
    if (QByteArray(QTest::currentDataTag()).startsWith("five columns")) {
        for (const QByteArray& line : written.split('\n').mid(0, 3))
            QCOMPARE(line.size() + 1, 169);
    }
}

void TestTextFile::existingFileIsReplaced()
{
    const QString path = m_dir.filePath(u"replaced.txt"_s);
    QVERIFY(writeFile(path, QByteArray(5000, 'x')));
    auto table = twoColumnExample();
    RecordingReporter reporter;
    NoYield yielder;

    SaveListviewProperlySpaced(*table, path, nullptr, yielder, reporter);

    QCOMPARE(reporter.reports, QStringList());
    QCOMPARE(readAll(path).size(), 126);
    QVERIFY(readAll(path).startsWith("Original       \t"));
}

void TestTextFile::progressStepsAndTurns()
{
    auto table = twoColumnExample();
    addRow(*table, { u"1.1.1.1"_s, u"::0101:0101"_s }, false);
    addRow(*table, { u"2.2.2.2"_s, u"::0202:0202"_s }, true);
    std::vector<ExportEvent> log;
    RecordingProgress progress(log);
    ScriptedYielder yielder;
    yielder.log = &log;
    RecordingReporter reporter;

    SaveListviewProperlySpaced(*table, m_dir.filePath(u"two.txt"_s), &progress, yielder, reporter);

    QCOMPARE(reporter.reports, QStringList());
    const QString writing = u"text Writing file: two.txt"_s;
    // Row 3 is unticked: the display stays as row 2 left it.
    QCOMPARE(progressSteps(log),
             QStringList({ u"value 1"_s, writing, u"value 10"_s, writing, u"value 20"_s, writing,
                           u"value 25"_s, u"value 50"_s, u"value 100"_s, u"value 100"_s, u"text Done."_s,
                           u"value 0"_s, u"text Progress Bar"_s }));
    // Turns: 2 around the first text, one per cell for the widths (2 columns
    // x 4 rows), 2 around the second text, one per caption, 2 around the
    // third text, one per row, and for each of the 3 ticked rows one per cell
    // and 2 around its value.
    QCOMPARE(yielder.calls, 2 + 8 + 2 + 2 + 2 + 4 + 3 * (2 + 2));
    // Nothing lets the window paint "Done." before the bar is idle again.
    QCOMPARE(log.size() >= 5, true);
    QCOMPARE(log[log.size() - 5].kind, ExportEvent::Yield);
    for (size_t i = log.size() - 4; i < log.size(); ++i)
        QVERIFY(log[i].kind != ExportEvent::Yield);
}

void TestTextFile::progressOfALargeTable_data()
{
    QTest::addColumn<bool>("row1000Ticked");
    QTest::newRow("all 2,500 rows ticked") << true;
    QTest::newRow("row 1000 unticked") << false;
}

void TestTextFile::progressOfALargeTable()
{
    QFETCH(bool, row1000Ticked);
    auto table = resultsTable();
    for (int i = 1; i <= 2500; ++i)
        addConverted(*table, u"10.0.%1.%2"_s.arg(i / 256).arg(i % 256), i != 1000 || row1000Ticked);
    std::vector<ExportEvent> log;
    RecordingProgress progress(log);
    NoYield yielder;
    RecordingReporter reporter;

    SaveListviewProperlySpaced(*table, m_dir.filePath(u"results.txt"_s), &progress, yielder, reporter);

    QCOMPARE(reporter.reports, QStringList());
    QStringList texts;
    std::vector<double> values;
    for (const ExportEvent& event : log) {
        if (event.kind == ExportEvent::Text)
            texts.append(event.text);
        else if (event.kind == ExportEvent::Value)
            values.push_back(event.value);
    }
    QStringList expectedTexts(3, u"Writing file: results.txt"_s);
    if (row1000Ticked)
        expectedTexts.append(u"Writing file: results.txt (1000)"_s);
    expectedTexts += { u"Writing file: results.txt (2000)"_s, u"Done."_s, u"Progress Bar"_s };
    QCOMPARE(texts, expectedTexts);

    // 1, 10, 20, one per ticked row, then 100 and 0.
    QCOMPARE(values.size(), size_t(3 + (row1000Ticked ? 2500 : 2499) + 2));
    // (r + 1) / 2500 x 100 with one extra row for every 2,000 rows.
    QCOMPARE(values[3], 0.08);
    QCOMPARE(values[values.size() - 3], 100.04);
    QCOMPARE(values.back(), 0.0);
}

// An open device that takes `budget` bytes, then refuses every write, as a
// pipe to a full disk would.
class FillingDevice final : public QIODevice
{
public:
    explicit FillingDevice(qint64 budget)
        : m_budget(budget)
    {
    }

    QByteArray taken;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        const qint64 accepted = std::min(size, m_budget - qint64(taken.size()));
        if (accepted <= 0) {
            setErrorString(u"No space left on device"_s);
            return -1;
        }
        taken.append(data, accepted);
        return accepted;
    }

private:
    qint64 m_budget;
};

void TestTextFile::deviceFailureIsReportedOnce_data()
{
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("line");
    QTest::newRow("not open for writing") << qint64(1000) << false << 156;
    QTest::newRow("full from the start") << qint64(0) << true << 170;
    QTest::newRow("full within the caption line") << qint64(20) << true << 170;
    // The rows of a small table are gathered and written when closing.
    QTest::newRow("full after the caption line") << qint64(200) << true << 232;
}

void TestTextFile::deviceFailureIsReportedOnce()
{
    QFETCH(qint64, budget);
    QFETCH(bool, open);
    QFETCH(int, line);
    FillingDevice device(budget);
    if (open)
        QVERIFY(device.open(QIODevice::WriteOnly));
    std::shared_ptr<ListModel> table(fiveColumnExample());
    RecordingReporter reporter;
    NoYield yielder;
    ExportTarget target(device, u"standard output"_s);

    SaveListviewProperlySpaced(*table, target, nullptr, yielder, reporter);

    QCOMPARE(reporter.reports.size(), 1);
    const QString& report = reporter.reports.front();
    QVERIFY2(report.startsWith(u"Cannot write standard output: "_s), qPrintable(report));
    QVERIFY2(report.contains(u"SaveListviewProperlySpaced at line "_s + QString::number(line) + u"\r"_s),
             qPrintable(report));
    // What the device took before it filled up is the file's start.
    QCOMPARE(device.taken, (FiveColumnCaptionLine + FiveColumnFirstRow).first(open ? budget : 0));
}

void TestTextFile::failureIsReportedOnceAndKeepsTheOldFile_data()
{
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<int>("line");
    QTest::newRow("missing folder") << Failure::MissingFolder << 156;
    QTest::newRow("a folder of that name") << Failure::Directory << 156;
    QTest::newRow("/dev/full") << Failure::FullDevice << 170;
    QTest::newRow("disk full among the rows") << Failure::FullDiskDuringRows << 222;
    QTest::newRow("disk full at closing") << Failure::FullDiskAtClose << 232;
    // Last: root's override of permission bits stays dropped for the process.
    QTest::newRow("read-only folder") << Failure::ReadOnlyFolder << 156;
}

void TestTextFile::failureIsReportedOnceAndKeepsTheOldFile()
{
    QFETCH(Failure, failure);
    QFETCH(int, line);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray oldBytes = "the user's old file\r\n";
    std::shared_ptr<ListModel> table = twoColumnExample();
    QString target = dir.filePath(u"results.txt"_s);
    rlim_t sizeLimit = 0;

    switch (failure) {
    case Failure::MissingFolder:
        target = dir.filePath(u"missing/results.txt"_s);
        break;
    case Failure::Directory:
        QVERIFY(QDir(dir.path()).mkdir(u"results.txt"_s));
        QVERIFY(writeFile(target + u"/inside.txt"_s, oldBytes));
        break;
    case Failure::FullDevice:
        target = u"/dev/full"_s;
        break;
    case Failure::FullDiskDuringRows:
        QVERIFY(writeFile(target, oldBytes));
        table = resultsTable();
        for (int i = 0; i < 10000; ++i)
            addConverted(*table, u"10.1.%1.%2"_s.arg(i / 256).arg(i % 256));
        sizeLimit = 100000; // the caption line fits, the first block of rows not
        break;
    case Failure::FullDiskAtClose:
        QVERIFY(writeFile(target, oldBytes));
        sizeLimit = 60; // the 42-byte caption line fits, the two rows not
        break;
    case Failure::ReadOnlyFolder:
        QVERIFY(QDir(dir.path()).mkdir(u"locked"_s));
        target = dir.filePath(u"locked/results.txt"_s);
        QVERIFY(writeFile(target, oldBytes));
        QVERIFY(QFile::setPermissions(dir.filePath(u"locked"_s), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(dropFileAccessOverride());
        break;
    }
    const QString folder = failure == Failure::FullDevice ? QString() : QFileInfo(target).absolutePath();
    const QStringList entriesBefore = folder.isEmpty() ? QStringList() : entriesOf(folder);

    std::vector<ExportEvent> log;
    RecordingProgress progress(log);
    ScriptedYielder yielder;
    RecordingReporter reporter;
    {
        std::optional<FileSizeLimit> limit;
        if (sizeLimit > 0)
            limit.emplace(sizeLimit);
        QVERIFY(!limit || limit->active());
        SaveListviewProperlySpaced(*table, target, &progress, yielder, reporter);
    }

    QCOMPARE(reporter.reports.size(), 1);
    QVERIFY2(
        reporter.reports[0].contains(u"\r\nin Hexmap2021/08/31.Main.SaveListviewProperlySpaced at line "_s
                                     + QString::number(line) + u"\r\r"_s),
        qPrintable(reporter.reports[0]));
    // The progress steps still ran to the end.
    QCOMPARE(progressSteps(log).mid(progressSteps(log).size() - 4),
             QStringList({ u"value 100"_s, u"text Done."_s, u"value 0"_s, u"text Progress Bar"_s }));

    switch (failure) {
    case Failure::MissingFolder:
        QVERIFY(!QFileInfo::exists(folder));
        break;
    case Failure::Directory:
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(readAll(target + u"/inside.txt"_s), oldBytes);
        break;
    case Failure::FullDevice: {
        struct stat status
        {
        };
        QCOMPARE(::stat("/dev/full", &status), 0);
        QVERIFY2(S_ISCHR(status.st_mode), "/dev/full must stay a device");
        break;
    }
    case Failure::ReadOnlyFolder:
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        Q_FALLTHROUGH();
    case Failure::FullDiskDuringRows:
    case Failure::FullDiskAtClose:
        QCOMPARE(readAll(target), oldBytes);
        break;
    }
    // No temporary file is left behind.
    if (!folder.isEmpty() && QFileInfo::exists(folder))
        QCOMPARE(entriesOf(folder), entriesBefore);
}

void TestTextFile::stopKeepsTheOldFileAndLeavesTheDisplayAlone()
{
    const QString target = m_dir.filePath(u"stopped.txt"_s);
    const QByteArray oldBytes = "kept\r\n";
    int turns = 0;
    {
        auto table = fiveColumnExample();
        ScriptedYielder yielder;
        RecordingReporter reporter;
        std::vector<ExportEvent> log;
        RecordingProgress progress(log);
        SaveListviewProperlySpaced(*table, m_dir.filePath(u"counting.txt"_s), &progress, yielder, reporter);
        turns = yielder.calls;
    }
    QVERIFY(turns > 20);

    for (int stopFrom : { 1, 2, 12, turns / 2, turns - 1, turns }) {
        QVERIFY(writeFile(target, oldBytes));
        const QStringList entriesBefore = entriesOf(m_dir.path());
        auto table = fiveColumnExample();
        std::vector<ExportEvent> log;
        RecordingProgress progress(log);
        ScriptedYielder yielder;
        yielder.log = &log;
        yielder.stopFrom = stopFrom;
        RecordingReporter reporter;

        SaveListviewProperlySpaced(*table, target, &progress, yielder, reporter);

        QCOMPARE(yielder.calls, stopFrom);
        QCOMPARE(reporter.reports, QStringList());
        QCOMPARE(readAll(target), oldBytes);
        QCOMPARE(entriesOf(m_dir.path()), entriesBefore);
        // The last thing that happened was the turn in which the stop came.
        QCOMPARE(log.back().kind, ExportEvent::Yield);
    }
}

void TestTextFile::changingTableIsNeverReadPastItsEnd_data()
{
    QTest::addColumn<TableChange>("change");
    for (TableChange change : AllTableChanges)
        QTest::newRow(nameOf(change)) << change;
}

void TestTextFile::changingTableIsNeverReadPastItsEnd()
{
    QFETCH(TableChange, change);
    auto build = [] {
        auto table = twoColumnExample();
        addRow(*table, { u"3.3.3.3"_s, u"::0303:0303"_s }, false);
        addRow(*table, { u"4.4.4.4"_s, u"::0404:0404"_s }, true);
        return table;
    };
    int turns = 0;
    {
        auto table = build();
        ScriptedYielder yielder;
        RecordingReporter reporter;
        std::vector<ExportEvent> log;
        RecordingProgress progress(log);
        SaveListviewProperlySpaced(*table, m_dir.filePath(u"changing.txt"_s), &progress, yielder, reporter);
        turns = yielder.calls;
    }

    // The change comes at every turn in turn.
    for (int at = 1; at <= turns; ++at) {
        auto table = build();
        BoundsCheckingTable checked(*table);
        ScriptedYielder yielder;
        yielder.onYield = [&](int call) {
            if (call == at)
                applyChange(*table, change);
        };
        std::vector<ExportEvent> log;
        RecordingProgress progress(log);
        RecordingReporter reporter;
        const QString path = m_dir.filePath(u"changing.txt"_s);

        SaveListviewProperlySpaced(checked, path, &progress, yielder, reporter);

        QCOMPARE(checked.readsPastEnd, 0);
        QCOMPARE(reporter.reports, QStringList());
        const QByteArray written = readAll(path);
        // Rows gone before they were measured no longer widen the columns.
        QVERIFY(written.startsWith("Original"));
        // Only whole lines: every one has both cells and its end.
        const QList<QByteArray> lines = written.split('\n');
        QVERIFY(lines.back().isEmpty());
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            QVERIFY2(lines[i].endsWith("\t\r") && lines[i].count('\t') == 2,
                     qPrintable(u"change at turn %1: line %2"_s.arg(at).arg(QString::fromLatin1(lines[i]))));
        }
        QCOMPARE(progressSteps(log).back(), u"text Progress Bar"_s);
    }
}

void TestTextFile::cellGrownPastItsWidthIsFollowedByItsTab()
{
    auto table = twoColumnExample();
    std::vector<ExportEvent> log;
    RecordingProgress progress(log);
    ScriptedYielder yielder;
    bool added = false;
    // Once the caption line is written, the user adds a longer row.
    yielder.onYield = [&](int) {
        if (added || progressSteps(log).size() < 5)
            return;
        addRow(*table, { u"a-very-long-text-in-column-one"_s, u"x"_s });
        added = true;
    };
    RecordingReporter reporter;
    const QString path = m_dir.filePath(u"grown.txt"_s);

    SaveListviewProperlySpaced(*table, path, &progress, yielder, reporter);

    QVERIFY(added);
    QCOMPARE(readAll(path),
             QByteArray("Original       \t IPv6 Shorthand Address\t\r\n"
                        "10.0.0.1       \t::0A00:0001            \t\r\n"
                        "192.168.100.200\t::C0A8:64C8            \t\r\n"
                        "a-very-long-text-in-column-one\tx                      \t\r\n"));
}

void TestTextFile::keptRowsWriteWhatTheTableWrites_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("blockRows");

    // One line a block, and more blocks than are ever in flight; blocks of
    // a few lines; one block for every row.
    for (const QString& layout : { u"program"_s, u"RFC 5952 NAT64"_s, u"/64"_s, u"/64, reverse DNS"_s,
                                   u"decode, reverse DNS"_s, u"decode by NAT64"_s }) {
        for (const int blockRows : { 1, 7, 100000 })
            QTest::addRow("%s, blocks of %d", qPrintable(layout), blockRows) << layout << blockRows;
    }
}

// The text file from rows kept as it needs them is byte for byte what the
// window's writer makes of a table filled with the same rows, ticked the
// same way: failures, ranges of several prefixes, text the code page lacks
// and a row wider than any form among them.
void TestTextFile::keptRowsWriteWhatTheTableWrites()
{
    QFETCH(QString, layout);
    QFETCH(int, blockRows);

    using MapIP::Embedding;
    ResultsTable::Layout shape;
    if (layout.startsWith(u"RFC"))
        shape.conversion
            = MapIP::ConversionOptions(Embedding::named(Embedding::Named::Nat64), MapIP::TextStyle::Rfc5952);
    if (layout.startsWith(u"/64"))
        shape.conversion = MapIP::ConversionOptions(*Embedding::parse(u"2001:db8:122:344::/64"),
                                                    MapIP::TextStyle::Program);
    shape.reverseDns = layout.endsWith(u"reverse DNS");
    if (layout.startsWith(u"decode"))
        shape.direction = ResultsTable::Direction::Decode;
    if (layout.endsWith(u"NAT64") && shape.direction == ResultsTable::Direction::Decode)
        shape.decoding = MapIP::DecodeOptions(Embedding::named(Embedding::Named::Nat64));

    QStringList rows { u"10.0.0.1"_s,
                       u"1.2.3.256"_s,
                       QString(),
                       u"010.001.002.003"_s,
                       u"caf\u00E9 \u2713"_s,
                       u"10.0.0.0/8"_s,
                       u"10.0.0.0-10.0.2.255"_s,
                       u"10.0.0.9-10.0.0.1"_s,
                       u"::ffff:10.0.0.1"_s,
                       u"64:ff9b::c000:221"_s,
                       u"2002:c000:221::1"_s,
                       u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s,
                       u"64:ff9b::a00:0/120"_s,
                       u"not an address"_s };
    rows.append(QString(300, u'7'));
    for (int i = 0; i < 40; ++i)
        rows.append(u"%1.%2.%3.%4"_s.arg(i * 7 % 256).arg(i * 13 % 256).arg(i).arg(255 - i));

    ListModel table(ListModel::CheckBoxes::OnEveryRow);
    ResultsTable::apply(table, shape);
    AlignedTextRows kept(shape);
    kept.setBlockRows(blockRows);
    // Every third row of the table stays unticked.
    const auto ticked = [&] { return kept.rows() % 3 != 1; };
    const auto addToTable = [&](qsizetype index, unsigned subItems, bool tick) {
        table.setDerivedSubItems(index, subItems);
        table.setChecked(index, tick);
    };
    for (const QString& row : rows) {
        if (shape.direction == ResultsTable::Direction::Decode) {
            const MapIP::RowDecoding decoding(row, shape.decoding);
            const unsigned subItems = DecodedFieldsDeriver::subItemsOf(decoding, shape.reverseDns);
            const bool tick = ticked();
            kept.add(decoding, subItems, tick);
            addToTable(table.appendRow(row), subItems, tick);
            continue;
        }
        const MapIP::RowConversion conversion(row, shape.conversion);
        const std::vector<MapIP::Ipv4Network> parts = ConversionFormsDeriver::partsOf(conversion);
        for (const MapIP::Ipv4Network& part : parts) {
            const bool tick = ticked();
            kept.addPart(row, part, tick);
            table.setChecked(table.appendPart(row, part), tick);
        }
        if (!parts.empty())
            continue;
        const unsigned subItems = ConversionFormsDeriver::subItemsOf(conversion, shape.reverseDns);
        const bool tick = ticked();
        kept.add(conversion, subItems, tick);
        addToTable(table.appendRow(row), subItems, tick);
    }
    QCOMPARE(kept.rows(), table.rows());

    QBuffer fromTable;
    QVERIFY(fromTable.open(QIODevice::WriteOnly));
    ExportTarget tableTarget(fromTable, u"memory"_s);
    RecordingReporter reporter;
    NoYield yielder;
    SaveListviewProperlySpaced(table, tableTarget, nullptr, yielder, reporter);
    QCOMPARE(reporter.reports, QStringList());

    QBuffer fromKept;
    QVERIFY(fromKept.open(QIODevice::WriteOnly));
    ExportTarget keptTarget(fromKept, u"memory"_s);
    keptTarget.create();
    std::vector<double> shares;
    kept.write(keptTarget, [&shares](double share) { shares.push_back(share); });
    keptTarget.finish();

    QCOMPARE(fromKept.data(), fromTable.data());
    // The share written only grows, and ends whole.
    QVERIFY(std::is_sorted(shares.begin(), shares.end()));
    QCOMPARE(shares.back(), 1.0);
}

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
