#include "app/RowSelection.h"
#include "app/TerminalProgress.h"
#include "conversion/Embedding.h"
#include "conversion/MapIP.h"
#include "export/ClipboardText.h"
#include "export/OutputFormats.h"
#include "export/TextFileWriter.h"
#include "export/XlsxWorkbook.h"
#include "shell/AnsiCodePage.h"
#include "shell/AppError.h"
#include "shell/ListFileReader.h"
#include "shell/VisibleText.h"

#include "BuildConfig.h"
#include "ExportFixtures.h"
#include "FilePrivileges.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Where the rows of a run come from, in command-line order.
struct Source
{
    enum Kind { File, StandardInput, Address, Sample } kind;
    QByteArray bytes; // a file's contents, standard input, or the address
};
using Sources = QList<Source>;

Source file(const QByteArray& bytes)
{
    return { Source::File, bytes };
}

Source standardInput(const QByteArray& bytes)
{
    return { Source::StandardInput, bytes };
}

Source address(const QByteArray& text)
{
    return { Source::Address, text };
}

const Source Sample { Source::Sample, {} };

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs quadrix-batch and waits for it. `prepare` may set up the process
// further before it starts.
Run runTool(const QStringList& arguments, const QByteArray& input = {},
            const std::function<void(QProcess&)>& prepare = {})
{
    QProcess process;
    if (prepare)
        prepare(process);
    process.start(QStringLiteral(QUADRIX_BATCH_PATH), arguments);
    Run run;
    if (!process.waitForStarted(10000)) {
        run.err = "<quadrix-batch did not start>";
        return run;
    }
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        run.err = "<quadrix-batch did not finish within 60 s>";
        return run;
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The rows the tool reads from a list file's bytes: the batch window's line
// rules, except that a final line end adds no row.
QStringList rowsOfList(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QStringList rows;
    readListRows(
        buffer, u"list"_s, [&rows](QStringView row) { rows.append(row.toString()); },
        FinalLineFeed::EndsLastLine);
    return rows;
}

// What a run should write on its two streams and end with.
struct Outcome
{
    QByteArray out;
    QByteArray err;
    int exitCode = 0;
};

// Runs the tool with `arguments` and `input`, and tells how its standard
// output, standard error and exit status differ from `expected`: empty when
// they do not, so that a case is one line, QVERIFY2(d.isEmpty(), d).
QByteArray mismatch(const QStringList& arguments, const QByteArray& input, const Outcome& expected)
{
    const Run run = runTool(arguments, input);
    QByteArray differences;
    const auto compare = [&differences](const char* stream, const QByteArray& actual,
                                        const QByteArray& wanted) {
        if (actual != wanted)
            differences += "\n"_ba + stream + "\n  actual:   " + actual.toPercentEncoding(" ,.:;'\"=+-@/()?")
                + "\n  expected: " + wanted.toPercentEncoding(" ,.:;'\"=+-@/()?");
    };
    compare("standard output", run.out, expected.out);
    compare("standard error", run.err, expected.err);
    if (run.exitCode != expected.exitCode)
        differences += "\nexit status " + QByteArray::number(run.exitCode) + ", expected "
            + QByteArray::number(expected.exitCode);
    return differences;
}

QStringList rowsOf(const Sources& sources)
{
    QStringList rows;
    for (const Source& source : sources) {
        switch (source.kind) {
        case Source::File:
        case Source::StandardInput:
            rows += rowsOfList(source.bytes);
            break;
        case Source::Address:
            rows.append(QString::fromUtf8(source.bytes));
            break;
        case Source::Sample:
            rows += QStringList { u"204.93.240.0"_s, u"199.27.128.43"_s, u"173.245.48.111"_s };
            break;
        }
    }
    return rows;
}

// The results table after the batch window's run over `rows`: each row
// appended, then its four forms set one by one, a failing form left empty.
// The user then ticks the rows `ticks` selects.
std::unique_ptr<ListModel> windowTable(const QStringList& rows, const RowSelection& ticks)
{
    auto table = resultsTable();
    for (const QString& s : rows) {
        const qsizetype row = table->appendRow(s);
        int subItem = 1;
        for (auto form : { MapIP::IPv4ToIPv6Full, MapIP::IPv4ToIPv6Shorthand, MapIP::IPv4ToIPv6DotFull,
                           MapIP::IPv4ToIPv6DotShorthand }) {
            try {
                table->setSubItem(row, subItem, form(s));
            } catch (const MapIP::ConversionException&) {
            }
            ++subItem;
        }
    }
    for (qsizetype row = 0; row < table->rows(); ++row)
        setTicked(*table, row, ticks.contains(row + 1));
    return table;
}

// "Save Results As Text File".
QByteArray windowTextFile(const ListModel& table)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"saved.txt"_s);
    RecordingReporter reporter;
    NoYield yielder;
    SaveListviewProperlySpaced(table, path, nullptr, yielder, reporter);
    return reporter.reports.isEmpty() ? readAll(path) : reporter.reports.join(u'\n').toUtf8();
}

// "Copy Results To Clipboard", in the text file's encoding.
QByteArray windowClipboardText(const ListModel& table)
{
    NoYield yielder;
    return AnsiCodePage::encode(buildClipboardText(table, yielder).value_or(QString()));
}

// A tsv field as PostgreSQL's text COPY format writes it.
QString copyEscaped(QString cell)
{
    return cell.replace(u"\\"_s, u"\\\\"_s)
        .replace(u"\t"_s, u"\\t"_s)
        .replace(u"\n"_s, u"\\n"_s)
        .replace(u"\r"_s, u"\\r"_s);
}

// The tsv lines: the ticked rows' cells as the table holds them, escaped.
QByteArray tsvOf(const ListModel& table)
{
    QByteArray bytes;
    for (qsizetype row = 0; row < table.rows(); ++row) {
        if (!table.isChecked(row))
            continue;
        QStringList cells;
        for (int column = 0; column < table.columns(); ++column)
            cells.append(copyEscaped(table.cell(row, column)));
        bytes += AnsiCodePage::encode(cells.join(u'\t')) + '\n';
    }
    return bytes;
}

// A message line as the terminal may see it: C0, DEL and C1 controls as "?".
QString terminalSafe(QString text)
{
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            c = u'?';
    }
    return text;
}

// The failure messages for rows whose forms 1 and 2 fail, with the
// descriptions the window's error report shows.
QByteArray failureMessages(const QStringList& rows)
{
    QByteArray messages;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString start
            = u"quadrix-batch: row "_s + QString::number(i + 1) + u" \""_s + rows[i] + u"\": "_s;
        using Operation = QString (*)(QStringView);
        const std::pair<QString, Operation> operations[]
            = { { u"IPv6 Full Address"_s, MapIP::IPv4ToIPv6Full },
                { u"IPv6 Shorthand Address"_s, MapIP::IPv4ToIPv6Shorthand } };
        for (const auto& [name, form] : operations) {
            try {
                form(rows[i]);
            } catch (const MapIP::ConversionException& error) {
                messages += (terminalSafe(start + name + u": "_s + error.description()) + u'\n').toUtf8();
            }
        }
    }
    return messages;
}

// A list of `count` rows: mostly addresses, some failing or empty rows, all
// three kinds of line end, and single-byte text beyond ASCII.
QByteArray generatedList(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    const QByteArray odd[] = { "",          "1.2.3.256", "abc", " 10.0.0.1 ", "192.168..1",
                               "caf\xE9.1", "\x80",      "7",   "1.2.3",      "010.001.000.009" };
    const QByteArray ends[] = { "\r\n", "\n", "\r" };
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        if (random.bounded(8) == 0) {
            bytes += odd[random.bounded(int(std::size(odd)))];
        } else {
            for (int part = 0; part < 4; ++part)
                bytes += QByteArray::number(random.bounded(256)) + (part < 3 ? "." : "");
        }
        bytes += ends[random.bounded(int(std::size(ends)))];
    }
    return bytes;
}

RowSelection ticksOf(const QString& list)
{
    if (list.isEmpty())
        return {};
    QString error;
    return RowSelection::parse(list, error).value_or(RowSelection());
}

} // namespace

Q_DECLARE_METATYPE(Sources)

class TestBatchTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesTheWindowsExports_data();
    void matchesTheWindowsExports();
    void workedExampleLines();
    void rowSelection_data();
    void rowSelection();
    void usageErrors_data();
    void usageErrors();
    void embeddingAndStyleInEveryFormat_data();
    void embeddingAndStyleInEveryFormat();
    void fileErrors_data();
    void fileErrors();
    void namedPipeIsRead();
    void writeErrors_data();
    void writeErrors();
    void failedWriteKeepsTheOldFile();
    void workbook();
    void messagesShowRowsSafely();
    void messagesShowEveryGivenTextSafely();
    void visibleText_data();
    void visibleText();
    void commandLines_data();
    void commandLines();
    void expansionIntoATable_data();
    void expansionIntoATable();
    void tsvFieldsAreEscaped();
    void csvIsRfc4180();
    void jsonLinesCarryEveryForm();
    void directionRowsAndReverseDns_data();
    void directionRowsAndReverseDns();
    void textFileHasTheClipboardsCells_data();
    void textFileHasTheClipboardsCells();
    void outputThatIsAnInputIsRefused_data();
    void outputThatIsAnInputIsRefused();
    void undecodableNamesAreRefused();
    void outOfMemoryIsAFailure_data();
    void outOfMemoryIsAFailure();
    void progressBar();
    void helpVersionAndManPage();

