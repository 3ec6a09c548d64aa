#include "BuildConfig.h"
#include "app/ProgramStart.h"
#include "app/StartCheck.h"
#include "batch_window/Form2.h"
#include "export/ListModel.h"
#include "single_window/Form1.h"

#include "FakePlatform.h"

#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

const QString IconFolder = QStringLiteral(QUADRIX_SOURCE_DIR "/data/icons");

// The committed renderings: one PNG per size folder, as the desktop gets them.
QList<QImage> shippedIcons()
{
    QList<QImage> icons;
    const QStringList folders = QDir(IconFolder).entryList({ u"*x*"_s }, QDir::Dirs);
    for (const QString& folder : folders)
        icons.append(
            QImage(IconFolder + u'/' + folder + u"/quadrix.png"_s).convertToFormat(QImage::Format_ARGB32));
    return icons;
}

// Pixmaps hold premultiplied colours, so both sides are compared that way.
QImage iconAt(const QIcon& icon, int size)
{
    return icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The share of pixels that differ clearly; renderers of different versions
// antialias edges a little differently, an edited drawing differs outright.
double differingShare(const QImage& a, const QImage& b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int most = std::max({ std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                        std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q)) });
            differing += most > 24 ? 1 : 0;
        }
    }
    return double(differing) / (a.width() * a.height());
}

struct Run
{
    int exitCode = -1;
    QString output;
};

Run runProgram(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUADRIX_PROGRAM_PATH), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return { process.exitCode(), QString::fromLocal8Bit(process.readAll()) };
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void windowsShowTheShippedIcon();
    void shippedIconsAreTheSvgRendered();
    void shownWindowEndsTheLoopWithZero();
    void windowNeverShownEndsTheLoopWithOne();
    void windowClosedBeforeShowingEndsTheLoopWithOne();
    void programSmokeStartAndArguments();
    void listFilesOnTheCommandLineOpenTheBatchWindow();
};

void TestDesktop::windowsShowTheShippedIcon()
{
    const QList<QImage> icons = shippedIcons();
    QCOMPARE(icons.size(), 3);

    FakePlatform fake;
    Form1 single(*fake.platform);
    single.show();
    QTest::mouseClick(single.findChild<QPushButton*>(u"PushButton1"_s), Qt::LeftButton);
    QVERIFY(single.batchWindow());
    const QIcon batchIcon = single.batchWindow()->windowIcon();

    for (const QImage& shipped : icons) {
        QVERIFY(!shipped.isNull());
        const QImage expected = shipped.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(iconAt(single.windowIcon(), shipped.width()), expected);
        QCOMPARE(iconAt(batchIcon, shipped.width()), expected);
    }
}

void TestDesktop::shippedIconsAreTheSvgRendered()
{
    const QString renderer = QStandardPaths::findExecutable(u"rsvg-convert"_s);
    if (renderer.isEmpty())
        QSKIP("rsvg-convert (package librsvg2-bin) is not installed");
    QTemporaryDir scratch;
    for (const QImage& shipped : shippedIcons()) {
        const QString size = QString::number(shipped.width());
        const QString rendered = scratch.filePath(size + u".png"_s);
        QCOMPARE(QProcess::execute(renderer,
                                   { u"--width"_s, size, u"--height"_s, size, IconFolder + u"/quadrix.svg"_s,
                                     u"--output"_s, rendered }),
                 0);
        const QImage fresh = QImage(rendered).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(fresh.size(), shipped.size());
        QVERIFY2(differingShare(fresh, shipped) < 0.002,
                 qPrintable(u"%1 px differs from the SVG; run scripts/make-icons.sh"_s.arg(size)));
    }
}

void TestDesktop::shownWindowEndsTheLoopWithZero()
{
    QWidget window;
    exitOnceShown(window, std::chrono::seconds(20));
    window.show();
    QCOMPARE(QCoreApplication::exec(), 0);
}

void TestDesktop::windowNeverShownEndsTheLoopWithOne()
{
    QWidget window;
    exitOnceShown(window, std::chrono::milliseconds(200));
    QCOMPARE(QCoreApplication::exec(), 1);
}

void TestDesktop::windowClosedBeforeShowingEndsTheLoopWithOne()
{
    auto* window = new QWidget;
    exitOnceShown(*window, std::chrono::milliseconds(300));
    QTimer::singleShot(0, window, [window] { delete window; });
    QCOMPARE(QCoreApplication::exec(), 1);
}

void TestDesktop::programSmokeStartAndArguments()
{
    const Run smoke = runProgram({ u"--smoke"_s });
    QVERIFY2(smoke.exitCode == 0, qPrintable(smoke.output));
    // A list file opened from the desktop: the batch window is the one shown.
    const Run withList = runProgram({ u"--smoke"_s, QStringLiteral(QUADRIX_SOURCE_DIR "/README.md") });
    QVERIFY2(withList.exitCode == 0, qPrintable(withList.output));

    const Run version = runProgram({ u"--version"_s });
    QCOMPARE(version.exitCode, 0);
    QVERIFY2(version.output.contains(u"quadrix " QUADRIX_VERSION ""_s), qPrintable(version.output));

    const Run unknown = runProgram({ u"--no-such-option"_s });
    QCOMPARE(unknown.exitCode, 1);
    QVERIFY2(unknown.output.contains(u"no-such-option"_s), qPrintable(unknown.output));
}

// As the desktop's "open with" starts it: the batch window comes up with the
// files loaded in order, and a file that cannot be read gets the load
// button's message; without files the single-address window comes up.
void TestDesktop::listFilesOnTheCommandLineOpenTheBatchWindow()
{
    QTemporaryDir dir;
    QFile list(dir.filePath(u"hosts.txt"_s));
    QVERIFY(list.open(QIODevice::WriteOnly) && list.write("10.0.0.1\r\n10.0.0.2\r\n") > 0);
    list.close();
    const QString missing = dir.filePath(u"gone.txt"_s);

    const ProgramStart start = readProgramStart({ u"quadrix"_s, list.fileName(), missing, list.fileName() });
    QVERIFY(!start.smoke);
    QCOMPARE(start.listFiles, (QStringList { list.fileName(), missing, list.fileName() }));
    QVERIFY(readProgramStart({ u"quadrix"_s, u"--smoke"_s }).smoke);

    FakePlatform fake;
    Form1 single(*fake.platform);
    QWidget& shown = showFirstWindow(single, start.listFiles);
    Form2* batch = single.batchWindow();
    QVERIFY(batch);
    QCOMPARE(&shown, batch);
    QVERIFY(batch->isVisible());
    QVERIFY(!single.isVisible());
    QStringList rows;
    for (qsizetype row = 0; row < batch->ListView1()->rows(); ++row)
        rows.append(batch->ListView1()->text(row));
    QCOMPARE(rows, (QStringList { u"10.0.0.1"_s, u"10.0.0.2"_s, u"10.0.0.1"_s, u"10.0.0.2"_s }));
    QCOMPARE(fake.messageBoxes->texts(), QStringList { u"File not found"_s });

    FakePlatform plain;
    Form1 alone(*plain.platform);
    QCOMPARE(&showFirstWindow(alone, {}), &alone);
    QVERIFY(alone.isVisible());
    QVERIFY(!alone.batchWindow());
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
