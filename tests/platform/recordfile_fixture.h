#pragma once
// Small record files for the driver's tests, shaped like the program's
// Patient, Item and Insured files, so these tests need no data dictionary.

#include "platform/cp1252.h"
#include "platform/fieldvalue.h"
#include "platform/recordfile.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace kestrel::test {

using namespace kestrel::platform;

// Patient-like: unique primary number, name key with duplicates.
inline constexpr FieldDef kPatFields[] = {
    {"PAT:PAT", FieldKind::Packed, 3, 0, 0},      {"PAT:LNAME", FieldKind::Text, 28, 0, 3},
    {"PAT:BDATE", FieldKind::Date, 8, 0, 31},     {"PAT:SSN", FieldKind::Digits, 9, 0, 39},
    {"PAT:NOWBALAN", FieldKind::Packed, 10, 2, 48},
};
inline constexpr KeyDef kPatKeys[] = {
    {"PAT:PATKEY", {"PAT:PAT"}, Unique | NoCase | ExcludesEmpty | Primary},
    {"PAT:LNAMEKEY", {"PAT:LNAME"}, NoCase | ExcludesEmpty},
    {"PAT:BALKEY", {"PAT:NOWBALAN"}, NoCase | ExcludesEmpty},
};
inline constexpr FileDef kPatient{"Patient", "PAT", "Patient.db", 58, kPatFields, kPatKeys};
static_assert(layoutIsConsistent(kPatient));
enum { PatKey = 0, LnameKey = 1, BalKey = 2 };

// Item-like: the lines of a claim.
inline constexpr FieldDef kItmFields[] = {
    {"ITM:PRV", FieldKind::Packed, 2, 0, 0},  {"ITM:PAT", FieldKind::Packed, 4, 0, 2},
    {"ITM:INV", FieldKind::Packed, 4, 0, 6},  {"ITM:DOSF", FieldKind::Date, 8, 0, 10},
    {"ITM:CPT", FieldKind::Text, 7, 0, 18},   {"ITM:FEE", FieldKind::Packed, 5, 2, 25},
};
inline constexpr KeyDef kItmKeys[] = {
    {"ITM:PRVKEY", {"ITM:PRV"}, NoCase | ExcludesEmpty},
    {"ITM:INVDOSKEY", {"ITM:INV", "ITM:DOSF"}, ExcludesEmpty},
    {"ITM:DOSKEY", {"ITM:DOSF"}, NoCase | ExcludesEmpty},
    {"ITM:INVPATPRVKEY", {"ITM:PRV", "ITM:PAT", "ITM:INV", "ITM:DOSF"}, NoCase | ExcludesEmpty},
};
inline constexpr FileDef kItem{"Item", "ITM", "Item.db", 30, kItmFields, kItmKeys};
static_assert(layoutIsConsistent(kItem));
enum { ItmPrvKey = 0, ItmInvDosKey = 1, ItmDosKey = 2, ItmInvPatPrvKey = 3 };

// Insured-like: a case-sensitive key, a unique text key, a key that
// includes empty entries.
inline constexpr FieldDef kInsFields[] = {
    {"INS:CODE", FieldKind::Text, 7, 0, 0},
    {"INS:CARNAME", FieldKind::Text, 12, 0, 7},
    {"INS:GRP", FieldKind::Text, 4, 0, 19},
};
inline constexpr KeyDef kInsKeys[] = {
    {"INS:CODEKEY", {"INS:CODE"}, Unique | NoCase | ExcludesEmpty},
    {"INS:CARNAMEKEY", {"INS:CARNAME"}, ExcludesEmpty},
    {"INS:GRPKEY", {"INS:GRP", "INS:CARNAME"}, NoCase},
};
inline constexpr FileDef kInsured{"Insured", "INS", "Insured.db", 23, kInsFields, kInsKeys};
static_assert(layoutIsConsistent(kInsured));
enum { InsCodeKey = 0, InsCarKey = 1, InsGrpKey = 2 };

// A record buffer with its file, created fresh in a directory.
struct TestFile {
    std::vector<unsigned char> buffer;
    RecordFile file;

    TestFile(const FileDef& def, const QString& dir) : buffer(std::size_t(def.recordLength)), file(def, buffer.data())
    {
        clearRecord(def, buffer.data());
        file.setDirectory(dir);
    }
    const FileDef& def() const { return file.def(); }

    void clear() { clearRecord(def(), buffer.data()); }
    void text(std::string_view label, std::string_view value)
    {
        std::string why;
        ASSERT_TRUE(writeField(*def().field(label), buffer.data(), std::string(value), &why)) << why;
    }
    // UTF-8 text, stored as Windows-1252.
    void utf8(std::string_view label, std::string_view value) { text(label, *cp1252::fromUtf8(value)); }
    void number(std::string_view label, std::string_view value)
    {
        std::string why;
        ASSERT_TRUE(writeField(*def().field(label), buffer.data(), *Decimal::parse(value), &why)) << why;
    }
    std::string text(std::string_view label) const
    {
        return std::get<std::string>(readField(*def().field(label), buffer.data()));
    }
    std::string number(std::string_view label) const
    {
        return std::get<Decimal>(readField(*def().field(label), buffer.data())).toString();
    }
    std::string value(std::string_view label) const
    {
        return def().field(label)->kind == FieldKind::Packed ? number(label) : text(label);
    }
    std::string bytes() const { return {buffer.begin(), buffer.end()}; }

    // Walks the whole order (set at the ends) and returns `label` of each.
    std::vector<std::string> walk(int order, std::string_view label, bool forward = true)
    {
        if (order == FileOrder) EXPECT_EQ(file.setFileOrder(), 0);
        else EXPECT_EQ(file.set(order, RecordFile::Start::AtEnds), 0);
        std::vector<std::string> out;
        while ((forward ? file.next() : file.previous()) == 0) out.push_back(value(label));
        EXPECT_EQ(file.error(), errc::NoRecord);
        return out;
    }
};

// A fresh directory per test, and the records most tests need.
class RecordFileFixture : public ::testing::Test {
protected:
    TempDir dir;

    // A file created and opened in the test's directory.
    std::unique_ptr<TestFile> make(const FileDef& def)
    {
        auto f = std::make_unique<TestFile>(def, dir.path());
        EXPECT_EQ(f->file.create(), 0);
        EXPECT_EQ(f->file.open(), 0);
        return f;
    }
    // Adds a patient; the name is UTF-8 (stored as Windows-1252).
    static void addPatient(TestFile& p, int number, std::string_view name, std::string_view balance = "0",
                           std::string_view birth = "")
    {
        p.clear();
        p.number("PAT:PAT", std::to_string(number));
        p.utf8("PAT:LNAME", name);
        p.number("PAT:NOWBALAN", balance);
        p.text("PAT:BDATE", birth);
        ASSERT_EQ(p.file.add(), 0) << p.file.driverMessage();
    }
};

inline std::vector<std::string> strings(std::initializer_list<const char*> l) { return {l.begin(), l.end()}; }

} // namespace kestrel::test
