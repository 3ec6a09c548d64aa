#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cmath>

// The windows are laid out in twips, 15 to a pixel at 96 dots per inch. Qt's
// logical pixels are 96-dpi pixels, so high-density screens scale them for us.
namespace Twips {

inline constexpr double PerPixel = 15.0;

constexpr int toPixels(int twips)
{
    return static_cast<int>(twips / PerPixel + 0.5);
}

inline QRect toRect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(toRect(left, top, width, height));
}

} // namespace Twips

// Arial, which fontconfig maps to the metric-compatible Liberation Sans on Linux.
inline QFont arialFont(double points, bool bold = true)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
