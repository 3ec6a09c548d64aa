// End-to-end benchmarks through the real windows on the offscreen platform.
//
//     quadrix-bench                 every scenario, each in a process of its own
//     quadrix-bench run 1000000     one scenario
//
// Each scenario prints one line: <scenario> <rows> <seconds> <peak_rss_bytes>
// and, where it has them, further fields (see the scenario's comment).

#include "batch_window/Form2.h"
#include "export/ListModel.h"
#include "export/XlsxWorkbook.h"
#include "shell/Yielder.h"
#include "single_window/Form1.h"

#include "FakePlatform.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

qint64 peakRssBytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

qint64 currentRssBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// A list of addresses, CR LF after each, about 15 bytes a row.
QByteArray addressList(qint64 rows)
{
    QByteArray bytes;
    bytes.reserve(rows * 16);
    for (qint64 i = 0; i < rows; ++i) {
        bytes += QByteArray::number(100 + i % 150) + '.' + QByteArray::number((i >> 16) & 0xFF) + '.'
            + QByteArray::number((i >> 8) & 0xFF) + '.' + QByteArray::number(i & 0xFF) + "\r\n";
    }
    return bytes;
}

void writeAddressList(const QString& path, qint64 rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(addressList(rows)) < 0)
        qFatal("cannot write the list file");
}

// The batch window as a user reaches it, on fakes so no box waits for a click.
struct BatchWindow
{
    FakePlatform fake;
    Form1 single { *fake.platform };
    Form2* form = nullptr;

    BatchWindow()
    {
        single.show();
        single.findChild<QPushButton*>(u"PushButton1"_s)->click();
        form = single.batchWindow();
        QCoreApplication::processEvents();
    }

    void click(const char* name) { form->findChild<QPushButton*>(QLatin1StringView(name))->click(); }

    void load(const QString& path)
    {
        fake.fileDialogs->openAnswers = { { path } };
        click("PushButton4");
    }
};

// Records the longest time the event loop went without a turn.
class TurnGapMeter
{
public:
    TurnGapMeter()
    {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceTurn.restart()); });
    }
    void start()
    {
        m_sinceTurn.start();
        m_timer.start(0);
    }
    qint64 stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_sinceTurn.elapsed());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTurn;
    qint64 m_longest = 0;
};

void print(const char* scenario, qint64 rows, double seconds, const QString& extra = QString())
{
    std::printf("%s %lld %.3f %lld%s\n", scenario, static_cast<long long>(rows), seconds,
                static_cast<long long>(peakRssBytes()), extra.isEmpty() ? "" : qPrintable(u' ' + extra));
    std::fflush(stdout);
}

// load N: a CR LF list file of N addresses into the input list.
void loadScenario(qint64 rows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    writeAddressList(path, rows);
    BatchWindow window;
    QElapsedTimer timer;
    timer.start();
    window.load(path);
    QCoreApplication::processEvents(); // the view takes the rows
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (window.form->ListView1()->rows() != rows)
        qFatal("loaded %lld rows", static_cast<long long>(window.form->ListView1()->rows()));
    print("load", rows, seconds, u"%1-bytes"_s.arg(QFileInfo(path).size()));
}

// paste N: the same N addresses as "load N", CR LF after each, pasted into
// the input list with Ctrl+V. The window takes no event-loop turn meanwhile,
// so the time is how long it stays frozen. Extra field: the text's length.
void pasteScenario(qint64 rows)
{
    BatchWindow window;
    window.fake.clipboard->text = QString::fromLatin1(addressList(rows));
    QWidget* list = window.form->findChild<QWidget*>(u"ListView1"_s);
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QElapsedTimer timer;
    timer.start();
    QCoreApplication::sendEvent(list, &paste);
    QCoreApplication::processEvents(); // the view takes the rows
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (window.form->ListView1()->rows() != rows)
        qFatal("pasted %lld rows", static_cast<long long>(window.form->ListView1()->rows()));
    print("paste", rows, seconds, u"%1-characters"_s.arg(window.fake.clipboard->text.size()));
}

// run N / run-per-row N: the batch run over N input rows with the window shown.
// Extra fields: the longest gap between two event-loop turns in ms, the bytes
// per row the results add, and the bytes per row above the empty window.
void runScenario(qint64 rows, int yieldBudgetMs, const char* name)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    writeAddressList(path, rows);
    BatchWindow window;
    const qint64 emptyWindow = currentRssBytes();
    window.load(path);
    QCoreApplication::processEvents();
    const qint64 loaded = currentRssBytes();
    window.form->setYieldBudget(yieldBudgetMs);

    TurnGapMeter gaps;
    QElapsedTimer timer;
    gaps.start();
    timer.start();
    window.click("PushButton2");
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 longestGap = gaps.stop();
    const qint64 after = currentRssBytes();
    if (window.form->ListView2()->rows() != rows)
        qFatal("converted %lld rows", static_cast<long long>(window.form->ListView2()->rows()));
    print(name, rows, seconds,
          u"%1 results-bytes-per-row=%2 bytes-per-row-above-empty-window=%3"_s.arg(longestGap)
              .arg((after - loaded) / double(rows), 0, 'f', 1)
              .arg((after - emptyWindow) / double(rows), 0, 'f', 1));
}

