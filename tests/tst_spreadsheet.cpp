#include "export/LibreOfficeCalc.h"
#include "export/SpreadsheetExport.h"
#include "export/XlsxWorkbook.h"

#include "ExportFixtures.h"
#include "FakePlatform.h"
#include "WorkbookReader.h"
#include "conversion/MapIP.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using SheetRows = QList<QStringList>;

const QStringList AllCaptions { u"Original"_s, u" IPv6 Full Address"_s, u" IPv6 Shorthand Address"_s,
                                u" IPv6 and Dot Notation Full Address"_s,
                                u" IPv6 and Dot Notation Shorthand Address"_s };

QStringList formsOf(const QString& address)
{
    QStringList texts = QStringList { address } + formTexts(address);
    texts.removeAll(QString());
    return texts;
}

// One table and the sheet it must give, sheet row 1 first.
struct FillCase
{
    const char* name;
    std::function<std::unique_ptr<ListModel>()> table;
    SheetRows sheet;
};

std::vector<FillCase> fillCases()
{
    std::vector<FillCase> cases;
    cases.push_back({ "complete rows, both ticked",
                      [] {
                          auto table = resultsTable();
                          addConverted(*table, u"10.0.0.1"_s);
                          addConverted(*table, u"192.168.100.200"_s);
                          return table;
                      },
                      { AllCaptions, formsOf(u"10.0.0.1"_s), formsOf(u"192.168.100.200"_s) } });
    cases.push_back({ "only the second row ticked: sheet row 2 stays empty",
                      [] {
                          auto table = resultsTable();
                          addConverted(*table, u"10.0.0.1"_s, false);
                          addConverted(*table, u"192.168.100.200"_s);
                          return table;
                      },
                      { AllCaptions, {}, formsOf(u"192.168.100.200"_s) } });
    cases.push_back({ "a failed row as table row 1 decides the captions",
                      [] {
                          auto table = resultsTable();
                          addConverted(*table, u"1.2.3.256"_s);
                          addConverted(*table, u"10.0.0.1"_s);
                          return table;
                      },
                      { { u"Original"_s, u" IPv6 and Dot Notation Full Address"_s,
                          u" IPv6 and Dot Notation Shorthand Address"_s },
                        { u"1.2.3.256"_s, u"0000:0000:0000:0000:0000:0000:1.2.3.256"_s, u"::1.2.3.256"_s },
                        formsOf(u"10.0.0.1"_s) } });
    cases.push_back({ "an empty first cell: the forms fill columns 1 to 4",
                      [] {
                          auto table = resultsTable();
                          addConverted(*table, u"10.0.0.1"_s);
                          addConverted(*table, QString());
                          return table;
                      },
                      { AllCaptions, formsOf(u"10.0.0.1"_s), formsOf(QString()) } });
    cases.push_back(
        { "\"=\" goes from columns 2 on, never from column 1; all stays text",
          [] {
              auto table = resultsTable();
              addRow(*table, { u"a=b"_s, u"a=b"_s, u"=="_s, u"x"_s, u"y"_s });
              addRow(*table, { u"=1+1"_s, u"=2+2"_s, u"Z\u00FCrich\u20AC"_s, u"007"_s, u"1e5"_s });
              return table;
          },
          { AllCaptions,
            { u"a=b"_s, u"ab"_s, QString(), u"x"_s, u"y"_s },
            { u"=1+1"_s, u"2+2"_s, u"Z\u00FCrich\u20AC"_s, u"007"_s, u"1e5"_s } } });
    cases.push_back({ "nothing ticked: the caption row alone",
                      [] {
                          auto table = resultsTable();
                          addConverted(*table, u"10.0.0.1"_s, false);
                          addConverted(*table, u"192.168.100.200"_s, false);
                          return table;
                      },
                      { AllCaptions } });
    return cases;
}

// Texts the format would read as its own escapes, control characters and
// blanks at either end: each must come back as it was.
const QStringList ExactTexts { u"a_x0001_b"_s,  u"c_x005F_d"_s,
                               u"e_x000D_f"_s,  u"_X00aF__x12_x1234_"_s,
                               u"_x_x005f_X"_s, u"\u0001\u001F\tz"_s,
                               u"  blanks  "_s, u"_x004_"_s,
                               u"<&>\"'"_s,     u"\U0001F600 \u00E9\u20AC"_s };

