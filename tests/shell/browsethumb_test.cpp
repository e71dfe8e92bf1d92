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

TEST(BrowseThumbTable, AlphabetIsTheUpperCaseLettersInCodeOrder)
{
    const std::string& a = ThumbTable::alphabet();
    ASSERT_GE(a.size(), 26u);
    EXPECT_EQ(a.substr(0, 26), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    for (std::size_t i = 1; i < a.size(); ++i)
        EXPECT_LT(static_cast<unsigned char>(a[i - 1]), static_cast<unsigned char>(a[i]));
    // No lower-case letters, no digits, no letters without case.
    EXPECT_EQ(a.find('a'), std::string::npos);
    EXPECT_EQ(a.find('5'), std::string::npos);
    EXPECT_EQ(a.find('\xDF'), std::string::npos);  // sharp s
    EXPECT_NE(a.find('\xC4'), std::string::npos);  // A umlaut
    EXPECT_EQ(a.size(), 60u);
}

TEST(BrowseThumbTable, TextInterpolationOnAKnownPair)
{
    // Prefix "AB"; "DOME" and "SCES" read in base 61 (60 letters):
    // low = 4*61^3 + 15*61^2 + 13*61 + 5 = 964537, high = 4324126,
    // step = (4324126 - 964537) / 99 = 33935 (truncated).
    ThumbTable t = ThumbTable::fromText("ABDOMEN", "ABSCESS", 48);
    EXPECT_EQ(text(t.entry(1)), "ABDOME");
    EXPECT_EQ(text(t.entry(100)), "ABSCES");
    // Entry 2: 998472 = 4, 24, 20, 24 -> D X T X.
    EXPECT_EQ(text(t.entry(2)), "ABDXTX");
    // Entry 50: 964537 + 49*33935 = 2627352 = 11, 35, 5, 21 -> K, the 35th
    // letter (A umlaut, after the 26 letters, 4 letters of 0x8A..0x9F and
    // A-grave..A-tilde), E, U.
    EXPECT_EQ(text(t.entry(50)), "ABK\xC4" "EU");
    // Entries rise monotonically in byte order.
    for (int i = 2; i <= 100; ++i)
        EXPECT_LE(kestrel::shell::compareBlankPadded(text(t.entry(i - 1)), text(t.entry(i))), 0) << i;
}

TEST(BrowseThumbTable, TextInterpolationWritesDigitZeroAsBlankAndIgnoresCase)
{
    // Single letters: "A" = 1*61^3 = 226981, "B" = 453962, step 2292.
    // Entry 2 = 229273 = 1, 0, 37, 35: the 0 is written as a blank.
    ThumbTable t = ThumbTable::fromText("a", "b", 1);
    EXPECT_EQ(text(t.entry(1)), "A");
    EXPECT_EQ(text(t.entry(100)), "B");
    EXPECT_EQ(text(t.entry(2)), std::string("A ") + ThumbTable::alphabet()[36] + ThumbTable::alphabet()[34]);
}

TEST(BrowseThumbTable, ShortHighKeyIsStretchedWithTheLastLetter)
{
    // Digits are outside the alphabet and count 0; the high key "V5" is
    // shorter than the field, so it is padded with the last letter.
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
