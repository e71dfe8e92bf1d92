// Case-insensitive keys fold letters as the program upper-cases them
// everywhere (Windows-1252, accented letters included), and files written
// while the keys folded A-Z only are brought up to date.
#include "recordfile_fixture.h"

#include "platform/filecheck.h"
#include "platform/sqlitelayout.h"
#include "platform/transaction.h"
#include "platform/view.h"
#include "support/sqlitedamage.h"

#include <QFile>

#include <sqlite3.h>

#include <ostream>

inline void PrintTo(const QStringList& l, std::ostream* os) { *os << l.join(" | ").toStdString(); }

namespace kestrel::test {
namespace {

// The first column of the first row of a query on a file, as text.
std::string sqlValue(const QString& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    std::string out = "<no row>";
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) out = sqlite3_errmsg(db);
        else if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

// A file as the driver wrote it before fold columns: NOCASE keys, format 1.
void writePreviousFormat(const FileDef& def, const QString& path, const std::string& tableAndKeys)
{
    std::string sql = "BEGIN; CREATE TABLE kestrel_file(key TEXT PRIMARY KEY, value TEXT NOT NULL);";
    for (const auto& [k, v] : detail::SqlLayout(def).metaRows(detail::PreviousFormat))
        sql += "INSERT INTO kestrel_file VALUES('" + k + "', '" + v + "');";
    ASSERT_EQ(execSql(path, sql + tableAndKeys + "COMMIT;"), "");
}

const std::string kOldPatient =
    "CREATE TABLE \"Patient\"(rid INTEGER PRIMARY KEY AUTOINCREMENT, version INTEGER NOT NULL DEFAULT 1, "
    "\"PAT\" INTEGER NOT NULL DEFAULT 0, \"LNAME\" TEXT NOT NULL DEFAULT '', \"BDATE\" TEXT NOT NULL DEFAULT '', "
    "\"SSN\" TEXT NOT NULL DEFAULT '', \"NOWBALAN\" INTEGER NOT NULL DEFAULT 0, tiebreak INTEGER AS (rid) VIRTUAL);"
    "CREATE UNIQUE INDEX \"PAT:PATKEY\" ON \"Patient\"(\"PAT\") WHERE NOT (\"PAT\" = 0);"
    "CREATE INDEX \"PAT:LNAMEKEY\" ON \"Patient\"(\"LNAME\" COLLATE NOCASE, tiebreak) WHERE NOT (\"LNAME\" = '');"
    "CREATE INDEX \"PAT:BALKEY\" ON \"Patient\"(\"NOWBALAN\", tiebreak) WHERE NOT (\"NOWBALAN\" = 0);"
    "INSERT INTO \"Patient\"(\"PAT\", \"LNAME\", \"NOWBALAN\") VALUES(1, 'émile', 100), (2, 'Zed', 0), "
    "(3, 'ÉMILE', -5), (4, 'adams', 0);";

const std::string kOldInsured =
    "CREATE TABLE \"Insured\"(rid INTEGER PRIMARY KEY AUTOINCREMENT, version INTEGER NOT NULL DEFAULT 1, "
    "\"CODE\" TEXT NOT NULL DEFAULT '', \"CARNAME\" TEXT NOT NULL DEFAULT '', \"GRP\" TEXT NOT NULL DEFAULT '', "
    "tiebreak INTEGER AS (rid) VIRTUAL);"
    "CREATE UNIQUE INDEX \"INS:CODEKEY\" ON \"Insured\"(\"CODE\" COLLATE NOCASE) WHERE NOT (\"CODE\" = '');"
    "CREATE INDEX \"INS:CARNAMEKEY\" ON \"Insured\"(\"CARNAME\", tiebreak) WHERE NOT (\"CARNAME\" = '');"
    "CREATE INDEX \"INS:GRPKEY\" ON \"Insured\"(\"GRP\" COLLATE NOCASE, \"CARNAME\" COLLATE NOCASE, tiebreak);"
    // Distinct while NOCASE folded A-Z only; one value once Ñ folds too.
    "INSERT INTO \"Insured\"(\"CODE\", \"CARNAME\") VALUES('PEÑA', 'a'), ('Peña', 'b');";

class RecordFileFoldTest : public RecordFileFixture {
protected:
    int addInsured(TestFile& i, std::string_view utf8Code, std::string_view utf8Car = "")
    {
        i.clear();
        i.utf8("INS:CODE", utf8Code);
        i.utf8("INS:CARNAME", utf8Car);
        return i.file.add();
    }
    std::string utf8(const TestFile& f, std::string_view label) const { return cp1252::toUtf8(f.text(label)); }
};

TEST_F(RecordFileFoldTest, UniqueCaseInsensitiveKeyRefusesAccentedCaseVariants)
{
    auto ins = make(kInsured);
    ASSERT_EQ(addInsured(*ins, "PEÑA"), 0);
    EXPECT_EQ(addInsured(*ins, "Peña"), errc::DuplicateKey);
    EXPECT_TRUE(ins->file.duplicate(InsCodeKey));
    // The letters whose capitals lie outside à..þ.
    ASSERT_EQ(addInsured(*ins, "ŸŒŠŽ"), 0);
    EXPECT_EQ(addInsured(*ins, "ÿœšž"), errc::DuplicateKey);
    // N and Ñ are different letters; ß and µ have no capital of their own.
    EXPECT_EQ(addInsured(*ins, "PENA"), 0);
    EXPECT_EQ(addInsured(*ins, "ßµ"), 0);
    EXPECT_EQ(addInsured(*ins, "ßµ"), errc::DuplicateKey);
    EXPECT_EQ(ins->walk(FileOrder, "INS:CODE").size(), 4u);

    // get folds the buffer's value the same way.
    ins->clear();
    ins->utf8("INS:CODE", "peña");
    ASSERT_EQ(ins->file.get(InsCodeKey), 0);
    EXPECT_EQ(utf8(*ins, "INS:CODE"), "PEÑA");
    EXPECT_FALSE(ins->file.duplicate(InsCodeKey)) << "its own values do not count";
    // Rewriting a record in other letter case keeps it; onto another one's value is refused.
    ins->utf8("INS:CODE", "Peña");
    ASSERT_EQ(ins->file.put(), 0);
    ins->utf8("INS:CODE", "pena");
    EXPECT_EQ(ins->file.put(), errc::DuplicateKey);
    EXPECT_TRUE(ins->file.duplicate(InsCodeKey));
    ins->clear();
    ins->utf8("INS:CODE", "PEÑA");
    ASSERT_EQ(ins->file.get(InsCodeKey), 0);
    EXPECT_EQ(utf8(*ins, "INS:CODE"), "Peña");
}

TEST_F(RecordFileFoldTest, AccentedCaseVariantsAreEqualKeysInAddOrder)
{
    auto p = make(kPatient);
    addPatient(*p, 1, "émile");
    addPatient(*p, 2, "Zed");
    addPatient(*p, 3, "ÉMILE");
    addPatient(*p, 4, "Emile");
    addPatient(*p, 5, "Émile");
    // É is not E; equal folds follow the order they were added in.
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT"), strings({"4", "2", "1", "3", "5"}));
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT", false), strings({"5", "3", "1", "2", "4"}));

    p->clear();
    p->utf8("PAT:LNAME", "ÉMILE");
    ASSERT_EQ(p->file.get(LnameKey), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "1");
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "3");
    p->clear();
    p->utf8("PAT:LNAME", "éMiLe");  // not above: the last of the equal names first
    ASSERT_EQ(p->file.set(LnameKey), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "5");

