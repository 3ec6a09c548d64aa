#include "BuildConfig.h"
#include "batch_window/Form2.h"
#include "batch_window/ListView.h"
#include "batch_window/TextProgressBar.h"
#include "export/ListModel.h"
#include "single_window/Form1.h"

#include "shell/PlatformServices.h"

#include "FakePlatform.h"
#include "FilePrivileges.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList rowTexts(const ListModel& model)
{
    QStringList texts;
    for (qsizetype row = 0; row < model.rows(); ++row)
        texts.append(model.text(row));
    return texts;
}

QStringList rowCells(const ListModel& model, qsizetype row)
{
    QStringList cells;
    for (int column = 0; column < model.columns(); ++column)
        cells.append(model.cell(row, column));
    return cells;
}

const QStringList Samples { u"204.93.240.0"_s, u"199.27.128.43"_s, u"173.245.48.111"_s };
// What both file dialogs offer, as the user reads it.
const QList<FileTypeFilter> TextFileFilters { { u"Text Files"_s, { u"*.txt"_s } },
                                              { u"All Files"_s, { u"*"_s } } };

// Drags `data` over `target` and drops it there, as the platform delivers a
// drop: the enter event finds the widget that takes drops, the drop follows it.
// Returns whether the drop was taken.
bool dragAndDrop(QWidget* target, const QMimeData& data)
{
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QMimeData* filesData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithItsColumnsAndIdleBar();
    void switchingWindowsKeepsTheSingleWindowAndDiscardsTheLists();
    void addOne_data();
    void addOne();
    void samplesTwice();
    void loadOneFile();
    void loadSeveralFilesFromOneFolder();
    void loadFromTheRootFolder();
    void vanishedFileSaysFileNotFound();
    void unreadableFilesAreReportedAndLoadingGoesOn();
    void cancelledDialogChangesNothing();
    void oddFilesDoNotCrash();
    void deleteKeyRemovesTheSelectedRow();
    void clearLists();
    void messageAndHelp();
    void runOfTheSamples();
    void runOfAnEmptyList();
    void badAndEmptyRows();
    void reportsOfManyBadRowsCanBeStopped_data();
    void reportsOfManyBadRowsCanBeStopped();
    void secondStartDuringARunDoesNothing();
    void deleteAndInputClearDuringARunDoNothing();
    void clearingResultsDuringARunIsHonoured();
    void rowsAddedDuringARunAreNotConverted();
    void leavingDuringARunEndsItCleanly_data();
    void leavingDuringARunEndsItCleanly();
    void moreRowsThanSixteenBitsConvert();
    void saveTickedRowsAsTextFile();
    void cancelledSaveWritesNothing();
    void copyTickedRows();
    void spreadsheetNotInstalled();
    void spreadsheetOfTheTickedRows();
    void spreadsheetFailuresAreReported();
    void leavingDuringAnExportStopsIt_data();
    void leavingDuringAnExportStopsIt();
    void clickDuringAWorkbookExportIsHandled();
    void pasteAddsTheClipboardsLines_data();
    void pasteAddsTheClipboardsLines();
    void pasteDuringARunIsRefused();
    void droppedFilesLoadAsTheLoadButtonLoadsThem_data();
    void droppedFilesLoadAsTheLoadButtonLoadsThem();
    void droppedUnreadableFilesAreReported();
    void droppedTextIsPasted();
    void dropsDuringARunAreRefused();
    void resultsColumnsShowWholeForms();
    void embeddingAndStyleApplyToTheTableAndItsExports();
    void notesOnTheForms();
    void formColumnsFitTheChosenForms();
    void directionAndReverseDnsSwitchTheWholeTable();

private:
    QPushButton* button(const char* name) const
    {
        return m_form->findChild<QPushButton*>(QLatin1StringView(name));
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void tick(qsizetype row)
    {
        results().publishRows();
        QVERIFY(results().setChecked(row, true));
    }
    // The samples converted, rows 1 and 3 ticked.
    void samplesConvertedAndTicked()
    {
        click("PushButton11");
        click("PushButton2");
        tick(0);
        tick(2);
        m_fake->messageBoxes->shown.clear();
    }
    // Runs `action` at the first event-loop turn of the run started next.
    void duringTheRun(std::function<void()> action) { QTimer::singleShot(0, m_form, std::move(action)); }
    ListModel& input() const { return *m_form->ListView1(); }
    ListModel& results() const { return *m_form->ListView2(); }
    ListView* view(const char* name) const { return m_form->findChild<ListView*>(QLatin1StringView(name)); }
    // Chooses "Paste" on the input list's context menu.
    void pasteFromTheMenu()
    {
        QWidget* viewport = view("ListView1")->viewport();
        const QPoint at = viewport->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions[0]->text(), u"Paste"_s);
        actions[0]->trigger();
        menu->close();
    }
    // Writes list files into `dir`; returns their paths.
    QStringList listFiles(const QTemporaryDir& dir)
    {
        const QString a = dir.filePath(u"a.txt"_s);
        const QString b = dir.filePath(u"b.txt"_s);
        if (!writeFile(a, "1.1.1.1\r\n2.2.2.2\r\n") || !writeFile(b, "3.3.3.3\n4.4.4.4"))
            return {};
        return { a, b };
    }

    std::unique_ptr<FakePlatform> m_fake;
    std::unique_ptr<Form1> m_single;
    QPointer<Form2> m_form;
};

void TestForm2::init()
{
    m_fake = std::make_unique<FakePlatform>();
    m_single = std::make_unique<Form1>(*m_fake->platform);
    m_single->show();
    QTest::mouseClick(m_single->findChild<QPushButton*>(u"PushButton1"_s), Qt::LeftButton);
    m_form = m_single->batchWindow();
    QVERIFY(m_form);
    // Events run at every yield point, as a slow machine would let them.
    m_form->setYieldBudget(0);
}

void TestForm2::cleanup()
{
    m_single.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_fake.reset();
}

void TestForm2::opensWithItsColumnsAndIdleBar()
{
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_single->isVisible());
    QCOMPARE(m_form->windowTitle(), u"Quadrix Software"_s);
    QCOMPARE(m_form->size(), QSize(536, 631));
    QVERIFY(!(m_form->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
    QCOMPARE(input().columns(), 1);
    QCOMPARE(input().caption(0), u" IPv4(s)"_s);
    QCOMPARE(results().columns(), 5);
    QCOMPARE(results().caption(0), u"Original"_s);
    QCOMPARE(results().caption(4), u" IPv6 and Dot Notation Shorthand Address"_s);
    QCOMPARE(view("ListView1")->horizontalHeader()->sectionSize(0), 6800 / 15);
    QCOMPARE(view("ListView2")->horizontalHeader()->sectionSize(0), 1200 / 15);
    QVERIFY(view("ListView2")->horizontalHeader()->sectionSize(1) > ListView::DefaultColumnTwips / 15);
    QCOMPARE(m_form->ProgressBar1()->text(), u"Progress Bar"_s);
    QCOMPARE(m_form->ProgressBar1()->value(), 0.0);
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);
    QVERIFY(m_fake->messageBoxes->shown.empty());

    // The design's tab order: the two lists first, the help buttons, then the
    // embedding and the text style last.
    QWidget* widget = view("ListView1");
    QStringList order;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != view("ListView1"));
    QCOMPARE(order,
             (QStringList { u"ListView1"_s, u"ListView2"_s, u"PushButton1"_s, u"PushButton4"_s,
                            u"PushButton6"_s, u"PushButton2"_s, u"PushButton3"_s, u"PushButton13"_s,
                            u"PushButton5"_s, u"PushButton7"_s, u"PushButton8"_s, u"PushButton9"_s,
                            u"PushButton10"_s, u"PushButton11"_s, u"EmbeddingBox"_s, u"Rfc5952Box"_s,
                            u"DirectionBox"_s, u"ReverseDnsBox"_s }));
}

