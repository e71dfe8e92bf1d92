#include "platform/dates.h"
#include "platform/picture.h"

#include <QLocale>
#include <QTime>
#include <gtest/gtest.h>

using namespace kestrel::platform;

namespace {

// Fields of the kinds the windows bind pictures to.
constexpr FieldDef kLabCharge{"INV:LABCHARGE", FieldKind::Packed, 4, 2, 0};  // 7 digits, 2 places
constexpr FieldDef kFee{"ITM:FEE", FieldKind::Packed, 5, 2, 0};              // 9 digits, 2 places
constexpr FieldDef kBalance{"PAT:NOWBALAN", FieldKind::Packed, 10, 2, 0};
constexpr FieldDef kPatNo{"PAT:PAT", FieldKind::Packed, 3, 0, 0};            // 5 digits
constexpr FieldDef kSsn{"PAT:SSN", FieldKind::Digits, 9, 0, 0};
constexpr FieldDef kInsId{"IN1:INS1ID", FieldKind::Digits, 11, 0, 0};
constexpr FieldDef kArea{"PRV:PAREACODE", FieldKind::Text, 3, 0, 0};
constexpr FieldDef kDate{"INV:DATE", FieldKind::Date, 8, 0, 0};
constexpr FieldDef kName{"PAT:LNAME", FieldKind::Text, 29, 0, 0};
constexpr FieldDef kCode{"CPT:CPTCODE", FieldKind::Text, 7, 0, 0};
constexpr FieldDef kQty{"ITM:QTY", FieldKind::Text, 3, 0, 0};

Decimal dec(const char* s) { return *Decimal::parse(s); }
FieldValue text(const char* s) { return std::string(s); }

// Typed text into a picture; the value or a failure with its reason.
struct Typed {
    std::optional<FieldValue> value;
    QString why;
};
Typed type(const char* picture, const QString& typed, const FieldDef* target = nullptr)
{
    Typed t;
    t.value = Picture::from(picture).input(typed, target, &t.why);
    return t;
}
std::string asText(const Typed& t) { return std::get<std::string>(*t.value); }
Decimal asNumber(const Typed& t) { return std::get<Decimal>(*t.value); }

} // namespace

TEST(PictureParse, EveryPictureInUseParsesWithItsWidth)
{
    const std::pair<const char*, int> pictures[] = {
        {"@s1", 1},        {"@s29", 29},       {"@s128", 128},     {"@n2", 2},        {"@n5", 5},
        {"@n03", 3},       {"@n05", 5},        {"@n06", 6},        {"@n07", 7},       {"@n08", 8},
        {"@n-10.2", 10},   {"@n-11.2", 11},    {"@n-14.2", 14},    {"@N-14.2", 14},   {"@n-17.2", 17},
        {"@n-18.2", 18},   {"@n-26.2", 26},    {"@d2", 10},        {"@D2", 10},       {"@D2b", 10},
        {"@D1B", 8},       {"@D02B", 10},      {"@d12", 8},        {"@D12", 8},       {"@D4", 18},
        {"@d8", 11},       {"@d10", 10},       {"@T2", 4},         {"@T4", 8},        {"@p(###)p", 5},
        {"@P(###)P", 5},   {"@P###-##-####P", 11}, {"@P#########P", 9}, {"@p#########-##p", 12},
        {"@P#########-##P", 12}, {"@p###########p", 11}, {"@P###########P", 11}, {"@pPage <<<#p", 9},
        // Written without the '@', as some forms name it.
        {"P#########-##P", 12},
    };
    for (const auto& [text, width] : pictures) {
        QString why;
        auto p = Picture::parse(std::string_view(text), &why);
        ASSERT_TRUE(p) << text << ": " << why.toStdString();
        EXPECT_EQ(p->width(), width) << text;
    }
    EXPECT_GT(Picture::from("@T7").width(), 0);
    EXPECT_EQ(Picture::from("@n-14.2").alignment(), Qt::AlignRight);
    EXPECT_EQ(Picture::from("@s29").alignment(), Qt::AlignLeft);
    EXPECT_EQ(Picture::from("P#########-##P").text(), "@P#########-##P");
}

