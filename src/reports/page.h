#pragma once
// The page model every report produces: texts, rules and boxes placed in
// thousandths of an inch (mils) on a US Letter portrait sheet, measured from
// the paper's corner, plus an optional background painter (a drawn form).
//
// A page is data, not pixels: the preview, the printer and a PDF file paint
// the same page through paintPage() at their own resolution, so every copy is
// crisp and vector text stays searchable. Tests compare the placed texts.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

class QPainter;
class QPaintDevice;
class QTextStream;

namespace kestrel::reports {

// Thousandths of an inch on a US Letter portrait page, from the paper's corner.
inline constexpr int PageWidth = 8500, PageHeight = 11000;
inline constexpr int MilsPerInch = 1000;
inline constexpr int PointsPerInch = 72;

// Arial 12 regular or the platform's equivalent sans-serif.
QFont defaultReportFont();

struct PlacedText {            // one text control as placed on a page
    int x = 0, y = 0;          // top-left corner, mils
    int width = 0;             // 0: as wide as its text; else clipped at width
    QString text;
    QFont font = defaultReportFont();
    Qt::Alignment align = Qt::AlignLeft;  // within width (ignored when width is 0)
    QColor color = Qt::black;
};

struct PlacedRule {            // a straight line, mils
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int thickness = 10;
    QColor color = Qt::black;
};

struct PlacedBox {             // a rectangle, mils; fill or outline or both
    QRect rect;
    QColor fill;               // invalid: not filled
    QColor outline = Qt::black;  // invalid: no outline
    int thickness = 10;
};

struct Page {                  // one rendered page
    std::vector<PlacedText> texts;             // what tests compare
    std::vector<PlacedRule> rules;
    std::vector<PlacedBox> boxes;
    std::function<void(QPainter&)> background; // painted first, in mils; may be empty
};

// The font's height in mils (its point size at 1000 units per inch).
int fontHeightMils(const QFont& font);

// Paints a page into a painter whose coordinate system is already mils from
// the paper's corner: background, boxes, rules, then the texts. Fonts are
// sized in mils, so the result does not depend on the device's resolution.
void paintPage(const Page& page, QPainter& painter);

// Sets the painter's coordinate system to mils on `device` (which must map
// the paper's corner to its origin, as a full-page printer or a PDF writer
// without margins does).
void scaleToMils(QPainter& painter, const QPaintDevice& device);

} // namespace kestrel::reports