void TestForm2::switchingWindowsKeepsTheSingleWindowAndDiscardsTheLists()
{
    m_single->Text1(1)->setText(u"9"_s);
    click("PushButton11");
    click("PushButton5"); // < Back
    QVERIFY(m_single->isVisible());
    QVERIFY(!m_form->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_form);
    QCOMPARE(m_single->Text1(1)->text(), u"9"_s);

    // The next visit starts afresh, its captions not doubled; the close box works like "< Back".
    QTest::mouseClick(m_single->findChild<QPushButton*>(u"PushButton1"_s), Qt::LeftButton);
    m_form = m_single->batchWindow();
    QCOMPARE(input().rows(), 0);
    QCOMPARE(input().columns(), 1);
    QCOMPARE(results().columns(), 5);
    m_form->close();
    QVERIFY(m_single->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_form);
}

void TestForm2::addOne_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("accepted unchanged") << u"0.0.0.0"_s << QStringList { u"0.0.0.0"_s };
    QTest::newRow("blanks kept") << u"  10.0.0.1 "_s << QStringList { u"  10.0.0.1 "_s };
    QTest::newRow("any text") << u"abc"_s << QStringList { u"abc"_s };
    QTest::newRow("cancel") << QString() << QStringList();
}

void TestForm2::addOne()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, rows);
    m_fake->inputBoxes->answers = { answer };
    click("PushButton1");
    QCOMPARE(rowTexts(input()), rows);
    QCOMPARE(m_fake->inputBoxes->asked.size(), size_t(1));
    QCOMPARE(m_fake->inputBoxes->asked[0].prompt, u"Enter IPv4 to add: "_s);
    QCOMPARE(m_fake->inputBoxes->asked[0].title, u"Quadrix"_s);
    QCOMPARE(m_fake->inputBoxes->asked[0].defaultText, u"0.0.0.0"_s);
}

void TestForm2::samplesTwice()
{
    input().appendRow(u"mine"_s);
    click("PushButton11");
    click("PushButton11");
    QCOMPARE(rowTexts(input()), QStringList { u"mine"_s } + Samples + Samples);
}

void TestForm2::loadOneFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    QVERIFY(writeFile(path, "1.2.3.4\r\n\r\n5.6.7.8\r\n"));
    m_fake->fileDialogs->openAnswers = { { path } };
    click("PushButton4");
    QCOMPARE(rowTexts(input()), (QStringList { u"1.2.3.4"_s, QString(), u"5.6.7.8"_s }));
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);

    const OpenFilesRequest& request = m_fake->fileDialogs->openRequests.at(0);
    QCOMPARE(request.title, u"Load List(s) - Hold Ctrl to select multiple list files"_s);
    QCOMPARE(request.filters, TextFileFilters);
    QVERIFY(request.severalFiles);
}

void TestForm2::loadSeveralFilesFromOneFolder()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"a.txt"_s), "1.1.1.1\n2.2.2.2\n"));
    QVERIFY(writeFile(dir.filePath(u"b.txt"_s), "3.3.3.3"));
    m_fake->fileDialogs->openAnswers = { { dir.filePath(u"a.txt"_s), dir.filePath(u"b.txt"_s) } };
    click("PushButton4");
    QCOMPARE(rowTexts(input()), (QStringList { u"1.1.1.1"_s, u"2.2.2.2"_s, QString(), u"3.3.3.3"_s }));
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm2::loadFromTheRootFolder()
{
    // The folder of a selection in the root folder ends in a separator already.
    const QString stem = u"quadrix-test-%1"_s.arg(QCoreApplication::applicationPid());
    const QString a = u"/"_s + stem + u"-a.txt"_s;
    const QString b = u"/"_s + stem + u"-b.txt"_s;
    if (!writeFile(a, "1.1.1.1\r\n") || !writeFile(b, "2.2.2.2\r\n")) {
        QFile::remove(a);
        QSKIP("the root folder is not writable here");
    }
    m_fake->fileDialogs->openAnswers = { { a, b } };
    click("PushButton4");
    QFile::remove(a);
    QFile::remove(b);
    QCOMPARE(rowTexts(input()), (QStringList { u"1.1.1.1"_s, u"2.2.2.2"_s }));
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm2::vanishedFileSaysFileNotFound()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"b.txt"_s), "3.3.3.3"));
    m_fake->fileDialogs->openAnswers = { { dir.filePath(u"gone.txt"_s), dir.filePath(u"b.txt"_s) } };
    click("PushButton4");
    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { u"File not found"_s });
    QCOMPARE(rowTexts(input()), QStringList { u"3.3.3.3"_s });

    m_fake->fileDialogs->openAnswers = { { dir.filePath(u"gone.txt"_s) } };
    click("PushButton4");
    QCOMPARE(m_fake->messageBoxes->texts(), (QStringList { u"File not found"_s, u"File not found"_s }));
    QCOMPARE(input().rows(), 1);
}

void TestForm2::unreadableFilesAreReportedAndLoadingGoesOn()
{
    QVERIFY(dropFileAccessOverride());
    QTemporaryDir dir;
    const QString locked = dir.filePath(u"locked.txt"_s);
    QVERIFY(writeFile(locked, "9.9.9.9\r\n"));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    QVERIFY(writeFile(dir.filePath(u"open.txt"_s), "1.1.1.1\r\n"));

    m_fake->fileDialogs->openAnswers = { { locked } };
    click("PushButton4");
    QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].contains(u"\r\nin Hexmap2021/08/31.Form2.PushButton4_Click at line 120\r\r"_s),
             qPrintable(reports[0]));
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);

    m_fake->fileDialogs->openAnswers = { { dir.filePath(u"locked.txt"_s), dir.filePath(u"open.txt"_s) } };
    click("PushButton4");
    reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[1].contains(u"PushButton4_Click at line 134\r\r"_s));
    QCOMPARE(rowTexts(input()), QStringList { u"1.1.1.1"_s });
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);
}

