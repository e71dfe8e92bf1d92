// Box 24 and box 28 of the claim form: positions worked out by hand from
// the form's band geometry (band top 7344 + 333 per line, main line 125
// below it, units 115, shaded line 42 above; box 28 at 5385, 9469).
#include "reports/claimform.h"

#include <gtest/gtest.h>

using namespace kestrel;
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

#include "reports/claimheader.h"

TEST(ClaimFormHeader, MarksAndNumbersFromTheClaimsRecords)
{
    ClaimRecords r;
    platform::clearRecord(data::file::Invoice, data::bytesOf(r.inv));
    platform::clearRecord(data::file::Insured1, data::bytesOf(r.in1));
    platform::clearRecord(data::file::Insured2, data::bytesOf(r.in2));
    platform::clearRecord(data::file::Patient, data::bytesOf(r.pat));
    platform::clearRecord(data::file::Provider, data::bytesOf(r.prv));
    platform::clearRecord(data::file::Payer, data::bytesOf(r.payer));
    platform::clearRecord(data::file::Referring, data::bytesOf(r.ref));
    platform::clearRecord(data::file::Facility, data::bytesOf(r.fac));
    r.inv.PAT.set(platform::Decimal(7));
    r.inv.INV.set(platform::Decimal(1));
    r.inv.OUTLAB.set("Y");           // but no lab charge: no box 20 mark
    r.inv.F11DY.set("Y");
    r.inv.F11DN.set("N");            // both marked, decided apart
    r.inv.F25X.set("SSN");
    r.in1.INS1PLAN.set("8");         // outside 1-7: no box 1 mark
    r.in2.INS2PLAN.set("3");
    r.pat.BDATE.set("19800704");
    Page page{.texts = claimHeader(r, Plan::Primary, QDate(2026, 12, 8))};
    EXPECT_EQ(at(page, 2542, 9448), "00007");
    EXPECT_EQ(at(page, 3190, 9448), "00000001");
    EXPECT_EQ(at(page, 313, 1167), "XXX");
    EXPECT_EQ(at(page, 7917, 1167), "XXX");
    EXPECT_EQ(at(page, 5433, 4469), "X");
    EXPECT_EQ(at(page, 5933, 4469), "X");
    EXPECT_EQ(at(page, 5433, 6135), "<none>");
    EXPECT_EQ(at(page, 5933, 6135), "<none>");
    EXPECT_EQ(at(page, 1933, 9469), "X");
    EXPECT_EQ(at(page, 2133, 9469), "<none>");
    EXPECT_EQ(at(page, 3365, 1792), "07");
    EXPECT_EQ(at(page, 3969, 1792), "1980");
    EXPECT_EQ(at(page, 833, 10302), "12/08/26");
    for (int x : {344, 1031, 1740, 2656, 3344, 4156, 4760})
        EXPECT_EQ(at(page, x, 1490), "<none>") << x;
    // The other plan's code drives box 1 in the other-plan variants.
    page.texts = claimHeader(r, Plan::Other, QDate(2026, 12, 8));
    EXPECT_EQ(at(page, 1740, 1490), "X");
    r.inv.F11DY.set("N");
    r.inv.F11DN.set("Y");
    r.inv.F25X.set("   ");
    r.inv.LABCHARGE.set(platform::Decimal::fromUnits(50, 2));
    page.texts = claimHeader(r, Plan::Primary, QDate(2026, 12, 8));
    EXPECT_EQ(at(page, 5433, 4469), "<none>");
    EXPECT_EQ(at(page, 5933, 4469), "<none>");
    EXPECT_EQ(at(page, 2133, 9469), "X");
    EXPECT_EQ(at(page, 5433, 6135), "X");
    EXPECT_EQ(at(page, 6533, 6135), "      0.50");
}
