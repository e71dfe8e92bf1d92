// Box 24 and box 28 of the claim form: positions worked out by hand from
// the form's band geometry (band top 7344 + 333 per line, main line 125
// below it, units 115, shaded line 42 above; box 28 at 5385, 9469).
#include "reports/claimform.h"

#include <gtest/gtest.h>

using namespace kestrel::reports;

namespace {
// The text placed at exactly (x, y), or "<none>".
QString at(const Page& page, int x, int y)
{
    for (const PlacedText& t : page.texts)
        if (t.x == x && t.y == y)
            return t.text;
    return QStringLiteral("<none>");
}

ServiceLine line(long long cents)
{
    ServiceLine s;
    s.from = s.to = QStringLiteral("20260105");
    s.cpt = QStringLiteral("99213");
    s.units = QStringLiteral("1");
    s.description = QStringLiteral("OFFICE VISIT");
    s.feeCents = cents;
    return s;
}
} // namespace

TEST(ClaimFormLines, SevenLinesMakeTwoFormsEachWithHeaderAndItsOwnTotal)
{
    std::vector<ServiceLine> lines(6, line(1000));
    lines.push_back(line(2550));
    lines[0].renderingId = QStringLiteral("1234567890");
    lines[0].renderingQualifier = QStringLiteral("ZZ");
    const std::vector<PlacedText> header = {{.x = 333, .y = 1802, .text = "DOE, JANE"}};
    const std::vector<Page> pages = claimPages(header, lines);
    ASSERT_EQ(pages.size(), 2u);
    for (const Page& page : pages)
        EXPECT_EQ(at(page, 333, 1802), "DOE, JANE");
    EXPECT_EQ(at(pages[0], 5385, 9469), "    60.00");
    EXPECT_EQ(at(pages[1], 5385, 9469), "    25.50");
    // Line 1: dates as MM DD YY, units 10 higher, the shaded line above.
    EXPECT_EQ(at(pages[0], 406, 7469), "01");
    EXPECT_EQ(at(pages[0], 958, 7469), "26");
    EXPECT_EQ(at(pages[0], 1854, 7469), "26");
    EXPECT_EQ(at(pages[0], 2802, 7469), "99213");
    EXPECT_EQ(at(pages[0], 5167, 7469), "    10.00");
    EXPECT_EQ(at(pages[0], 6125, 7459), "1");
    EXPECT_EQ(at(pages[0], 438, 7302), "OFFICE VISIT");
    EXPECT_EQ(at(pages[0], 6750, 7302), "ZZ");
    EXPECT_EQ(at(pages[0], 7042, 7469), "1234567890");
    // Line 6 at the foot of the first form, line 7 at the top of the second;
    // a line without a Rendering record leaves 24I and 24J blank.
    EXPECT_EQ(at(pages[0], 2802, 9134), "99213");
    EXPECT_EQ(at(pages[1], 2802, 7469), "99213");
    EXPECT_EQ(at(pages[1], 6750, 7302), "<none>");
    EXPECT_EQ(at(pages[1], 7042, 7469), "<none>");
}

TEST(ClaimFormLines, ClaimWithoutLinesPrintsOneFormWithBlankTotal)
{
    const std::vector<Page> pages = claimPages({{.x = 333, .y = 1802, .text = "DOE, JANE"}}, {});
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].texts.size(), 1u);
    EXPECT_EQ(at(pages[0], 5385, 9469), "<none>");
}

TEST(ClaimFormValues, DatesAmountsAndTransactionCodes)
{
    const DateParts d = dateParts(QStringLiteral("20261231"));
    EXPECT_EQ(d.month + d.day + d.year, "12312026");
    EXPECT_EQ(dateParts(QStringLiteral("20260704"), true).year, "26");
    EXPECT_TRUE(dateParts(QStringLiteral("        ")).month.isEmpty());
    EXPECT_EQ(amountText(123456), "  1234.56");
    EXPECT_EQ(amountText(-1550, 10), "    -15.50");
    EXPECT_EQ(amountText(5), "     0.05");
    EXPECT_TRUE(amountText(0).isEmpty());
    EXPECT_TRUE(isTransactionCode(QStringLiteral("00003  ")));
    EXPECT_FALSE(isTransactionCode(QStringLiteral("00006")));
    EXPECT_FALSE(isTransactionCode(QStringLiteral("99213")));
}