void TestForm2::cancelledDialogChangesNothing()
{
    m_form->setMousePointer(MousePointer::Custom);
    click("PushButton4"); // no scripted answer: Cancel
    QCOMPARE(m_fake->fileDialogs->openRequests.size(), size_t(1));
    QCOMPARE(input().rows(), 0);
    QCOMPARE(m_form->mousePointer(), MousePointer::Custom);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm2::oddFilesDoNotCrash()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(u"binary.dat"_s), QByteArray("\x00\x01\xFF\r\n\x00", 6)));
    QVERIFY(QDir(dir.path()).mkdir(u"folder.txt"_s));
    const QString huge = dir.filePath(u"huge.txt"_s);
    {
        QFile file(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray block(1 << 20, '7');
        for (int i = 0; i < 100; ++i)
            QCOMPARE(file.write(block), block.size());
    }
    m_fake->fileDialogs->openAnswers
        = { { dir.filePath(u"binary.dat"_s), dir.filePath(u"folder.txt"_s), dir.filePath(u"huge.txt"_s) } };
    click("PushButton4");
    QCOMPARE(m_fake->messageBoxes->errorReports().size(), 1); // the folder
    QCOMPARE(input().rows(), 3);
    QCOMPARE(input().text(0), QString(u"\0\u0001\u00FF"_s));
    QCOMPARE(input().text(1), QString(u"\0"_s));
    QCOMPARE(input().cellLength(2, 0), qsizetype(100) << 20);
    QCoreApplication::processEvents(); // the view shows them
    QCOMPARE(view("ListView1")->model()->rowCount(), 3);
}

void TestForm2::deleteKeyRemovesTheSelectedRow()
{
    ListView* list = view("ListView1");
    QTest::keyClick(list, Qt::Key_Delete); // empty list
    click("PushButton11");
    QCoreApplication::processEvents();
    QTest::keyClick(list, Qt::Key_Delete); // nothing selected
    QCOMPARE(input().rows(), 3);
    list->selectRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(rowTexts(input()), (QStringList { Samples[0], Samples[2] }));
    QTest::keyClick(list, Qt::Key_A);
    QCOMPARE(input().rows(), 2);
}

void TestForm2::clearLists()
{
    click("PushButton11");
    click("PushButton2");
    click("PushButton6");
    QCOMPARE(input().rows(), 0);
    QCOMPARE(results().rows(), 3);
    QCOMPARE(results().columns(), 5);
    click("PushButton7");
    QCOMPARE(results().rows(), 0);
    QCOMPARE(results().caption(0), u"Original"_s);
}

void TestForm2::messageAndHelp()
{
    click("PushButton9");
    QCOMPARE(m_fake->messageBoxes->texts(),
             QStringList {
                 u"You must load text files into the list. You can not load Word files for example."_s });
    QCOMPARE(m_fake->messageBoxes->shown[0].title, u"Quadrix"_s);
    click("PushButton10");
    QCOMPARE(m_fake->webBrowser->opened.size(), size_t(1));
    QCOMPARE(m_fake->webBrowser->opened[0].url, QUrl(QStringLiteral(QUADRIX_HELP_ADDRESS)));
    QCOMPARE(m_fake->webBrowser->opened[0].mode, WebBrowser::WindowMode::Normal);
}

void TestForm2::runOfTheSamples()
{
    click("PushButton11");
    struct Seen
    {
        double value;
        QString text;
        MousePointer pointer;
    };
    std::vector<Seen> seen;
    QTimer recorder;
    connect(&recorder, &QTimer::timeout, this, [&] {
        seen.push_back(
            { m_form->ProgressBar1()->value(), m_form->ProgressBar1()->text(), m_form->mousePointer() });
    });
    recorder.start(0);
    click("PushButton2");
    recorder.stop();

    QCOMPARE(results().rows(), 3);
    for (int row = 0; row < 3; ++row) {
        const QString& address = Samples[row];
        QCOMPARE(rowCells(results(), row),
                 (QStringList { address, results().subItem(row, 1), results().subItem(row, 2),
                                u"0000:0000:0000:0000:0000:0000:"_s + address, u"::"_s + address }));
        QVERIFY(!results().isChecked(row));
    }
    QCOMPARE(results().subItem(0, 1), u"0000:0000:0000:0000:0000:0000:CC5D:F000"_s);
    QCOMPARE(results().subItem(1, 2), u"::C71B:802B"_s);
    QCOMPARE(results().subItem(2, 2), u"::ADF5:306F"_s);
    QCOMPARE(rowTexts(input()), Samples);

    // Each row shows its share of the list and its address while it is converted.
    QStringList texts;
    QList<double> values;
    for (const Seen& turn : seen) {
        // The window is busy from the first event-loop turn of the run on.
        QCOMPARE(turn.pointer, MousePointer::Hourglass);
        if (texts.isEmpty() || texts.back() != turn.text) {
            texts.append(turn.text);
            values.append(turn.value);
        }
    }
    QCOMPARE(texts,
             (QStringList { u"Progress Bar"_s, u"Processing: 204.93.240.0"_s, u"Processing: 199.27.128.43"_s,
                            u"Processing: 173.245.48.111"_s }));
    QCOMPARE(values.mid(1), (QList<double> { 1.0 / 3 * 100, 2.0 / 3 * 100, 3.0 / 3 * 100 }));

    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { u"Done."_s });
    QCOMPARE(m_fake->messageBoxes->shown[0].title, u"Quadrix"_s);
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);
    QCOMPARE(m_form->ProgressBar1()->value(), 0.0);
    QCOMPARE(m_form->ProgressBar1()->text(), u"Progress Bar"_s);

    // A second run replaces the first one's rows.
    click("PushButton2");
    QCOMPARE(results().rows(), 3);
    QCOMPARE(m_fake->messageBoxes->texts().size(), 2);
}

void TestForm2::runOfAnEmptyList()
{
    results().appendRow(u"old"_s);
    click("PushButton2");
    QCOMPARE(results().rows(), 0);
    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { u"Done."_s });
    QCOMPARE(m_form->ProgressBar1()->text(), u"Progress Bar"_s);
}

void TestForm2::badAndEmptyRows()
{
    for (const QString& row : { u"1.2.3.256"_s, u"abc"_s, QString() })
        input().appendRow(row);
    click("PushButton2");
    const QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 4);
    for (int i = 0; i < 4; ++i)
        QVERIFY(reports[i].contains(u"Form2.PushButton2_Click at line "_s + (i % 2 ? u"124"_s : u"122"_s)));
    QCOMPARE(rowCells(results(), 0),
             (QStringList { u"1.2.3.256"_s, QString(), QString(),
                            u"0000:0000:0000:0000:0000:0000:1.2.3.256"_s, u"::1.2.3.256"_s }));
    QCOMPARE(
        rowCells(results(), 1),
        (QStringList { u"abc"_s, QString(), QString(), u"0000:0000:0000:0000:0000:0000:abc"_s, u"::abc"_s }));
    QCOMPARE(rowCells(results(), 2),
             (QStringList { QString(), u"0000:0000:0000:0000:0000:0000::"_s, u":::"_s,
                            u"0000:0000:0000:0000:0000:0000:"_s, u"::"_s }));
    QCOMPARE(m_fake->messageBoxes->texts().back(), u"Done."_s);
}