private:
    QTemporaryDir m_dir;
};

void TestBatchTool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(QStringLiteral(QUADRIX_BATCH_PATH)), QUADRIX_BATCH_PATH);
}

void TestBatchTool::matchesTheWindowsExports_data()
{
    QTest::addColumn<Sources>("sources");
    QTest::addColumn<QString>("tick");

    QTest::newRow("worked examples") << Sources { file("10.0.0.1\r\n192.168.100.200\r\n") } << QString();
    QTest::newRow("failing and empty rows, CR LF")
        << Sources { file("1.2.3.4\r\n\r\n1.2.3.256\r\nabc\r\n192.168..1\r\n-1.0.0.0\r\n") } << QString();
    QTest::newRow("LF only, a final LF ends the last line")
        << Sources { file("1.2.3.4\n5.6.7.8\n") } << QString();
    QTest::newRow("CR only") << Sources { file("1.2.3.4\r5.6.7.8\r") } << QString();
    QTest::newRow("mixed line ends, no final line end")
        << Sources { file("a\r\nbb\n\r\r\nccc\rd\n\ne") } << QString();
    QTest::newRow("windows-1252 bytes")
        << Sources { file("caf\xE9\r\n\x80 10.0.0.1\r\n10.0.0.1 \x93\xFF\r\n") } << QString();
    QTest::newRow("several files, one empty")
        << Sources { file("1.1.1.1\r\n"), file(""), file("2.2.2.2\n3.3.3.3"), file("bad\r\n") } << QString();
    QTest::newRow("standard input alone")
        << Sources { standardInput("9.8.7.6\r\n1.2.3.999\r\n") } << QString();
    QTest::newRow("standard input among files")
        << Sources { file("1.1.1.1\r\n"), standardInput("2.2.2.2\r\n"), file("3.3.3.3\r\n") } << QString();
    QTest::newRow("addresses and the sample set in command-line order")
        << Sources { address("8.8.8.8"), file("1.1.1.1\r\n"), Sample, address("no address") } << QString();
    QTest::newRow("tick a subset") << Sources {
        file("1.1.1.1\r\n2.2.2.2\r\n333.3.3.3\r\n4.4.4.4\r\n5.5.5.5\r\n")
    } << u"1,3-4"_s;
    QTest::newRow("tick a range past the end") << Sources { Sample } << u"2-100"_s;
    QTest::newRow("tick only rows that do not exist") << Sources { Sample } << u"4,9-12"_s;
    QTest::newRow("tick a range to a number too large to count")
        << Sources { Sample } << u"2-99999999999999999999"_s;
    QTest::newRow("tick only a number too large to count") << Sources { Sample } << u"99999999999999999999"_s;
    QTest::newRow("TAB, CR, LF and backslash inside rows")
        << Sources { file("1.2.3.4\tx\r\n\\1.1.1.1\\\r\n"), address("a\tb\nc\\d\re"), address("\\") }
        << QString();
    QTest::newRow("generated list, ticked in ranges")
        << Sources { file(generatedList(1500, 7)), file(generatedList(500, 8)) } << u"1-10,400-1600,1999"_s;
    // The text file checks its rows in blocks of 16,384 on other threads,
    // four at a time on two processors.
    QTest::newRow("more blocks of checks than run at once")
        << Sources { file(generatedList(50000, 9)), file("\r\n1.2.3.256\r\n"),
                     file(generatedList(50000, 10)) }
        << u"2-16000,16384-16390,50000-50004,99990-100010"_s;
}

// The text and clipboard outputs are byte for byte what the window's exports
// make of the same rows, ticked the same way; tsv holds the same cells.
void TestBatchTool::matchesTheWindowsExports()
{
    QFETCH(Sources, sources);
    QFETCH(QString, tick);

    QStringList arguments;
    QByteArray input;
    int fileNumber = 0;
    for (const Source& source : sources) {
        switch (source.kind) {
        case Source::File: {
            const QString path = m_dir.filePath(u"list%1.txt"_s.arg(++fileNumber));
            QVERIFY(writeFile(path, source.bytes));
            arguments.append(path);
            break;
        }
        case Source::StandardInput:
            arguments.append(u"-"_s);
            input = source.bytes;
            break;
        case Source::Address:
            arguments += { u"--address"_s, QString::fromUtf8(source.bytes) };
            break;
        case Source::Sample:
            arguments.append(u"--sample"_s);
            break;
        }
    }
    // Standard input alone is read when nothing else is given.
    if (arguments == QStringList { u"-"_s })
        arguments.clear();
    if (!tick.isEmpty())
        arguments += { u"--tick"_s, tick };

    const QStringList rows = rowsOf(sources);
    const auto table = windowTable(rows, ticksOf(tick));
    const QByteArray messages = failureMessages(rows);
    const int exitCode = messages.isEmpty() ? 0 : 1;

    const std::pair<QString, QByteArray> formats[] = {
        { u"text"_s, windowTextFile(*table) },
        { u"clipboard"_s, windowClipboardText(*table) },
        { u"tsv"_s, tsvOf(*table) },
    };
    for (const auto& [format, expected] : formats) {
        const QString label = u"--format "_s + format;
        const Run toStandardOutput = runTool(arguments + QStringList { u"--format"_s, format }, input);
        QVERIFY2(toStandardOutput.out == expected, qPrintable(label + u" to standard output"_s));
        QCOMPARE(toStandardOutput.err, messages);
        QCOMPARE(toStandardOutput.exitCode, exitCode);

        const QString path = m_dir.filePath(u"out."_s + format);
        const Run toFile = runTool(arguments + QStringList { u"--format"_s, format, u"-o"_s, path }, input);
        QVERIFY2(readAll(path) == expected, qPrintable(label + u" to a file"_s));
        QCOMPARE(toFile.out, QByteArray());
        QCOMPARE(toFile.err, messages);
        QCOMPARE(toFile.exitCode, exitCode);
    }
    // Text is the default.
    QCOMPARE(runTool(arguments, input).out, formats[0].second);
}

// The five-column example, checked against the bytes themselves.
void TestBatchTool::workedExampleLines()
{
    const Run run = runTool({ u"--address"_s, u"10.0.0.1"_s, u"--address=192.168.100.200"_s });
    QCOMPARE(run.exitCode, 0);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.back().isEmpty());
    for (qsizetype i = 0; i < 3; ++i)
        QCOMPARE(lines[i].size() + 1, 169);
    QCOMPARE(lines[1],
             "10.0.0.1       \t0000:0000:0000:0000:0000:0000:0A00:0001\t::0A00:0001            \t"
             "0000:0000:0000:0000:0000:0000:10.0.0.1       \t::10.0.0.1                              \t\r");
    QVERIFY(lines[2].startsWith("192.168.100.200\t0000:0000:0000:0000:0000:0000:C0A8:64C8\t::C0A8:64C8 "));
}

void TestBatchTool::rowSelection_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<qsizetype>>("selected"); // among rows 1 to 12
    QTest::addColumn<QString>("error");

    using Rows = QList<qsizetype>;
    QTest::newRow("one row") << u"3"_s << Rows { 3 } << QString();
    QTest::newRow("rows and ranges") << u"1,3-5,12"_s << Rows { 1, 3, 4, 5, 12 } << QString();
    QTest::newRow("overlapping and unordered")
        << u"9-10,2-4,3,10-11"_s << Rows { 2, 3, 4, 9, 10, 11 } << QString();
    QTest::newRow("touching ranges") << u"5-6,7-8"_s << Rows { 5, 6, 7, 8 } << QString();
    QTest::newRow("range of one") << u"4-4"_s << Rows { 4 } << QString();
    QTest::newRow("leading zeros") << u"007"_s << Rows { 7 } << QString();
    QTest::newRow("row 0") << u"0"_s << Rows {} << u"row numbers start at 1"_s;
    QTest::newRow("range from 0") << u"0-3"_s << Rows {} << u"row numbers start at 1"_s;
    QTest::newRow("backwards") << u"5-3"_s << Rows {} << u"runs backwards"_s;
    QTest::newRow("text") << u"a"_s << Rows {} << u"'a' is not a row number"_s;
    QTest::newRow("empty item") << u"1,,2"_s << Rows {} << u"'' is not a row number"_s;
    QTest::newRow("empty list") << QString() << Rows {} << u"'' is not a row number"_s;
    QTest::newRow("open range") << u"3-"_s << Rows {} << u"'3-' is not a row number"_s;
    QTest::newRow("negative") << u"-3"_s << Rows {} << u"'-3' is not a row number"_s;
    QTest::newRow("blank") << u"1, 2"_s << Rows {} << u"' 2' is not a row number"_s;
    QTest::newRow("too large to count: past the end") << u"99999999999999999999"_s << Rows {} << QString();
    QTest::newRow("range to a number too large to count")
        << u"10-99999999999999999999999999999999"_s << Rows { 10, 11, 12 } << QString();
    QTest::newRow("leading zeros beyond any count")
        << u"0000000000000000000000000005"_s << Rows { 5 } << QString();
    QTest::newRow("ranges past the end merge")
        << u"3,99999999999999999999-99999999999999999999,4"_s << Rows { 3, 4 } << QString();
}

