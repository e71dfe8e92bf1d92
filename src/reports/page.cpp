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

// Paints texts one after another, setting the painter's font and pen only
// when they change: a claim form has about a hundred texts, all in one font.
class TextPainter {
public:
    explicit TextPainter(QPainter& painter) : painter_(painter) {}

    void paint(const PlacedText& t)
    {
        if (t.text.isEmpty())
            return;
        use(t.font, t.color);
        if (t.width <= 0) {
            painter_.drawText(QPointF(t.x, t.y + ascent_), t.text);
            return;
        }
        // A control with a width shows what fits in it and no more.
        const QRect box(t.x, t.y, t.width, height_);
        painter_.save();
        painter_.setClipRect(box, Qt::IntersectClip);
        const Qt::Alignment horizontal = t.align & Qt::AlignHorizontal_Mask;
        painter_.drawText(box, int((horizontal ? horizontal : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine),
                          t.text);
        painter_.restore();
    }

private:
    void use(const QFont& font, const QColor& color)
    {
        if (!fontSet_ || font != font_) {
            font_ = font;
            fontSet_ = true;
            painter_.setFont(milsFont(font));
            const QFontMetricsF metrics(painter_.font());
            ascent_ = metrics.ascent();
            height_ = int(std::ceil(metrics.height()));
        }
        if (!colorSet_ || color != color_) {
            color_ = color;
            colorSet_ = true;
            painter_.setPen(color);
        }
    }

    QPainter& painter_;
    QFont font_;
    QColor color_;
    bool fontSet_ = false, colorSet_ = false;
    qreal ascent_ = 0;
    int height_ = 0;
};

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
    TextPainter texts(painter);
    for (const PlacedText& t : page.texts)
        texts.paint(t);
    painter.restore();
}

void scaleToMils(QPainter& painter, const QPaintDevice& device)
{
    painter.scale(double(device.logicalDpiX()) / MilsPerInch, double(device.logicalDpiY()) / MilsPerInch);
}

} // namespace kestrel::reports