void TestForm2::reportsOfManyBadRowsCanBeStopped_data()
{
    QTest::addColumn<int>("stopAt"); // the report at which the user stops them; 0: never
    QTest::addColumn<int>("reportsShown");
    QTest::addColumn<QStringList>("lastMessages");

    // 20 bad rows bring 40 reports; the eleventh is the first to offer the stop.
    QTest::newRow("OK to every report") << 0 << 40 << QStringList { u"Done."_s };
    QTest::newRow("stopped at the eleventh")
        << 11 << 11 << QStringList { u"20 rows failed to convert."_s, u"Done."_s };
    QTest::newRow("stopped at the last, none held back") << 40 << 40 << QStringList { u"Done."_s };
}

void TestForm2::reportsOfManyBadRowsCanBeStopped()
{
    QFETCH(int, stopAt);
    QFETCH(int, reportsShown);
    QFETCH(QStringList, lastMessages);
    if (stopAt > 0) {
        m_fake->messageBoxes->choices.assign(size_t(stopAt - 11), false);
        m_fake->messageBoxes->choices.push_back(true);
    }
    for (int i = 0; i < 20; ++i)
        input().appendRow(u"bad "_s + QString::number(i));
    input().appendRow(u"10.0.0.1"_s);
    click("PushButton2");

    const auto& shown = m_fake->messageBoxes->shown;
    QCOMPARE(m_fake->messageBoxes->errorReports().size(), reportsShown);
    for (int i = 0; i < reportsShown; ++i)
        QCOMPARE(shown[size_t(i)].otherChoice, i < 10 ? QString() : Platform::StopReportsChoice);
    QCOMPARE(m_fake->messageBoxes->texts().mid(reportsShown), lastMessages);

    // The run went on: every row is in the table, the bad ones without their
    // hexadecimal forms, the good one whole.
    QCOMPARE(results().rows(), 21);
    QCOMPARE(rowCells(results(), 19).mid(0, 3), (QStringList { u"bad 19"_s, QString(), QString() }));
    QCOMPARE(rowCells(results(), 20).mid(0, 3),
             (QStringList { u"10.0.0.1"_s, u"0000:0000:0000:0000:0000:0000:0A00:0001"_s, u"::0A00:0001"_s }));
}

void TestForm2::secondStartDuringARunDoesNothing()
{
    click("PushButton11");
    duringTheRun([&] { click("PushButton2"); });
    click("PushButton2");
    QCOMPARE(results().rows(), 3);
    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { u"Done."_s });
}

void TestForm2::deleteAndInputClearDuringARunDoNothing()
{
    click("PushButton11");
    results().appendRow(u"old"_s);
    QCoreApplication::processEvents();
    view("ListView1")->selectRow(0);
    duringTheRun([&] {
        QTest::keyClick(view("ListView1"), Qt::Key_Delete);
        view("ListView2")->selectRow(0);
        QTest::keyClick(view("ListView2"), Qt::Key_Delete);
        click("PushButton6");
    });
    click("PushButton2");
    QCOMPARE(rowTexts(input()), Samples);
    QCOMPARE(rowTexts(results()), Samples);
}

void TestForm2::clearingResultsDuringARunIsHonoured()
{
    click("PushButton11");
    click("PushButton11");
    int turns = 0;
    QTimer clearer;
    connect(&clearer, &QTimer::timeout, this, [&] {
        // Half way through the second row.
        if (++turns == 4)
            click("PushButton7");
    });
    clearer.start(0);
    click("PushButton2");
    clearer.stop();
    // Row 1 was converted before the clearing; rows 2 to 6 come after it.
    QCOMPARE(rowTexts(results()), Samples.mid(1) + Samples);
}

void TestForm2::rowsAddedDuringARunAreNotConverted()
{
    click("PushButton11");
    std::vector<double> values;
    QTimer recorder;
    connect(&recorder, &QTimer::timeout, this, [&] { values.push_back(m_form->ProgressBar1()->value()); });
    duringTheRun([&] { click("PushButton11"); });
    recorder.start(0);
    click("PushButton2");
    recorder.stop();
    QCOMPARE(results().rows(), 3);
    QCOMPARE(input().rows(), 6);
    QCOMPARE(*std::max_element(values.begin(), values.end()), 50.0);
}

void TestForm2::leavingDuringARunEndsItCleanly_data()
{
    QTest::addColumn<bool>("back");
    QTest::newRow("close box") << false;
    QTest::newRow("< Back") << true;
}

void TestForm2::leavingDuringARunEndsItCleanly()
{
    QFETCH(bool, back);
    for (int i = 0; i < 100; ++i)
        click("PushButton11");
    QPointer<Form2> form = m_form;
    duringTheRun([&] {
        if (back)
            click("PushButton5");
        else
            form->close();
    });
    click("PushButton2");
    // The run ended at its next yield and said nothing; the window goes once it has returned.
    QVERIFY(m_fake->messageBoxes->shown.empty());
    QVERIFY(m_single->isVisible());
    QVERIFY(form);
    QVERIFY(form->isUnloaded());
    QVERIFY(form->ListView2()->rows() < 300);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!form);
}

void TestForm2::moreRowsThanSixteenBitsConvert()
{
    m_form->setYieldBudget(15);
    for (int i = 0; i < 40000; ++i)
        input().appendRow(u"10.0."_s + QString::number(i / 256) + u'.' + QString::number(i % 256));
    click("PushButton2");
    QCOMPARE(results().rows(), 40000);
    QCOMPARE(results().subItem(39999, 2), u"::0A00:9C3F"_s);
    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { u"Done."_s });
}

void TestForm2::saveTickedRowsAsTextFile()
{
    samplesConvertedAndTicked();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"results.txt"_s);
    QVERIFY(writeFile(path, "an older file"));
    m_fake->fileDialogs->saveAnswers = { path };
    click("PushButton3");

    const SaveFileRequest& request = m_fake->fileDialogs->saveRequests.at(0);
    QCOMPARE(request.title, u"Save"_s);
    QCOMPARE(request.filters, TextFileFilters);
    QCOMPARE(request.suggestedName, QString());
    QVERIFY(!request.confirmReplacing);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // Widths 14, 39, 23, 44 and 40: every line 14 + 39 + 23 + 44 + 40 + 5 TABs + CR LF long.
    QCOMPARE(bytes.size(), 3 * 167);
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith("Original      \t IPv6 Full Address"));
    QVERIFY(lines[1].startsWith("204.93.240.0  \t0000:0000:0000:0000:0000:0000:CC5D:F000\t::CC5D:F000"));
    QVERIFY(lines[2].startsWith("173.245.48.111\t"));
    QVERIFY(lines[2].endsWith("::173.245.48.111                        \t\r"));
    QVERIFY(m_fake->messageBoxes->shown.empty());
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);
    QCOMPARE(m_form->ProgressBar1()->text(), u"Progress Bar"_s);
    QCOMPARE(m_form->ProgressBar1()->value(), 0.0);
}