TEST(PictureParse, MalformedPicturesAreRefusedWithAReason)
{
    for (const char* bad : {"", "@", "@x5", "@s", "@s0", "@s12x", "@n", "@n-", "@n-10.", "@n-3.2",
                            "@n5.99", "@d", "@d3", "@D2q", "@T", "@T9", "@p###", "@pabcp", "@pp",
                            "@n999999999999"}) {
        QString why;
        EXPECT_FALSE(Picture::parse(std::string_view(bad), &why)) << bad;
        EXPECT_FALSE(why.isEmpty()) << bad;
    }
    EXPECT_THROW(Picture::from("@q1"), std::invalid_argument);
}

TEST(TextPicture, ShowsAtMostItsWidthAndTakesOnlyWhatFits)
{
    auto p = Picture::from("@s7");
    EXPECT_EQ(p.format(text("99213")), "99213");
    EXPECT_EQ(p.format(text("ABCDEFGHIJ")), "ABCDEFG");
    EXPECT_EQ(p.formatFixed(text("AB")), "AB     ");
    EXPECT_EQ(Picture::from("@s10").format(text("Jos\xE9")), QString::fromUtf8("José"));

    EXPECT_EQ(asText(type("@s29", QString::fromUtf8("Müller  "), &kName)), "M\xFCller");
    auto tooLong = type("@s7", "12345678", &kCode);
    EXPECT_FALSE(tooLong.value);
    EXPECT_EQ(tooLong.why, "At most 7 characters fit here; 8 were typed.");
    EXPECT_EQ(type("@s1", "AB").why, "At most 1 character fits here; 2 were typed.");
    // The field is narrower than the picture: the field decides.
    EXPECT_FALSE(type("@s7", "1234", &kQty).value);
    auto notStorable = type("@s29", QString::fromUtf8("Łukasz"), &kName);
    EXPECT_FALSE(notStorable.value);
    EXPECT_TRUE(notStorable.why.contains(QString::fromUtf8("Ł")));
    EXPECT_FALSE(type("@s9", "12345678A", &kSsn).value);
}

TEST(WholeNumberPicture, PositionsAndLeadingZeros)
{
    EXPECT_EQ(Picture::from("@n03").format(Decimal(7)), "007");
    EXPECT_EQ(Picture::from("@n05").format(Decimal(12)), "00012");
    EXPECT_EQ(Picture::from("@n08").format(Decimal(1234567)), "01234567");
    EXPECT_EQ(Picture::from("@n03").format(Decimal(0)), "000");
    // Plain whole numbers carry no separators, so five digits fit five places.
    EXPECT_EQ(Picture::from("@n5").format(Decimal(12345)), "12345");
    EXPECT_EQ(Picture::from("@n5").formatFixed(Decimal(42)), "   42");
    EXPECT_EQ(Picture::from("@n2").format(Decimal(0)), "0");
    // Too wide shows hashes, never a cut number.
    EXPECT_EQ(Picture::from("@n03").format(Decimal(1234)), "###");
    EXPECT_EQ(Picture::from("@n5").format(Decimal(123456)), "#####");
    // A negative value keeps its sign even without one in the picture.
    EXPECT_EQ(Picture::from("@n5").format(Decimal(-42)), "-42");
    EXPECT_EQ(Picture::from("@n03").format(Decimal(-1)), "-01");
    // A number held as text.
    EXPECT_EQ(Picture::from("@n05").format(text("42")), "00042");
    EXPECT_EQ(Picture::from("@n05").format(text("4X")), "#####");
}

TEST(WholeNumberPicture, TypedWholeNumbersOnly)
{
    EXPECT_EQ(asNumber(type("@n05", "123", &kPatNo)), Decimal(123));
    EXPECT_EQ(asNumber(type("@n05", "00123", &kPatNo)), Decimal(123));
    EXPECT_EQ(asNumber(type("@n05", "", &kPatNo)), Decimal(0));
    EXPECT_EQ(asNumber(type("@n5", "1,234")), Decimal(1234));

    auto letters = type("@n05", "12a", &kPatNo);
    EXPECT_FALSE(letters.value);
    EXPECT_TRUE(letters.why.contains("not a number")) << letters.why.toStdString();
    EXPECT_FALSE(type("@n05", "1.5", &kPatNo).value);
    EXPECT_FALSE(type("@n05", "-3", &kPatNo).value);
    auto wide = type("@n05", "123456");
    EXPECT_FALSE(wide.value);
    EXPECT_TRUE(wide.why.contains("99999")) << wide.why.toStdString();
    // Fits the picture but not the 3-byte field (5 digits): 7 positions.
    auto field = type("@n07", "123456", &kPatNo);
    EXPECT_FALSE(field.value);
    EXPECT_TRUE(field.why.contains("5 digits")) << field.why.toStdString();
    // Into a text field, as shown.
    EXPECT_EQ(asText(type("@n03", "7", &kArea)), "007");
}