// The longest text of each column of a sheet.
std::vector<qsizetype> longestTexts(const QList<QStringList>& sheet)
{
    std::vector<qsizetype> longest;
    for (const QStringList& row : sheet) {
        longest.resize(std::max(longest.size(), size_t(row.size())), 0);
        for (qsizetype k = 0; k < row.size(); ++k)
            longest[size_t(k)] = std::max(longest[size_t(k)], row[k].size());
    }
    return longest;
}

// A sheet row as compared: unset and empty cells alike, no trailing empties.
QStringList normalized(QStringList row)
{
    for (QString& text : row) {
        if (text.isNull())
            text = u""_s;
    }
    while (!row.isEmpty() && row.back().isEmpty())
        row.removeLast();
    return row;
}

SheetRows normalized(SheetRows rows)
{
    for (QStringList& row : rows)
        row = normalized(row);
    while (!rows.isEmpty() && rows.back().isEmpty())
        rows.removeLast();
    return rows;
}

SheetRows sheetOf(const FakeSpreadsheet& fake)
{
    SheetRows rows;
    const qsizetype last = fake.cells.empty() ? 0 : fake.cells.rbegin()->first.first;
    for (qsizetype row = 1; row <= last; ++row)
        rows.append(fake.sheetRow(row));
    return normalized(rows);
}

// LibreOffice's CSV: fields separated by commas, quoted with doubled quotes
// inside; one line per sheet row.
SheetRows parseCsv(const QString& text)
{
    SheetRows rows;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        QStringList fields { QString() };
        bool quoted = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (quoted) {
                if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                    fields.back().append(c);
                    ++i;
                } else if (c == u'"') {
                    quoted = false;
                } else {
                    fields.back().append(c);
                }
            } else if (c == u'"') {
                quoted = true;
            } else if (c == u',') {
                fields.append(QString());
            } else if (c != u'\r') {
                fields.back().append(c);
            }
        }
        rows.append(fields);
    }
    return normalized(rows);
}

QString describe(const SheetRows& rows)
{
    QStringList lines;
    for (const QStringList& row : rows)
        lines.append(row.join(u'|'));
    return lines.join(u" / "_s);
}

} // namespace

class TestSpreadsheet : public QObject
{
    Q_OBJECT

private slots:
    void fillRules_data();
    void fillRules();
    void textsReadBackExactly();
    void callsComeInOrderWithATurnAtEveryStep();
    void stopShowsNothing();
    void failingCallReachesTheCaller();
    void changingTableIsNeverReadPastItsEnd();
    void installedTest_data();
    void installedTest();
    void workbookRefusesCellsOutsideASheet();
    void refusedCellsAreReportedOnceAndTheRestWritten();
    void readerRefusesADamagedWorkbook();
    void calcGetsTheWorkbookAndItsFileIsRemovedLater();
    void calcEndingWithAnErrorIsReported_data();
    void calcEndingWithAnErrorIsReported();
    void calcMissingFromThePath();
    void roundTripThroughCalc();
};

void TestSpreadsheet::fillRules_data()
{
    QTest::addColumn<int>("index");
    const std::vector<FillCase> cases = fillCases();
    for (size_t i = 0; i < cases.size(); ++i)
        QTest::newRow(cases[i].name) << int(i);
}

void TestSpreadsheet::fillRules()
{
    QFETCH(int, index);
    const FillCase fillCase = fillCases()[size_t(index)];
    FakePlatform fake;
    auto table = fillCase.table();
    NoYield yielder;

    auto workbook = fake.platform->spreadsheet().start();
    QVERIFY(fillWorkbook(*table, *workbook, yielder));

    QCOMPARE(sheetOf(*fake.spreadsheet), normalized(fillCase.sheet));
    // The widths were measured before the first cell, over the cells written.
    QCOMPARE(fake.spreadsheet->widths, longestTexts(fillCase.sheet));
    QVERIFY(fake.spreadsheet->visible);

    // The workbook file holds the same sheet, every text within its column.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"fill.xlsx"_s);
    QVERIFY(writeWorkbookFile(*table, path, yielder));
    const ReadWorkbook read = readWorkbook(path);
    QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
    QCOMPARE(normalized(read.rows), normalized(fillCase.sheet));
    const std::vector<qsizetype> longest = longestTexts(fillCase.sheet);
    for (size_t k = 0; k < longest.size(); ++k) {
        if (longest[k] > 0)
            QVERIFY(read.widths.at(int(k + 1)) > double(longest[k]));
    }
}

