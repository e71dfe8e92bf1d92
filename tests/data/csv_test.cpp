#include "data/csv.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "support/tempdir.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>

using namespace kestrel;
namespace csv = data::csv;

namespace {

QByteArray dump(const QString& dir, const platform::FileDef& file, const QString& key = {}, bool hex = false)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_TRUE(csv::dump(dir, file, {key, hex}, buffer, &error)) << error.toStdString();
    return out;
}

std::string lines(const QByteArray& text) { return QString::fromUtf8(text).replace("\r\n", "\n").toStdString(); }

std::string problems(const csv::LoadResult& r)
{
    std::string s;
    for (const auto& p : r.problems) s += p.message.toStdString() + "\n";
    return s;
}

// The records loaded first in most tests: two patients with one name in two
// letter cases, accents, a blank birth date, a credit balance.
const QByteArray kPatients = "PAT:PAT,LNAME,PAT:BDATE,PAT:SSN,pat:nowbalan\r\n"
                             "3,\"Peña, Zoë\",02/29/1980,123456789,-15.5\r\n"
                             "1,smith,,,7\n"
                             "2,SMITH,19991231,000000001,0\n"
                             "4,\"Adams, \"\"Doc\"\"\",1/2/2003,,1234.56";

} // namespace

// ------------------------------------------------------------------ CSV text

TEST(CsvText, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(csv::formatRow({"plain", "a,b", "say \"hi\"", "two\nlines", " lead", "trail ", "", "Zoë"}),
              QByteArray("plain,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\" lead\",\"trail \",,Zo\xc3\xab\r\n"));
}

TEST(CsvText, ParsesWhatItWritesAndEveryLineEnding)
{
    const QStringList a{"x", "a,b", "\"q\"", "l1\r\nl2", ""};
    const QStringList b{"", "", "Peña"};
    auto rows = csv::parse(csv::formatRow(a) + csv::formatRow(b));
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].cells, a);
    EXPECT_EQ((*rows)[1].cells, b);
    EXPECT_EQ((*rows)[1].line, 3) << "the line break inside the quoted field counts";

    rows = csv::parse("\xEF\xBB\xBFh1,h2\nLF,1\rCR,2\r\nCRLF,3");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ((*rows)[0].cells, QStringList({"h1", "h2"})) << "the byte order mark is not part of the name";
    // Only the file's: one on a later line (two files joined) stays in the
    // cell, where a load refuses it instead of quietly taking the rest.
    const auto joined = csv::parse("\xEF\xBB\xBFPAT:PAT\n\xEF\xBB\xBF" "5\n");
    ASSERT_TRUE(joined);
    EXPECT_EQ(joined->at(1).cells, QStringList({QChar(0xFEFF) + QStringLiteral("5")}));
    EXPECT_FALSE(csv::load(test::TempDir().path(), data::file::Patient, "PAT:PAT\n\xEF\xBB\xBF" "5\n").ok());
    EXPECT_EQ((*rows)[2].cells, QStringList({"CR", "2"}));
    EXPECT_EQ((*rows)[3].cells, QStringList({"CRLF", "3"}));
    EXPECT_EQ((*rows)[3].line, 4);

    rows = csv::parse("a,\n\n");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].cells, QStringList({"a", ""}));
    EXPECT_EQ((*rows)[1].cells, QStringList({""}));
}

TEST(CsvText, MalformedTextIsRefusedNamingTheLine)
{
    QString error;
    EXPECT_FALSE(csv::parse("a,b\n1,\"open\n2,3\n", &error));
    EXPECT_TRUE(error.startsWith("line 2: ")) << error.toStdString();
    EXPECT_FALSE(csv::parse("a,b\n1,2\n3,x\"y\n", &error));
    EXPECT_TRUE(error.startsWith("line 3: ")) << error.toStdString();
    EXPECT_FALSE(csv::parse("a\n\"ok\"tail\n", &error));
    EXPECT_TRUE(error.startsWith("line 2: ")) << error.toStdString();
    EXPECT_FALSE(csv::parse("a\nb\nPe\xf1" "a\n", &error)) << "Windows-1252 bytes are not UTF-8";
    EXPECT_TRUE(error.startsWith("line 3: ")) << error.toStdString();
    EXPECT_TRUE(error.contains("save it as \"CSV UTF-8\"")) << error.toStdString();
}

