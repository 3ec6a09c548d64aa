#pragma once

#include "MousePointer.h"

#include <QCursor>
#include <QHash>
#include <QObject>

#include <optional>

class QWidget;

// A window's mouse pointer value and the cursor it shows: the arrow for 0, the
// hourglass for 11, and for 99 the window's custom icon (the hand cursor file)
// or, without one, the platform's pointing hand.
//
// The hover rule: when the mouse moves over a control registered with
// hoverSets(), the window's pointer becomes that control's value, unless it is
// the hourglass of a long operation. Only the control right under the mouse
// counts; moving over anything else (a text box, a caption) leaves the value
// as it was.
class WindowPointer final : public QObject
{
    Q_OBJECT

public:
    explicit WindowPointer(QWidget* window);

    MousePointer value() const { return m_value; }
    void set(MousePointer value);

    // The window's custom icon, shown for the value 99.
    void setCustomCursor(const QCursor& cursor);
    bool hasCustomCursor() const { return m_custom.has_value(); }
    QCursor shownCursor() const;

    enum class Parts { Exact, WithParts };
    // With WithParts, the control's own child widgets (a list's viewport,
    // header and scroll bars) count as the control.
    void hoverSets(QWidget* control, MousePointer value, Parts parts = Parts::Exact);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct HoverRule
    {
        MousePointer value;
        Parts parts;
    };

    void apply();
    const HoverRule* ruleFor(QWidget* underMouse) const;

    QWidget* m_window;
    MousePointer m_value = MousePointer::Default;
    std::optional<QCursor> m_custom;
    QHash<const QWidget*, HoverRule> m_rules;
};