void TestSpreadsheet::textsReadBackExactly()
{
    QTemporaryDir dir;
    auto table = tableWithCaptions({ u"Original"_s });
    // Line ends, lone surrogates and a noncharacter XML cannot carry too.
    const QStringList texts = ExactTexts
        + QStringList { u"a\r\nb\rc\n"_s, QString(QChar(0xD800)) + u"x"_s, u"y"_s + QChar(0xDC00),
                        QString(QChar(0xFFFE)), u"\u007F\u0080\u07FF\u0800\uFFFD"_s };
    for (const QString& text : texts)
        addRow(*table, { text });
    const QString path = dir.filePath(u"exact.xlsx"_s);
    NoYield yielder;
    QVERIFY(writeWorkbookFile(*table, path, yielder));

    const ReadWorkbook read = readWorkbook(path);
    QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
    QCOMPARE(read.rows.size(), texts.size() + 1);
    for (qsizetype i = 0; i < texts.size(); ++i)
        QCOMPARE(read.rows[i + 1], QStringList { texts[i] });
}

void TestSpreadsheet::callsComeInOrderWithATurnAtEveryStep()
{
    FakeSpreadsheet spreadsheet;
    auto table = resultsTable();
    addConverted(*table, u"10.0.0.1"_s);
    addConverted(*table, u"1.2.3.4"_s, false);
    addConverted(*table, u"1.2.3.256"_s);
    ScriptedYielder yielder;
    std::vector<int> turnsAtCalls;
    yielder.onYield = [&](int) { turnsAtCalls.push_back(int(spreadsheet.calls.size())); };

    auto workbook = spreadsheet.start();
    QVERIFY(writeCaptionRow(*table, *workbook, yielder));
    // One per row and per cell of the two ticked rows as they are measured,
    // then one per caption.
    const int rowTurns = 3 + 2 * 5;
    QCOMPARE(yielder.calls, rowTurns + 5);
    QVERIFY(writeDataRows(*table, *workbook, yielder));
    QCOMPARE(yielder.calls, rowTurns + 5 + rowTurns);
    workbook->autofitColumns();
    workbook->makeVisible();

    using Kind = FakeSpreadsheet::CallKind;
    const std::vector<FakeSpreadsheet::Call>& calls = spreadsheet.calls;
    QCOMPARE(calls.size(), size_t(1 + 5 + 5 + 3 + 2));
    QCOMPARE(calls.front().kind, Kind::Start);
    QCOMPARE(calls[calls.size() - 2].kind, Kind::Autofit);
    QCOMPARE(calls.back().kind, Kind::MakeVisible);
    // The failed row is table row 3, so sheet row 4, its three texts packed.
    QCOMPARE(calls[11].row, 4);
    QCOMPARE(calls[13].column, 3);
    // Every cell was preceded by a turn: no two cells without one between.
    for (size_t i = 1; i < turnsAtCalls.size(); ++i)
        QVERIFY(turnsAtCalls[i] - turnsAtCalls[i - 1] <= 1);
}

void TestSpreadsheet::stopShowsNothing()
{
    // Turns 1 to 12 measure the two rows, 13 to 17 come before the captions,
    // 18 before row 1, 19 to 23 before its cells: (stop from turn, cells set
    // by then).
    for (const auto& [stopFrom, cellsSet] :
         { std::pair { 1, 0 }, { 8, 0 }, { 15, 2 }, { 18, 5 }, { 19, 5 }, { 21, 7 } }) {
        FakeSpreadsheet spreadsheet;
        auto table = resultsTable();
        addConverted(*table, u"10.0.0.1"_s);
        addConverted(*table, u"192.168.100.200"_s);
        ScriptedYielder yielder;
        yielder.stopFrom = stopFrom;

        auto workbook = spreadsheet.start();
        QVERIFY(!fillWorkbook(*table, *workbook, yielder));

        QCOMPARE(yielder.calls, stopFrom);
        QCOMPARE(spreadsheet.callsOf(FakeSpreadsheet::CallKind::SetCell), cellsSet);
        QCOMPARE(spreadsheet.callsOf(FakeSpreadsheet::CallKind::Autofit), 0);
        QVERIFY(!spreadsheet.visible);
    }
}

