#pragma once

#include "export/ProgressDisplay.h"

#include <QString>

#include <functional>

class QIODevice;

// A progress bar on one line of a terminal (standard error): a label, a bar
// and the share done, redrawn in place with a carriage return.
//
// Short work shows nothing: the bar appears only once `ShowAfterMs` have
// passed since it was made, and is then redrawn at most every
// `RedrawEveryMs`. clear() takes it off the line again, before a message is
// printed and at the end. Updates are cheap enough for every row of a
// million-row list: the clock is read only every few calls.
class TerminalProgress final : public ProgressDisplay
{
public:
    static constexpr qint64 ShowAfterMs = 500;
    static constexpr qint64 RedrawEveryMs = 100;

    // Milliseconds from any fixed start.
    using Clock = std::function<qint64()>;
    // The terminal's width in characters.
    using Width = std::function<int()>;

    // `callsPerClockRead`: how many updates pass between two reads of the
    // clock.
    TerminalProgress(QIODevice& terminal, Clock clock, Width width, int callsPerClockRead = 256);
    ~TerminalProgress() override;

    // The share done, 0 to 100; a negative value when it is not known.
    void setValue(double value) override;
    // What is being done, such as "Reading servers.txt".
    void setText(const QString& text) override;
    // A point where the bar may be redrawn, without news.
    void update();
    // Erases the bar if it is shown; it comes back at a later update.
    void clear();

    bool isShown() const { return m_shown; }

private:
    void redrawIfDue(bool readClockNow);
    void draw();

    QIODevice& m_terminal;
    Clock m_clock;
    Width m_width;
    int m_callsPerClockRead;
    int m_calls = 0;
    qint64 m_start = 0;
    qint64 m_lastDraw = 0;
    bool m_shown = false; // on the line now
    bool m_drawn = false; // drawn at least once
    double m_value = -1;
    QString m_text;
};

// The clock and the width of the real terminal behind a file descriptor.
TerminalProgress::Clock steadyClockMs();
TerminalProgress::Width terminalWidth(int fileDescriptor);
