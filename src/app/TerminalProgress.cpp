#include "TerminalProgress.h"

#include "shell/VisibleText.h"

#include <QIODevice>

#include <algorithm>
#include <chrono>
#include <cmath>

#include <sys/ioctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int BarWidth = 24;
// The start of the line, and erasing from the cursor to the end of the line.
constexpr char EraseLine[] = "\r\x1b[K";

} // namespace

TerminalProgress::TerminalProgress(QIODevice& terminal, Clock clock, Width width, int callsPerClockRead)
    : m_terminal(terminal)
    , m_clock(std::move(clock))
    , m_width(std::move(width))
    , m_callsPerClockRead(std::max(callsPerClockRead, 1))
    , m_start(m_clock())
{
}

TerminalProgress::~TerminalProgress()
{
    clear();
}

void TerminalProgress::setValue(double value)
{
    m_value = value;
    redrawIfDue(false);
}

void TerminalProgress::setText(const QString& text)
{
    // A new step is worth a look at the clock at once.
    // The label names list files, whose names may hold control characters.
    m_text = withVisibleControls(text);
    redrawIfDue(true);
}

void TerminalProgress::update()
{
    redrawIfDue(false);
}

void TerminalProgress::redrawIfDue(bool readClockNow)
{
    if (!readClockNow && ++m_calls < m_callsPerClockRead)
        return;
    m_calls = 0;
    const qint64 now = m_clock();
    if (now - m_start < ShowAfterMs)
        return;
    // Also after clear(): a stream of messages does not make the bar flicker.
    if (m_drawn && now - m_lastDraw < RedrawEveryMs)
        return;
    m_lastDraw = now;
    draw();
}

void TerminalProgress::draw()
{
    // One column is kept free: writing into the last one makes some
    // terminals wrap.
    const int columns = std::max(m_width() - 1, 10);
    QString line;
    if (m_value >= 0) {
        const double share = std::clamp(m_value, 0.0, 100.0);
        const int filled = int(std::lround(share / 100.0 * BarWidth));
        line = u'[' + QString(filled, u'#') + QString(BarWidth - filled, u'.') + u"] "_s
            + QString::number(int(share)).rightJustified(3) + u"% "_s;
    }
    line += m_text;
    if (line.size() > columns)
        line = line.left(columns - 1) + u'\u2026';
    m_terminal.write(EraseLine);
    m_terminal.write(line.toUtf8());
    m_shown = true;
    m_drawn = true;
}

void TerminalProgress::clear()
{
    if (!m_shown)
        return;
    m_terminal.write(EraseLine);
    m_shown = false;
}

TerminalProgress::Clock steadyClockMs()
{
    return [] {
        using namespace std::chrono;
        return qint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

TerminalProgress::Width terminalWidth(int fileDescriptor)
{
    return [fileDescriptor] {
        winsize size {};
        if (::ioctl(fileDescriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            return int(size.ws_col);
        return 80;
    };
}