    // Positions among the equal names, also from a deleted one's.
    p->clear();
    p->number("PAT:PAT", "3");
    ASSERT_EQ(p->file.get(PatKey), 0);
    const std::string pos = p->file.position(LnameKey);
    ASSERT_EQ(p->file.remove(), 0);
    ASSERT_EQ(p->file.reset(pos), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "5");
    ASSERT_EQ(p->file.reset(pos), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "1");

    // A view held to the name lists the equal names only.
    View v(p->file);
    v.setOrder(LnameKey);
    v.setRange(1);
    p->clear();
    p->utf8("PAT:LNAME", "ÉMILE");
    ASSERT_EQ(v.set(), 0);
    std::vector<std::string> held;
    while (v.next() == 0) held.push_back(p->number("PAT:PAT"));
    EXPECT_EQ(held, strings({"1", "5"}));

    // A case-sensitive key tells them apart, capitals first as the bytes compare.
    auto ins = make(kInsured);
    ASSERT_EQ(addInsured(*ins, "1", "émile"), 0);
    ASSERT_EQ(addInsured(*ins, "2", "ÉMILE"), 0);
    ASSERT_EQ(addInsured(*ins, "3", "Émile"), 0);
    EXPECT_EQ(ins->walk(InsCarKey, "INS:CODE"), strings({"2", "3", "1"}));
    ins->clear();
    ins->utf8("INS:CARNAME", "ÉMILE");
    ASSERT_EQ(ins->file.get(InsCarKey), 0);
    EXPECT_EQ(ins->text("INS:CODE"), "2");
}

TEST_F(RecordFileFoldTest, EveryCharacterFoldsAlikeWhenWrittenAndWhenRebuilt)
{
    // The driver folds a record's values as it writes them; rebuilds, upgrades
    // and the file check fold the stored text inside SQLite. Both must agree
    // on every character, or keys would change order on a rebuild.
    auto p = make(kPatient);
    int n = 0;
    Transaction t{&p->file};
    ASSERT_EQ(t.start(), 0);
    for (int b = 0x21; b <= 0xFF; ++b) {
        p->clear();
        p->number("PAT:PAT", std::to_string(++n));
        p->text("PAT:LNAME", std::string("x") + char(b) + "y");
        ASSERT_EQ(p->file.add(), 0) << b;
    }
    ASSERT_EQ(t.commit(), 0);
    const auto before = p->walk(LnameKey, "PAT:PAT");
    ASSERT_EQ(before.size(), std::size_t(n));
    const FileCheck check = checkRecordFile(kPatient, p->file.name());
    EXPECT_EQ(check.state, FileCheck::State::Ok);
    EXPECT_EQ(check.problems, QStringList());

    // Each is found by its capital's spelling.
    for (int b = 0x21; b <= 0xFF; ++b) {
        p->clear();
        p->text("PAT:LNAME", cp1252::toUpper(std::string("X") + char(b) + "Y"));
        ASSERT_EQ(p->file.get(LnameKey), 0) << b;
        EXPECT_EQ(cp1252::toUpper(p->text("PAT:LNAME")), cp1252::toUpper(std::string("x") + char(b) + "y")) << b;
    }

    ASSERT_EQ(p->file.close(), 0);
    ASSERT_EQ(p->file.build(), 0);
    ASSERT_EQ(p->file.open(), 0);
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT"), before);
    // The fold is an ordinary column for the standard tools.
    EXPECT_EQ(sqlValue(p->file.name(), "SELECT LNAME_fold FROM Patient WHERE LNAME = 'xéy'"), "XÉY");
}

TEST_F(RecordFileFoldTest, FilesOfThePreviousFormatAreUpgradedByOpenOrByBuild)
{
    const QString path = dir.file("Patient.db");
    writePreviousFormat(kPatient, path, kOldPatient);
    TestFile p(kPatient, dir.path());
    EXPECT_EQ(checkRecordFile(kPatient, path).state, FileCheck::State::KeysDamaged);
    ASSERT_EQ(p.file.open(), 0) << p.file.driverMessage();
    EXPECT_EQ(sqlValue(path, "SELECT value FROM kestrel_file WHERE key = 'format'"), "2");
    EXPECT_EQ(p.walk(LnameKey, "PAT:PAT"), strings({"4", "2", "1", "3"}));
    EXPECT_EQ(p.walk(BalKey, "PAT:PAT"), strings({"3", "1"}));
    // Written as any other file from now on.
    p.clear();
    p.utf8("PAT:LNAME", "EMILE");
    ASSERT_EQ(p.file.get(LnameKey), errc::NoRecord);
    p.utf8("PAT:LNAME", "ÉMILE");
    ASSERT_EQ(p.file.get(LnameKey), 0);
    p.utf8("PAT:LNAME", "Aaron");
    ASSERT_EQ(p.file.put(), 0);
    addPatient(p, 5, "Émile");
    EXPECT_EQ(p.walk(LnameKey, "PAT:PAT"), strings({"1", "4", "2", "3", "5"}));
    ASSERT_EQ(p.file.close(), 0);
    // Nothing left of the old keys: the check finds a file like any new one.
    FileCheck check = checkRecordFile(kPatient, path);
    EXPECT_EQ(check.state, FileCheck::State::Ok);
    EXPECT_EQ(check.problems, QStringList());
    ASSERT_EQ(p.file.open(), errc::Ok) << "an upgraded file opens as it is";

    // build() of a closed file of the previous format writes the new one.
    TempDir other;
    const QString second = other.file("Patient.db");
    writePreviousFormat(kPatient, second, kOldPatient);
    TestFile q(kPatient, other.path());
    ASSERT_EQ(q.file.build(), 0) << q.file.driverMessage();
    check = checkRecordFile(kPatient, second);
    EXPECT_EQ(check.state, FileCheck::State::Ok);
    EXPECT_EQ(check.problems, QStringList());
    ASSERT_EQ(q.file.open(), 0);
    EXPECT_EQ(q.walk(LnameKey, "PAT:PAT"), strings({"4", "2", "1", "3"}));
}

TEST_F(RecordFileFoldTest, AnUpgradeThatWouldJoinUniqueValuesLeavesTheFileAsItWas)
{
    const QString path = dir.file("Insured.db");
    writePreviousFormat(kInsured, path, kOldInsured);
    TestFile ins(kInsured, dir.path());
    EXPECT_EQ(ins.file.open(), errc::InvalidKeyFile);
    EXPECT_NE(ins.file.driverMessage().find("upgrading the keys"), std::string::npos) << ins.file.driverMessage();
    EXPECT_FALSE(ins.file.isOpen());
    EXPECT_EQ(sqlValue(path, "SELECT value FROM kestrel_file WHERE key = 'format'"), "1");
    EXPECT_EQ(sqlValue(path, "SELECT COUNT(*) FROM Insured"), "2");
    // Neither can a rebuild make the key: the check says why.
    EXPECT_EQ(ins.file.build(), errc::DuplicateKey);
    EXPECT_EQ(sqlValue(path, "SELECT value FROM kestrel_file WHERE key = 'format'"), "1");
    const FileCheck check = checkRecordFile(kInsured, path);
    EXPECT_EQ(check.state, FileCheck::State::Damaged);
    EXPECT_TRUE(check.problems.contains("1 values of the unique key INS:CODEKEY are held by more than one record"))
        << check.problems.join(" | ").toStdString();

    // Told apart by hand, the file opens upgraded.
    ASSERT_EQ(execSql(path, "UPDATE Insured SET CODE = 'PENA' WHERE CODE = 'Peña'"), "");
    ASSERT_EQ(ins.file.open(), 0) << ins.file.driverMessage();
    EXPECT_EQ(ins.walk(InsCodeKey, "INS:CODE"), strings({"PENA", "PE\xd1" "A"}));
}

} // namespace
} // namespace kestrel::test
