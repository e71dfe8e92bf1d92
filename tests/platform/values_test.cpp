// The value types every stored figure goes through: exact decimals, packed
// BCD, dates, Windows-1252 text and the generic field read/write.
#include "platform/cp1252.h"
#include "platform/dates.h"
#include "platform/decimal.h"
#include "platform/fields.h"
#include "platform/fieldvalue.h"

#include <QString>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>

using namespace kestrel::platform;

namespace {

Decimal dec(std::string_view s)
{
    auto d = Decimal::parse(s);
    EXPECT_TRUE(d) << s;
    return d.value_or(Decimal());
}

template <std::size_t N>
std::string hex(const std::array<unsigned char, N>& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

} // namespace

// ------------------------------------------------------------------ Decimal

TEST(Decimal, ParsesTheWrittenFormsAndPrintsEveryPlace)
{
    EXPECT_EQ(dec("-15.50").toString(), "-15.50");
    EXPECT_EQ(dec("7").toString(), "7");
    EXPECT_EQ(dec("+3.").toString(), "3");
    EXPECT_EQ(dec(".25").toString(), "0.25");
    EXPECT_EQ(dec("-.05").toString(), "-0.05");
    EXPECT_EQ(dec(" 1,234.56 ").toString(), "1234.56");
    EXPECT_EQ(dec("0").toString(), "0");
    EXPECT_EQ(dec("000").toString(), "0");
    EXPECT_EQ(dec("-0.00").toString(), "0.00");
    EXPECT_EQ(Decimal::fromUnits(std::numeric_limits<std::int64_t>::min(), 2).toString(), "-92233720368547758.08");

    for (const char* bad : {"", "  ", "-", "+", ".", "1.2.3", "12a", "1e5", "--1", "1-", "$5", "0x10", "1.,5"})
        EXPECT_FALSE(Decimal::parse(bad)) << bad;
    // Thousands commas group by three; anything else would misread a decimal comma.
    EXPECT_EQ(dec("1,234,567.5").toString(), "1234567.5");
    EXPECT_EQ(dec("-12,345").toString(), "-12345");
    for (const char* bad : {"1,50", "1,5", "1,,234", "1234,567", "1,2345", "1,234,56", "1,23.5", ",5"})
        EXPECT_FALSE(Decimal::parse(bad)) << bad;
    // Too many digits for 64 bits, or more places than any field has, is not a number.
    EXPECT_FALSE(Decimal::parse("99999999999999999999"));
    EXPECT_FALSE(Decimal::parse("0.0000000000000000001"));
}

TEST(Decimal, ArithmeticIsExactAndComparesAcrossPlaces)
{
    EXPECT_EQ(dec("0.1") + dec("0.2"), dec("0.3"));
    EXPECT_EQ((dec("0.1") + dec("0.2")).toString(), "0.3");
    EXPECT_EQ((dec("10.00") - dec("15.5")).toString(), "-5.50");
    EXPECT_EQ((dec("19.99") * 3).toString(), "59.97");
    EXPECT_EQ((-dec("4.10")).toString(), "-4.10");
    Decimal sum;
    for (int i = 0; i < 1000; ++i) sum += dec("0.01");
    EXPECT_EQ(sum, Decimal(10));

    EXPECT_EQ(dec("1.50"), dec("1.5"));
    EXPECT_LT(dec("-1.5"), dec("-1.25"));
    EXPECT_LT(dec("-0.01"), Decimal(0));
    EXPECT_GT(dec("2.001"), dec("2"));
    EXPECT_LT(dec("-2.5"), dec("-2"));
    EXPECT_LT(Decimal::fromUnits(std::numeric_limits<std::int64_t>::min(), 0),
              Decimal::fromUnits(std::numeric_limits<std::int64_t>::max(), 18));

    EXPECT_EQ(dec("-1.9").truncated(), -1);
    EXPECT_EQ(dec("12345.67").wholeDigits(), 5);
    EXPECT_EQ(dec("-0.5").wholeDigits(), 0);
}

TEST(Decimal, RoundsHalfAwayFromZeroAndThrowsOnOverflow)
{
    EXPECT_EQ(dec("2.345").rescaled(2).toString(), "2.35");
    EXPECT_EQ(dec("-2.345").rescaled(2).toString(), "-2.35");
    EXPECT_EQ(dec("2.344").rescaled(2).toString(), "2.34");
    EXPECT_EQ(dec("7").rescaled(2).toString(), "7.00");

    const auto max = Decimal::fromUnits(std::numeric_limits<std::int64_t>::max(), 0);
    EXPECT_THROW(max + Decimal(1), std::overflow_error);
    EXPECT_THROW(-max - Decimal(2), std::overflow_error);
    EXPECT_THROW(max * 2, std::overflow_error);
    EXPECT_THROW(-Decimal::fromUnits(std::numeric_limits<std::int64_t>::min(), 0), std::overflow_error);
    EXPECT_THROW(max.rescaled(2), std::overflow_error);
    EXPECT_THROW(max + dec("0.5"), std::overflow_error);
}

TEST(Decimal, LeadingNumberReadsTextAsTheRuntimeDoes)
{
    EXPECT_EQ(Decimal::leadingNumber("12AB"), Decimal(12));
    EXPECT_EQ(Decimal::leadingNumber("AB"), Decimal(0));
    EXPECT_EQ(Decimal::leadingNumber("000"), Decimal(0));
    EXPECT_EQ(Decimal::leadingNumber("-1.5x"), dec("-1.5"));
    EXPECT_EQ(Decimal::leadingNumber("   42  "), Decimal(42));
    EXPECT_EQ(Decimal::leadingNumber("00004"), Decimal(4));
    EXPECT_EQ(Decimal::leadingNumber(""), Decimal(0));
    EXPECT_EQ(Decimal::leadingNumber("-"), Decimal(0));
    EXPECT_EQ(Decimal::leadingNumber(".5."), dec("0.5"));
}

// ------------------------------------------------------------------- packed

TEST(Packed, EncodesSignedBcdAndDecodesItBack)
{
    std::array<unsigned char, 5> five{};
    ASSERT_TRUE(packed::encode(dec("-15.50"), five.data(), 5, 2));
    EXPECT_EQ(hex(five), "000001550D");
    EXPECT_EQ(packed::decode(five.data(), 5, 2).toString(), "-15.50");

    ASSERT_TRUE(packed::encode(dec("7"), five.data(), 5, 2));
    EXPECT_EQ(hex(five), "000000700C");

    std::array<unsigned char, 3> three{};
    ASSERT_TRUE(packed::encode(Decimal(99999), three.data(), 3, 0));
    EXPECT_EQ(hex(three), "99999C");
    ASSERT_TRUE(packed::encode(Decimal(-99999), three.data(), 3, 0));
    EXPECT_EQ(packed::decode(three.data(), 3, 0), Decimal(-99999));
    ASSERT_TRUE(packed::encode(Decimal(0), three.data(), 3, 0));
    EXPECT_EQ(hex(three), "00000C");

    // Widest field: ten bytes, two places.
    std::array<unsigned char, 10> ten{};
    Decimal big = dec("-12345678901234567.89");
    ASSERT_TRUE(packed::encode(big, ten.data(), 10, 2));
    EXPECT_EQ(packed::decode(ten.data(), 10, 2), big);
    // The extremes of the exact numbers: what a field accepts reads back unchanged.
    for (std::int64_t units : {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
        const Decimal extreme = Decimal::fromUnits(units, 2);
        if (packed::encode(extreme, ten.data(), 10, 2)) EXPECT_EQ(packed::decode(ten.data(), 10, 2), extreme);
    }

    // Minus zero reads as zero; 0xF is a positive sign; a damaged nibble reads as 0.
    const unsigned char minusZero[] = {0x00, 0x0D};
    EXPECT_FALSE(packed::decode(minusZero, 2, 0).isNegative());
    const unsigned char unsignedF[] = {0x12, 0x3F};
    EXPECT_EQ(packed::decode(unsignedF, 2, 0), Decimal(123));
    const unsigned char damaged[] = {0x1A, 0x3C};
    EXPECT_EQ(packed::decode(damaged, 2, 0), Decimal(103));
}

TEST(Packed, RefusesWhatTheFieldCannotHoldAndLeavesItUnchanged)
{
    std::string error;
    std::array<unsigned char, 3> pat{};
    ASSERT_TRUE(packed::encode(Decimal(12), pat.data(), 3, 0));
    const auto before = pat;

    EXPECT_FALSE(packed::encode(Decimal(100000), pat.data(), 3, 0, &error)); // a patient number of 100000
    EXPECT_NE(error.find("99999"), std::string::npos) << error;
    EXPECT_FALSE(packed::encode(Decimal(-100000), pat.data(), 3, 0));
    EXPECT_EQ(pat, before);

    std::array<unsigned char, 2> prv{};
    EXPECT_TRUE(packed::encode(Decimal(999), prv.data(), 2, 0));
    EXPECT_FALSE(packed::encode(Decimal(1000), prv.data(), 2, 0));

    // A claim number carried into a 4-byte line field: 9,999,999 at most.
    std::array<unsigned char, 4> itm{};
    EXPECT_TRUE(packed::encode(Decimal(9999999), itm.data(), 4, 0));
    EXPECT_FALSE(packed::encode(Decimal(10000000), itm.data(), 4, 0, &error));
    EXPECT_EQ(packed::decode(itm.data(), 4, 0), Decimal(9999999));

    // Decimals the field has no places for are refused, not rounded away...
    std::array<unsigned char, 5> fee{};
    error.clear();
    EXPECT_FALSE(packed::encode(dec("1.005"), fee.data(), 5, 2, &error));
    EXPECT_NE(error.find("decimal places"), std::string::npos) << error;
    EXPECT_FALSE(packed::encode(dec("1.5"), pat.data(), 3, 0));
    // ...but zeros past the places are only notation.
    EXPECT_TRUE(packed::encode(dec("12.000"), fee.data(), 5, 2));
    EXPECT_EQ(packed::decode(fee.data(), 5, 2).toString(), "12.00");
    // Money at the edge of a 4-byte, 2-place field.
    std::array<unsigned char, 4> lab{};
    EXPECT_TRUE(packed::encode(dec("99999.99"), lab.data(), 4, 2));
    EXPECT_FALSE(packed::encode(dec("100000"), lab.data(), 4, 2));
}

// -------------------------------------------------------------------- dates

TEST(Dates, ConvertBetweenStoredDayNumbersAndDisplay)
{
    using namespace dates;
    EXPECT_TRUE(isValid(2000, 2, 29));
    EXPECT_FALSE(isValid(1900, 2, 29));
    EXPECT_TRUE(isValid(2024, 2, 29));
    EXPECT_FALSE(isValid(2023, 2, 29));
    EXPECT_FALSE(isValid(2024, 2, 30));
    EXPECT_FALSE(isValid(2024, 4, 31));
    EXPECT_FALSE(isValid(2024, 0, 1));
    EXPECT_FALSE(isValid(0, 1, 1));

    EXPECT_EQ(dayFromStored("        "), 0);
    EXPECT_EQ(storedFromDay(0), "        ");
    EXPECT_EQ(mdyFromDay(0), "");
    EXPECT_EQ(dayFromMdy(""), 0);
    EXPECT_EQ(dayFromMdy("   "), 0);
    EXPECT_EQ(dayFromYmd({1, 1, 1}), 1);

    auto d = dayFromStored("20240229");
    ASSERT_TRUE(d);
    EXPECT_EQ(mdyFromDay(*d), "02/29/2024");
    EXPECT_EQ(storedFromDay(*d + 1), "20240301");
    EXPECT_EQ(dayFromMdy("2/29/2024"), d);
    EXPECT_EQ(dayFromMdy("02/29/2024"), d);
    EXPECT_EQ(*dayFromStored("20250101") - *dayFromStored("20240101"), 366);

    for (const char* bad : {"20240230", "20230229", "2024022", "2024-2-2", "abcdefgh", "20241301", "00000000"})
        EXPECT_FALSE(dayFromStored(bad)) << bad;
    for (const char* bad : {"02/30/2024", "2/29/2023", "13/1/2024", "1/1/24", "1-1-2024", "1/1/2024x", "//", "001/1/2024"})
        EXPECT_FALSE(dayFromMdy(bad)) << bad;
}

TEST(Dates, DayNumbersRunWithoutGapsAcrossCenturies)
{
    using namespace dates;
    long day = dayFromYmd({1899, 12, 31});
    std::string prev = storedFromDay(day);
    for (long n = day + 1; n < dayFromYmd({2101, 1, 1}); ++n) {
        std::string s = storedFromDay(n);
        ASSERT_LT(prev, s) << "stored dates must sort as the days do";
        ASSERT_EQ(dayFromStored(s), n) << s;
        Ymd y = ymdFromDay(n);
        ASSERT_TRUE(isValid(y.year, y.month, y.day)) << s;
        prev = s;
    }
}

// ------------------------------------------------------------------ cp1252

TEST(Cp1252, EveryByteSurvivesTheTripThroughUnicode)
{
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(char(b));
    auto back = cp1252::fromQString(cp1252::toQString(all));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, all);
    EXPECT_EQ(cp1252::fromUtf8(cp1252::toUtf8(all)), all);

    EXPECT_EQ(cp1252::toUpper("pe\xf1" "a zo\xeb \xff"), "PE\xd1" "A ZO\xcb \x9f");
    EXPECT_EQ(cp1252::toUpper("\xf7\xdf"), "\xf7\xdf") << "division sign and sharp s have no capital here";

    QString bad;
    EXPECT_FALSE(cp1252::fromUtf8("caf\xc3\xa9 \xce\xa9", &bad));
    EXPECT_EQ(bad, QStringLiteral("Ω"));
}

// -------------------------------------------------------------- fieldvalue

TEST(FieldValue, RefusesValuesOfTheWrongKindOrShapeWithoutTouchingTheRecord)
{
    static constexpr FieldDef fields[] = {
        {"T:NUM", FieldKind::Packed, 3, 0, 0},
        {"T:NAME", FieldKind::Text, 5, 0, 3},
        {"T:DATE", FieldKind::Date, 8, 0, 8},
        {"T:SSN", FieldKind::Digits, 9, 0, 16},
        {"T:FEE", FieldKind::Packed, 5, 2, 25},
    };
    static constexpr FileDef file{"T", "T", "T.db", 30, fields, {}};
    static_assert(layoutIsConsistent(file));
    unsigned char rec[30];
    clearRecord(file, rec);
    ASSERT_TRUE(writeField(fields[0], rec, Decimal(42)));
    ASSERT_TRUE(writeField(fields[1], rec, std::string("ABCDEFG")));
    ASSERT_TRUE(writeField(fields[2], rec, std::string("20240102")));
    ASSERT_TRUE(writeField(fields[3], rec, std::string("123456789")));
    EXPECT_EQ(std::get<std::string>(readField(fields[1], rec)), "ABCDE") << "text is cut at the width";
    unsigned char before[30];
    std::memcpy(before, rec, sizeof rec);

    std::string error;
    EXPECT_FALSE(writeField(fields[0], rec, Decimal(100000), &error));
    EXPECT_FALSE(writeField(fields[0], rec, std::string("12"), &error));
    EXPECT_FALSE(writeField(fields[4], rec, dec("0.001"), &error));
    EXPECT_FALSE(writeField(fields[1], rec, Decimal(1), &error));
    EXPECT_FALSE(writeField(fields[2], rec, std::string("20240230"), &error));
    EXPECT_FALSE(writeField(fields[2], rec, std::string("01/02/2024"), &error));
    EXPECT_FALSE(writeField(fields[2], rec, std::string("2024010"), &error));
    EXPECT_FALSE(writeField(fields[3], rec, std::string("12345678X"), &error));
    EXPECT_FALSE(writeField(fields[3], rec, std::string("1234567890"), &error));
    EXPECT_EQ(std::memcmp(before, rec, sizeof rec), 0);

    EXPECT_TRUE(writeField(fields[2], rec, std::string(""), &error));
    EXPECT_TRUE(fieldIsEmpty(fields[2], rec));
    EXPECT_FALSE(fieldIsEmpty(fields[0], rec));
    clearField(fields[0], rec);
    EXPECT_TRUE(fieldIsEmpty(fields[0], rec));
}
