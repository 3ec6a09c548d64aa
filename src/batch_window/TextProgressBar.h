#pragma once

#include "export/ProgressDisplay.h"

#include <QWidget>

// A progress bar with a text of its own on it, range 0 to 100, set as a real
// number. Setting it only schedules a repaint, so a long run can set it for
// every row and the bar is painted when the window next gets an event-loop turn.
class TextProgressBar final : public QWidget, public ProgressDisplay
{
    Q_OBJECT

public:
    explicit TextProgressBar(QWidget* parent = nullptr);

    void setValue(double value) override;
    void setText(const QString& text) override;
    double value() const { return m_value; }
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_value = 0;
    QString m_text;
    int m_shownSteps = 0;
};
