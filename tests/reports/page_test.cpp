// Pages: the layout text tests compare, and painting in mils at any resolution.
#include "reports/layoutwriter.h"
#include "reports/page.h"

#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <gtest/gtest.h>

using namespace kestrel::reports;

TEST(PageLayout, LinesPerTextWithPageNumbersAndQuotes)
{
    Page first;
    first.texts.push_back({.x = 250, .y = 1000, .width = 0, .text = "SMITH, JOHN"});
    first.texts.push_back({.x = 7000, .y = 10500, .width = 1200, .text = "12.50"});
    Page second;
    second.texts.push_back({.x = 0, .y = 0, .width = 300, .text = "say \"X\""});
    QString text;
    QTextStream out(&text);
    writeLayout({first, Page{}, second}, out);
    out.flush();
    EXPECT_EQ(text, "1,250,1000,0,\"SMITH, JOHN\"\n"
                    "1,7000,10500,1200,12.50\n"
                    "3,0,0,300,\"say \"\"X\"\"\"\n");
}

namespace {
// Dark pixels of an image in a column range, all rows.
int darkPixels(const QImage& image, int fromX, int toX)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = fromX; x < toX; ++x)
            n += qGray(image.pixel(x, y)) < 128;
    return n;
}

QImage paintAt(const Page& page, int dpi)
{
    QImage image(PageWidth * dpi / MilsPerInch, PageHeight * dpi / MilsPerInch, QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
    image.fill(Qt::white);
    QPainter painter(&image);
    scaleToMils(painter, image);
    paintPage(page, painter);
    return image;
}
} // namespace

TEST(PagePaint, TextAnchoredTopLeftClippedAtWidthAndScaledWithResolution)
{
    Page page;
    // A long text in a one-inch control from (1", 1"), and the same text unclipped lower.
    page.texts.push_back({.x = 1000, .y = 1000, .width = 1000, .text = "WWWWWWWWWWWWWWWWWWWW"});
    page.texts.push_back({.x = 1000, .y = 3000, .width = 0, .text = "WWWWWWWWWWWWWWWWWWWW"});
    page.rules.push_back({.x1 = 0, .y1 = 5000, .x2 = PageWidth, .y2 = 5000, .thickness = 20});
    for (int dpi : {72, 150}) {
        SCOPED_TRACE(dpi);
        const QImage image = paintAt(page, dpi);
        const int inch = dpi;
        const QImage clipped = image.copy(0, inch, image.width(), inch);
        const QImage free = image.copy(0, 3 * inch, image.width(), inch);
        EXPECT_EQ(darkPixels(clipped, 0, inch), 0);            // nothing left of its corner
        EXPECT_GT(darkPixels(clipped, inch, 2 * inch), 0);
        EXPECT_EQ(darkPixels(clipped, 2 * inch + 1, image.width()), 0);  // cut at its width
        EXPECT_GT(darkPixels(free, 2 * inch + 1, image.width()), 0);
        // 12 points is a sixth of an inch: the text's ink lies within that band below its top.
        int lastInkRow = 0;
        for (int y = 0; y < clipped.height(); ++y)
            if (darkPixels(clipped.copy(0, y, clipped.width(), 1), 0, clipped.width()))
                lastInkRow = y;
        EXPECT_GT(lastInkRow, inch / 12);
        EXPECT_LE(lastInkRow, inch / 6 + 2);
        EXPECT_LT(qGray(image.pixel(image.width() / 2, 5 * inch)), 128);  // the rule at 5"
    }
}