void TestBatchTool::rowSelection()
{
    QFETCH(QString, list);
    QFETCH(QList<qsizetype>, selected);
    QFETCH(QString, error);

    QString reason;
    const std::optional<RowSelection> selection = RowSelection::parse(list, reason);
    QCOMPARE(selection.has_value(), error.isEmpty());
    if (selection) {
        QList<qsizetype> rows;
        for (qsizetype row = 1; row <= 12; ++row) {
            if (selection->contains(row))
                rows.append(row);
        }
        QCOMPARE(rows, selected);
        return;
    }
    QVERIFY2(reason.contains(error), qPrintable(reason));
    // The tool refuses it before reading anything.
    const Run run = runTool({ u"--sample"_s, u"--tick"_s, list });
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.contains(error.toUtf8()), run.err.constData());
}

void TestBatchTool::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown long option")
        << QStringList { u"--frobnicate"_s } << u"unknown option '--frobnicate'"_s;
    QTest::newRow("unknown short option") << QStringList { u"-x"_s } << u"unknown option '-x'"_s;
    QTest::newRow("missing value") << QStringList { u"--sample"_s, u"-o"_s }
                                   << u"option '-o' needs a value"_s;
    QTest::newRow("value for a flag")
        << QStringList { u"--sample=yes"_s } << u"option '--sample' takes no value"_s;
    QTest::newRow("unknown format") << QStringList { u"--format=html"_s } << u"unknown format 'html'"_s;
    QTest::newRow("format twice") << QStringList { u"-f"_s, u"text"_s, u"-ftsv"_s }
                                  << u"--format is given twice"_s;
    QTest::newRow("output twice") << QStringList { u"-o"_s, u"a"_s, u"-o"_s, u"b"_s }
                                  << u"--output is given twice"_s;
    QTest::newRow("empty output name") << QStringList { u"--output="_s } << u"--output needs a file name"_s;
    QTest::newRow("xlsx to standard output")
        << QStringList { u"--sample"_s, u"-f"_s, u"xlsx"_s } << u"the xlsx format needs an output file"_s;
    QTest::newRow("xlsx to -") << QStringList { u"--sample"_s, u"-f"_s, u"xlsx"_s, u"-o"_s, u"-"_s }
                               << u"the xlsx format needs an output file"_s;
    QTest::newRow("embedding with bits past 96")
        << QStringList { u"--sample"_s, u"--embedding=::1/96"_s }
        << u"--embedding: The prefix \"::1/96\" has bits set past the 96th"_s;
    QTest::newRow("embedding of a length RFC 6052 has not")
        << QStringList { u"-e"_s, u"64:ff9b::/63"_s }
        << u"--embedding: The prefix \"64:ff9b::/63\" has no length an IPv4 address can follow"_s;
    QTest::newRow("embedding not IPv6")
        << QStringList { u"-enat46"_s } << u"--embedding: The prefix \"nat46\" is not IPv6 text"_s;
    QTest::newRow("embedding twice") << QStringList { u"-e"_s, u"nat64"_s, u"--embedding=mapped"_s }
                                     << u"--embedding is given twice"_s;
    QTest::newRow("--rfc5952 with --decode")
        << QStringList { u"-d"_s, u"--rfc5952"_s } << u"--rfc5952 is the style of IPv6 text written"_s;
    QTest::newRow("value for --rfc5952")
        << QStringList { u"--rfc5952=yes"_s } << u"option '--rfc5952' takes no value"_s;
}

void TestBatchTool::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.startsWith("quadrix-batch: " + message.toUtf8()), run.err.constData());
    QVERIFY(run.err.endsWith("Try 'quadrix-batch --help' for more information.\n"));
}

void TestBatchTool::embeddingAndStyleInEveryFormat_data()
{
    QTest::addColumn<QString>("format");
    for (const char16_t* format : { u"text", u"clipboard", u"tsv", u"xlsx" })
        QTest::newRow(QString::fromUtf16(format).toUtf8().constData()) << QString::fromUtf16(format);
}

// The embedding and the text style reach every format; in RFC 5952 text a row
// that is no address fails every form, and each failure is reported.
void TestBatchTool::embeddingAndStyleInEveryFormat()
{
    QFETCH(QString, format);

    const QString output = m_dir.filePath(u"embedded-"_s + format);
    const QStringList rows { u"-a"_s, u"192.0.2.33"_s, u"-a"_s, u"1.2.3"_s };
    const Run rfc = runTool(
        QStringList { u"-f"_s, format, u"-o"_s, output, u"-e"_s, u"nat64"_s, u"--rfc5952"_s } + rows);
    QCOMPARE(rfc.exitCode, 1);
    for (const char* form : { "IPv6 Full Address", "IPv6 Shorthand Address",
                              "IPv6 & Dot Notation Full Address", "IPv6 & Dot Notation Shorthand Address" }) {
        QVERIFY2(rfc.err.contains("row 2 \"1.2.3\": "_ba + form + ": Not an IPv4 address"),
                 rfc.err.constData());
    }
    QVERIFY(!rfc.err.contains("row 1 \"192.0.2.33\": "));

    QByteArray written = readAll(output);
    if (format == u"xlsx") {
        // The workbook's parts, unpacked.
        QProcess unzip;
        unzip.start(u"python3"_s,
                    { u"-c"_s,
                      u"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
                      u"[sys.stdout.buffer.write(z.read(n)) for n in z.namelist()]"_s,
                      output });
        QVERIFY(unzip.waitForFinished(30000));
        written = unzip.readAllStandardOutput();
    }
    for (const QByteArray& form : { "0064:ff9b:0000:0000:0000:0000:c000:0221"_ba, "64:ff9b::c000:221"_ba,
                                    "0064:ff9b:0000:0000:0000:0000:192.0.2.33"_ba, "64:ff9b::192.0.2.33"_ba })
        QVERIFY2(written.contains(form), form.constData());
    // Nothing of the failing row reaches its forms.
    QVERIFY(!written.contains("::1.2.3"));
    QVERIFY(!written.contains("0102"));

    // The program's text behind the mapped block, the row that RFC 5952 text
    // refuses converting as it always has.
    const Run program
        = runTool(QStringList { u"-f"_s, format, u"-o"_s, output, u"--embedding=mapped"_s } + rows);
    QCOMPARE(program.exitCode, 0);
    if (format != u"xlsx") {
        const QByteArray text = readAll(output);
        for (const QByteArray& form : { "0000:0000:0000:0000:0000:FFFF:C000:0221"_ba, "::FFFF:C000:0221"_ba,
                                        "::FFFF:192.0.2.33"_ba, "::FFFF:0102:0203"_ba, "::FFFF:1.2.3"_ba })
            QVERIFY2(text.contains(form), form.constData());
    }
}

void TestBatchTool::fileErrors_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // %1 is the path

    QTest::newRow("no such file") << u"missing"_s << 2 << u"File not found: %1\n"_s;
    QTest::newRow("an address given as a file")
        << u"address"_s << 2 << u"File not found: %1 (to convert an address, use --address %1)\n"_s;
    QTest::newRow("a folder") << u"folder"_s << 2 << u"Cannot read \"%1\": it is a folder\n"_s;
    QTest::newRow("a device") << u"device"_s << 2 << u"Cannot read \"%1\": it is not a file\n"_s;
    QTest::newRow("an unreadable file")
        << u"unreadable"_s << 2 << u"Cannot open \"%1\": Permission denied\n"_s;
    QTest::newRow("an empty file") << u"empty"_s << 0 << QString();
    QTest::newRow("a file the system cannot examine")
        << u"stat fails"_s << 2 << u"Cannot read \"%1\": Input/output error\n"_s;
}

// A list that cannot be read is reported with its path, the lists around it
// are still read and written, and the exit status is 2 even when rows failed.
void TestBatchTool::fileErrors()
{
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(u"list.txt"_s);
    std::function<void(QProcess&)> prepare;
    if (kind == u"address") {
        path = u"10.0.0.1"_s;
    } else if (kind == u"folder") {
        path = dir.path();
    } else if (kind == u"device") {
        path = u"/dev/null"_s;
    } else if (kind == u"unreadable") {
        QVERIFY(writeFile(path, "1.2.3.4\r\n"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        prepare = [](QProcess& process) {
            process.setChildProcessModifier([] {
                if (!dropFileAccessOverrideAcrossExec())
                    ::_exit(125);
            });
        };
        QProcess probe;
        prepare(probe);
        probe.start(u"cat"_s, { path });
        QVERIFY(probe.waitForFinished(10000));
        if (probe.exitCode() == 0 || probe.exitCode() == 125)
            QSKIP("root's override of permission bits cannot be dropped here");
    } else if (kind == u"empty") {
        QVERIFY(writeFile(path, ""));
    } else if (kind == u"stat fails") {
        QVERIFY(writeFile(path, "1.2.3.4\r\n"));
        prepare = [path](QProcess& process) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"LD_PRELOAD"_s, QStringLiteral(QUADRIX_FAILSYNC_PATH));
            environment.insert(u"QUADRIX_FAIL_STAT"_s, path);
            // A sanitized build wants its runtime first; the preloaded
            // library only stands in front of stat.
            const QString sanitizer = environment.value(u"ASAN_OPTIONS"_s);
            environment.insert(u"ASAN_OPTIONS"_s,
                               (sanitizer.isEmpty() ? QString() : sanitizer + u':')
                                   + u"verify_asan_link_order=0"_s);
            process.setProcessEnvironment(environment);
        };
    }

    const QString before = dir.filePath(u"before.txt"_s);
    const QString after = dir.filePath(u"after.txt"_s);
    QVERIFY(writeFile(before, "1.1.1.1\r\n"));
    QVERIFY(writeFile(after, "2.2.2.2\r\n1.2.3.256\r\n"));
    const QStringList rows { u"1.1.1.1"_s, u"2.2.2.2"_s, u"1.2.3.256"_s };
    const QByteArray failures = failureMessages(rows);
    // Named twice, it is reported twice.
    const QByteArray problem
        = message.isEmpty() ? QByteArray() : "quadrix-batch: " + message.arg(path).toUtf8();
    const QByteArray expected = problem + problem + failures;
    // tsv reports as it reads; the text file once every row is read, in
    // the same order.
    const auto table = windowTable(rows, {});
    for (const auto& [format, output] :
         { std::pair(u"tsv"_s, tsvOf(*table)), std::pair(u"text"_s, windowTextFile(*table)) }) {
        const Run run = runTool({ before, path, path, after, u"-f"_s, format }, {}, prepare);
        QCOMPARE(run.out, output);
        QCOMPARE(QString::fromUtf8(run.err), QString::fromUtf8(expected));
        QCOMPARE(run.exitCode, exitCode == 0 ? 1 : exitCode);
    }
}

