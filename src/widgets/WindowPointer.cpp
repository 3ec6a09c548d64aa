#include "WindowPointer.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

WindowPointer::WindowPointer(QWidget* window)
    : QObject(window)
    , m_window(window)
{
    // Mouse moves over controls that do not track the mouse reach only the
    // application's event filters.
    qApp->installEventFilter(this);
}

void WindowPointer::set(MousePointer value)
{
    if (value == m_value)
        return;
    m_value = value;
    apply();
}

void WindowPointer::setCustomCursor(const QCursor& cursor)
{
    m_custom = cursor;
    if (m_value == MousePointer::Custom)
        apply();
}

QCursor WindowPointer::shownCursor() const
{
    switch (m_value) {
    case MousePointer::Hourglass:
        return QCursor(Qt::WaitCursor);
    case MousePointer::Custom:
        return m_custom.value_or(QCursor(Qt::PointingHandCursor));
    case MousePointer::Default:
        break;
    }
    return QCursor(Qt::ArrowCursor);
}

void WindowPointer::apply()
{
    if (m_value == MousePointer::Default)
        m_window->unsetCursor();
    else
        m_window->setCursor(shownCursor());
}

void WindowPointer::hoverSets(QWidget* control, MousePointer value, Parts parts)
{
    m_rules.insert(control, { value, parts });
}

const WindowPointer::HoverRule* WindowPointer::ruleFor(QWidget* underMouse) const
{
    if (const auto rule = m_rules.constFind(underMouse); rule != m_rules.cend())
        return &*rule;
    for (QWidget* ancestor = underMouse->parentWidget(); ancestor && ancestor != m_window;
         ancestor = ancestor->parentWidget()) {
        const auto rule = m_rules.constFind(ancestor);
        if (rule != m_rules.cend() && rule->parts == Parts::WithParts)
            return &*rule;
    }
    return nullptr;
}

bool WindowPointer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove || m_value == MousePointer::Hourglass || !watched->isWidgetType())
        return false;
    auto* receiver = static_cast<QWidget*>(watched);
    if (receiver->window() != m_window)
        return false;
    // A move is offered to the control under the mouse and then to its parents;
    // whichever of them this is, the control under the mouse decides.
    const QPoint position
        = m_window->mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    QWidget* underMouse = m_window->childAt(position);
    if (const HoverRule* rule = ruleFor(underMouse ? underMouse : m_window))
        set(rule->value);
    return false;
}