// ------------------------------------------------------------ dump and load

TEST(CsvDumpLoad, RoundTripInFileOrderAndInEveryKeyOrder)
{
    test::TempDir dir;
    auto r = csv::load(dir.path(), data::file::Patient, kPatients);
    ASSERT_TRUE(r.ok()) << problems(r);
    EXPECT_EQ(r.added, 4);

    const std::string head = "PAT:PAT,PAT:LNAME,PAT:BDATE,PAT:SEX,PAT:ADD1,PAT:ADD2,PAT:ADD3,PAT:ADD4,PAT:HAREA,"
                             "PAT:HPHON,PAT:WAREA,PAT:WPHON,PAT:SSN,PAT:NOWBALAN\n";
    const std::string p1 = "1,smith,,,,,,,,,,,,7.00\n";
    const std::string p2 = "2,SMITH,12/31/1999,,,,,,,,,,000000001,0.00\n";
    const std::string p3 = "3,\"Peña, Zoë\",02/29/1980,,,,,,,,,,123456789,-15.50\n";
    const std::string p4 = "4,\"Adams, \"\"Doc\"\"\",01/02/2003,,,,,,,,,,,1234.56\n";
    EXPECT_EQ(lines(dump(dir.path(), data::file::Patient)), head + p3 + p1 + p2 + p4);
    EXPECT_EQ(lines(dump(dir.path(), data::file::Patient, "PAT:PATKEY")), head + p1 + p2 + p3 + p4);
    // Case-insensitive name key: smith and SMITH tie and keep the order they were added in.
    EXPECT_EQ(lines(dump(dir.path(), data::file::Patient, "lnamekey")), head + p4 + p3 + p1 + p2);

    // What is dumped loads back into an empty file as the same records.
    test::TempDir again;
    r = csv::load(again.path(), data::file::Patient, dump(dir.path(), data::file::Patient));
    ASSERT_TRUE(r.ok()) << problems(r);
    EXPECT_EQ(dump(again.path(), data::file::Patient, {}, true), dump(dir.path(), data::file::Patient, {}, true));
}

TEST(CsvDumpLoad, HexColumnHoldsTheRecordBytes)
{
    test::TempDir dir;
    auto r = csv::load(dir.path(), data::file::ICD, "ICDV,ICDM\n0,ICD-10\n");
    ASSERT_TRUE(r.ok()) << problems(r);
    EXPECT_EQ(lines(dump(dir.path(), data::file::ICD, {}, true)),
              "ICDM:ICDV,ICDM:ICDM,HEX\n0,ICD-10,30" "4943442D3130" "202020202020\n");

    // A negative number and a date; the signature's 32 blanks are 0x20 each.
    const std::string kBlanks32 = QByteArray(32, ' ').toHex().toUpper().toStdString();
    r = csv::load(dir.path(), data::file::Auth, "AUT:PAT,AUT:AUTHDATE\n-12,20240102\n");
    ASSERT_TRUE(r.ok()) << problems(r);
    EXPECT_EQ(lines(dump(dir.path(), data::file::Auth, {}, true)),
              "AUT:PAT,AUT:AUTHDATE,AUT:AUTHSIGN,HEX\n-12,01/02/2024,,00012D3230323430313032" + kBlanks32 + "\n");
}

TEST(CsvDumpLoad, DumpRefusesUnknownKeysAndMissingFilesWithoutCreatingThem)
{
    test::TempDir dir;
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_FALSE(csv::dump(dir.path(), data::file::Invoice, {}, buffer, &error));
    EXPECT_TRUE(error.contains("Invoice.db")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(dir.file("Invoice.db")));

    ASSERT_TRUE(csv::load(dir.path(), data::file::Invoice, "INV:INV\n1\n").ok());
    EXPECT_FALSE(csv::dump(dir.path(), data::file::Invoice, {"PAT:PATKEY"}, buffer, &error));
    EXPECT_TRUE(error.contains("INV:PATPRVINVKEY")) << "the message lists the keys there are";
    EXPECT_TRUE(out.isEmpty());
}

