#pragma once

#include <QString>

// A progress display with a value and a status text: the batch window's
// progress bar, or a terminal line in the command-line tool.
class ProgressDisplay
{
public:
    virtual ~ProgressDisplay() = default;

    // A share of 0 to 100; fractions allowed, and a value a little above 100
    // can arrive (the text writer's last rows of a large table).
    virtual void setValue(double value) = 0;
    virtual void setText(const QString& text) = 0;
};