void TestSpreadsheet::failingCallReachesTheCaller()
{
    FakeSpreadsheet spreadsheet;
    spreadsheet.failCallNumber = 7; // the second cell of sheet row 2
    auto table = resultsTable();
    addConverted(*table, u"10.0.0.1"_s);
    NoYield yielder;

    auto workbook = spreadsheet.start();
    QVERIFY(writeCaptionRow(*table, *workbook, yielder));
    try {
        writeDataRows(*table, *workbook, yielder);
        QFAIL("the refused call must reach the caller");
    } catch (const AppError& error) {
        QCOMPARE(error.description(), spreadsheet.failCallWith);
    }
    // The step ends at the failing call.
    QCOMPARE(spreadsheet.callsOf(FakeSpreadsheet::CallKind::SetCell), 7);
}

void TestSpreadsheet::changingTableIsNeverReadPastItsEnd()
{
    auto build = [] {
        auto table = resultsTable();
        addConverted(*table, u"10.0.0.1"_s);
        addConverted(*table, u"1.2.3.4"_s, false);
        addConverted(*table, u"192.168.100.200"_s);
        return table;
    };
    const int turns = (3 + 2 * 5) + 5 + (3 + 2 * 5);
    for (TableChange change : AllTableChanges) {
        for (int at = 1; at <= turns; ++at) {
            auto table = build();
            BoundsCheckingTable checked(*table);
            ScriptedYielder yielder;
            yielder.onYield = [&](int call) {
                if (call == at)
                    applyChange(*table, change);
            };
            FakeSpreadsheet spreadsheet;
            auto workbook = spreadsheet.start();

            QVERIFY(fillWorkbook(checked, *workbook, yielder));

            QCOMPARE(checked.readsPastEnd, 0);
            // The rows end at the table's new end; the workbook is still shown.
            QVERIFY(spreadsheet.visible);
        }
    }
}

void TestSpreadsheet::installedTest_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("canStartThrows");
    QTest::addColumn<bool>("expected");
    QTest::newRow("installed") << true << QString() << true;
    QTest::newRow("not installed") << false << QString() << false;
    QTest::newRow("the test itself fails") << true << u"Automation error"_s << false;
}

void TestSpreadsheet::installedTest()
{
    QFETCH(bool, installed);
    QFETCH(QString, canStartThrows);
    QFETCH(bool, expected);
    FakePlatform fake;
    fake.platform->setApplicationTitle(u"Quadrix"_s);
    fake.spreadsheet->installed = installed;
    fake.spreadsheet->canStartThrows = canStartThrows;

    QCOMPARE(SaveResultsAsExcelFileIsExcelInstalled(fake.platform->spreadsheet(), *fake.platform), expected);

    QCOMPARE(fake.spreadsheet->callsOf(FakeSpreadsheet::CallKind::CanStart), 1);
    QCOMPARE(fake.spreadsheet->workbooksStarted, 0);
    if (expected) {
        QVERIFY(fake.messageBoxes->shown.empty());
        return;
    }
    QCOMPARE(fake.messageBoxes->shown.size(), size_t(1));
    const FakeMessageBoxes::Shown& box = fake.messageBoxes->shown.front();
    QCOMPARE(box.text,
             u"Excel is not installed on this computer. You need to have it installed to use this "
             u"software without error."_s);
    QCOMPARE(box.title, u"Quadrix"_s);
    QCOMPARE(box.icon, MessageBoxes::Icon::None);
}

