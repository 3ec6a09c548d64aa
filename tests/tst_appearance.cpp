#include "batch_window/Form2.h"
#include "export/ListModel.h"
#include "shell/AppError.h"
#include "single_window/Form1.h"
#include "widgets/Appearance.h"
#include "widgets/WindowPointer.h"

#include "FakePlatform.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A cursor file as Windows tools write them: an icon directory of type 2 whose
// entry carries the hot spot.
QByteArray cursorFile(QPoint hotSpot)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(4, 4, 8, 20, Qt::black);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    if (!writer.write(image))
        return {};
    QByteArray bytes = buffer.data();
    qToLittleEndian<quint16>(2, bytes.data() + 2);
    qToLittleEndian<quint16>(quint16(hotSpot.x()), bytes.data() + 6 + 4);
    qToLittleEndian<quint16>(quint16(hotSpot.y()), bytes.data() + 6 + 6);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Place
{
    const char* name;
    int left, top, width, height;
};

// Every control of both windows where the design puts it, in twips of its container.
const Place Form1Places[] = {
    { "PushButton4", 120, 120, 7800, 405 },  { "Frame1", 120, 1590, 7800, 915 },
    { "Text1_1", 270, 420, 555, 285 },       { "Text1_2", 960, 420, 555, 285 },
    { "Text1_3", 1650, 420, 555, 285 },      { "Text1_4", 2340, 420, 555, 285 },
    { "Sepa1_5", 810, 420, 165, 285 },       { "Sepa1_6", 2190, 420, 165, 285 },
    { "Sepa1_7", 1500, 420, 165, 285 },      { "Shape1", 240, 390, 2685, 345 },
    { "Frame2", 120, 3060, 7800, 3855 },     { "Text2", 240, 600, 7290, 375 },
    { "Text3", 240, 1320, 7290, 375 },       { "Text4", 240, 2040, 7290, 375 },
    { "Text5", 240, 2760, 7290, 375 },       { "PushButton3", 240, 3280, 7290, 405 },
    { "Label1", 240, 360, 2400, 255 },       { "Label2", 240, 1080, 2400, 255 },
    { "Label3", 240, 1800, 3720, 255 },      { "Label4", 240, 2520, 3840, 255 },
    { "PushButton2", 120, 2610, 7800, 405 }, { "PushButton1", 120, 1140, 7800, 405 },
    { "PushButton5", 120, 630, 7800, 405 },  { "Label5", 120, 7560, 1200, 285 },
    { "Text6", 1320, 7500, 6600, 375 },      { "Label6", 120, 7950, 7800, 975 },
};

const Place Form2Places[] = {
    { "PushButton5", 120, 120, 7800, 405 },     { "ListView1", 120, 620, 7800, 1815 },
    { "PushButton1", 120, 2520, 3840, 405 },    { "PushButton6", 4080, 2520, 3840, 405 },
    { "PushButton4", 120, 3030, 3840, 405 },    { "PushButton9", 4080, 3030, 3840, 405 },
    { "PushButton11", 120, 3540, 3840, 405 },   { "PushButton10", 4080, 3540, 3840, 405 },
    { "PushButton2", 120, 4050, 7800, 405 },    { "ListView2", 120, 4545, 7800, 1815 },
    { "PushButton3", 120, 6450, 3840, 405 },    { "PushButton13", 4080, 6450, 3840, 405 },
    { "PushButton8", 120, 6960, 3840, 405 },    { "PushButton7", 4080, 6960, 3840, 405 },
    { "ProgressBar1", 120, 7480, 7800, 405 },   { "DirectionBox", 1200, 8505, 2700, 375 },
    { "ReverseDnsBox", 4020, 8505, 3900, 375 }, { "NotesLabel", 120, 8940, 7800, 465 },
};

int px(int twips)
{
    return qRound(twips / 15.0);
}

} // namespace

class TestAppearance : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void controlsWhereTheDesignPutsThem();
    void fonts();
    void withoutSkinFileTheStartUpWindowKeepsItsColours();
    void skinFileRecoloursThenHandsTheSkinOn();
    void skinFolderOfThatNameIsNoSkin();
    void cursorFileWithItsHotSpot();
    void withoutCursorFileTheHandIsThePlatformsOwn();
    void brokenCursorFileIsReportedAtLine106();
    void appearanceFileThatIsNotAFileIsNeverOpened_data();
    void appearanceFileThatIsNotAFileIsNeverOpened();
    void hoverRule();
    void hoverLeavesTheHourglassDuringARun();