// A named pipe is read like a file, as process substitution hands one over.
void TestBatchTool::namedPipeIsRead()
{
    const QString path = m_dir.filePath(u"pipe"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QProcess process;
    process.start(QStringLiteral(QUADRIX_BATCH_PATH), { path, u"--format"_s, u"tsv"_s });
    QVERIFY(process.waitForStarted(10000));
    // The pipe opens for writing once the tool has opened it for reading.
    int fd = -1;
    for (int attempt = 0; attempt < 500 && fd < 0; ++attempt) {
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            QTest::qWait(10);
    }
    QVERIFY2(fd >= 0, "the tool never opened the pipe");
    const QByteArray list = "1.2.3.4\r\n5.6.7.8\r\n";
    QCOMPARE(::write(fd, list.constData(), size_t(list.size())), ssize_t(list.size()));
    ::close(fd);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardOutput(), tsvOf(*windowTable(rowsOfList(list), {})));
}

void TestBatchTool::writeErrors_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("toStandardOutput");
    for (const QString& format : { u"text"_s, u"clipboard"_s, u"tsv"_s, u"xlsx"_s }) {
        QTest::addRow("%s to -o /dev/full", qPrintable(format)) << format << false;
        if (format != u"xlsx")
            QTest::addRow("%s, standard output on /dev/full", qPrintable(format)) << format << true;
    }
}

// A device that takes no bytes: a clear message and status 2, never success.
void TestBatchTool::writeErrors()
{
    QFETCH(QString, format);
    QFETCH(bool, toStandardOutput);

    QStringList arguments { u"--sample"_s, u"-f"_s, format };
    std::function<void(QProcess&)> prepare;
    if (toStandardOutput)
        prepare = [](QProcess& process) { process.setStandardOutputFile(u"/dev/full"_s); };
    else
        arguments += { u"-o"_s, u"/dev/full"_s };
    const Run run = runTool(arguments, {}, prepare);

    QCOMPARE(run.exitCode, 2);
    const QByteArray target = toStandardOutput ? "standard output" : "/dev/full";
    // One line, the tool's, naming the reason, in every format.
    const QList<QByteArray> messages = run.err.trimmed().split('\n');
    QVERIFY2(messages.back().startsWith("quadrix-batch: Cannot write " + target + ": "), run.err.constData());
    QCOMPARE(messages.size(), 1);
    QVERIFY2(run.err.contains("No space left on device"), run.err.constData());

    struct stat status = {};
    QCOMPARE(::stat("/dev/full", &status), 0);
    QVERIFY2(S_ISCHR(status.st_mode), "/dev/full must stay a device");
}

// Writes that fail part way (a file size limit, as a full disk) leave the
// user's old file exactly as it was, and no temporary file behind.
void TestBatchTool::failedWriteKeepsTheOldFile()
{
    for (const QString& format : { u"text"_s, u"clipboard"_s, u"tsv"_s, u"xlsx"_s }) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString list = dir.filePath(u"list.txt"_s);
        QVERIFY(writeFile(list, generatedList(3000, 11)));
        const QString output = dir.filePath(u"results"_s);
        const QByteArray old = "the user's old file\r\n";
        QVERIFY(writeFile(output, old));

        const Run run = runTool({ list, u"-f"_s, format, u"-o"_s, output }, {}, [](QProcess& process) {
            process.setChildProcessModifier([] {
                // Writes past 4 KB fail with EFBIG instead of a signal.
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit { 4096, 4096 };
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        });
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("quadrix-batch: Cannot "),
                 qPrintable(format + u": "_s + QString::fromUtf8(run.err)));
        QVERIFY2(readAll(output) == old, qPrintable(format));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList { u"list.txt"_s, u"results"_s }));
    }
}

void TestBatchTool::workbook()
{
    const QString list = m_dir.filePath(u"workbook-list.txt"_s);
    QVERIFY(writeFile(list, "10.0.0.1\r\n1.2.3.256\r\n=1+1\r\n192.168.100.200\r\n"));
    const QString toolBook = m_dir.filePath(u"tool.xlsx"_s);
    QVERIFY(writeFile(toolBook, "an older file"));
    const Run run = runTool({ list, u"--tick"_s, u"1-3"_s, u"-f"_s, u"xlsx"_s, u"-o"_s, toolBook });
    QCOMPARE(run.exitCode, 1);
    const QByteArray written = readAll(toolBook);
    QVERIFY2(written.startsWith("PK\x03\x04"), "the workbook is a zip archive");
    QVERIFY(written.size() > 1000);

    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not on the search path; the workbook cannot be read back");
    // The spreadsheet export's own workbook of the same table, and both read
    // back through Calc: the same sheet.
    const auto table = windowTable(rowsOfList(readAll(list)), ticksOf(u"1-3"_s));
    const QString windowBook = m_dir.filePath(u"window.xlsx"_s);
    NoYield yielder;
    QVERIFY(writeWorkbookFile(*table, windowBook, yielder));
    QProcess convert;
    convert.setProcessChannelMode(QProcess::MergedChannels);
    convert.start(soffice,
                  { u"--headless"_s, u"-env:UserInstallation=file://"_s + m_dir.filePath(u"profile"_s),
                    u"--convert-to"_s, u"csv:Text - txt - csv (StarCalc):44,34,76,1"_s, u"--outdir"_s,
                    m_dir.filePath(u"csv"_s), toolBook, windowBook });
    QVERIFY2(convert.waitForFinished(120000), "soffice did not finish within 120 s");
    QCOMPARE(convert.exitCode(), 0);
    const QByteArray fromTool = readAll(m_dir.filePath(u"csv/tool.csv"_s));
    QVERIFY2(fromTool.contains("\"10.0.0.1\",\"0000:0000:0000:0000:0000:0000:0A00:0001\""),
             fromTool.constData());
    QVERIFY(!fromTool.contains("192.168.100.200"));
    QCOMPARE(fromTool, readAll(m_dir.filePath(u"csv/window.csv"_s)));
}

// A row in a message is quoted, cut after 40 characters and keeps no
// control characters that would upset a terminal.
void TestBatchTool::messagesShowRowsSafely()
{
    const Run run = runTool({ u"-f"_s, u"tsv"_s }, "a\x1b[2Jb\x81\tc\r\n" + QByteArray(100, 'x') + "\r\n");
    QCOMPARE(run.exitCode, 1);
    const QList<QByteArray> lines = run.err.split('\n');
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines[0].startsWith("quadrix-batch: row 1 \"a?[2Jb??c\": IPv6 Full Address: Type mismatch"),
             lines[0].constData());
    QVERIFY2(
        lines[2].startsWith("quadrix-batch: row 2 \"" + QByteArray(40, 'x') + "\xE2\x80\xA6\": IPv6 Full"),
        lines[2].constData());
    // The output keeps the row as it is, its TAB escaped.
    QVERIFY(run.out.startsWith("a\x1b[2Jb\x81\\tc\t\t\t"));
}

