#include "reports/page.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>

namespace kestrel::reports {

QFont defaultReportFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(12);
    return font;
}

int fontHeightMils(const QFont& font)
{
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : 12.0;
    return int(std::lround(points * MilsPerInch / PointsPerInch));
}

namespace {

// The font as the painter must see it in a mils coordinate system: its size
// in pixels of the painter's logical units, so it scales with the transform.
QFont milsFont(const QFont& font)
{
    QFont f(font);
    f.setPixelSize(fontHeightMils(font));
    return f;
}

QPen pen(const QColor& color, int thickness)
{
    QPen p(color);
    p.setWidth(thickness);
    p.setCapStyle(Qt::FlatCap);
    return p;
}

void paintText(const PlacedText& t, QPainter& painter)
{
    if (t.text.isEmpty())
        return;
    painter.setFont(milsFont(t.font));
    painter.setPen(t.color);
    const QFontMetricsF metrics(painter.font());
    const int height = int(std::ceil(metrics.height()));
    if (t.width <= 0) {
        painter.drawText(QPointF(t.x, t.y + metrics.ascent()), t.text);
        return;
    }
    // A control with a width shows what fits in it and no more.
    const QRect box(t.x, t.y, t.width, height);
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    const Qt::Alignment horizontal = t.align & Qt::AlignHorizontal_Mask;
    painter.drawText(box, int((horizontal ? horizontal : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine),
                     t.text);
    painter.restore();
}

} // namespace

void paintPage(const Page& page, QPainter& painter)
{
    painter.save();
    if (page.background)
        page.background(painter);
    for (const PlacedBox& b : page.boxes) {
        painter.setPen(b.outline.isValid() ? pen(b.outline, b.thickness) : QPen(Qt::NoPen));
        painter.setBrush(b.fill.isValid() ? QBrush(b.fill) : QBrush(Qt::NoBrush));
        painter.drawRect(b.rect);
    }
    for (const PlacedRule& r : page.rules) {
        painter.setPen(pen(r.color, r.thickness));
        painter.drawLine(r.x1, r.y1, r.x2, r.y2);
    }
    painter.setBrush(Qt::NoBrush);
    for (const PlacedText& t : page.texts)
        paintText(t, painter);
    painter.restore();
}

void scaleToMils(QPainter& painter, const QPaintDevice& device)
{
    painter.scale(double(device.logicalDpiX()) / MilsPerInch, double(device.logicalDpiY()) / MilsPerInch);
}

} // namespace kestrel::reports