void TestForm2::cancelledSaveWritesNothing()
{
    samplesConvertedAndTicked();
    click("PushButton3");
    QCOMPARE(m_fake->fileDialogs->saveRequests.size(), size_t(1));
    QVERIFY(m_fake->messageBoxes->shown.empty());
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);
}

void TestForm2::copyTickedRows()
{
    click("PushButton8"); // no rows: the clipboard is left alone
    QCOMPARE(m_fake->clipboard->clearAttempts, 0);
    samplesConvertedAndTicked();
    click("PushButton8");
    const QStringList lines = m_fake->clipboard->text.split(u"\r\n"_s);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith(u"204.93.240.0  \t0000:0000:0000:0000:0000:0000:CC5D:F000\t::CC5D:F000\t"_s));
    QVERIFY(lines[1].endsWith(u"\t::173.245.48.111"_s));
    QCOMPARE(lines[2], QString());
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm2::spreadsheetNotInstalled()
{
    m_fake->spreadsheet->installed = false;
    click("PushButton13"); // an empty table: the test runs all the same
    QCOMPARE(
        m_fake->messageBoxes->texts(),
        (QStringList { u"Excel is not installed on this computer. You need to have it installed to use this "
                       "software without error."_s,
                       u"Excel is not installed on this computer. You need to have it installed to use this "
                       "feature."_s }));
    QCOMPARE(m_fake->spreadsheet->workbooksStarted, 0);
}

void TestForm2::spreadsheetOfTheTickedRows()
{
    m_fake->spreadsheet->installed = true;
    click("PushButton13"); // an empty table: nothing happens, nothing is said
    QCOMPARE(m_fake->spreadsheet->workbooksStarted, 0);
    QVERIFY(m_fake->messageBoxes->shown.empty());

    samplesConvertedAndTicked();
    click("PushButton13");
    const auto& cells = m_fake->spreadsheet->cells;
    QCOMPARE(cells.at({ 1, 1 }), u"Original"_s);
    QCOMPARE(cells.at({ 1, 5 }), u" IPv6 and Dot Notation Shorthand Address"_s);
    QCOMPARE(cells.at({ 2, 1 }), u"204.93.240.0"_s);
    QCOMPARE(cells.at({ 2, 3 }), u"::CC5D:F000"_s);
    QVERIFY(!cells.count({ 3, 1 })); // row 2 is not ticked
    QCOMPARE(cells.at({ 4, 5 }), u"::173.245.48.111"_s);
    QVERIFY(m_fake->spreadsheet->visible);
    QVERIFY(m_fake->messageBoxes->shown.empty());
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);
}

void TestForm2::spreadsheetFailuresAreReported()
{
    samplesConvertedAndTicked();
    m_fake->spreadsheet->failStartWith = u"Calc could not be started"_s;
    click("PushButton13");
    QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports[0].startsWith(
        u"Calc could not be started\r\nin Hexmap2021/08/31.Form2.PushButton13_Click at line 108"_s));
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);

    // A refused cell ends the rows with one report; the columns are still
    // fitted and the workbook shown with what it holds.
    m_fake->spreadsheet->failStartWith.clear();
    m_fake->spreadsheet->failCallNumber = 7;
    click("PushButton13");
    reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[1].contains(u"PushButton13_Click at line 112\r\r"_s));
    QVERIFY(m_fake->spreadsheet->visible);

    // Cells the workbook cannot hold are left out and named in one report;
    // every other cell is written.
    m_fake->spreadsheet->failCallNumber = 0;
    m_fake->spreadsheet->visible = false;
    m_fake->spreadsheet->cells.clear();
    m_fake->spreadsheet->refuseText = results().cell(2, 0);
    click("PushButton13");
    reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 3);
    QVERIFY2(reports[2].startsWith(u"A cell was not written: row 3, column 1: refused\r\n"_s),
             qPrintable(reports[2]));
    QVERIFY(reports[2].contains(u"PushButton13_Click at line 112\r\r"_s));
    QVERIFY(m_fake->spreadsheet->visible);
    QCOMPARE(m_fake->spreadsheet->cell(4, 1), QString());
    QCOMPARE(m_fake->spreadsheet->cell(4, 2), results().cell(2, 1));
    QCOMPARE(m_fake->spreadsheet->cell(2, 1), results().cell(0, 0));
}

void TestForm2::leavingDuringAnExportStopsIt_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::newRow("text file") << QByteArray("PushButton3");
    QTest::newRow("clipboard") << QByteArray("PushButton8");
    QTest::newRow("spreadsheet") << QByteArray("PushButton13");
}

void TestForm2::leavingDuringAnExportStopsIt()
{
    QFETCH(QByteArray, button);
    for (int i = 0; i < 50; ++i)
        click("PushButton11");
    click("PushButton2");
    for (int row = 0; row < 150; ++row)
        tick(row);
    m_fake->messageBoxes->shown.clear();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"results.txt"_s);
    QVERIFY(writeFile(path, "an older file"));
    m_fake->fileDialogs->saveAnswers = { path };
    m_fake->clipboard->text = u"held before"_s;

    QPointer<Form2> form = m_form;
    duringTheRun([&] { form->close(); });
    click(button.constData());

    QVERIFY(m_fake->messageBoxes->shown.empty());
    QVERIFY(m_single->isVisible());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("an older file"));
    QCOMPARE(m_fake->clipboard->text, u"held before"_s);
    QVERIFY(!m_fake->spreadsheet->visible);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!form);
}

// The window stays usable while a workbook is written: a click in the
// middle of it is handled then, and the workbook still gets every row.
void TestForm2::clickDuringAWorkbookExportIsHandled()
{
    samplesConvertedAndTicked();
    const qsizetype inputRows = input().rows();
    qsizetype cellsWhenClicked = -1;
    duringTheRun([&] {
        click("PushButton11");
        cellsWhenClicked = m_fake->spreadsheet->callsOf(FakeSpreadsheet::CallKind::SetCell);
    });
    click("PushButton13");
    QVERIFY(cellsWhenClicked >= 0);
    QVERIFY(m_fake->spreadsheet->callsOf(FakeSpreadsheet::CallKind::SetCell) > cellsWhenClicked);
    QCOMPARE(input().rows(), inputRows * 2);
    QCOMPARE(m_fake->spreadsheet->cell(4, 5), u"::173.245.48.111"_s);
    QVERIFY(m_fake->spreadsheet->visible);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm2::pasteAddsTheClipboardsLines_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("CR LF") << u"1.2.3.4\r\n\r\n5.6.7.8\r\n"_s
                           << QStringList { u"1.2.3.4"_s, QString(), u"5.6.7.8"_s };
    QTest::newRow("CR") << u"1.2.3.4\r5.6.7.8"_s << QStringList { u"1.2.3.4"_s, u"5.6.7.8"_s };
    // A column copied from a terminal: a bare LF splits, and the last one ends the last line.
    QTest::newRow("LF") << u"1.2.3.4\n5.6.7.8\n"_s << QStringList { u"1.2.3.4"_s, u"5.6.7.8"_s };
    QTest::newRow("LF inside a CR LF line") << u"a\nb\r\nc"_s << QStringList { u"a"_s, u"b"_s, u"c"_s };
    QTest::newRow("one address") << u" 10.0.0.1 "_s << QStringList { u" 10.0.0.1 "_s };
    QTest::newRow("empty clipboard") << QString() << QStringList();
}

