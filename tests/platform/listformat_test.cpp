#include "platform/listformat.h"

#include <gtest/gtest.h>

using namespace kestrel::platform;
using Align = ListColumn::Align;

namespace {

// One expected column: width, alignment, indent, header (nullptr: none),
// header alignment and indent, picture, flags as "|", "M", "F" letters.
struct Col {
    int width;
    Align align;
    int indent;
    const char* header;
    Align headerAlign;
    int headerIndent;
    const char* picture;
    const char* flags;
};

void expectColumns(const char* format, std::initializer_list<Col> expected)
{
    QString why;
    auto f = ListFormat::parse(QString::fromUtf8(format), &why);
    ASSERT_TRUE(f) << format << ": " << why.toStdString();
    ASSERT_EQ(f->count(), int(expected.size())) << format;
    int i = 0;
    for (const Col& e : expected) {
        const ListColumn& c = (*f)[i];
        SCOPED_TRACE(std::string(format) + " column " + std::to_string(i + 1));
        EXPECT_EQ(c.width, e.width);
        EXPECT_EQ(c.align, e.align);
        EXPECT_EQ(c.indent, e.indent);
        EXPECT_EQ(c.hasHeader, e.header != nullptr);
        EXPECT_EQ(c.header, e.header ? QString::fromUtf8(e.header) : QString());
        EXPECT_EQ(c.headerAlign, e.headerAlign);
        EXPECT_EQ(c.headerIndent, e.headerIndent);
        EXPECT_EQ(c.picture.text(), QString::fromUtf8(e.picture));
        std::string flags = e.flags;
        EXPECT_EQ(c.rightBorder, flags.find('|') != std::string::npos);
        EXPECT_EQ(c.resizable, flags.find('M') != std::string::npos);
        EXPECT_EQ(c.fixed, flags.find('F') != std::string::npos);
        ++i;
    }
}

constexpr Align L = Align::Left, R = Align::Right, C = Align::Center;

} // namespace

TEST(ListFormat, ProviderAndPatientLists)
{
    expectColumns("150L(4)|F~Provider Name~@s29@16C|F~MD#~@n03@",
                  {{150, L, 4, "Provider Name", L, 4, "@s29", "|F"}, {16, C, 0, "MD#", C, 0, "@n03", "|F"}});
    expectColumns("128L(4)|F@s29@22C|@n03@",
                  {{128, L, 4, nullptr, L, 4, "@s29", "|F"}, {22, C, 0, nullptr, C, 0, "@n03", "|"}});
    expectColumns("150L(2)|F~Last, First Name~@s29@50C|F~ID #~@n05@",
                  {{150, L, 2, "Last, First Name", L, 2, "@s29", "|F"}, {50, C, 0, "ID #", C, 0, "@n05", "|F"}});
}

TEST(ListFormat, CodeTableLists)
{
    expectColumns("46L(4)|F@s7@80L(4)|F@s128@",
                  {{46, L, 4, nullptr, L, 4, "@s7", "|F"}, {80, L, 4, nullptr, L, 4, "@s128", "|F"}});
    // The same without the border on the last column.
    expectColumns("46L(4)|F@s7@80L(4)F@s128@",
                  {{46, L, 4, nullptr, L, 4, "@s7", "|F"}, {80, L, 4, nullptr, L, 4, "@s128", "F"}});
    expectColumns("20C|~Code~@s1@48L(2)~ICD-M Edition~@s12@",
                  {{20, C, 0, "Code", C, 0, "@s1", "|"}, {48, L, 2, "ICD-M Edition", L, 2, "@s12", ""}});
    expectColumns("33C|M~Code~@s3@80L(4)|M~Description~@s128@",
                  {{33, C, 0, "Code", C, 0, "@s3", "|M"}, {80, L, 4, "Description", L, 4, "@s128", "|M"}});
    expectColumns("32C|M~Code~@s3@80L(2)|M~Description~@s128@",
                  {{32, C, 0, "Code", C, 0, "@s3", "|M"}, {80, L, 2, "Description", L, 2, "@s128", "|M"}});
}