TEST(MoneyPicture, SeparatorsDecimalsAndWidth)
{
    auto p = Picture::from("@n-14.2");
    EXPECT_EQ(p.format(dec("1234.5")), "1,234.50");
    EXPECT_EQ(p.format(dec("-1234.5")), "-1,234.50");
    EXPECT_EQ(p.format(dec("0")), "0.00");
    EXPECT_EQ(p.format(dec("0.05")), "0.05");
    EXPECT_EQ(p.format(dec("-0.05")), "-0.05");
    EXPECT_EQ(p.format(dec("999")), "999.00");
    EXPECT_EQ(p.format(dec("1000")), "1,000.00");
    EXPECT_EQ(p.formatFixed(dec("-1234.5")), "     -1,234.50");
    EXPECT_EQ(p.format(dec("-99999999.99")), "-99,999,999.99");
    EXPECT_EQ(p.format(dec("-100000000")), "##############");
    EXPECT_EQ(Picture::from("@N-14.2").format(dec("1234567.8")), "1,234,567.80");

    // One position stays for the sign: what shows positive also shows negated.
    EXPECT_EQ(Picture::from("@n-10.2").format(dec("99999.99")), "99,999.99");
    EXPECT_EQ(Picture::from("@n-10.2").formatFixed(dec("99999.99")), " 99,999.99");
    EXPECT_EQ(Picture::from("@n-10.2").format(dec("-99999.99")), "-99,999.99");
    EXPECT_EQ(Picture::from("@n-10.2").format(dec("100000")), "##########");
    EXPECT_EQ(Picture::from("@n-11.2").format(dec("-999999.99")), "-999,999.99");
    EXPECT_EQ(Picture::from("@n-11.2").format(dec("1000000")), "###########");
    EXPECT_EQ(Picture::from("@n-17.2").format(dec("1234567890.5")), "1,234,567,890.50");
    EXPECT_EQ(Picture::from("@n-17.2").format(dec("12345678901.5")), "#################");
    EXPECT_EQ(Picture::from("@n-18.2").format(dec("-12345678901.5")), "-12,345,678,901.50");
    EXPECT_EQ(Picture::from("@n-26.2").format(Decimal::fromUnits(-9223372036854775807LL - 1, 2)),
              "-92,233,720,368,547,758.08");
    // More places than the picture shows: rounded for display only.
    EXPECT_EQ(p.format(dec("2.345")), "2.35");
    EXPECT_EQ(Picture::from("@n-14.2B").format(dec("0")), "");
    EXPECT_EQ(p.format(text("")), "0.00");
}