void TestForm2::pasteAddsTheClipboardsLines()
{
    QFETCH(QString, clipboard);
    QFETCH(QStringList, rows);
    input().appendRow(u"mine"_s);
    m_fake->clipboard->text = clipboard;
    QTest::keyClick(view("ListView1"), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(rowTexts(input()), QStringList { u"mine"_s } + rows);
    pasteFromTheMenu();
    QCOMPARE(rowTexts(input()), QStringList { u"mine"_s } + rows + rows);
    // The results table takes no paste.
    QTest::keyClick(view("ListView2"), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(results().rows(), 0);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm2::pasteDuringARunIsRefused()
{
    click("PushButton11");
    m_fake->clipboard->text = u"9.9.9.9\r\n8.8.8.8"_s;
    duringTheRun([&] {
        QTest::keyClick(view("ListView1"), Qt::Key_V, Qt::ControlModifier);
        pasteFromTheMenu();
    });
    click("PushButton2");
    QCOMPARE(rowTexts(input()), Samples);
    // Once the run is over the paste works again.
    QTest::keyClick(view("ListView1"), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(rowTexts(input()), (Samples + QStringList { u"9.9.9.9"_s, u"8.8.8.8"_s }));
}

void TestForm2::droppedFilesLoadAsTheLoadButtonLoadsThem_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("on the input list") << QByteArray("ListView1");
    QTest::newRow("on a button") << QByteArray("PushButton2");
    QTest::newRow("on the results table") << QByteArray("ListView2");
}

void TestForm2::droppedFilesLoadAsTheLoadButtonLoadsThem()
{
    QFETCH(QByteArray, target);
    QTemporaryDir dir;
    const QStringList files = listFiles(dir);
    QVERIFY(!files.isEmpty());
    const QString gone = dir.filePath(u"gone.txt"_s);

    // What "Load IPv4s From Text File" gives for the same files in the same order.
    m_fake->fileDialogs->openAnswers = { { dir.filePath(u"b.txt"_s), gone, dir.filePath(u"a.txt"_s) } };
    click("PushButton4");
    const QStringList loaded = rowTexts(input());
    const QStringList said = m_fake->messageBoxes->texts();
    QCOMPARE(loaded, (QStringList { u"3.3.3.3"_s, u"4.4.4.4"_s, u"1.1.1.1"_s, u"2.2.2.2"_s }));
    QCOMPARE(said, QStringList { u"File not found"_s });
    click("PushButton6");
    m_fake->messageBoxes->shown.clear();

    QWidget* widget = view(target.constData());
    widget = widget ? static_cast<ListView*>(widget)->viewport() : button(target.constData());
    const std::unique_ptr<QMimeData> data(filesData({ files[1], gone, files[0] }));
    QVERIFY(dragAndDrop(widget, *data));
    QCOMPARE(rowTexts(input()), loaded);
    QCOMPARE(m_fake->messageBoxes->texts(), said);
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);
}

void TestForm2::droppedUnreadableFilesAreReported()
{
    QTemporaryDir dir;
    const QStringList files = listFiles(dir);
    QVERIFY(QDir(dir.path()).mkdir(u"folder.txt"_s));
    const QString folder = dir.filePath(u"folder.txt"_s);

    std::unique_ptr<QMimeData> data(filesData({ folder }));
    QVERIFY(dragAndDrop(m_form, *data));
    QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].contains(u"\r\nin Hexmap2021/08/31.Form2.Form_OLEDragDrop at line 120\r\r"_s),
             qPrintable(reports[0]));
    QCOMPARE(input().rows(), 0);

    // One of several: reported, and the others still load.
    data.reset(filesData({ folder, files[0] }));
    QVERIFY(dragAndDrop(view("ListView1")->viewport(), *data));
    reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[1].contains(u"Form_OLEDragDrop at line 134\r\r"_s));
    QCOMPARE(rowTexts(input()), (QStringList { u"1.1.1.1"_s, u"2.2.2.2"_s }));
    QCOMPARE(m_form->mousePointer(), MousePointer::Default);

    // An address that is no file here is not found; nothing is read from it.
    QMimeData remote;
    remote.setUrls({ QUrl(u"https://example.org/list.txt"_s), QUrl::fromLocalFile(files[1]) });
    QVERIFY(dragAndDrop(m_form, remote));
    QCOMPARE(m_fake->messageBoxes->texts().mid(2), QStringList { u"File not found"_s });
    QCOMPARE(input().rows(), 4);
}

void TestForm2::droppedTextIsPasted()
{
    QMimeData text;
    text.setText(u"10.0.0.1\r\n10.0.0.2\n"_s);
    QVERIFY(dragAndDrop(view("ListView1")->viewport(), text));
    QCOMPARE(rowTexts(input()), (QStringList { u"10.0.0.1"_s, u"10.0.0.2"_s }));
    // A link from a browser is its text, not a file.
    QMimeData link;
    link.setUrls({ QUrl(u"https://example.org/"_s) });
    link.setText(u"1.1.1.1"_s);
    QVERIFY(dragAndDrop(m_form, link));
    QCOMPARE(input().rows(), 3);
    QCOMPARE(input().text(2), u"1.1.1.1"_s);
    // Nothing a list could take is not taken.
    QMimeData image;
    image.setData(u"image/png"_s, QByteArray("\x89PNG", 4));
    QVERIFY(!dragAndDrop(m_form, image));
    QCOMPARE(input().rows(), 3);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestForm2::dropsDuringARunAreRefused()
{
    QTemporaryDir dir;
    const QStringList files = listFiles(dir);
    click("PushButton11");
    const std::unique_ptr<QMimeData> data(filesData(files));
    QMimeData text;
    text.setText(u"9.9.9.9"_s);
    bool taken = true;
    duringTheRun([&] {
        taken = dragAndDrop(view("ListView1")->viewport(), *data) || dragAndDrop(m_form, text);
        // A drop that came in before the run started is refused all the same.
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_form, &drop);
        taken = taken || drop.isAccepted();
    });
    click("PushButton2");
    QVERIFY(!taken);
    QCOMPARE(rowTexts(input()), Samples);
    QCOMPARE(m_fake->messageBoxes->texts(), QStringList { u"Done."_s });
}