void TestSpreadsheet::workbookRefusesCellsOutsideASheet()
{
    QTemporaryDir dir;
    XlsxWorkbook workbook(dir.filePath(u"edges.xlsx"_s));
    // Columns past Z are named with two letters, past ZZ with three (none
    // right of the last, so each cell names its own).
    for (const int column : { 27, 53, 702, 704 })
        workbook.setCellText(1, column, QString::number(column));
    workbook.setCellText(1, XlsxWorkbook::MaxColumns, u"last column"_s);
    workbook.setCellText(XlsxWorkbook::MaxRows, 1, u"last row"_s);
    QVERIFY_THROWS_EXCEPTION(AppError, workbook.setCellText(XlsxWorkbook::MaxRows + 1, 1, u"x"_s));
    QVERIFY_THROWS_EXCEPTION(AppError, workbook.setCellText(XlsxWorkbook::MaxRows, 0, u"x"_s));
    // The cells go out as they come: one above or left of the last is
    // refused, not lost; so are widths once the cells have begun.
    QVERIFY_THROWS_EXCEPTION(AppError, workbook.setCellText(2, 1, u"x"_s));
    QVERIFY_THROWS_EXCEPTION(AppError, workbook.setCellText(XlsxWorkbook::MaxRows, 1, u"x"_s));
    QVERIFY_THROWS_EXCEPTION(AppError, workbook.setColumnWidths({ 3 }));
    // Nothing is written before the workbook is complete.
    QVERIFY(!QFileInfo::exists(workbook.path()));
    workbook.makeVisible();
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList { u"edges.xlsx"_s });
    const ReadWorkbook read = readWorkbook(workbook.path());
    QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
    QCOMPARE(read.rows.size(), XlsxWorkbook::MaxRows);
    QCOMPARE(read.rows.first().size(), XlsxWorkbook::MaxColumns);
    QCOMPARE(read.rows.first().back(), u"last column"_s);
    for (const int column : { 27, 53, 702, 704 })
        QCOMPARE(read.rows.first()[column - 1], QString::number(column));
    QCOMPARE(read.rows.back(), QStringList { u"last row"_s });
}

void TestSpreadsheet::refusedCellsAreReportedOnceAndTheRestWritten()
{
    QTemporaryDir dir;
    auto table = tableWithCaptions({ u"Original"_s, u"B"_s, u"C"_s });
    addRow(*table, { QString(XlsxWorkbook::MaxCellLength, u'x'), u"fits"_s, u"c"_s });
    addRow(*table, { QString(XlsxWorkbook::MaxCellLength + 1, u'x'), u"after"_s, u"c"_s });
    addRow(*table, { u"a"_s, u"b"_s + QChar(u'\0') + u"c"_s, u"last"_s });
    const QString path = dir.filePath(u"refused.xlsx"_s);
    NoYield yielder;
    try {
        writeWorkbookFile(*table, path, yielder);
        QFAIL("the refused cells went unreported");
    } catch (const RefusedCells& refused) {
        QCOMPARE(refused.cells(),
                 QStringList({ u"row 2, column 1: 32768 characters, more than the 32767 a cell holds"_s,
                               u"row 3, column 2: it holds a NUL character, which a cell cannot hold"_s }));
        QVERIFY(refused.description().startsWith(u"2 cells were not written: row 2, column 1: "_s));
    }
    // The workbook holds the rest.
    const ReadWorkbook read = readWorkbook(path);
    QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
    QCOMPARE(normalized(read.rows),
             normalized({ { u"Original"_s, u"B"_s, u"C"_s },
                          { QString(XlsxWorkbook::MaxCellLength, u'x'), u"fits"_s, u"c"_s },
                          { QString(), u"after"_s, u"c"_s },
                          { u"a"_s, QString(), u"last"_s } }));

    // The window's step reports them once, as one error.
    FakeSpreadsheet fake;
    auto workbook = fake.start();
    fake.refuseText = u"after"_s;
    QVERIFY_THROWS_EXCEPTION(RefusedCells, writeDataRows(*table, *workbook, yielder));
    QCOMPARE(fake.sheetRow(3),
             QStringList({ QString(XlsxWorkbook::MaxCellLength + 1, u'x'), QString(), u"c"_s }));
}

