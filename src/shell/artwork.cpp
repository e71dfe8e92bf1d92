#include "shell/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace kestrel::shell::artwork {

namespace {

// A kestrel gliding, wings spread, facing right, in a 100 x 60 box.
QPainterPath birdPath()
{
    QPainterPath p;
    p.moveTo(88, 26);                    // beak
    p.cubicTo(84, 22, 79, 21, 74, 23);   // crown
    p.cubicTo(66, 14, 52, 4, 30, 1);     // leading edge of the far wing
    p.cubicTo(42, 10, 50, 18, 54, 26);   // trailing edge back to the body
    p.cubicTo(44, 24, 26, 24, 6, 20);    // back towards the tail
    p.lineTo(4, 30);                     // tail tip
    p.cubicTo(24, 32, 42, 33, 52, 34);   // underside of the tail
    p.cubicTo(44, 42, 30, 52, 14, 59);   // leading edge of the near wing
    p.cubicTo(40, 54, 58, 44, 68, 35);   // trailing edge of the near wing
    p.cubicTo(75, 34, 82, 31, 88, 26);   // breast back to the beak
    p.closeSubpath();
    return p;
}

void drawBird(QPainter& painter, const QRectF& box, const QColor& colour)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / 100.0, box.height() / 60.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(birdPath());
    painter.restore();
}

QPixmap iconPixmap(int side)
{
    QPixmap pm(side, side);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile(side * 0.04, side * 0.04, side * 0.92, side * 0.92);
    QLinearGradient g(tile.topLeft(), tile.bottomRight());
    g.setColorAt(0, QColor(0xC8, 0x6A, 0x2A));  // kestrel russet
    g.setColorAt(1, QColor(0x7A, 0x32, 0x12));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(tile, side * 0.18, side * 0.18);
    drawBird(p, QRectF(side * 0.08, side * 0.24, side * 0.84, side * 0.50), QColor(0xFB, 0xF3, 0xE4));
    return pm;
}

} // namespace

QIcon productIcon()
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(iconPixmap(side));
    return icon;
}

QPixmap background(const QSize& size)
{
    const QSize s = size.isEmpty() ? QSize(1, 1) : size;
    QPixmap pm(s);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF r(QPointF(0, 0), QSizeF(s));
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(0x1F, 0x3B, 0x57));
    sky.setColorAt(1, QColor(0x0E, 0x1C, 0x2B));
    p.fillRect(r, sky);

    // A warm glow behind the emblem.
    const QPointF centre(r.width() * 0.5, r.height() * 0.42);
    const double unit = std::min(r.width(), r.height() * 1.4);
    QRadialGradient glow(centre, unit * 0.55);
    glow.setColorAt(0, QColor(0xC8, 0x6A, 0x2A, 70));
    glow.setColorAt(1, QColor(0xC8, 0x6A, 0x2A, 0));
    p.fillRect(r, glow);

    // Faint ruled lines, like a claim form's grid.
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    for (double y = 0; y < r.height(); y += 24)
        p.drawLine(QPointF(0, y), QPointF(r.width(), y));

    const double birdWidth = unit * 0.34;
    drawBird(p, QRectF(centre.x() - birdWidth / 2, centre.y() - birdWidth * 0.6, birdWidth, birdWidth * 0.6),
             QColor(0xE8, 0x9A, 0x5C, 220));

    QFont title(QStringLiteral("Sans Serif"));
    title.setBold(true);
    title.setLetterSpacing(QFont::PercentageSpacing, 115);
    title.setPixelSize(std::max(12, int(unit * 0.085)));
    p.setFont(title);
    p.setPen(QColor(0xFB, 0xF3, 0xE4));
    const QRectF titleBox(0, centre.y() + unit * 0.04, r.width(), unit * 0.11);
    p.drawText(titleBox, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("KESTREL"));

    QFont sub(title);
    sub.setBold(false);
    sub.setLetterSpacing(QFont::PercentageSpacing, 100);
    sub.setPixelSize(std::max(9, int(unit * 0.03)));
    p.setFont(sub);
    p.setPen(QColor(0xFB, 0xF3, 0xE4, 190));
    const QRectF subBox(0, titleBox.bottom(), r.width(), unit * 0.05);
    p.drawText(subBox, Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("Physician billing  \u00B7  CMS 1500 - 02/2012"));
    return pm;
}

} // namespace kestrel::shell::artwork