TEST(MoneyPicture, TypedAmounts)
{
    EXPECT_EQ(asNumber(type("@n-14.2", "1,234.50", &kBalance)), dec("1234.50"));
    EXPECT_EQ(asNumber(type("@n-14.2", "-15.5", &kBalance)), dec("-15.50"));
    EXPECT_EQ(asNumber(type("@n-14.2", "15", &kBalance)), dec("15"));
    EXPECT_EQ(asNumber(type("@n-14.2", " $15.00 ", &kBalance)), dec("15"));
    EXPECT_EQ(asNumber(type("@n-14.2", ".5", &kBalance)), dec("0.5"));
    EXPECT_EQ(asNumber(type("@n-14.2", "15.500", &kBalance)), dec("15.5"));
    EXPECT_EQ(asNumber(type("@n-14.2", "", &kBalance)), dec("0"));
    EXPECT_EQ(asNumber(type("@N-14.2", "1234567.89", &kFee)), dec("1234567.89"));
    EXPECT_EQ(asNumber(type("@n-14.2", "7", &kBalance)).places(), 2);

    for (const char* bad : {"12a", "abc", "1.2.3", "1-2", "--5", "$", "-", "1,23.50", ",123", "1,2345"}) {
        auto t = type("@n-14.2", bad, &kBalance);
        EXPECT_FALSE(t.value) << bad;
        EXPECT_FALSE(t.why.isEmpty()) << bad;
    }
    auto places = type("@n-14.2", "1.234", &kBalance);
    EXPECT_FALSE(places.value);
    EXPECT_TRUE(places.why.contains("2 decimal")) << places.why.toStdString();

    // Too large for the field (4 bytes: 7 digits, 2 after the point) though it
    // would fit the picture.
    auto field = type("@n-14.2", "100000", &kLabCharge);
    EXPECT_FALSE(field.value);
    EXPECT_TRUE(field.why.contains("7 digits") && field.why.contains("99,999.99")) << field.why.toStdString();
    EXPECT_EQ(asNumber(type("@n-14.2", "99999.99", &kLabCharge)), dec("99999.99"));

    // Too large for the picture's positions (the field would hold it).
    auto wide = type("@n-11.2", "1,000,000.00", &kFee);
    EXPECT_FALSE(wide.value);
    EXPECT_TRUE(wide.why.contains("largest 999,999.99")) << wide.why.toStdString();
    EXPECT_EQ(asNumber(type("@n-11.2", "-999999.99", &kFee)), dec("-999999.99"));
    auto negative = type("@n-10.2", "-100000", &kFee);
    EXPECT_FALSE(negative.value);
    EXPECT_TRUE(negative.why.contains("smallest -99,999.99")) << negative.why.toStdString();
    EXPECT_FALSE(type("@n-26.2", "1234567890123456789012").value);
}

TEST(DatePicture, EveryFormShown)
{
    const FieldValue stored = text("20240105");
    const FieldValue day = Decimal(std::int64_t(*dates::dayFromStored("20240105")));
    const std::pair<const char*, const char*> shown[] = {
        {"@d2", "01/05/2024"},      {"@D2", "01/05/2024"},  {"@D2b", "01/05/2024"}, {"@D1B", "01/05/24"},
        {"@D02B", "01/05/2024"},    {"@d12", "20240105"},   {"@D12", "20240105"},   {"@D4", "January 5, 2024"},
        {"@d8", "5 Jan 2024"},      {"@d10", "2024/01/05"},
    };
    for (const auto& [picture, expected] : shown) {
        EXPECT_EQ(Picture::from(picture).format(stored), expected) << picture;
        EXPECT_EQ(Picture::from(picture).format(day), expected) << picture;
        EXPECT_EQ(Picture::from(picture).format(text("")), "") << picture;
        EXPECT_EQ(Picture::from(picture).format(Decimal(0)), "") << picture;
    }
    EXPECT_EQ(Picture::from("@D4").format(text("20240930")), "September 30, 2024");
    EXPECT_EQ(Picture::from("@d8").format(text("19991231")), "31 Dec 1999");
    EXPECT_EQ(Picture::from("@D08").format(text("20240105")), "05 Jan 2024");
    // A damaged stored date shows as it stands, not as some other date.
    EXPECT_EQ(Picture::from("@D2").format(text("20241340")), "20241340");
}