// The reader the tests trust must notice a workbook that is not whole: cut
// short, a byte of the sheet changed, or a directory that points elsewhere.
void TestSpreadsheet::readerRefusesADamagedWorkbook()
{
    QTemporaryDir dir;
    auto table = resultsTable();
    for (int i = 0; i < 2000; ++i)
        addConverted(*table, u"10.0.%1.%2"_s.arg(i / 256).arg(i % 256));
    const QString path = dir.filePath(u"whole.xlsx"_s);
    NoYield yielder;
    QVERIFY(writeWorkbookFile(*table, path, yielder));
    const QByteArray whole = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const ReadWorkbook read = readWorkbook(path);
    QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
    QCOMPARE(read.rows.size(), 2001);

    const auto problemOf = [&](const QByteArray& bytes) {
        const QString copy = dir.filePath(u"copy.xlsx"_s);
        QFile file(copy);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return u"<not written>"_s;
        file.close();
        return readWorkbook(copy).problem;
    };
    QVERIFY(!problemOf(whole.first(whole.size() - 30)).isEmpty());
    // A byte changed inside the packed sheet.
    QByteArray damaged = whole;
    const qsizetype sheet = damaged.indexOf("xl/worksheets/sheet1.xml");
    QVERIFY(sheet > 0);
    damaged[sheet + 200] = char(damaged[sheet + 200] ^ 0x55);
    QVERIFY(!problemOf(damaged).isEmpty());
    // The directory's first entry says its local header is elsewhere.
    QByteArray misplaced = whole;
    const qsizetype directory = misplaced.indexOf(QByteArrayView("PK\x01\x02", 4));
    QVERIFY(directory > 0);
    misplaced.replace(directory + 42, 4, QByteArray(4, '\xFF'));
    QVERIFY(!problemOf(misplaced).isEmpty());
}