private:
    void moveOver(QWidget* widget) { QTest::mouseMove(widget, widget->rect().center()); }

    std::unique_ptr<FakePlatform> m_fake;
    QTemporaryDir m_folder;
};

void TestAppearance::init()
{
    m_fake = std::make_unique<FakePlatform>();
    QVERIFY(m_folder.isValid());
    QDir(m_folder.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_folder.path()));
    m_fake->programLocation->folder = m_folder.path();
}

void TestAppearance::controlsWhereTheDesignPutsThem()
{
    Form1 single(*m_fake->platform);
    // The designed window, one row for the embedding and the text style, and
    // the address line with its label below.
    QCOMPARE(single.size(), QSize(px(8040), px(9000)));
    for (const Place& place : Form1Places) {
        const QWidget* control = single.findChild<QWidget*>(QLatin1StringView(place.name));
        QVERIFY2(control, place.name);
        QCOMPARE(control->geometry(),
                 QRect(px(place.left), px(place.top), px(place.width), px(place.height)));
    }
    QCOMPARE(single.findChild<QWidget*>(u"Text1_1"_s)->parentWidget()->objectName(), u"Frame1"_s);
    QCOMPARE(single.findChild<QWidget*>(u"Label4"_s)->parentWidget()->objectName(), u"Frame2"_s);

    Form2 batch(*m_fake->platform, &single);
    // The designed window, one row for the embedding and the text style and
    // one for the direction and the reverse-DNS column.
    QCOMPARE(batch.size(), QSize(px(8040), px(9465)));
    for (const Place& place : Form2Places) {
        const QWidget* control = batch.findChild<QWidget*>(QLatin1StringView(place.name));
        QVERIFY2(control, place.name);
        QCOMPARE(control->geometry(),
                 QRect(px(place.left), px(place.top), px(place.width), px(place.height)));
    }
}

void TestAppearance::fonts()
{
    Form1 single(*m_fake->platform);
    Form2 batch(*m_fake->platform, &single);
    const auto check = [](const QWidget* widget, const char* family, double points) {
        QVERIFY2(widget, "missing control");
        QCOMPARE(widget->font().family(), QLatin1StringView(family));
        QCOMPARE(widget->font().pointSizeF(), points);
        QVERIFY(widget->font().bold());
    };
    check(&single, "Arial", 9);
    check(single.findChild<QWidget*>(u"Label1"_s), "Arial", 9);
    check(single.findChild<QWidget*>(u"Text2"_s), "Arial", 9);
    check(single.findChild<QWidget*>(u"Text1_3"_s), "Arial", 11.25);
    check(single.findChild<QWidget*>(u"Sepa1_7"_s), "Times New Roman", 11.25);
    for (QPushButton* button : single.findChildren<QPushButton*>())
        check(button, "Arial", 11.25);
    for (QPushButton* button : batch.findChildren<QPushButton*>())
        check(button, "Arial", 11.25);
    check(batch.findChild<QWidget*>(u"ListView1"_s), "Arial", 9);
    check(batch.findChild<QWidget*>(u"ListView2"_s), "Arial", 9);
}