TEST(ListFormat, ClaimPartyListsWithHeaderAlignments)
{
    expectColumns("100L(2)|F~Facility~@s26@48L(2)|F~Facility ID~C(0)@s11@14L(2)|F~QL~@s2@46C|F~Facility NPI~@s10@"
                  "68L(2)|F~Facility NNPI~C(0)@s17@",
                  {{100, L, 2, "Facility", L, 2, "@s26", "|F"},
                   {48, L, 2, "Facility ID", C, 0, "@s11", "|F"},
                   {14, L, 2, "QL", L, 2, "@s2", "|F"},
                   {46, C, 0, "Facility NPI", C, 0, "@s10", "|F"},
                   {68, L, 2, "Facility NNPI", C, 0, "@s17", "|F"}});
    expectColumns("100L(2)|~Referring Provider~@s26@12C|~QL~@s2@50L(2)|~Reference ID#~C(0)@s11@10C@s2@"
                  "64L|~17a~@s17@64L(2)|~17b~L(0)@s17@",
                  {{100, L, 2, "Referring Provider", L, 2, "@s26", "|"},
                   {12, C, 0, "QL", C, 0, "@s2", "|"},
                   {50, L, 2, "Reference ID#", C, 0, "@s11", "|"},
                   {10, C, 0, nullptr, C, 0, "@s2", ""},
                   {64, L, 0, "17a", L, 0, "@s17", "|"},
                   {64, L, 2, "17b", L, 0, "@s17", "|"}});
    expectColumns("85L(2)|M~Provider Name~@s40@40L|M~NPI Number~R@s11@13C|M~QL~@s2@72L|M~Non-NPI Number~R@s17@",
                  {{85, L, 2, "Provider Name", L, 2, "@s40", "|M"},
                   {40, L, 0, "NPI Number", R, 0, "@s11", "|M"},
                   {13, C, 0, "QL", C, 0, "@s2", "|M"},
                   {72, L, 0, "Non-NPI Number", R, 0, "@s17", "|M"}});
    expectColumns("49C|F~Date~@D2@128L(4)|F~Authorization signed by:~@s32@",
                  {{49, C, 0, "Date", C, 0, "@D2", "|F"},
                   {128, L, 4, "Authorization signed by:", L, 4, "@s32", "|F"}});
}

TEST(ListFormat, PicturesOfColumnsFormatTheirValues)
{
    auto f = ListFormat::from(u"49R|F~$ Balance~D(2)@n-26.2@60R@D2@");
    EXPECT_EQ(f[0].headerAlign, Align::Decimal);
    EXPECT_EQ(f[0].headerIndent, 2);
    EXPECT_EQ(f[0].picture.format(*Decimal::parse("-1234.5")), "-1,234.50");
    EXPECT_EQ(f[1].picture.format(std::string("20240105")), "01/05/2024");
    EXPECT_EQ(f[0].cellAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_EQ(ListColumn::toQt(Align::Center) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_TRUE(f.hasHeaders());
    EXPECT_FALSE(ListFormat::from(u"46L(4)|F@s7@80L(4)F@s128@").hasHeaders());
}

TEST(ListFormat, MalformedFormatsAreErrorsWithAReason)
{
    const char* bad[] = {
        "",                          // nothing
        "   ",
        "abc",                       // no width
        "150X@s29@",                 // unknown alignment
        "150@s29@",                  // no alignment
        "150L(2@s29@",               // unclosed indent
        "150L()@s29@",               // empty indent
        "150L~Name@s29@",            // unclosed header
        "150L~A~~B~@s29@",           // two headers
        "150L@s29",                  // unclosed picture
        "150L",                      // no picture
        "150L|F~Name~",              // no picture after the header
        "150L@x9@",                  // bad picture
        "150L@@",                    // empty picture
        "150L(2)|Q@s29@",            // unknown modifier
        "150L@s29@50",               // second column cut short
        "99999999999L@s1@",          // absurd width
    };
    for (const char* format : bad) {
        QString why;
        EXPECT_FALSE(ListFormat::parse(QString::fromUtf8(format), &why)) << format;
        EXPECT_FALSE(why.isEmpty()) << format;
    }
    QString why;
    ListFormat::parse(u"150L(2)|F~Name~@s29@50C|F~ID~@x5@", &why);
    EXPECT_TRUE(why.contains("column 2")) << why.toStdString();
    EXPECT_THROW(ListFormat::from(u"150Q@s1@"), std::invalid_argument);
}