// The batch window after a run over `rows` addresses, every results row ticked.
std::unique_ptr<BatchWindow> tickedResults(qint64 rows, const QString& listPath)
{
    writeAddressList(listPath, rows);
    auto window = std::make_unique<BatchWindow>();
    window->load(listPath);
    window->click("PushButton2");
    ListModel* results = window->form->ListView2();
    results->publishRows();
    for (qint64 row = 0; row < rows; ++row)
        results->setChecked(row, true);
    QCoreApplication::processEvents();
    return window;
}

// save N: "Save Results As Text File" with N ticked rows. Extra fields: the
// file's size and the longest gap between two event-loop turns in ms.
void saveScenario(qint64 rows)
{
    QTemporaryDir dir;
    const auto window = tickedResults(rows, dir.filePath(u"list.txt"_s));
    const QString path = dir.filePath(u"results.txt"_s);
    window->fake.fileDialogs->saveAnswers = { path };
    TurnGapMeter gaps;
    QElapsedTimer timer;
    gaps.start();
    timer.start();
    window->click("PushButton3");
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 longestGap = gaps.stop();
    if (!window->fake.messageBoxes->errorReports().isEmpty())
        qFatal("the save reported an error");
    print("save", rows, seconds, u"%1-bytes longest-gap-ms=%2"_s.arg(QFileInfo(path).size()).arg(longestGap));
}

// copy N: "Copy Results To Clipboard" with N ticked rows. Extra fields: the
// text's length and the longest gap between two event-loop turns in ms.
void copyScenario(qint64 rows)
{
    QTemporaryDir dir;
    const auto window = tickedResults(rows, dir.filePath(u"list.txt"_s));
    TurnGapMeter gaps;
    QElapsedTimer timer;
    gaps.start();
    timer.start();
    window->click("PushButton8");
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 longestGap = gaps.stop();
    print("copy", rows, seconds,
          u"%1-characters longest-gap-ms=%2"_s.arg(window->fake.clipboard->text.size()).arg(longestGap));
}

// xlsx N: the workbook of N ticked rows written as the spreadsheet export
// writes it, up to the file Calc would be given, yielding as the window's
// export yields. Extra fields: the file's size and the longest gap between
// two event-loop turns in ms.
void xlsxScenario(qint64 rows)
{
    QTemporaryDir dir;
    const auto window = tickedResults(rows, dir.filePath(u"list.txt"_s));
    const QString path = dir.filePath(u"results.xlsx"_s);
    EventLoopYielder yielder;
    TurnGapMeter gaps;
    QElapsedTimer timer;
    gaps.start();
    timer.start();
    if (!writeWorkbookFile(*window->form->ListView2(), path, yielder))
        qFatal("the workbook was not written");
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 longestGap = gaps.stop();
    print("xlsx", rows, seconds, u"%1-bytes longest-gap-ms=%2"_s.arg(QFileInfo(path).size()).arg(longestGap));
}

class PaintCounter final : public QObject
{
public:
    int take() { return std::exchange(m_paints, 0); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_paints;
        return QObject::eventFilter(watched, event);
    }

private:
    int m_paints = 0;
};

