// The drawn claim form: ink where the form has rules, shading and the code
// area, paper elsewhere. KESTREL_FORM_PNG=<file> keeps the rendering to look at.
#include "reports/cms1500form.h"
#include "reports/page.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace kestrel::reports;

namespace {
constexpr int Dpi = 150;

QImage renderForm()
{
    QImage image(PageWidth * Dpi / MilsPerInch, PageHeight * Dpi / MilsPerInch, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(double(Dpi) / MilsPerInch, double(Dpi) / MilsPerInch);
    drawCms1500Form(painter);
    painter.end();
    if (const QByteArray keep = qgetenv("KESTREL_FORM_PNG"); !keep.isEmpty())
        image.save(QString::fromLocal8Bit(keep));
    return image;
}

QColor at(const QImage& image, int xMils, int yMils)
{
    return image.pixelColor(xMils * Dpi / MilsPerInch, yMils * Dpi / MilsPerInch);
}
} // namespace

TEST(Cms1500Form, RedRulesShadedLinesBlackCodeWhitePaper)
{
    const QImage form = renderForm();
    // Heavy rules above box 1, between 13 and 14, at the bottom: dropout red.
    for (int y : {1315, 5320, 10495}) {
        const QColor ink = at(form, 4000, y);
        EXPECT_GT(ink.red(), 180) << y;
        EXPECT_LT(ink.green(), 120) << y;
    }
    // The upper half of service lines 1 and 6 is tinted, the lower half white.
    for (int top : {7303, 8970}) {
        const QColor shaded = at(form, 3000, top + 80), white = at(form, 3000, top + 250);
        EXPECT_EQ(shaded.red(), 250) << top;
        EXPECT_LT(shaded.green(), 240) << top;
        EXPECT_EQ(white, QColor(Qt::white)) << top;
    }
    // The code area's corner marks are black; the carrier area is paper.
    EXPECT_EQ(at(form, 310, 200), QColor(Qt::black));
    EXPECT_EQ(at(form, 6000, 400), QColor(Qt::white));
    // Nothing of the form lies where the data of box 2 prints.
    EXPECT_EQ(at(form, 1500, 1880), QColor(Qt::white));
}

#include "reports/claimform.h"

// A filled form: the data prints in black over the red form, inside its boxes.
// KESTREL_FILLED_PNG=<file> keeps the rendering.
TEST(Cms1500Form, DataPrintsBlackInsideTheBoxes)
{
    ServiceLine line;
    line.from = line.to = QStringLiteral("20261201");
    line.cpt = QStringLiteral("99213");
    line.description = QStringLiteral("OFFICE VISIT, ESTABLISHED PATIENT");
    line.units = QStringLiteral("1");
    line.pointers = QStringLiteral("A");
    line.feeCents = 12500;
    std::vector<Page> pages = claimPages({{.x = 333, .y = 1802, .text = "WWWWWWWWWWWWWWWW"}}, {line, line});
    ASSERT_EQ(pages.size(), 1u);
    pages[0].background = drawCms1500Form;
    QImage image(PageWidth * Dpi / MilsPerInch, PageHeight * Dpi / MilsPerInch, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(double(Dpi) / MilsPerInch, double(Dpi) / MilsPerInch);
    paintPage(pages[0], painter);
    painter.end();
    if (const QByteArray keep = qgetenv("KESTREL_FILLED_PNG"); !keep.isEmpty())
        image.save(QString::fromLocal8Bit(keep));
    // Box 2's text lies between its title and the rule below it.
    int dark = 0;
    for (int x = 400; x < 1500; x += 7)
        for (int y = 1830; y < 1960; y += 7)
            dark += qGray(image.pixel(x * Dpi / MilsPerInch, y * Dpi / MilsPerInch)) < 80;
    EXPECT_GT(dark, 10);
    for (int x = 400; x < 1500; x += 7)
        EXPECT_GT(qGray(image.pixel(x * Dpi / MilsPerInch, 2135 * Dpi / MilsPerInch)), 80) << x;
}