// File names, option values, rows and the parts of rows quoted in a
// conversion failure reach standard error with no control character a
// terminal would act on.
void TestBatchTool::messagesShowEveryGivenTextSafely()
{
    const QByteArray hostile = "\x1b]0;owned\x07\x1b[2J\x7f\u009b";
    const QString text = QString::fromUtf8(hostile);
    const QString missing = m_dir.filePath(u"gone"_s + text);
    const Run run = runTool({ missing, u"--address"_s, u"1.2.3."_s + text, u"-f"_s, u"tsv"_s });
    const Run usage = runTool({ u"--format"_s, text });
    const Run tick = runTool({ u"--tick"_s, text });

    for (const Run& r : { run, usage, tick }) {
        QCOMPARE(r.exitCode, 2);
        QVERIFY(!r.err.isEmpty());
        for (qsizetype i = 0; i < r.err.size(); ++i) {
            const uchar c = uchar(r.err[i]);
            QVERIFY2((c >= 0x20 && c != 0x7F) || c == '\n', qPrintable(u"control byte at %1"_s.arg(i)));
            // C1 controls are two bytes in UTF-8: C2 80 to C2 9F.
            if (c == 0xC2 && i + 1 < r.err.size())
                QVERIFY2(uchar(r.err[i + 1]) >= 0xA0, "C1 control in a message");
        }
    }
    const QByteArray shown = "?]0;owned??[2J??";
    QVERIFY2(run.err.startsWith("quadrix-batch: File not found: " + m_dir.filePath(u"gone"_s).toUtf8() + shown
                                + '\n'),
             run.err.constData());
    // The row twice, and in each message the address part that is not a number.
    QVERIFY2(run.err.contains("the address part \"" + shown + "\" is not a number"), run.err.constData());
    QCOMPARE(run.err.count(shown), 5);
    QVERIFY2(usage.err.startsWith("quadrix-batch: unknown format '" + shown + '\''), usage.err.constData());
    QVERIFY2(tick.err.contains("'" + shown + "' is not a row number"), tick.err.constData());
}

void TestBatchTool::visibleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("C0, DEL and C1") << u"a\u0000\u001f\u007f\u0080\u009fb"_s << u"a?????b"_s;
    QTest::newRow("embeddings and overrides") << u"\u202a\u202b\u202c\u202d\u202e"_s << u"?????"_s;
    QTest::newRow("isolates") << u"\u2066\u2067\u2068\u2069"_s << u"????"_s;
    QTest::newRow("their neighbours are text")
        << u"\u00a0\u2029\u202f\u2065\u206a\u00e9 "_s << u"\u00a0\u2029\u202f\u2065\u206a\u00e9 "_s;
}

// A message cannot act on the terminal, nor reorder the text it shows.
void TestBatchTool::visibleText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(withVisibleControls(text), shown);
}

void TestBatchTool::commandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<int>("exitCode");

    const QByteArray tsv1 = "1.1.1.1\t0000:0000:0000:0000:0000:0000:0101:0101\t::0101:0101\t"
                            "0000:0000:0000:0000:0000:0000:1.1.1.1\t::1.1.1.1\n";
    const QByteArray tsv2 = "2.2.2.2\t0000:0000:0000:0000:0000:0000:0202:0202\t::0202:0202\t"
                            "0000:0000:0000:0000:0000:0000:2.2.2.2\t::2.2.2.2\n";
    const QByteArray captions
        = "Original,IPv6 Full Address,IPv6 Shorthand Address,IPv6 and Dot Notation Full "
          "Address,IPv6 and Dot Notation Shorthand Address\r\n";
    const auto failed = [](const QByteArray& row, const QByteArray& reason) {
        return "quadrix-batch: row 1 \"" + row + "\": IPv6 Full Address: " + reason
            + "\nquadrix-batch: row 1 \"" + row + "\": IPv6 Shorthand Address: " + reason + '\n';
    };
    using Words = QStringList;
    QTest::newRow("a final LF ends the last line")
        << Words { u"-f"_s, u"tsv"_s } << "1.1.1.1\n2.2.2.2\n"_ba << tsv1 + tsv2 << QByteArray() << 0;
    QTest::newRow("inputs in command-line order, short options run together, -- ends the options")
        << Words { u"-a"_s,        u"2.2.2.2"_s, u"-ftsv"_s, u"-t2"_s, u"--sample"_s,
                   u"-a1.1.1.1"_s, u"-t"_s,      u"5"_s,     u"--"_s,  u"-x"_s }
        << QByteArray()
        << "204.93.240.0\t0000:0000:0000:0000:0000:0000:CC5D:F000\t::CC5D:F000\t"
           "0000:0000:0000:0000:0000:0000:204.93.240.0\t::204.93.240.0\n"_ba
            + tsv1
        << "quadrix-batch: File not found: -x\n"_ba << 2;
    QTest::newRow("a prefix keeps its length in tsv")
        << Words { u"-f"_s, u"tsv"_s, u"-a"_s, u"10.0.0.0/8"_s } << QByteArray()
        << "10.0.0.0/8\t0000:0000:0000:0000:0000:0000:0A00:0000/104\t::0A00:0000/104\t"
           "0000:0000:0000:0000:0000:0000:10.0.0.0/104\t::10.0.0.0/104\n"_ba
        << QByteArray() << 0;
    QTest::newRow("CSV is exact by default")
        << Words { u"-f"_s, u"csv"_s } << "=1\r\n"_ba
        << captions + "=1,,,0000:0000:0000:0000:0000:0000:=1,::=1\r\n"
        << failed("=1", "Type mismatch: the address part \"=1\" is not a number") << 1;
    QTest::newRow("--csv-safe reaches the CSV")
        << Words { u"--csv-safe"_s, u"-f"_s, u"csv"_s } << "=1\r\n"_ba
        << captions + "'=1,,,0000:0000:0000:0000:0000:0000:=1,::=1\r\n"
        << failed("=1", "Type mismatch: the address part \"=1\" is not a number") << 1;
    QTest::newRow("a right-to-left override in a message")
        << Words { u"-f"_s, u"tsv"_s, u"-a"_s, u"1.2.3.\u202e4"_s } << QByteArray()
        << "1.2.3.?4\t\t\t0000:0000:0000:0000:0000:0000:1.2.3.?4\t::1.2.3.?4\n"_ba
        << failed("1.2.3.?4", "Type mismatch: the address part \"?4\" is not a number") << 1;
    const QByteArray noIpv4
        = "quadrix-batch: row 2: No IPv4 address: \"2001:db8::1\" lies in none of the blocks "
          "that carry one (mapped, nat64, 6to4, teredo, isatap, compatible)\n";
    const Words decoded { u"-a"_s, u"::ffff:192.0.2.1"_s,
                          u"-a"_s, u"2001:db8::1"_s,
                          u"-a"_s, u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s };
    QTest::newRow("--decode, tsv: the first carrier that matches")
        << Words { u"--decode"_s, u"-f"_s, u"tsv"_s } + decoded << QByteArray()
        << "::ffff:192.0.2.1\t192.0.2.1\tmapped\t\n2001:db8::1\t\t\t\n"
           "2001:0:4136:e378:8000:63bf:3fff:fdd2\t192.0.2.45\tteredo\tserver 65.54.227.120, port 40000\n"_ba
        << noIpv4 << 1;
    QTest::newRow("--decode, csv: four captioned columns")
        << Words { u"-d"_s, u"-f"_s, u"csv"_s } + decoded << QByteArray()
        << "Original,IPv4 "
           "Address,Embedding,Detail\r\n::ffff:192.0.2.1,192.0.2.1,mapped,\r\n2001:db8::1,,,\r\n"
           "2001:0:4136:e378:8000:63bf:3fff:fdd2,192.0.2.45,teredo,\"server 65.54.227.120, port 40000\"\r\n"_ba
        << noIpv4 << 1;
    QTest::newRow("--decode with an embedding, jsonl: only that block, null for a row that does not decode")
        << Words { u"-d"_s,
                   u"-e"_s,
                   u"nat64"_s,
                   u"-f"_s,
                   u"jsonl"_s,
                   u"-a"_s,
                   u"64:ff9b::c000:221"_s,
                   u"-a"_s,
                   u"::ffff:1.2.3.4"_s }
        << QByteArray()
        << "{\"original\":\"64:ff9b::c000:221\",\"ipv4\":\"192.0.2.33\",\"embedding\":\"nat64\",\"detail\":"
           "\"\"}\n"
           "{\"original\":\"::ffff:1.2.3.4\",\"ipv4\":null,\"embedding\":null,\"detail\":null}\n"_ba
        << "quadrix-batch: row 2: Not in the chosen block: \"::ffff:1.2.3.4\" lies outside 64:ff9b::/96 (nat64)\n"_ba
        << 1;
    const QByteArray tsv0 = "1.1.1.0\t0000:0000:0000:0000:0000:0000:0101:0100\t::0101:0100\t"
                            "0000:0000:0000:0000:0000:0000:1.1.1.0\t::1.1.1.0\n";
    QTest::newRow("--expand streams a prefix's addresses and keeps a plain row as it is")
        << Words { u"--expand"_s, u"-f"_s, u"tsv"_s, u"-a"_s, u"1.1.1.0/31"_s, u"-"_s } << "2.2.2.2\n"_ba
        << tsv0 + tsv1 + tsv2 << QByteArray() << 0;
    QTest::newRow("--expand: ticks count the rows as given")
        << Words { u"--expand"_s,       u"-f"_s, u"tsv"_s, u"-t"_s, u"2"_s, u"-a"_s, u"2.2.2.2"_s, u"-a"_s,
                   u"1.1.1.0-1.1.1.1"_s }
        << QByteArray() << tsv0 + tsv1 << QByteArray() << 0;
    QTest::newRow("--expand into a sheet's last row is written")
        << Words { u"--expand"_s,
                   u"-f"_s,
                   u"xlsx"_s,
                   u"-o"_s,
                   m_dir.filePath(u"full-sheet.xlsx"_s),
                   u"-a"_s,
                   u"10.0.0.0-10.15.255.254"_s }
        << QByteArray() << QByteArray() << QByteArray() << 0;
    QTest::newRow("--expand into a table past its limit writes nothing")
        << Words { u"--expand"_s, u"-f"_s, u"clipboard"_s, u"-a"_s, u"2.2.2.2"_s, u"-a"_s, u"0.0.0.0/7"_s }
        << QByteArray() << QByteArray()
        << "quadrix-batch: row 2 \"0.0.0.0/7\": the expansion comes to more than 16777216 rows, which the "
           "clipboard format cannot hold; nothing was written (tsv, csv and jsonl stream any number)\n"_ba
        << 2;
}