// embedding N: with N converted rows ticked, the embedding and the text style
// changed from the keyboard and the check box, one change after another,
// each timed until the events it posts (the results view's repaint among
// them) have been handled. Seconds: the median change. Extra fields: the
// slowest change in ms and the number of changes timed.
void embeddingScenario(qint64 rows)
{
    QTemporaryDir dir;
    const auto window = tickedResults(rows, dir.filePath(u"list.txt"_s));
    auto* embedding = window->form->findChild<QComboBox*>(u"EmbeddingBox"_s);
    auto* rfc5952 = window->form->findChild<QCheckBox*>(u"Rfc5952Box"_s);
    if (!embedding || !rfc5952)
        qFatal("the batch window has no embedding controls");
    ListModel* results = window->form->ListView2();
    const QModelIndex firstShorthand = results->index(0, 2);
    const auto press = [embedding](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(embedding, &event);
    };
    const std::function<void()> changes[] = {
        [&] { press(Qt::Key_Down); }, // mapped
        [&] { press(Qt::Key_Down); }, // nat64
        [&] { rfc5952->click(); },    [&] { press(Qt::Key_Up); }, // mapped
        [&] { rfc5952->click(); },    [&] { press(Qt::Key_Up); }, // compatible
    };
    // The results view's paints, to be sure each change was drawn.
    auto* view = window->form->findChild<QAbstractScrollArea*>(u"ListView2"_s);
    if (!view)
        qFatal("the batch window has no results view");
    PaintCounter paints;
    view->viewport()->installEventFilter(&paints);
    embedding->setFocus();
    QCoreApplication::processEvents();
    std::vector<double> seconds;
    for (int round = 0; round < 5; ++round) {
        for (const auto& change : changes) {
            const QString before = results->data(firstShorthand).toString();
            QElapsedTimer timer;
            timer.start();
            change();
            QCoreApplication::processEvents();
            seconds.push_back(timer.nsecsElapsed() / 1e9);
            if (results->data(firstShorthand).toString() == before)
                qFatal("a change left the results as they were");
            if (paints.take() == 0)
                qFatal("a change was not drawn");
        }
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    print("embedding", rows, median,
          u"median-ms=%1 slowest-ms=%2 changes=%3"_s.arg(median * 1e3, 0, 'f', 2)
              .arg(seconds.back() * 1e3, 0, 'f', 2)
              .arg(seconds.size()));
}

// direction N: the direction box and the reverse-DNS box switched on N
// converted rows, each switch until it is drawn; the median switch.
void directionScenario(qint64 rows)
{
    QTemporaryDir dir;
    const auto window = tickedResults(rows, dir.filePath(u"list.txt"_s));
    auto* direction = window->form->findChild<QComboBox*>(u"DirectionBox"_s);
    auto* reverseDns = window->form->findChild<QCheckBox*>(u"ReverseDnsBox"_s);
    if (!direction || !reverseDns)
        qFatal("the batch window has no direction controls");
    ListModel* results = window->form->ListView2();
    const auto press = [direction](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(direction, &event);
    };
    const std::function<void()> changes[] = {
        [&] { press(Qt::Key_Down); }, // decode
        [&] { reverseDns->click(); },
        [&] { press(Qt::Key_Up); }, // convert
        [&] { reverseDns->click(); },
    };
    auto* view = window->form->findChild<QAbstractScrollArea*>(u"ListView2"_s);
    if (!view)
        qFatal("the batch window has no results view");
    PaintCounter paints;
    view->viewport()->installEventFilter(&paints);
    direction->setFocus();
    QCoreApplication::processEvents();
    std::vector<double> seconds;
    for (int round = 0; round < 5; ++round) {
        for (const auto& change : changes) {
            const QString before = results->caption(1) + results->caption(results->columns() - 1);
            QElapsedTimer timer;
            timer.start();
            change();
            QCoreApplication::processEvents();
            seconds.push_back(timer.nsecsElapsed() / 1e9);
            if (results->caption(1) + results->caption(results->columns() - 1) == before)
                qFatal("a change left the columns as they were");
            if (paints.take() == 0)
                qFatal("a change was not drawn");
        }
    }
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    print("direction", rows, median,
          u"median-ms=%1 slowest-ms=%2 changes=%3"_s.arg(median * 1e3, 0, 'f', 2)
              .arg(seconds.back() * 1e3, 0, 'f', 2)
              .arg(seconds.size()));
}

// startup: the single-address window built, loaded and shown.
void startupScenario(qint64)
{
    QElapsedTimer timer;
    timer.start();
    FakePlatform fake;
    Form1 single(*fake.platform);
    single.show();
    QCoreApplication::processEvents();
    print("startup", 1, timer.nsecsElapsed() / 1e9);
}

const std::map<QString, std::function<void(qint64)>> Scenarios {
    { u"load"_s, loadScenario },
    { u"paste"_s, pasteScenario },
    { u"run"_s, [](qint64 rows) { runScenario(rows, 15, "run"); } },
    { u"run-per-row"_s, [](qint64 rows) { runScenario(rows, 0, "run-per-row"); } },
    { u"startup"_s, startupScenario },
    { u"save"_s, saveScenario },
    { u"copy"_s, copyScenario },
    { u"xlsx"_s, xlsxScenario },
    { u"embedding"_s, embeddingScenario },
    { u"direction"_s, directionScenario },
};

const QList<QPair<QString, qint64>> DefaultScenarios {
    { u"startup"_s, 1 },
    { u"load"_s, 1000000 },
    { u"paste"_s, 1000000 },
    { u"run"_s, 1000000 },
    // Two event-loop turns a row cost about a millisecond: a million rows would take a quarter of an hour.
    { u"run-per-row"_s, 20000 },
    { u"save"_s, 1000000 },
    { u"copy"_s, 1000000 },
    { u"xlsx"_s, 100000 },
    { u"embedding"_s, 1000000 },
    { u"direction"_s, 1000000 },
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);

    if (arguments.isEmpty()) {
        // Each scenario in a process of its own, so its peak memory is its own.
        for (const auto& [scenario, rows] : DefaultScenarios) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(), { scenario, QString::number(rows) });
            child.waitForFinished(-1);
            if (child.exitCode() != 0)
                return child.exitCode();
        }
        return 0;
    }

    const auto scenario = Scenarios.find(arguments[0]);
    bool ok = arguments.size() == 2;
    const qint64 rows = ok ? arguments[1].toLongLong(&ok) : 0;
    if (scenario == Scenarios.end() || !ok || rows < 0) {
        QTextStream(stderr) << "usage: quadrix-bench [SCENARIO ROWS]\nscenarios:";
        for (const auto& [name, run] : Scenarios)
            QTextStream(stderr) << ' ' << name;
        QTextStream(stderr) << '\n';
        return 2;
    }
    scenario->second(rows);
    return 0;
}