void TestForm2::resultsColumnsShowWholeForms()
{
    // The widest hex digits and octets of three digits.
    for (const QString& address :
         { u"170.170.170.170"_s, u"221.221.221.221"_s, u"255.255.255.255"_s, u"188.188.188.188"_s })
        input().appendRow(address);
    click("PushButton2");
    QCoreApplication::processEvents();
    ListView* list = view("ListView2");
    // What the view's own delegate asks for the cells it shows.
    const QAbstractItemView* cells = list;
    QHeaderView* header = list->horizontalHeader();
    QCOMPARE(header->sectionSize(0), 1200 / 15);
    for (int column = 1; column <= 4; ++column) {
        const int width = header->sectionSize(column);
        QVERIFY2(
            width >= cells->sizeHintForColumn(column),
            qPrintable(u"column %1: %2 < %3"_s.arg(column).arg(width).arg(cells->sizeHintForColumn(column))));
        QVERIFY(width >= header->sectionSizeHint(column));
        for (int row = 0; row < 4; ++row) {
            const QString text = results().subItem(row, column);
            QVERIFY(list->fontMetrics().horizontalAdvance(text) < width);
        }
    }
    // The columns together are wider than the list: its scroll bar reaches the rest.
    QVERIFY(list->horizontalScrollBar()->maximum() > 0);
}

QTEST_MAIN(TestForm2)
// A change of embedding or text style shows at once in the whole table and in
// what the exports write; a refused prefix keeps the choice.
void TestForm2::embeddingAndStyleApplyToTheTableAndItsExports()
{
    input().appendRow(u"192.0.2.33");
    input().appendRow(u"1.2.3");
    click("PushButton2");
    QCOMPARE(results().subItem(0, 2), u"::C000:0221"_s);
    QCOMPARE(results().subItem(1, 2), u"::0102:0203"_s);

    auto* embedding = m_form->findChild<QComboBox*>(u"EmbeddingBox"_s);
    auto* rfc5952 = m_form->findChild<QCheckBox*>(u"Rfc5952Box"_s);
    QVERIFY(embedding && rfc5952);
    QCOMPARE(embedding->currentText(), u"compatible"_s);
    embedding->setFocus();
    QTest::keyClick(embedding, Qt::Key_Down);
    QTest::keyClick(embedding, Qt::Key_Down);
    QCOMPARE(embedding->currentText(), u"nat64"_s);
    QCOMPARE(rowCells(results(), 0),
             (QStringList { u"192.0.2.33"_s, u"0064:FF9B:0000:0000:0000:0000:C000:0221"_s,
                            u"0064:FF9B::C000:0221"_s, u"0064:FF9B:0000:0000:0000:0000:192.0.2.33"_s,
                            u"0064:FF9B::192.0.2.33"_s }));

    // RFC 5952 text refuses the three-part row: its cells show empty.
    QTest::mouseClick(rfc5952, Qt::LeftButton, {}, QPoint(5, rfc5952->height() / 2));
    QVERIFY(rfc5952->isChecked());
    QCOMPARE(
        rowCells(results(), 0),
        (QStringList { u"192.0.2.33"_s, u"0064:ff9b:0000:0000:0000:0000:c000:0221"_s, u"64:ff9b::c000:221"_s,
                       u"0064:ff9b:0000:0000:0000:0000:192.0.2.33"_s, u"64:ff9b::192.0.2.33"_s }));
    QCOMPARE(rowCells(results(), 1), (QStringList { u"1.2.3"_s, {}, {}, {}, {} }));

    QVERIFY(results().setChecked(0, true));
    QVERIFY(results().setChecked(1, true));
    QTemporaryDir dir;
    const QString path = dir.filePath(u"rfc.txt"_s);
    m_fake->fileDialogs->saveAnswers = { path };
    click("PushButton3");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY2(lines[1].startsWith("192.0.2.33\t0064:ff9b:0000:0000:0000:0000:c000:0221\t64:ff9b::c000:221"),
             lines[1].constData());
    QVERIFY(lines[1].contains("\t64:ff9b::192.0.2.33"));
    QCOMPARE(lines[2].simplified(), QByteArray("1.2.3"));

    // Back to the program's text: the row converts again.
    QTest::mouseClick(rfc5952, Qt::LeftButton, {}, QPoint(5, rfc5952->height() / 2));
    QCOMPARE(results().subItem(1, 2), u"0064:FF9B::0102:0203"_s);

    // A refused prefix is explained and changes nothing.
    m_fake->inputBoxes->answers = { u"::1/96"_s };
    const size_t shownBefore = m_fake->messageBoxes->shown.size();
    QTest::keyClick(embedding, Qt::Key_End);
    QCOMPARE(m_fake->messageBoxes->shown.size(), shownBefore + 1);
    QVERIFY(m_fake->messageBoxes->shown.back().text.contains(u"has bits set past the 96th"_s));
    QCOMPARE(embedding->currentText(), u"nat64"_s);
    QCOMPARE(results().subItem(0, 2), u"0064:FF9B::C000:0221"_s);

    m_fake->inputBoxes->answers = { u"2001:DB8:64::/96"_s };
    QTest::keyClick(embedding, Qt::Key_End);
    QCOMPARE(embedding->currentText(), u"2001:db8:64::/96"_s);
    QCOMPARE(results().subItem(0, 2), u"2001:0DB8:0064::C000:0221"_s);
    QCOMPARE(results().subItem(0, 4), u"2001:0DB8:0064::192.0.2.33"_s);
}

// The notes below the direction row say, without a report, why the dot
// forms are empty below /96 and which address nat64 must not carry; they go
// with the choice that made them.
void TestForm2::notesOnTheForms()
{
    auto* notes = m_form->findChild<QLabel*>(u"NotesLabel"_s);
    auto* embedding = m_form->findChild<QComboBox*>(u"EmbeddingBox"_s);
    QVERIFY(notes && embedding);
    input().appendRow(u"8.8.8.8"_s);
    input().appendRow(u"10.1.2.3"_s);
    embedding->setFocus();
    QTest::keyClick(embedding, Qt::Key_Down);
    QTest::keyClick(embedding, Qt::Key_Down);
    QCOMPARE(embedding->currentText(), u"nat64"_s);
    QCOMPARE(notes->text(), QString());
    const size_t shownBefore = m_fake->messageBoxes->shown.size();
    click("PushButton2");
    QCOMPARE(notes->text(),
             u"Note: 10.1.2.3 is a private address (RFC 1918), which the NAT64 well-known "
             u"prefix 64:ff9b::/96 must not carry (RFC 6052 section 3.1)"_s);
    QCOMPARE(m_fake->messageBoxes->shown.size(), shownBefore + 1); // "Done." alone

    m_fake->inputBoxes->answers = { u"2001:db8:122::/48"_s };
    QTest::keyClick(embedding, Qt::Key_End);
    QVERIFY(notes->text().startsWith(u"Note: behind a prefix shorter than /96"_s));
    QVERIFY(!notes->text().contains(u"10.1.2.3"_s));
    QCOMPARE(results().subItem(0, 3), QString());

    auto* direction = m_form->findChild<QComboBox*>(u"DirectionBox"_s);
    direction->setCurrentIndex(1);
    emit direction->activated(1);
    QCOMPARE(notes->text(), QString());
}