void TestAppearance::withoutSkinFileTheStartUpWindowKeepsItsColours()
{
    Form1 single(*m_fake->platform);
    QVERIFY(!Appearance::hasButtonFaceColor(&single));
    QVERIFY(!Appearance::hasButtonFaceColor(single.findChild<QGroupBox*>(u"Frame1"_s)));
    QVERIFY(!m_fake->skinFramework->wasCalled());

    // The batch window always takes the button face; it has no frame to
    // recolour, and its labels (the embedding's, the direction's and the
    // notes) take the window's colours.
    Form2 batch(*m_fake->platform, &single);
    QVERIFY(Appearance::hasButtonFaceColor(&batch));
    QVERIFY(batch.findChildren<QGroupBox*>().isEmpty());
    QStringList labels;
    for (const QLabel* label : batch.findChildren<QLabel*>())
        labels.append(label->objectName());
    labels.sort();
    QCOMPARE(labels, (QStringList { u"DirectionLabel"_s, u"EmbeddingLabel"_s, u"NotesLabel"_s }));
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestAppearance::skinFileRecoloursThenHandsTheSkinOn()
{
    QVERIFY(QDir(m_folder.path()).mkdir(u"x"_s));
    QVERIFY(writeFile(m_folder.filePath(u"x/o.cjs"_s), "skin"));
    m_fake->skinFramework->settings.optionFlags = 0x40;
    Form1 single(*m_fake->platform);

    QVERIFY(Appearance::hasButtonFaceColor(&single));
    for (const char* name : { "Frame1", "Frame2", "Label1", "Label2", "Label3", "Label4" })
        QVERIFY2(Appearance::hasButtonFaceColor(single.findChild<QWidget*>(QLatin1StringView(name))), name);
    for (const char* name : { "Text1_1", "Text2", "PushButton2", "Sepa1_5" })
        QVERIFY2(!Appearance::hasButtonFaceColor(single.findChild<QWidget*>(QLatin1StringView(name))), name);

    // The skin reaches the window with the file loaded and the options on,
    // the component's other option bits kept.
    const RecordingSkinFramework& skin = *m_fake->skinFramework;
    QCOMPARE(skin.appliedWindow, std::optional<qint32>(static_cast<qint32>(single.winId())));
    const RecordingSkinFramework::Settings expected { m_folder.filePath(u"x/o.cjs"_s), QString(), 0x41, true,
                                                      true };
    QVERIFY(skin.appliedSettings == expected);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestAppearance::skinFolderOfThatNameIsNoSkin()
{
    QVERIFY(QDir(m_folder.path()).mkpath(u"x/o.cjs"_s));
    Form1 single(*m_fake->platform);
    QVERIFY(!m_fake->skinFramework->wasCalled());
    QVERIFY(!Appearance::hasButtonFaceColor(&single));
}

void TestAppearance::cursorFileWithItsHotSpot()
{
    const QByteArray bytes = cursorFile(QPoint(6, 3));
    QVERIFY(!bytes.isEmpty());
    QVERIFY(writeFile(m_folder.filePath(u"HAND-M.CUR"_s), bytes));

    const QCursor cursor = Appearance::loadCursorFile(m_folder.filePath(u"HAND-M.CUR"_s));
    QCOMPARE(cursor.hotSpot(), QPoint(6, 3));
    QCOMPARE(cursor.pixmap().size(), QSize(32, 32));

    Form1 single(*m_fake->platform);
    Form2 batch(*m_fake->platform, &single);
    for (WindowPointer* pointer : { &single.pointer(), &batch.pointer() }) {
        QVERIFY(pointer->hasCustomCursor());
        pointer->set(MousePointer::Custom);
        QCOMPARE(pointer->shownCursor().hotSpot(), QPoint(6, 3));
    }
    QCOMPARE(single.cursor().hotSpot(), QPoint(6, 3));
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestAppearance::withoutCursorFileTheHandIsThePlatformsOwn()
{
    Form1 single(*m_fake->platform);
    QVERIFY(!single.pointer().hasCustomCursor());
    single.pointer().set(MousePointer::Custom);
    QCOMPARE(single.cursor().shape(), Qt::PointingHandCursor);
    single.pointer().set(MousePointer::Hourglass);
    QCOMPARE(single.cursor().shape(), Qt::WaitCursor);
    single.pointer().set(MousePointer::Default);
    QCOMPARE(single.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(m_fake->messageBoxes->shown.empty());
}

void TestAppearance::brokenCursorFileIsReportedAtLine106()
{
    QVERIFY(writeFile(m_folder.filePath(u"HAND-M.CUR"_s), "not a cursor at all"));
    QVERIFY_THROWS_EXCEPTION(AppError, Appearance::loadCursorFile(m_folder.filePath(u"HAND-M.CUR"_s)));
    Form1 single(*m_fake->platform);
    Form2 batch(*m_fake->platform, &single);
    const QStringList reports = m_fake->messageBoxes->errorReports();
    QCOMPARE(reports.size(), 2);
    QVERIFY(reports[0].contains(u"\r\nin Hexmap2021/08/31.Form1.Form_Load at line 106\r\r"_s));
    QVERIFY(reports[1].contains(u"\r\nin Hexmap2021/08/31.Form2.Form_Load at line 106\r\r"_s));
    // Start-up went on.
    QCOMPARE(single.windowTitle(), u"Quadrix Software"_s);
    QCOMPARE(batch.ListView2()->columns(), 5);
}

void TestAppearance::appearanceFileThatIsNotAFileIsNeverOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipes") << u"pipe"_s;
    QTest::newRow("folders") << u"folder"_s;
}

// A hand cursor or skin that is a named pipe or a folder is a broken file:
// the cursor is reported once per window at line 106, the skin is no skin,
// and start-up goes on without waiting for a writer that never comes.
void TestAppearance::appearanceFileThatIsNotAFileIsNeverOpened()
{
    QFETCH(QString, kind);
    QVERIFY(QDir(m_folder.path()).mkdir(u"x"_s));
    const QStringList paths { m_folder.filePath(u"HAND-M.CUR"_s), m_folder.filePath(u"x/o.cjs"_s) };
    for (const QString& path : paths) {
        if (kind == u"pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QDir().mkdir(path));
    }

    // Stands in for a writer: whoever opens a pipe for reading is let go at
    // once, and counted.
    std::atomic<bool> done = false;
    std::atomic<int> opened = 0;
    std::thread writer([&] {
        while (!done) {
            for (const QString& path : paths) {
                const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ++opened;
                    ::close(fd);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    {
        Form1 single(*m_fake->platform);
        Form2 batch(*m_fake->platform, &single);
        done = true;
        writer.join();

        QCOMPARE(opened.load(), 0);
        const QStringList reports = m_fake->messageBoxes->errorReports();
        QCOMPARE(reports.size(), 2);
        const QString message = u"Cannot read \""_s + paths[0] + u"\": it is not a file\r\n"_s;
        QVERIFY2(reports[0].startsWith(message + u"in Hexmap2021/08/31.Form1.Form_Load at line 106\r\r"_s),
                 qPrintable(reports[0]));
        QVERIFY(reports[1].startsWith(message + u"in Hexmap2021/08/31.Form2.Form_Load at line 106\r\r"_s));
        QVERIFY(!single.pointer().hasCustomCursor());
        QVERIFY(!m_fake->skinFramework->wasCalled());
        QCOMPARE(single.windowTitle(), u"Quadrix Software"_s);
        QCOMPARE(batch.ListView2()->columns(), 5);
    }
}

void TestAppearance::hoverRule()
{
    Form1 single(*m_fake->platform);
    single.show();
    QVERIFY(QTest::qWaitForWindowExposed(&single));
    WindowPointer& pointer = single.pointer();

    moveOver(single.findChild<QPushButton*>(u"PushButton2"_s));
    QCOMPARE(pointer.value(), MousePointer::Custom);
    // From a button onto a text box or a label: the hand stays.
    moveOver(single.findChild<QLineEdit*>(u"Text2"_s));
    QCOMPARE(pointer.value(), MousePointer::Custom);
    moveOver(single.findChild<QLabel*>(u"Label1"_s));
    QCOMPARE(pointer.value(), MousePointer::Custom);
    // A frame, or the window's own background, brings the arrow back.
    QTest::mouseMove(single.findChild<QGroupBox*>(u"Frame2"_s), QPoint(3, 30));
    QCOMPARE(pointer.value(), MousePointer::Default);
    moveOver(single.findChild<QPushButton*>(u"PushButton3"_s));
    QCOMPARE(pointer.value(), MousePointer::Custom);
    QTest::mouseMove(&single, QPoint(2, single.height() - 2));
    QCOMPARE(pointer.value(), MousePointer::Default);

    single.findChild<QPushButton*>(u"PushButton1"_s)->click();
    Form2* batch = single.batchWindow();
    QVERIFY(QTest::qWaitForWindowExposed(batch));
    moveOver(batch->findChild<QPushButton*>(u"PushButton13"_s));
    QCOMPARE(batch->mousePointer(), MousePointer::Custom);
    moveOver(batch->findChild<QWidget*>(u"ListView1"_s));
    QCOMPARE(batch->mousePointer(), MousePointer::Default);
    moveOver(batch->findChild<QPushButton*>(u"PushButton7"_s));
    moveOver(batch->findChild<QWidget*>(u"ProgressBar1"_s));
    QCOMPARE(batch->mousePointer(), MousePointer::Custom);
}

void TestAppearance::hoverLeavesTheHourglassDuringARun()
{
    Form1 single(*m_fake->platform);
    single.show();
    single.findChild<QPushButton*>(u"PushButton1"_s)->click();
    Form2* batch = single.batchWindow();
    batch->setYieldBudget(0);
    QVERIFY(QTest::qWaitForWindowExposed(batch));
    batch->findChild<QPushButton*>(u"PushButton11"_s)->click();

    QList<MousePointer> during;
    QTimer::singleShot(0, batch, [&] {
        moveOver(batch->findChild<QPushButton*>(u"PushButton3"_s));
        during.append(batch->mousePointer());
        QTest::mouseMove(batch, QPoint(2, 2));
        during.append(batch->mousePointer());
    });
    batch->findChild<QPushButton*>(u"PushButton2"_s)->click();
    QCOMPARE(during, (QList<MousePointer> { MousePointer::Hourglass, MousePointer::Hourglass }));
    QCOMPARE(batch->mousePointer(), MousePointer::Default);
    moveOver(batch->findChild<QPushButton*>(u"PushButton3"_s));
    QCOMPARE(batch->mousePointer(), MousePointer::Custom);
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