// A table format given an expansion holds the same rows as when the
// addresses are given one by one.
void TestBatchTool::expansionIntoATable_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("text") << u"text"_s;
    QTest::newRow("clipboard") << u"clipboard"_s;
    QTest::newRow("csv, kept rows through the format's own writer") << u"csv"_s;
    QTest::newRow("jsonl") << u"jsonl"_s;
}

void TestBatchTool::expansionIntoATable()
{
    QFETCH(QString, format);
    const Run expanded
        = runTool({ u"--expand"_s, u"--reverse-dns"_s, u"-f"_s, format, u"-a"_s, u"10.0.0.254/31"_s, u"-a"_s,
                    u"a,\"b"_s, u"-a"_s, u"10.0.1.0-10.0.1.1"_s });
    const Run oneByOne
        = runTool({ u"--reverse-dns"_s, u"-f"_s, format, u"-a"_s, u"10.0.0.254"_s, u"-a"_s, u"10.0.0.255"_s,
                    u"-a"_s, u"a,\"b"_s, u"-a"_s, u"10.0.1.0"_s, u"-a"_s, u"10.0.1.1"_s });
    QCOMPARE(expanded.exitCode, 1);
    QCOMPARE(expanded.out, oneByOne.out);
}

// Each case is a command line and what it must write and end with.
void TestBatchTool::commandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(int, exitCode);
    const QByteArray differences = mismatch(arguments, input, { out, err, exitCode });
    QVERIFY2(differences.isEmpty(), differences.constData());
}

// Every tsv line has five fields, however many TABs and line breaks the rows
// hold: backslash, TAB, LF and CR are escaped as PostgreSQL's COPY does.
void TestBatchTool::tsvFieldsAreEscaped()
{
    const Run run
        = runTool({ u"-f"_s, u"tsv"_s, u"-"_s, u"--address"_s, u"x\\y\nz"_s }, "1.2.3.4\tx\r\n\t\t\r\n");
    QCOMPARE(run.exitCode, 1);
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.back().isEmpty());
    for (qsizetype i = 0; i < 3; ++i)
        QVERIFY2(lines[i].count('\t') == 4, lines[i].constData());
    QCOMPARE(lines[0], "1.2.3.4\\tx\t\t\t0000:0000:0000:0000:0000:0000:1.2.3.4\\tx\t::1.2.3.4\\tx");
    QCOMPARE(lines[1], "\\t\\t\t\t\t0000:0000:0000:0000:0000:0000:\\t\\t\t::\\t\\t");
    QCOMPARE(lines[2], "x\\\\y\\nz\t\t\t0000:0000:0000:0000:0000:0000:x\\\\y\\nz\t::x\\\\y\\nz");
}

// Quoted exactly where a field needs it; a caption line; CR LF; UTF-8.
void TestBatchTool::csvIsRfc4180()
{
    const Run run = runTool({ u"-f"_s, u"csv"_s, u"--tick"_s, u"1,3-4"_s, u"-"_s, u"--address"_s,
                              u"a,\"b\"\nc"_s, u"--address"_s, u"caf\u00e9 \U0001F600"_s },
                            "10.0.0.1\r\n1.2.3.256\r\n");
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out,
             "Original,IPv6 Full Address,IPv6 Shorthand Address,IPv6 and Dot Notation Full Address,"
             "IPv6 and Dot Notation Shorthand Address\r\n"
             "10.0.0.1,0000:0000:0000:0000:0000:0000:0A00:0001,::0A00:0001,"
             "0000:0000:0000:0000:0000:0000:10.0.0.1,::10.0.0.1\r\n"
             "\"a,\"\"b\"\"\nc\",,,\"0000:0000:0000:0000:0000:0000:a,\"\"b\"\"\nc\",\"::a,\"\"b\"\"\nc\"\r\n"
             "caf\xC3\xA9 \xF0\x9F\x98\x80,,,0000:0000:0000:0000:0000:0000:caf\xC3\xA9 \xF0\x9F\x98\x80,"
             "::caf\xC3\xA9 \xF0\x9F\x98\x80\r\n");
}

// Each line is a JSON object whose values are the forms the library gives,
// in the chosen embedding and style; a form that failed is null.
void TestBatchTool::jsonLinesCarryEveryForm()
{
    const QStringList rows { u"172.16.254.1"_s, u"1.2.3.256"_s, u"q\"\\\u0001\u007F"_s, u"0.0.0.0"_s };
    for (const bool rfc : { false, true }) {
        QStringList arguments { u"-f"_s, u"jsonl"_s, u"-e"_s, u"nat64"_s };
        if (rfc)
            arguments.append(u"--rfc5952"_s);
        for (const QString& row : rows)
            arguments += { u"--address"_s, row };
        const Run run = runTool(arguments);
        QCOMPARE(run.exitCode, 1);
        QList<QByteArray> lines = run.out.split('\n');
        QCOMPARE(lines.size(), rows.size() + 1);
        QVERIFY(lines.takeLast().isEmpty());
        const MapIP::ConversionOptions options(*MapIP::Embedding::parse(u"nat64"_s),
                                               rfc ? MapIP::TextStyle::Rfc5952 : MapIP::TextStyle::Program);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QJsonParseError error;
            const QJsonObject object = QJsonDocument::fromJson(lines[i], &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, lines[i].constData());
            QCOMPARE(object.size(), 1 + MapIP::FormCount);
            QCOMPARE(object.value(u"original"_s).toString(), rows[i]);
            const QStringList texts = formTexts(rows[i], options);
            for (const MapIP::FormDefinition& form : MapIP::Forms) {
                const QString& text = texts[MapIP::formIndex(form.form)];
                const QJsonValue value = object.value(form.name.toString());
                QVERIFY2(text.isEmpty() ? value.isNull() : value.toString() == text, lines[i].constData());
            }
        }
    }
}