TEST(CsvDumpLoad, ARefusedRowLoadsNothingAndNamesLineFieldAndReason)
{
    test::TempDir dir;
    ASSERT_TRUE(csv::load(dir.path(), data::file::Patient, kPatients).ok());
    const QByteArray before = dump(dir.path(), data::file::Patient, {}, true);

    struct Case {
        const char* what;
        QByteArray csv;
        int line;
        QString field;
        QString says;
    };
    const Case cases[] = {
        {"bad date", "PAT:PAT,PAT:BDATE\n10,01/01/2000\n11,02/30/2000\n", 3, "PAT:BDATE", "02/30/2000"},
        {"number too large", "PAT:PAT\n10\n100000\n", 3, "PAT:PAT", "99999"},
        {"too many places", "PAT:PAT,PAT:NOWBALAN\n10,1.005\n", 2, "PAT:NOWBALAN", "decimal places"},
        {"not a number", "PAT:PAT\n1O\n", 2, "PAT:PAT", "not a number"},
        {"duplicate of a stored record", "PAT:PAT,LNAME\n10,NEW\n3,AGAIN\n", 3, "PAT:PATKEY", "\"3\""},
        {"duplicate within the text", "PAT:PAT\n10\n11\n10\n", 4, "PAT:PATKEY", "\"10\""},
        {"unknown field", "PAT:PAT,PAT:NAME\n10,X\n", 1, "PAT:NAME", "not a field of Patient"},
        {"field of another file", "INV:PAT\n10\n", 1, "INV:PAT", "not a field of Patient"},
        {"field named twice", "PAT:LNAME,lname\nA,B\n", 1, "PAT:LNAME", "twice"},
        {"unmappable character", "PAT:PAT,PAT:LNAME\n10,Ωmega\n", 2, "PAT:LNAME", "\"Ω\" (U+03A9)"},
        {"emoji", "PAT:PAT,PAT:ADD1\n10,Home 🏠\n", 2, "PAT:ADD1", "U+1F3E0"},
        {"text too long", "PAT:PAT,PAT:ADD3\n10,ABCD\n", 2, "PAT:ADD3", "longer than 3"},
        {"digits", "PAT:PAT,PAT:SSN\n10,123-45-6789\n", 2, "PAT:SSN", "123-45-6789"},
        {"short row", "PAT:PAT,PAT:LNAME\n10,A\n11\n", 3, "", "1 field, the header names 2"},
        {"long row", "PAT:PAT,PAT:LNAME\n10,A,B\n", 2, "", "3 fields, the header names 2"},
        {"line break in a quoted cell", "PAT:PAT,PAT:ADD1\n10,\"12 ELM ST\r\nAPT 4\"\n", 2, "PAT:ADD1", "a line break"},
        {"tab", "PAT:PAT,PAT:LNAME\n10,\"A\tB\"\n", 2, "PAT:LNAME", "a tab"},
        {"other control character", "PAT:PAT,PAT:LNAME\n10,A\x07\n", 2, "PAT:LNAME", "U+0007"},
    };
    for (const Case& c : cases) {
        auto r = csv::load(dir.path(), data::file::Patient, c.csv);
        EXPECT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.added, 0) << c.what;
        ASSERT_FALSE(r.problems.empty()) << c.what;
        const csv::Problem& p = r.problems.front();
        EXPECT_EQ(p.line, c.line) << c.what << ": " << problems(r);
        EXPECT_EQ(p.field, c.field) << c.what << ": " << problems(r);
        EXPECT_TRUE(p.message.contains(c.says)) << c.what << ": " << problems(r);
        EXPECT_TRUE(p.message.startsWith(QStringLiteral("line %1: ").arg(c.line))) << problems(r);
        EXPECT_EQ(dump(dir.path(), data::file::Patient, {}, true), before) << c.what << ": something was loaded";
    }

    // Every bad row is listed, not only the first.
    auto r = csv::load(dir.path(), data::file::Patient, "PAT:PAT,PAT:BDATE\n10,13/01/2000\n11,ok\n12,\n");
    ASSERT_EQ(r.problems.size(), 2u) << problems(r);
    EXPECT_EQ(r.problems[1].line, 3);
    // Duplicates are found among the rows that fit, and listed in line order.
    r = csv::load(dir.path(), data::file::Patient, "PAT:PAT,PAT:BDATE\n10,13/01/2000\n3,\n");
    ASSERT_EQ(r.problems.size(), 2u) << problems(r);
    EXPECT_EQ(r.problems[0].field, "PAT:BDATE");
    EXPECT_EQ(r.problems[1].field, "PAT:PATKEY");
    EXPECT_EQ(r.problems[1].line, 3);
    EXPECT_EQ(dump(dir.path(), data::file::Patient, {}, true), before);

    // A malformed text or an empty one is refused before the file is touched.
    test::TempDir empty;
    EXPECT_FALSE(csv::load(empty.path(), data::file::Patient, "").ok());
    EXPECT_FALSE(csv::load(empty.path(), data::file::Patient, "PAT:PAT\n\"1\n").ok());
    EXPECT_FALSE(QFile::exists(empty.file("Patient.db")));
}