TEST(DatePicture, TypedDatesBecomeStoredDates)
{
    EXPECT_EQ(asText(type("@D2", "01/05/2024", &kDate)), "20240105");
    EXPECT_EQ(asText(type("@d2", "1/5/2024", &kDate)), "20240105");
    EXPECT_EQ(asText(type("@D2", "01052024", &kDate)), "20240105");
    EXPECT_EQ(asText(type("@D2", "  ", &kDate)), "");
    EXPECT_EQ(asText(type("@D2", "02/29/2024", &kDate)), "20240229");
    EXPECT_EQ(asText(type("@D12", "20240105", &kDate)), "20240105");
    EXPECT_EQ(asText(type("@d10", "2024/01/05")), "20240105");
    EXPECT_EQ(asText(type("@D4", "January 5, 2024")), "20240105");
    EXPECT_EQ(asText(type("@D4", "sep 30 2024")), "20240930");
    EXPECT_EQ(asText(type("@D4", "09/30/2024")), "20240930");
    EXPECT_EQ(asText(type("@d8", "5 Jan 2024")), "20240105");
    EXPECT_EQ(asNumber(type("@D2", "01/05/2024", &kBalance)),
              Decimal(std::int64_t(*dates::dayFromStored("20240105"))));

    // Two-digit years: within twenty years ahead, otherwise the last century.
    int year = dates::ymdFromDay(dates::today()).year;
    char soon[16], past[16];
    std::snprintf(soon, sizeof soon, "01/05/%02d", (year + 1) % 100);
    std::snprintf(past, sizeof past, "01/05/%02d", (year + 30) % 100);
    EXPECT_EQ(asText(type("@D1B", soon)).substr(0, 4), std::to_string(year + 1));
    EXPECT_EQ(asText(type("@D1B", past)).substr(0, 4), std::to_string(year + 30 - 100));

    auto month = type("@D2", "13/01/2024", &kDate);
    EXPECT_FALSE(month.value);
    EXPECT_TRUE(month.why.contains("month 13")) << month.why.toStdString();
    auto day = type("@D2", "02/30/2024", &kDate);
    EXPECT_FALSE(day.value);
    EXPECT_TRUE(day.why.contains("day 30 in February 2024")) << day.why.toStdString();
    for (const char* bad : {"02/29/2023", "00/10/2024", "01/00/2024", "01/05/0000", "abc", "1/5", "01/05/202",
                            "2024-01-05", "01/05/2024x", "Smarch 5, 2024"}) {
        auto t = type("@D2", bad, &kDate);
        EXPECT_FALSE(t.value) << bad;
        EXPECT_FALSE(t.why.isEmpty()) << bad;
    }
    EXPECT_FALSE(type("@D12", "01/05/2024").value);
    EXPECT_FALSE(type("@D12", "20240230").value);
    auto notMonth = type("@D4", "Smarch 5, 2024");
    EXPECT_TRUE(notMonth.why.contains("not a month")) << notMonth.why.toStdString();
    // A date cannot go into a field too narrow for it.
    EXPECT_FALSE(type("@D2", "01/05/2024", &kArea).value);
}

TEST(TimePicture, ShownAndTyped)
{
    const FieldValue half = Decimal(9 * 3600 + 30 * 60 + 15);
    EXPECT_EQ(Picture::from("@T2").format(half), "0930");
    EXPECT_EQ(Picture::from("@T4").format(half), "09:30:15");
    EXPECT_EQ(Picture::from("@T7").format(half),
              QLocale::system().toString(QTime(9, 30, 15), QLocale::ShortFormat));
    EXPECT_EQ(Picture::from("@T4").format(text("2359")), "23:59:00");
    EXPECT_EQ(Picture::from("@T4").format(text("")), "");
    EXPECT_EQ(Picture::from("@T2").format(text("2560")), "####");
    EXPECT_EQ(Picture::from("@T2").format(Decimal(86400)), "####");

    EXPECT_EQ(asText(type("@T2", "0930")), "0930");
    EXPECT_EQ(asText(type("@T2", "9:30")), "0930");
    EXPECT_EQ(asText(type("@T2", "9:30 PM")), "2130");
    EXPECT_EQ(asText(type("@T2", "12:05 am")), "0005");
    EXPECT_EQ(asText(type("@T4", "09:30:15")), "093015");
    EXPECT_EQ(asNumber(type("@T4", "09:30:15", &kBalance)), Decimal(9 * 3600 + 30 * 60 + 15));
    const QString shortTime = QLocale::system().toString(QTime(14, 45), QLocale::ShortFormat);
    EXPECT_EQ(asText(type("@T7", shortTime)), "1445");
    for (const char* bad : {"25:00", "12:60", "13:00 PM", "noon", "9", "09:30:61"}) {
        auto t = type("@T4", bad);
        EXPECT_FALSE(t.value) << bad;
        EXPECT_FALSE(t.why.isEmpty()) << bad;
    }
    // Hours and minutes only: seconds would be lost.
    EXPECT_FALSE(type("@T2", "09:30:15").value);
}