void TestBatchTool::directionRowsAndReverseDns_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    // Standard error, line by line.
    QTest::addColumn<QStringList>("err");
    const QString teredo = u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s;
    QTest::newRow("decode, tsv")
        << QStringList { u"-d"_s, u"-f"_s,         u"tsv"_s, u"-a"_s, teredo, u"-a"_s, u"2002:c000:201::"_s,
                         u"-a"_s, u"2001:db8::1"_s }
        << 1
        << QByteArray(
               "2001:0:4136:e378:8000:63bf:3fff:fdd2\t192.0.2.45\tteredo\tserver 65.54.227.120, port 40000\n"
               "2002:c000:201::\t192.0.2.1\t6to4\t\n"
               "2001:db8::1\t\t\t\n")
        << QStringList { u"row 3: No IPv4 address: \"2001:db8::1\" lies in none of the blocks that carry one "
                         "(mapped, nat64, 6to4, teredo, isatap, compatible)"_s };
    QTest::newRow("decode by the chosen embedding, csv")
        << QStringList { u"--decode"_s,       u"-e"_s, u"mapped"_s,          u"-f"_s, u"csv"_s, u"-a"_s,
                         u"::ffff:1.2.3.4"_s, u"-a"_s, u"64:ff9b::102:304"_s }
        << 1
        << QByteArray("Original,IPv4 Address,Embedding,Detail\r\n::ffff:1.2.3.4,1.2.3.4,mapped,\r\n"
                      "64:ff9b::102:304,,,\r\n")
        << QStringList {
               u"row 2: Not in the chosen block: \"64:ff9b::102:304\" lies outside ::ffff:0:0/96 (mapped)"_s
           };
    QTest::newRow("decode, reverse DNS, jsonl")
        << QStringList { u"-d"_s, u"--reverse-dns"_s,        u"-f"_s, u"jsonl"_s,
                         u"-a"_s, u"::ffff:192.0.2.0/120"_s, u"-a"_s, u"x"_s }
        << 1
        << QByteArray(
               "{\"original\":\"::ffff:192.0.2.0/120\",\"ipv4\":\"192.0.2.0/24\",\"embedding\":\"mapped\","
               "\"detail\":\"\",\"reverse_dns\":\"2.0.192.in-addr.arpa\"}\n"
               "{\"original\":\"x\",\"ipv4\":null,\"embedding\":null,\"detail\":null,\"reverse_dns\":null}\n")
        << QStringList {
               u"row 2: Not an IPv6 address: \"x\" is not IPv6 text (groups of hex digits joined by \":\")"_s
           };
    QTest::newRow("reverse DNS of a prefix off the nibble boundary, tsv")
        << QStringList { u"--reverse-dns"_s, u"-f"_s, u"tsv"_s, u"--rfc5952"_s, u"-a"_s, u"10.0.0.0/7"_s }
        << 0
        << (QByteArray("10.0.0.0/7\t0000:0000:0000:0000:0000:0000:0a00:0000/103\t::a00:0/103\t"
                       "0000:0000:0000:0000:0000:0000:10.0.0.0/103\t::10.0.0.0/103\ta.0.")
            + QByteArray("0.").repeated(24) + "ip6.arpa b.0." + QByteArray("0.").repeated(24) + "ip6.arpa\n")
        << QStringList {};
    QTest::newRow("range, tsv, second line ticked")
        << QStringList { u"-f"_s, u"tsv"_s,    u"-e"_s, u"mapped"_s,
                         u"-t"_s, u"2-3"_s,    u"-a"_s, u"10.0.0.0-10.0.2.255"_s,
                         u"-a"_s, u"1.2.3.4"_s }
        << 0
        << QByteArray(
               "10.0.0.0-10.0.2.255\t0000:0000:0000:0000:0000:FFFF:0A00:0200/120\t::FFFF:0A00:0200/120\t"
               "0000:0000:0000:0000:0000:FFFF:10.0.2.0/120\t::FFFF:10.0.2.0/120\n"
               "1.2.3.4\t0000:0000:0000:0000:0000:FFFF:0102:0304\t::FFFF:0102:0304\t"
               "0000:0000:0000:0000:0000:FFFF:1.2.3.4\t::FFFF:1.2.3.4\n")
        << QStringList {};
    QTest::newRow("range, clipboard")
        << QStringList { u"-f"_s, u"clipboard"_s, u"-a"_s, u"1.2.3.4-1.2.3.9"_s } << 0
        << QByteArray("1.2.3.4-1.2.3.9\t0000:0000:0000:0000:0000:0000:0102:0304/126\t::0102:0304/126\t"
                      "0000:0000:0000:0000:0000:0000:1.2.3.4/126\t::1.2.3.4/126\r\n"
                      "1.2.3.4-1.2.3.9\t0000:0000:0000:0000:0000:0000:0102:0308/127\t::0102:0308/127\t"
                      "0000:0000:0000:0000:0000:0000:1.2.3.8/127\t::1.2.3.8/127\r\n")
        << QStringList {};
    QTest::newRow("non-global addresses behind the NAT64 well-known prefix, warned once")
        << QStringList { u"-f"_s,      u"csv"_s, u"-e"_s,       u"nat64"_s, u"-a"_s,
                         u"8.8.8.8"_s, u"-a"_s,  u"10.1.1.1"_s, u"-a"_s,    u"127.0.0.1"_s }
        << 0
        << QByteArray("Original,IPv6 Full Address,IPv6 Shorthand Address,IPv6 and Dot Notation Full Address,"
                      "IPv6 and Dot Notation Shorthand Address\r\n"
                      "8.8.8.8,0064:FF9B:0000:0000:0000:0000:0808:0808,0064:FF9B::0808:0808,"
                      "0064:FF9B:0000:0000:0000:0000:8.8.8.8,0064:FF9B::8.8.8.8\r\n"
                      "10.1.1.1,0064:FF9B:0000:0000:0000:0000:0A01:0101,0064:FF9B::0A01:0101,"
                      "0064:FF9B:0000:0000:0000:0000:10.1.1.1,0064:FF9B::10.1.1.1\r\n"
                      "127.0.0.1,0064:FF9B:0000:0000:0000:0000:7F00:0001,0064:FF9B::7F00:0001,"
                      "0064:FF9B:0000:0000:0000:0000:127.0.0.1,0064:FF9B::127.0.0.1\r\n")
        << QStringList { u"warning: the NAT64 well-known prefix 64:ff9b::/96 must not carry non-global "
                         "addresses (RFC 6052 section 3.1), but row 2 \"10.1.1.1\" is a private address (RFC "
                         "1918); its forms are written all the same (this is said once)"_s };
}

void TestBatchTool::textFileHasTheClipboardsCells_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("ranges ticked by their prefixes, a failure, the NAT64 warning")
        << QStringList { u"-e"_s, u"nat64"_s,    u"-t"_s, u"2-4"_s,
                         u"-a"_s, u"8.8.8.8"_s,  u"-a"_s, u"10.0.0.0-10.0.2.255"_s,
                         u"-a"_s, u"1.2.3.4"_s,  u"-a"_s, u"10.1.1.1"_s,
                         u"-a"_s, u"1.2.3.256"_s };
    QTest::newRow("a prefix expanded behind the NAT64 well-known prefix: the warning") << QStringList {
        u"--expand"_s, u"-e"_s, u"nat64"_s, u"-a"_s, u"8.8.8.8"_s, u"-a"_s, u"10.0.0.0/30"_s
    };
    // RFC 5952 text writes rows of one length in forms of other lengths.
    QTest::newRow("RFC 5952 text, rows of one length, the shorter first, a failure") << QStringList {
        u"--rfc5952"_s, u"-a"_s, u"01.2.3.4"_s, u"-a"_s, u"10.2.3.4"_s, u"-a"_s, u"1.2.3"_s
    };
    QTest::newRow("decoded rows with reverse-DNS names, a failure")
        << QStringList { u"-d"_s, u"--reverse-dns"_s, u"-a"_s, u"::ffff:10.0.0.1"_s,
                         u"-a"_s, u"2001:db8::1"_s,   u"-a"_s, u"64:ff9b::808:808"_s };
}

// The text file's rows are checked apart from the table the other formats
// fill: its cells, unpadded, are the clipboard text's, and its messages are
// the same, in the same order.
void TestBatchTool::textFileHasTheClipboardsCells()
{
    QFETCH(QStringList, arguments);
    const Run text = runTool(arguments);
    const Run clipboard = runTool(arguments + QStringList { u"-f"_s, u"clipboard"_s });
    // The text file ends every cell with a TAB.
    const auto cellsOf = [](QByteArray bytes, bool endsInTab) {
        QList<QList<QByteArray>> rows;
        for (const QByteArray& line : bytes.replace("\r\n", "\n").split('\n')) {
            QList<QByteArray> cells = line.split('\t');
            if (endsInTab && !line.isEmpty())
                cells.removeLast();
            for (QByteArray& cell : cells) {
                while (cell.endsWith(' '))
                    cell.chop(1);
            }
            rows.append(cells);
        }
        return rows;
    };
    QCOMPARE(cellsOf(text.out, true).mid(1), cellsOf(clipboard.out, false));
    QCOMPARE(text.err, clipboard.err);
    QVERIFY(!text.err.isEmpty());
    QCOMPARE(text.exitCode, clipboard.exitCode);
}

// Decoding, reverse-DNS names and range rows through the tool's own output
// paths: the table formats and tsv; failures and the NAT64 warning on
// standard error.
void TestBatchTool::directionRowsAndReverseDns()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QStringList, err);

    const Run run = runTool(arguments);
    QCOMPARE(run.out, out);
    QStringList errLines;
    for (const QByteArray& line : run.err.split('\n')) {
        if (!line.isEmpty())
            errLines.append(QString::fromUtf8(line).remove(0, QStringLiteral("quadrix-batch: ").size()));
    }
    QCOMPARE(errLines, err);
    QCOMPARE(run.exitCode, exitCode);
}

void TestBatchTool::outputThatIsAnInputIsRefused_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("-o names the list") << u"-o"_s;
    QTest::newRow("-o names a hard link to the list") << u"hard link"_s;
    QTest::newRow("-o names a symbolic link to the list") << u"symbolic link"_s;
    QTest::newRow("standard output appends to the list") << u"append"_s;
    QTest::newRow("standard input and output are the list") << u"standard input"_s;
    QTest::newRow("standard output appends to the list read as -") << u"dash"_s;
}

// As cat: an output that is also an input still to be read is refused before
// anything is read or written, since the run would read its own output.
void TestBatchTool::outputThatIsAnInputIsRefused()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString list = dir.filePath(u"in.txt"_s);
    const QByteArray rows = "1.2.3.4\r\n5.6.7.8\r\n";
    QVERIFY(writeFile(list, rows));
    const QString other = dir.filePath(u"other.txt"_s);
    QVERIFY(writeFile(other, "9.9.9.9\r\n"));

    for (const QString& format : { u"text"_s, u"tsv"_s, u"clipboard"_s, u"xlsx"_s }) {
        QStringList arguments { other, u"-f"_s, format };
        std::function<void(QProcess&)> prepare;
        QByteArray named = "\"" + list.toUtf8() + "\"";
        if (how == u"-o") {
            arguments += { list, u"-o"_s, list };
        } else if (how == u"hard link" || how == u"symbolic link") {
            const QString link = dir.filePath(u"link.txt"_s);
            QFile::remove(link);
            const bool made = how == u"hard link"
                ? ::link(QFile::encodeName(list), QFile::encodeName(link)) == 0
                : QFile::link(list, link);
            QVERIFY(made);
            arguments += { list, u"-o"_s, link };
        } else {
            if (format == u"xlsx")
                continue;
            if (how == u"append") {
                arguments.append(list);
            } else {
                arguments.append(u"-"_s);
                named = "standard input";
            }
            prepare = [&list, how](QProcess& process) {
                process.setStandardOutputFile(list, QIODevice::Append);
                if (how == u"standard input" || how == u"dash")
                    process.setStandardInputFile(list);
            };
            if (how == u"standard input")
                arguments = QStringList { u"-f"_s, format };
        }
        const Run run = runTool(arguments, {}, prepare);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err, "quadrix-batch: " + named + ": input file is output file\n");
        QCOMPARE(run.out, QByteArray());
        QVERIFY2(readAll(list) == rows, qPrintable(format));
    }
    // Reading and writing one device is no loop.
    const Run devices = runTool({ u"/dev/null"_s, u"-o"_s, u"/dev/null"_s, u"-f"_s, u"tsv"_s });
    QVERIFY2(devices.exitCode == 2 && devices.err.contains("it is not a file"), devices.err.constData());
}

