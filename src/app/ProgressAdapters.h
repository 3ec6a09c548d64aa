#pragma once

#include "TerminalProgress.h"

#include "export/ProgressDisplay.h"
#include "shell/Yielder.h"

// The window's exports report progress to a ProgressDisplay and pass a
// Yielder at every row and cell; these pass both on to the tool's terminal
// progress bar.

// Passes the text file writer's share done on to the bar, never backwards:
// the writer shows 1, 10 and 20 for its first steps before the rows count
// from 0 again, and 0 when it is done. Its texts are the window's ("Done.",
// "Progress Bar"); the bar keeps the tool's own.
class WriterProgress final : public ProgressDisplay
{
public:
    explicit WriterProgress(TerminalProgress& bar)
        : m_bar(bar)
    {
    }

    void setValue(double value) override;
    void setText(const QString&) override { }

private:
    TerminalProgress& m_bar;
    double m_shown = 0;
};

// Never yields or stops, but lets the bar (which may be null) move.
class ProgressYielder final : public Yielder
{
public:
    explicit ProgressYielder(TerminalProgress* bar)
        : m_bar(bar)
    {
    }

    void yield() override;
    bool stopRequested() const override { return false; }

private:
    TerminalProgress* m_bar;
};