void TestSpreadsheet::calcGetsTheWorkbookAndItsFileIsRemovedLater()
{
    QTemporaryDir dir;
    // Stands in for soffice: notes its arguments and keeps a copy of the file
    // it was given, as Calc reads it.
    const QString launcher = dir.filePath(u"fake-soffice"_s);
    {
        QFile script(launcher);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ncp \"$3\" \"$0.xlsx\" && printf '%s\\n' \"$@\" > \"$0.args.part\" && "
                     "mv \"$0.args.part\" \"$0.args\"\n");
    }
    QVERIFY(QFile::setPermissions(launcher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QString handedOver;
    {
        LibreOfficeCalc calc({ { launcher }, std::chrono::seconds(0) });
        QVERIFY(calc.canStart());
        QCOMPARE(calc.program(), launcher);
        auto table = resultsTable();
        addConverted(*table, u"10.0.0.1"_s);
        NoYield yielder;

        auto workbook = calc.start();
        QVERIFY(fillWorkbook(*table, *workbook, yielder));

        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(launcher + u".args"_s), 10000);
        QFile args(launcher + u".args"_s);
        QVERIFY(args.open(QIODevice::ReadOnly));
        const QStringList arguments = QString::fromUtf8(args.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(arguments.size(), 3);
        QCOMPARE(arguments.mid(0, 2), QStringList({ u"--calc"_s, u"-n"_s }));
        handedOver = arguments[2];
        QCOMPARE(calc.keptFiles(), QStringList { handedOver });
        QVERIFY(QFileInfo(launcher + u".xlsx"_s).size() > 0);
        // Private to the user.
        QCOMPARE(QFileInfo(QFileInfo(handedOver).absolutePath()).permissions()
                     & (QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());

        // The next export removes the file whose time is up.
        auto next = calc.start();
        QVERIFY(!QFileInfo::exists(handedOver));
        QVERIFY(calc.keptFiles().isEmpty());
        // A workbook that is never shown leaves nothing behind either.
    }
    // At the end the private folder goes.
    QVERIFY(!QFileInfo::exists(QFileInfo(handedOver).absolutePath()));
}

void TestSpreadsheet::calcEndingWithAnErrorIsReported_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("error");
    QTest::newRow("exits with an error")
        << QByteArray("#!/bin/sh\necho 'soffice: cannot open display' >&2\nexit 3\n")
        << u"LibreOffice Calc ended with an error (exit code 3): soffice: cannot open display"_s;
    QTest::newRow("keeps running") << QByteArray("#!/bin/sh\nsleep 3\n") << QString();
    QTest::newRow("hands the file on") << QByteArray("#!/bin/sh\nexit 0\n") << QString();
}

void TestSpreadsheet::calcEndingWithAnErrorIsReported()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString launcher = dir.filePath(u"fake-soffice"_s);
    {
        QFile file(launcher);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
    }
    QVERIFY(QFile::setPermissions(launcher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    LibreOfficeCalc calc({ { launcher }, std::chrono::seconds(60), std::chrono::milliseconds(1000) });
    auto table = resultsTable();
    addConverted(*table, u"10.0.0.1"_s);
    NoYield yielder;
    auto workbook = calc.start();
    try {
        QVERIFY(fillWorkbook(*table, *workbook, yielder));
        QVERIFY2(error.isEmpty(), "the error went unnoticed");
        QCOMPARE(calc.keptFiles().size(), 1);
    } catch (const AppError& raised) {
        QCOMPARE(raised.description(), error);
        QVERIFY(calc.keptFiles().isEmpty());
    }
}

void TestSpreadsheet::calcMissingFromThePath()
{
    LibreOfficeCalc calc(
        { { u"/nonexistent/soffice"_s, u"quadrix-no-such-program"_s }, std::chrono::seconds(0) });
    QVERIFY(!calc.canStart());
    QVERIFY_THROWS_EXCEPTION(AppError, calc.start());
}

void TestSpreadsheet::roundTripThroughCalc()
{
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not on the search path; the workbooks cannot be read back");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::vector<FillCase> cases = fillCases();
    QStringList files;
    NoYield yielder;
    for (size_t i = 0; i < cases.size(); ++i) {
        auto table = cases[i].table();
        files.append(dir.filePath(u"case%1.xlsx"_s.arg(i)));
        QVERIFY(writeWorkbookFile(*table, files.back(), yielder));
    }
    // A text longer than a cell holds is refused, not cut; the rest is there.
    auto longTable = tableWithCaptions({ u"Original"_s, u"B"_s });
    addRow(*longTable, { QString(40000, u'x'), u"after"_s });
    addRow(*longTable, { QString(XlsxWorkbook::MaxCellLength, u'y'), u"full"_s });
    files.append(dir.filePath(u"long.xlsx"_s));
    QVERIFY_THROWS_EXCEPTION(RefusedCells, writeWorkbookFile(*longTable, files.back(), yielder));
    const QStringList& exact = ExactTexts;
    auto exactTable = tableWithCaptions({ u"Original"_s });
    for (const QString& text : exact)
        addRow(*exactTable, { text });
    files.append(dir.filePath(u"exact.xlsx"_s));
    QVERIFY(writeWorkbookFile(*exactTable, files.back(), yielder));

    QProcess convert;
    convert.setProcessChannelMode(QProcess::MergedChannels);
    convert.start(soffice,
                  QStringList { u"--headless"_s,
                                u"-env:UserInstallation=file://"_s + dir.filePath(u"profile"_s),
                                u"--convert-to"_s, u"csv:Text - txt - csv (StarCalc):44,34,76,1"_s,
                                u"--outdir"_s, dir.filePath(u"csv"_s) }
                      + files);
    QVERIFY2(convert.waitForFinished(60000), "soffice did not finish within 60 s");
    const QByteArray output = convert.readAll();
    QVERIFY2(convert.exitStatus() == QProcess::NormalExit && convert.exitCode() == 0, output.constData());

    auto readCsv = [&](const QString& name) {
        QFile csv(dir.filePath(u"csv/"_s + name));
        return csv.open(QIODevice::ReadOnly) ? parseCsv(QString::fromUtf8(csv.readAll()))
                                             : SheetRows { { u"<no "_s + name + u">"_s } };
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const SheetRows sheet = readCsv(u"case%1.csv"_s.arg(i));
        QVERIFY2(sheet == normalized(cases[i].sheet),
                 qPrintable(QString::fromUtf8(cases[i].name) + u": "_s + describe(sheet)));
    }
    const SheetRows longSheet = readCsv(u"long.csv"_s);
    QCOMPARE(longSheet.size(), 3);
    QCOMPARE(longSheet[1], QStringList({ QString(), u"after"_s }));
    QCOMPARE(longSheet[2], QStringList({ QString(XlsxWorkbook::MaxCellLength, u'y'), u"full"_s }));
    SheetRows exactSheet { { u"Original"_s } };
    for (const QString& text : exact)
        exactSheet.append({ text });
    QCOMPARE(readCsv(u"exact.csv"_s), exactSheet);
}

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