TEST(CsvDumpLoad, ClaimNumbersBeyondTheLineFieldAreRefusedOnlyThere)
{
    test::TempDir dir;
    EXPECT_TRUE(csv::load(dir.path(), data::file::Invoice, "INV:INV\n10000000\n").ok());
    auto r = csv::load(dir.path(), data::file::Item, "ITM:INV\n9999999\n10000000\n");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.problems.front().line, 3);
    EXPECT_EQ(r.problems.front().field, "ITM:INV");
    EXPECT_TRUE(csv::load(dir.path(), data::file::Item, "ITM:INV\n9999999\n").ok());
}

TEST(CsvDumpLoad, RowsOfEmptyCellsAreSkippedLikeEmptyLines)
{
    // Spreadsheets end their CSV with rows of bare commas; as records they
    // would be blank patients numbered 0.
    test::TempDir dir;
    auto r = csv::load(dir.path(), data::file::Patient, "PAT:PAT,PAT:LNAME\r\n11,A\r\n\r\n,\r\n12,B\r\n , \r\n,\r\n");
    ASSERT_TRUE(r.ok()) << problems(r);
    EXPECT_EQ(r.added, 2);
    const QStringList rows = QString::fromUtf8(dump(dir.path(), data::file::Patient)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3) << lines(dump(dir.path(), data::file::Patient));
    EXPECT_TRUE(rows[1].startsWith("11,A,"));
    EXPECT_TRUE(rows[2].startsWith("12,B,"));
}

TEST(CsvDumpLoad, ADamagedFileIsLeftAsItIsAndTheMessageSaysWhereToLook)
{
    test::TempDir dir;
    QFile empty(dir.file("Payer.db"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.write("not a record file\n");
    empty.close();

    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    EXPECT_FALSE(csv::dump(dir.path(), data::file::Payer, {}, buffer, &error));
    EXPECT_TRUE(error.contains("kestrel check")) << error.toStdString();

    auto r = csv::load(dir.path(), data::file::Payer, "HIC:HICNAME\nMEDICARE\n");
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(r.problems.front().message.contains("kestrel check")) << problems(r);
    QFile after(dir.file("Payer.db"));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), QByteArray("not a record file\n"));
}

TEST(CsvDumpLoad, AnOutputThatRefusesTheTextFailsTheDumpSayingSo)
{
    test::TempDir dir;
    ASSERT_TRUE(csv::load(dir.path(), data::file::Patient, kPatients).ok());
    QByteArray text;
    QBuffer readOnly(&text);
    readOnly.open(QIODevice::ReadOnly);
    QString error;
    EXPECT_FALSE(csv::dump(dir.path(), data::file::Patient, {}, readOnly, &error));
    EXPECT_TRUE(error.startsWith("writing the CSV failed")) << error.toStdString();
}