// A name that is not UTF-8 is refused: never another file read or written
// in its place with success reported.
void TestBatchTool::undecodableNamesAreRefused()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The list under its Latin-1 name, and a decoy under the name a lossy
    // decoding gives it.
    const QByteArray latin1Name = dir.path().toUtf8() + "/in\xE9.txt";
    const int fd = ::open(latin1Name.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, "1.2.3.4\r\n", 9), ssize_t(9));
    ::close(fd);
    QVERIFY(writeFile(dir.filePath(u"in\uFFFD.txt"_s), "6.6.6.6\r\n"));
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);

    // The shell hands the raw bytes over, as a user's shell does.
    for (const QString& script : { u"exec \"$0\" -f tsv \"$(printf 'in\\351.txt')\""_s,
                                   u"exec \"$0\" --sample -o \"$(printf 'out\\351.txt')\""_s }) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(u"sh"_s, { u"-c"_s, script, QStringLiteral(QUADRIX_BATCH_PATH) });
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 2);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(err.startsWith("quadrix-batch: the argument \"") && err.contains("is not valid UTF-8"),
                 err.constData());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before);
    }
    // QDir cannot name it to remove it.
    QCOMPARE(::unlink(latin1Name.constData()), 0);
}

void TestBatchTool::outOfMemoryIsAFailure_data()
{
    QTest::addColumn<QString>("format");
    for (const QString& format : { u"tsv"_s, u"clipboard"_s, u"text"_s })
        QTest::newRow(qPrintable(format)) << format;
}

// A row too large for the memory there is: a clear message, status 2 and the
// old output as it was, never an abort.
void TestBatchTool::outOfMemoryIsAFailure()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer reserves terabytes of address space; an address-space limit cannot be set");
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    QSKIP("AddressSanitizer reserves terabytes of address space; an address-space limit cannot be set");
#endif
#endif
    QFETCH(QString, format);
    const QString list = m_dir.filePath(u"one-huge-row.txt"_s);
    // The row alone takes two bytes a character once read: more than the
    // limit below, which leaves the program itself several times the room it
    // needs.
    constexpr qsizetype RowBytes = 128 << 20;
    if (QFileInfo(list).size() != RowBytes)
        QVERIFY(writeFile(list, QByteArray(RowBytes, '1')));
    const QString output = m_dir.filePath(u"kept.txt"_s);
    const QByteArray old = "the user's old output\r\n";
    QVERIFY(writeFile(output, old));

    const Run run = runTool({ list, u"-f"_s, format, u"-o"_s, output }, {}, [](QProcess& process) {
        process.setChildProcessModifier([] {
            const rlimit limit { 256 << 20, 256 << 20 };
            ::setrlimit(RLIMIT_AS, &limit);
        });
    });
    QCOMPARE(run.err, QByteArray("quadrix-batch: out of memory\n"));
    QCOMPARE(run.exitCode, 2);
    QVERIFY(readAll(output) == old);
    QCOMPARE(QDir(m_dir.path()).entryList({ u"kept.txt*"_s }, QDir::Files | QDir::Hidden),
             QStringList { u"kept.txt"_s });
}

void TestBatchTool::progressBar()
{
    qint64 now = 1000;
    int clockReads = 0;
    QBuffer terminal;
    QVERIFY(terminal.open(QIODevice::WriteOnly));
    const auto clock = [&] {
        ++clockReads;
        return now;
    };
    int columns = 80;
    auto draws = [&terminal] { return terminal.data().count("\r\x1b[K"); };
    {
        TerminalProgress bar(
            terminal, clock, [&columns] { return columns; }, 1);
        bar.setText(u"Reading servers.txt"_s);
        bar.setValue(10);
        now += 499;
        bar.update();
        QCOMPARE(terminal.data(), QByteArray()); // nothing within half a second

        now += 1;
        bar.update();
        QVERIFY(bar.isShown());
        QCOMPARE(terminal.data(), "\r\x1b[K[##......................]  10% Reading servers.txt");

        // At most ten redraws a second, however often it hears news.
        const int before = draws();
        for (int ms = 1; ms <= 1000; ++ms) {
            now += 1;
            bar.setValue(ms / 10.0);
        }
        QCOMPARE(draws() - before, 10);
        QVERIFY(terminal.data().endsWith("[########################] 100% Reading servers.txt"));

        // A label too long for the terminal is cut to fit its width, less one
        // column against wrapping.
        columns = 50;
        now += 100;
        bar.setText(u"Writing a-very-long-file-name-indeed.txt"_s);
        QVERIFY(terminal.data().endsWith("] 100% Writing a-very-l\xE2\x80\xA6"));

        bar.clear();
        QVERIFY(!bar.isShown());
        QVERIFY(terminal.data().endsWith("\r\x1b[K"));
        // Cleared for a message, it comes back at the next tenth of a second.
        const int cleared = draws();
        bar.update();
        QCOMPARE(draws(), cleared);
        now += 100;
        bar.update();
        QCOMPARE(draws(), cleared + 1);
    }
    // Going away takes it off the line.
    QVERIFY(terminal.data().endsWith("\r\x1b[K"));

    // Cheap enough for every row: the clock is read once per 256 updates.
    TerminalProgress sparse(terminal, clock, [] { return 80; });
    clockReads = 0;
    for (int i = 0; i < 256 * 4; ++i)
        sparse.update();
    QCOMPARE(clockReads, 4);
}

void TestBatchTool::helpVersionAndManPage()
{
    const Run version = runTool({ u"--version"_s });
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("quadrix-batch " QUADRIX_VERSION "\n"));
    QCOMPARE(runTool({ u"-V"_s }).out, version.out);

    const Run help = runTool({ u"--help"_s });
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("Usage: quadrix-batch [OPTION]... [FILE]...\n"));
    QCOMPARE(help.err, QByteArray());
    QCOMPARE(runTool({ u"-h"_s, u"--sample"_s }).out, help.out);

    // The manual page documents every option --help lists, and no other, and
    // the same exit statuses.
    static const QRegularExpression optionName(u"--[a-z]+"_s);
    const auto optionsIn = [](const QString& text) {
        QStringList names;
        for (const QRegularExpressionMatch& match : optionName.globalMatch(text))
            names.append(match.captured());
        names.removeDuplicates();
        names.sort();
        return names;
    };
    const QString manual
        = QString::fromUtf8(readAll(QStringLiteral(QUADRIX_SOURCE_DIR "/docs/quadrix-batch.1")))
              .replace(u"\\-"_s, u"-"_s);
    QVERIFY2(manual.startsWith(u".TH QUADRIX-BATCH 1"_s), "docs/quadrix-batch.1 is a manual page");
    QCOMPARE(optionsIn(manual), optionsIn(QString::fromUtf8(help.out)));
    for (const QString& status : { u".B 0\n"_s, u".B 1\n"_s, u".B 2\n"_s })
        QVERIFY2(manual.contains(u".TP\n"_s + status), qPrintable(status));
    // Every format, in both.
    for (const OutputFormat& format : outputFormats()) {
        const QString name = format.name.toString();
        QVERIFY2(manual.contains(u".TP\n.B "_s + name + u'\n'), qPrintable(name));
        QVERIFY2(help.out.contains("\n                           " + name.toUtf8() + ' '), qPrintable(name));
    }
    // Both say what --rfc5952 does to the full forms: nothing to their digits.
    QVERIFY(manual.simplified().contains(u"full forms keep every digit"_s));
    QVERIFY(help.out.simplified().contains("full forms keep every digit"));
    // Every page it refers to is one of ours, and exists.
    static const QRegularExpression reference(u"\\.BR ([a-z-]+) \\(1\\)"_s);
    for (const QRegularExpressionMatch& match : reference.globalMatch(manual)) {
        if (match.captured(1) != u"cat")
            QVERIFY2(QFile::exists(QStringLiteral(QUADRIX_SOURCE_DIR "/docs/") + match.captured(1) + u".1"_s),
                     qPrintable(match.captured()));
    }
    // No help line is wider than a terminal of 80 columns.
    for (const QByteArray& line : help.out.split('\n'))
        QVERIFY2(line.size() < 80, line.constData());
    // Descriptions start in one column, a single blank after the option.
    QVERIFY(help.out.contains("\n  -a, --address=ADDRESS  add ADDRESS as a row (may be repeated)\n"
                              "      --sample           add the three sample rows"));

    // Help that cannot be written is a failure too.
    const Run lost = runTool({ u"--help"_s }, {},
                             [](QProcess& process) { process.setStandardOutputFile(u"/dev/full"_s); });
    QCOMPARE(lost.exitCode, 2);
    QVERIFY(lost.err.startsWith("quadrix-batch: Cannot write standard output: "));
}

QTEST_GUILESS_MAIN(TestBatchTool)
#include "tst_batchtool.moc"