// The forms' columns are sized for the longest texts of the choice made: a
// longer prefix widens them so its forms can be read without dragging.
void TestForm2::formColumnsFitTheChosenForms()
{
    auto* view = m_form->findChild<QTableView*>(u"ListView2"_s);
    auto* embedding = m_form->findChild<QComboBox*>(u"EmbeddingBox"_s);
    auto* rfc5952 = m_form->findChild<QCheckBox*>(u"Rfc5952Box"_s);
    QVERIFY(view && embedding && rfc5952);
    const auto widths = [view] {
        QList<int> sections;
        for (int column = 1; column <= 4; ++column)
            sections.append(view->horizontalHeader()->sectionSize(column));
        return sections;
    };
    const auto fits = [view](int column, const QString& text) {
        return view->horizontalHeader()->sectionSize(column) > view->fontMetrics().horizontalAdvance(text);
    };
    const QList<int> defaults = widths();
    QVERIFY(fits(2, u"::FFFF:FFFF"_s));

    m_fake->inputBoxes->answers = { u"2001:db8:64::/96"_s };
    embedding->setFocus();
    QTest::keyClick(embedding, Qt::Key_End);
    QCOMPARE(embedding->currentText(), u"2001:db8:64::/96"_s);
    QVERIFY(fits(1, u"2001:0DB8:0064:0000:0000:0000:FFFF:FFFF"_s));
    QVERIFY(fits(2, u"2001:0DB8:0064::FFFF:FFFF"_s));
    QVERIFY(fits(4, u"2001:0DB8:0064::255.255.255.255"_s));
    QVERIFY(!fits(2, u"2001:0DB8:0064::FFFF:FFFF:FFFF:FFFF:FFFF"_s));
    QVERIFY(widths()[1] > defaults[1]);

    // RFC 5952 text shortens the prefix further: the columns narrow again.
    const QList<int> typed = widths();
    QTest::mouseClick(rfc5952, Qt::LeftButton, {}, QPoint(5, rfc5952->height() / 2));
    QVERIFY(rfc5952->isChecked());
    QVERIFY(fits(2, u"2001:db8:64::ffff:ffff"_s));
    QVERIFY(widths()[1] < typed[1]);

    // The defaults give the columns the window opened with.
    QTest::mouseClick(rfc5952, Qt::LeftButton, {}, QPoint(5, rfc5952->height() / 2));
    QTest::keyClick(embedding, Qt::Key_Home);
    QCOMPARE(embedding->currentText(), u"compatible"_s);
    QCOMPARE(widths(), defaults);
}

#include "tst_form2.moc"

// The direction and the reverse-DNS column apply to every row at once; a run
// in the decode direction reports the rows that carry no IPv4 address, and
// the exports write the decode columns.
void TestForm2::directionAndReverseDnsSwitchTheWholeTable()
{
    auto* direction = m_form->findChild<QComboBox*>(u"DirectionBox"_s);
    auto* reverseDns = m_form->findChild<QCheckBox*>(u"ReverseDnsBox"_s);
    QVERIFY(direction && reverseDns);
    for (const QString& row : { u"::ffff:192.0.2.33"_s, u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s,
                                u"2001:db8::1"_s, u"10.0.0.0-10.0.2.255"_s })
        input().appendRow(row);

    // Converting, the range makes a row for each of its two prefixes.
    click("PushButton2");
    QCOMPARE(results().rows(), 5);
    QCOMPARE(rowCells(results(), 3).mid(0, 3),
             (QStringList { u"10.0.0.0-10.0.2.255"_s, u"0000:0000:0000:0000:0000:0000:0A00:0000/119"_s,
                            u"::0A00:0000/119"_s }));
    QCOMPARE(results().subItem(4, 2), u"::0A00:0200/120"_s);
    m_fake->messageBoxes->shown.clear();

    direction->setFocus();
    QTest::keyClick(direction, Qt::Key_Down);
    QCOMPARE(results().columns(), 4);
    QCOMPARE(results().caption(1), u"IPv4 Address"_s);
    click("PushButton2");
    QCOMPARE(results().rows(), 4);
    QCOMPARE(rowCells(results(), 0),
             (QStringList { u"::ffff:192.0.2.33"_s, u"192.0.2.33"_s, u"mapped"_s, {} }));
    QCOMPARE(rowCells(results(), 1),
             (QStringList { u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s, u"192.0.2.45"_s, u"teredo"_s,
                            u"server 65.54.227.120, port 40000"_s }));
    QCOMPARE(rowCells(results(), 2), (QStringList { u"2001:db8::1"_s, {}, {}, {} }));
    const QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY2(reports[0].contains(u"No IPv4 address: \"2001:db8::1\""_s), qPrintable(reports[0]));
    QVERIFY(reports[0].contains(u"Form2.PushButton2_Click at line 122"_s));
    QVERIFY(reports[1].contains(u"\"10.0.0.0-10.0.2.255\" is not IPv6 text"_s));

    // A run by one embedding, then any carrier again: rows that failed by it decode.
    auto* embedding = m_form->findChild<QComboBox*>(u"EmbeddingBox"_s);
    QTest::keyClick(embedding, Qt::Key_Down);
    QCOMPARE(embedding->currentText(), u"mapped"_s);
    QCOMPARE(rowCells(results(), 1), (QStringList { u"2001:0:4136:e378:8000:63bf:3fff:fdd2"_s, {}, {}, {} }));
    click("PushButton2");
    QCOMPARE(m_fake->messageBoxes->errorReports().size(), 2 + 3);
    QTest::keyClick(embedding, Qt::Key_Up);
    QCOMPARE(results().subItem(1, 1), u"192.0.2.45"_s);

    QTest::mouseClick(reverseDns, Qt::LeftButton, {}, QPoint(5, reverseDns->height() / 2));
    QCOMPARE(results().caption(4), u"Reverse DNS Name"_s);
    QCOMPARE(results().subItem(0, 4), u"33.2.0.192.in-addr.arpa"_s);
    for (qsizetype row = 0; row < 3; ++row)
        tick(row);
    click("PushButton8");
    const QStringList lines = m_fake->clipboard->text.split(u"\r\n"_s);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0].split(u'\t')[2].trimmed(), u"mapped"_s);
    QVERIFY(lines[1].contains(u"\tserver 65.54.227.120, port 40000\t45.2.0.192.in-addr.arpa"_s));
    QCOMPARE(lines[2].simplified(), u"2001:db8::1"_s);

    // Back to converting: the same rows read the other way, the last column
    // now their ip6.arpa names.
    QTest::keyClick(direction, Qt::Key_Up);
    QCOMPARE(results().columns(), 6);
    QCOMPARE(results().caption(1), u" IPv6 Full Address"_s);
    QCOMPARE(rowCells(results(), 0),
             (QStringList { u"::ffff:192.0.2.33"_s,
                            {},
                            {},
                            u"0000:0000:0000:0000:0000:0000:::ffff:192.0.2.33"_s,
                            u"::::ffff:192.0.2.33"_s,
                            {} }));
    click("PushButton2");
    QCOMPARE(results().rows(), 5);
    QCOMPARE(results().subItem(3, 5).split(u' ').size(), 2);
    QCOMPARE(results().subItem(4, 5), u"2.0.0.0.a.0."_s + u"0."_s.repeated(24) + u"ip6.arpa"_s);
}