TEST(PatternPicture, DigitsIntoTheirPattern)
{
    EXPECT_EQ(Picture::from("@P###-##-####P").format(text("123456789")), "123-45-6789");
    EXPECT_EQ(Picture::from("@P#########P").format(text("123456789")), "123456789");
    EXPECT_EQ(Picture::from("@p(###)p").format(text("555")), "(555)");
    EXPECT_EQ(Picture::from("@P(###)P").format(text("12")), "(12 )");
    EXPECT_EQ(Picture::from("@p#########-##p").format(text("12345678901")), "123456789-01");
    EXPECT_EQ(Picture::from("@P#########-##P").format(text("12345678901")), "123456789-01");
    EXPECT_EQ(Picture::from("@p###########p").format(text("12345678901")), "12345678901");
    EXPECT_EQ(Picture::from("@P###########P").format(text("00000000042")), "00000000042");
    EXPECT_EQ(Picture::from("@P###-##-####P").format(text("")), "");
    EXPECT_EQ(Picture::from("@P###-##-####P").format(text("1234567890")), "###########");
    EXPECT_EQ(Picture::from("@P#########P").format(Decimal(42)), "000000042");

    auto page = Picture::from("@pPage <<<#p");
    EXPECT_EQ(page.format(Decimal(5)), "Page 5");
    EXPECT_EQ(page.format(Decimal(120)), "Page 120");
    EXPECT_EQ(page.format(Decimal(1234)), "Page 1234");
    EXPECT_EQ(page.format(Decimal(0)), "Page 0");
    EXPECT_EQ(page.format(text("7")), "Page 7");
    EXPECT_EQ(page.format(Decimal(12345)), "#########");
    EXPECT_EQ(page.format(Decimal(-1)), "#########");
}

TEST(PatternPicture, TypedTextBecomesBareDigits)
{
    EXPECT_EQ(asText(type("@P###-##-####P", "123-45-6789", &kSsn)), "123456789");
    EXPECT_EQ(asText(type("@P###-##-####P", "123456789", &kSsn)), "123456789");
    EXPECT_EQ(asText(type("@P###-##-####P", "", &kSsn)), "");
    EXPECT_EQ(asText(type("@P#########P", "123456789", &kSsn)), "123456789");
    EXPECT_EQ(asText(type("@p(###)p", "(555)", &kArea)), "555");
    EXPECT_EQ(asText(type("@p(###)p", "555", &kArea)), "555");
    EXPECT_EQ(asText(type("@p#########-##p", "123456789-01", &kInsId)), "12345678901");
    EXPECT_EQ(asText(type("@P#########-##P", "12345678901", &kInsId)), "12345678901");
    EXPECT_EQ(asText(type("@P###########P", "12345678901", &kInsId)), "12345678901");
    EXPECT_EQ(asNumber(type("@pPage <<<#p", "Page 12", &kPatNo)), Decimal(12));

    auto ten = type("@P###-##-####P", "123-45-67890", &kSsn);
    EXPECT_FALSE(ten.value);
    EXPECT_EQ(ten.why, "9 digits are needed here; 10 were typed.");
    EXPECT_FALSE(type("@P###-##-####P", "12345678", &kSsn).value);
    // One digit is counted in the singular.
    EXPECT_EQ(type("@P###-##-####P", "1", &kSsn).why, "9 digits are needed here; 1 was typed.");
    auto letters = type("@P###-##-####P", "123-45-678O", &kSsn);
    EXPECT_FALSE(letters.value);
    EXPECT_TRUE(letters.why.contains("only digits")) << letters.why.toStdString();
    EXPECT_FALSE(type("@p(###)p", "55", &kArea).value);
    EXPECT_FALSE(type("@p#########-##p", "123456789-1", &kInsId).value);
    // The digits do not fit the field they are meant for.
    EXPECT_FALSE(type("@p###########p", "12345678901", &kSsn).value);
    EXPECT_FALSE(type("@pPage <<<#p", "Page 12345").value);
}

TEST(PictureRoundTrip, WhatIsShownReadsBackToTheSameValue)
{
    const std::pair<const char*, FieldValue> cases[] = {
        {"@n-14.2", dec("-1234567.89")}, {"@n-10.2", dec("0.01")},  {"@n05", Decimal(123)},
        {"@D2", text("19991231")},       {"@D4", text("20000229")}, {"@d8", text("20240105")},
        {"@d10", text("20240105")},      {"@D12", text("20240105")}, {"@P###-##-####P", text("012345678")},
        {"@p#########-##p", text("00012345601")}, {"@T4", text("235959")},
    };
    for (const auto& [picture, value] : cases) {
        auto p = Picture::from(picture);
        QString why;
        auto back = p.input(p.format(value), nullptr, &why);
        ASSERT_TRUE(back) << picture << ": " << why.toStdString();
        EXPECT_EQ(*back, value) << picture;
    }
}
