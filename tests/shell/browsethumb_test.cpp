// The thumb table: linear interpolation of numeric keys, base-(A+1)
// interpolation of text keys, and the position a key value maps to.
#include "shell/browsethumb.h"

#include <gtest/gtest.h>

using kestrel::platform::Decimal;
using kestrel::platform::FieldValue;
using kestrel::shell::ThumbTable;

namespace {

std::string text(const FieldValue& v) { return std::get<std::string>(v); }

} // namespace

TEST(BrowseThumbTable, AlphabetIsTheDigitsAndTheUpperCaseLettersInCodeOrder)
{
    const std::string& a = ThumbTable::alphabet();
    ASSERT_GE(a.size(), 36u);
    EXPECT_EQ(a.substr(0, 36), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    for (std::size_t i = 1; i < a.size(); ++i)
        EXPECT_LT(static_cast<unsigned char>(a[i - 1]), static_cast<unsigned char>(a[i]));
    // No lower-case letters, no punctuation, no letters without case.
    EXPECT_EQ(a.find('a'), std::string::npos);
    EXPECT_EQ(a.find('.'), std::string::npos);
    EXPECT_EQ(a.find('\xDF'), std::string::npos);  // sharp s
    EXPECT_NE(a.find('\xC4'), std::string::npos);  // A umlaut
    EXPECT_EQ(a.size(), 70u);
}

TEST(BrowseThumbTable, TextInterpolationOnAKnownPair)
{
    // Prefix "AB"; "DOME" and "SCES" read in base 71 (10 digits, 60 letters;
    // A is 11): low = 14*71^3 + 25*71^2 + 23*71 + 15 = 5138427,
    // high = 10446046, step = (10446046 - 5138427) / 99 = 53612 (truncated).
    ThumbTable t = ThumbTable::fromText("ABDOMEN", "ABSCESS", 48);
    EXPECT_EQ(text(t.entry(1)), "ABDOME");
    EXPECT_EQ(text(t.entry(100)), "ABSCES");
    // Entry 2: 5192039 = 14, 35, 68, 22 -> D, Y, U umlaut (the 68th), L.
    EXPECT_EQ(text(t.entry(2)), "ABDY\xDCL");
    // Entry 50: 5138427 + 49*53612 = 7765415 = 21, 49, 32, 3 -> K, E grave
    // (the 49th: 36 digits and letters, 4 letters of 0x8A..0x9F, A-grave..),
    // V, 2.
    EXPECT_EQ(text(t.entry(50)), "ABK\xC8V2");
    // Entries rise monotonically in byte order.
    for (int i = 2; i <= 100; ++i)
        EXPECT_LE(kestrel::shell::compareBlankPadded(text(t.entry(i - 1)), text(t.entry(i))), 0) << i;
}

TEST(BrowseThumbTable, TextInterpolationWritesDigitZeroAsBlankAndIgnoresCase)
{
    // Single letters: "A" = 11*71^3 = 3937021, "B" = 4294932, step 3615.
    // Entry 2 = 3940636 = 11, 0, 50, 65: the 0 is written as a blank.
    ThumbTable t = ThumbTable::fromText("a", "b", 1);
    EXPECT_EQ(text(t.entry(1)), "A");
    EXPECT_EQ(text(t.entry(100)), "B");
    EXPECT_EQ(text(t.entry(2)), std::string("A ") + ThumbTable::alphabet()[49] + ThumbTable::alphabet()[64]);
}

// Codes made of digits spread over the whole thumb: a code halfway through
// the range sits near the middle, not at one end.
TEST(BrowseThumbTable, CodesOfDigitsSpreadOverTheThumb)
{
    ThumbTable t = ThumbTable::fromText("99200", "99437", 7);
    EXPECT_EQ(t.positionFor(std::string("99200")), 0);
    const int middle = t.positionFor(std::string("99318"));
    EXPECT_GT(middle, 40);
    EXPECT_LT(middle, 60);
    EXPECT_EQ(t.positionFor(std::string("99437")), 100);
    EXPECT_LT(t.positionFor(std::string("99210")), t.positionFor(std::string("99300")));
}

TEST(BrowseThumbTable, ShortHighKeyIsStretchedWithTheLastLetter)
{
    // The high key "V5" is shorter than the field, so it is padded with the
    // last letter.
    ThumbTable t = ThumbTable::fromText("00100", "V5", 7);
    const char last = ThumbTable::alphabet().back();
    EXPECT_EQ(text(t.entry(1)), "0010");
    EXPECT_EQ(text(t.entry(100)), std::string("V5") + last + last);
}

TEST(BrowseThumbTable, PositionOfAKey)
{
    ThumbTable t = ThumbTable::fromText("ABDOMEN", "ABSCESS", 48);
    EXPECT_EQ(t.positionFor(std::string("ABA")), 0);       // below the table: entry 1 -> 0
    EXPECT_EQ(t.positionFor(std::string("ABDOME")), 0);    // equal to entry 1
    EXPECT_EQ(t.positionFor(std::string("abdomen")), 2);   // upper-cased; just past entry 1
    EXPECT_EQ(t.positionFor(std::string("ABK\xC4" "EU")), 50);
    EXPECT_EQ(t.positionFor(std::string("ABSCESS")), 100); // past the last entry: bottom
    EXPECT_EQ(t.positionFor(std::string("ZEBRA")), 100);
}

TEST(BrowseThumbTable, NumericInterpolation)
{
    ThumbTable t = ThumbTable::fromNumbers(Decimal(1), Decimal(100), 0);
    for (int i = 1; i <= 100; ++i) EXPECT_EQ(std::get<Decimal>(t.entry(i)), Decimal(i)) << i;
    EXPECT_EQ(t.positionFor(Decimal(1)), 0);
    EXPECT_EQ(t.positionFor(Decimal(50)), 50);
    EXPECT_EQ(t.positionFor(Decimal(101)), 100);

    // A span that does not divide by 99: truncated steps, exact ends.
    ThumbTable s = ThumbTable::fromNumbers(Decimal(0), Decimal(10), 0);
    EXPECT_EQ(std::get<Decimal>(s.entry(1)), Decimal(0));
    EXPECT_EQ(std::get<Decimal>(s.entry(11)), Decimal(1));   // 10*10/99 = 1
    EXPECT_EQ(std::get<Decimal>(s.entry(99)), Decimal(9));   // 98*10/99 = 9
    EXPECT_EQ(std::get<Decimal>(s.entry(100)), Decimal(10));
    EXPECT_EQ(s.positionFor(Decimal(10)), 100);

    // Kept in the key's own type: two places.
    ThumbTable m = ThumbTable::fromNumbers(Decimal::fromUnits(0, 2), Decimal::fromUnits(99, 2), 2);
    EXPECT_EQ(std::get<Decimal>(m.entry(2)), Decimal::fromUnits(1, 2));
}

TEST(BrowseThumbTable, UnbuiltTableSendsEveryNonBlankKeyToTheBottom)
{
    ThumbTable t;
    EXPECT_EQ(t.positionFor(std::string("A")), 100);
    EXPECT_EQ(t.positionFor(std::string()), 0);
    EXPECT_EQ(t.positionFor(Decimal(3)), 100);
}

TEST(BrowseThumbTable, DatesSpreadByDayAcrossMonthsAndYears)
{
    // 12/31/2023 to 03/01/2024 is 61 days (a leap February): entry k+1 is
    // 61*k/99 days on, truncated; every entry a real date, none going back.
    ThumbTable t = ThumbTable::fromDates("20231231", "20240301");
    EXPECT_EQ(text(t.entry(1)), "20231231");
    EXPECT_EQ(text(t.entry(2)), "20231231");    // 0.6 of a day
    EXPECT_EQ(text(t.entry(3)), "20240101");    // 1.2 days
    EXPECT_EQ(text(t.entry(99)), "20240229");   // 60.4 days
    EXPECT_EQ(text(t.entry(100)), "20240301");
    for (int i = 2; i <= 100; ++i) EXPECT_LE(text(t.entry(i - 1)), text(t.entry(i)));
    EXPECT_EQ(t.positionFor(std::string("20240201")), 53);  // 32 days on: first reached by entry 53

    // A blank first date (a line without one) cannot be spread by day: the
    // text interpolation takes over, and the last date is still the top.
    ThumbTable blank = ThumbTable::fromDates("        ", "20240301");
    EXPECT_EQ(blank.positionFor(std::string("20240302")), 100);
}
