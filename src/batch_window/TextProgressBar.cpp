#include "TextProgressBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

namespace {

// The bar is drawn in steps of a hundredth of a percent; a value a little
// above 100 is drawn full.
constexpr int Steps = 10000;

int stepsOf(double value)
{
    return qBound(0, qRound(value * Steps / 100.0), Steps);
}

} // namespace

TextProgressBar::TextProgressBar(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TextProgressBar::setValue(double value)
{
    m_value = value;
    const int steps = stepsOf(value);
    if (steps != m_shownSteps) {
        m_shownSteps = steps;
        update();
    }
}

void TextProgressBar::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    update();
}

void TextProgressBar::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    option.initFrom(this);
    option.minimum = 0;
    option.maximum = Steps;
    option.progress = m_shownSteps;
    option.text = m_text;
    option.textVisible = true;
    option.textAlignment = Qt::AlignCenter;
    option.state |= QStyle::State_Horizontal;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}
