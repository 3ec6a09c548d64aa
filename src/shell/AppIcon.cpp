#include "AppIcon.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF tile(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    QLinearGradient gradient(tile.topLeft(), tile.bottomRight());
    gradient.setColorAt(0, QColor(0x1f, 0x6f, 0xc5));
    gradient.setColorAt(1, QColor(0x0b, 0x3d, 0x7a));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(tile, size * 0.18, size * 0.18);

    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(qMax(6, size * 45 / 100));
    painter.setFont(font);

    const QRectF left(tile.left(), tile.top(), tile.width() * 0.42, tile.height());
    const QRectF right(tile.left() + tile.width() * 0.58, tile.top(), tile.width() * 0.42, tile.height());
    painter.setPen(QColor(0xd6, 0xe6, 0xf7));
    painter.drawText(left, Qt::AlignCenter, QStringLiteral("4"));
    painter.setPen(Qt::white);
    painter.drawText(right, Qt::AlignCenter, QStringLiteral("6"));

    // The arrow between the two digits.
    const qreal mid = tile.center().y();
    const qreal from = tile.left() + tile.width() * 0.40;
    const qreal to = tile.left() + tile.width() * 0.60;
    const qreal head = size * 0.07;
    QPainterPath arrow;
    arrow.moveTo(from, mid);
    arrow.lineTo(to, mid);
    arrow.moveTo(to - head, mid - head);
    arrow.lineTo(to, mid);
    arrow.lineTo(to - head, mid + head);
    painter.setPen(QPen(QColor(0xff, 0xc1, 0x07), qMax(1.0, size * 0.05), Qt::SolidLine, Qt::RoundCap,
                        Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arrow);
    return pixmap;
}

} // namespace

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(drawIcon(size));
    return icon;
}
