// The record file driver in one process: opening, key orders, walks,
// positions, writes and read-ahead.
#include "recordfile_fixture.h"

#include "platform/transaction.h"
#include "platform/view.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <thread>

namespace kestrel::test {
namespace {

class RecordFileTest : public RecordFileFixture {
protected:
    void addLine(TestFile& i, int prv, int pat, int inv, std::string_view date, std::string_view cpt,
                 std::string_view fee = "0")
    {
        i.clear();
        i.number("ITM:PRV", std::to_string(prv));
        i.number("ITM:PAT", std::to_string(pat));
        i.number("ITM:INV", std::to_string(inv));
        i.text("ITM:DOSF", date);
        i.text("ITM:CPT", cpt);
        i.number("ITM:FEE", fee);
        ASSERT_EQ(i.file.add(), 0) << i.file.driverMessage();
    }
};

TEST_F(RecordFileTest, OpenCreateCloseCodes)
{
    TestFile p(kPatient, dir.path());
    EXPECT_EQ(p.file.name(), QFileInfo(dir.file("Patient.db")).absoluteFilePath());
    EXPECT_EQ(p.file.open(), errc::FileNotFound);
    EXPECT_EQ(p.file.errorText(), "File Not Found");
    EXPECT_EQ(driverErrors.last().code, errc::FileNotFound);
    EXPECT_FALSE(p.file.isOpen());
    EXPECT_EQ(p.file.next(), errc::FileNotOpen);

    EXPECT_EQ(p.file.create(), 0);
    EXPECT_FALSE(p.file.isOpen());
    EXPECT_EQ(p.file.open(), 0);
    EXPECT_EQ(p.file.open(), errc::AlreadyOpen);
    EXPECT_TRUE(p.file.isOpen());
    addPatient(p, 1, "Smith");

    // Creating over an existing file must not wipe it.
    EXPECT_EQ(p.file.create(), 0);
    EXPECT_EQ(p.walk(PatKey, "PAT:LNAME"), strings({"Smith"}));
    EXPECT_EQ(p.file.close(), 0);
    EXPECT_FALSE(p.file.isOpen());
    EXPECT_EQ(p.file.open(), 0);
    EXPECT_EQ(p.walk(PatKey, "PAT:LNAME"), strings({"Smith"}));
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.new-*"}, QDir::Files).isEmpty());
}

TEST_F(RecordFileTest, ReadRestoresExactBytesAndColumnsAreReadable)
{
    auto p = make(kPatient);
    addPatient(*p, 7, "Peña, Zoë", "-15.50", "19800229");
    p->text("PAT:SSN", "123456789");
    ASSERT_EQ(p->file.put(), 0);
    const std::string written = p->bytes();
    addPatient(*p, 8, "Other");

    p->clear();
    p->number("PAT:PAT", "7");
    ASSERT_EQ(p->file.get(PatKey), 0);
    EXPECT_EQ(p->bytes(), written);
    EXPECT_EQ(cp1252::toUtf8(p->text("PAT:LNAME")), "Peña, Zoë");
    EXPECT_EQ(p->number("PAT:NOWBALAN"), "-15.50");
    ASSERT_EQ(p->file.close(), 0);

    // The columns are plain typed values for the standard tools.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dir.file("Patient.db")).constData(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT LNAME, BDATE, SSN, NOWBALAN, typeof(NOWBALAN) FROM Patient WHERE PAT = 7",
                                 -1, &st, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "Peña, Zoë");
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)), "19800229");
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)), "123456789");
    EXPECT_EQ(sqlite3_column_int64(st, 3), -1550);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 4)), "integer");
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST_F(RecordFileTest, CaseInsensitiveAndCaseSensitiveOrders)
{
    auto p = make(kPatient);
    addPatient(*p, 1, "baker");
    addPatient(*p, 2, "Adams");
    addPatient(*p, 3, "");  // not listed by the name key
    addPatient(*p, 4, "BAKER");
    addPatient(*p, 5, "adams");
    addPatient(*p, 6, "Baker");
    // Letter case ignored; equal names in the order they were added.
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT"), strings({"2", "5", "1", "4", "6"}));
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT", false), strings({"6", "4", "1", "5", "2"}));
    EXPECT_EQ(p->walk(FileOrder, "PAT:PAT"), strings({"1", "2", "3", "4", "5", "6"}));

    auto ins = make(kInsured);
    for (auto [code, car] : {std::pair{"A1", "apple"}, {"A2", "Banana"}, {"A3", "banana"}, {"A4", "Apple"}}) {
        ins->clear();
        ins->text("INS:CODE", code);
        ins->text("INS:CARNAME", car);
        ASSERT_EQ(ins->file.add(), 0);
    }
    // Case-sensitive: capitals first, as the bytes compare.
    EXPECT_EQ(ins->walk(InsCarKey, "INS:CODE"), strings({"A4", "A2", "A1", "A3"}));
}

TEST_F(RecordFileTest, EmptiesDatesAndNegativeNumbers)
{
    auto i = make(kItem);
    addLine(*i, 1, 10, 100, "20240305", "B");
    addLine(*i, 1, 10, 100, "", "A");           // blank date: first of its claim
    addLine(*i, 1, 10, 100, "20231231", "C");
    addLine(*i, 0, 0, 0, "", "EMPTY");          // all key components empty
    addLine(*i, 1, 9, 200, "20200101", "D");
    EXPECT_EQ(i->walk(ItmInvPatPrvKey, "ITM:CPT"), strings({"D", "A", "C", "B"}));
    EXPECT_EQ(i->walk(ItmInvDosKey, "ITM:CPT"), strings({"A", "C", "B", "D"}));
    // A key on the date alone does not list the blank dates.
    EXPECT_EQ(i->walk(ItmDosKey, "ITM:CPT"), strings({"D", "C", "B"}));

    auto p = make(kPatient);
    addPatient(*p, 1, "a", "12.00");
    addPatient(*p, 2, "b", "-0.01");
    addPatient(*p, 3, "c", "0");
    addPatient(*p, 4, "d", "-1500.25");
    addPatient(*p, 5, "e", "3");
    EXPECT_EQ(p->walk(BalKey, "PAT:NOWBALAN"), strings({"-1500.25", "-0.01", "3.00", "12.00"}));

    // A key that includes empty entries lists the record with all components empty.
    auto ins = make(kInsured);
    ins->clear();
    ins->text("INS:CODE", "X");
    ASSERT_EQ(ins->file.add(), 0);
    ins->clear();
    ins->text("INS:CODE", "Y");
    ins->text("INS:GRP", "G");
    ASSERT_EQ(ins->file.add(), 0);
    EXPECT_EQ(ins->walk(InsGrpKey, "INS:CODE"), strings({"X", "Y"}));
}

TEST_F(RecordFileTest, SetStartsAtBufferValuesOrAtEnds)
{
    auto p = make(kPatient);
    for (auto [n, name] : {std::pair{1, "Adams"}, {2, "Baker"}, {3, "Baker"}, {4, "Clark"}, {5, "Davis"}})
        addPatient(*p, n, name);
    p->clear();
    p->text("PAT:LNAME", "b");  // partial value: first entry not below
    ASSERT_EQ(p->file.set(LnameKey), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "2");
    p->clear();
    p->text("PAT:LNAME", "BAKER");  // not above: the last of the equal names first
    ASSERT_EQ(p->file.set(LnameKey), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "3");
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "2");
    // Past the last: 33 and the buffer as it was.
    p->clear();
    p->text("PAT:LNAME", "Zz");
    ASSERT_EQ(p->file.set(LnameKey), 0);
    const std::string before = p->bytes();
    EXPECT_EQ(p->file.next(), errc::NoRecord);
    EXPECT_EQ(p->file.errorText(), "Record Not Found");
    EXPECT_EQ(p->bytes(), before);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->text("PAT:LNAME"), "Davis");
    // At the ends.
    ASSERT_EQ(p->file.set(PatKey, RecordFile::Start::AtEnds), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "5");
    // Changing direction goes back past the record just read.
    ASSERT_EQ(p->file.set(PatKey, RecordFile::Start::AtEnds), 0);
    ASSERT_EQ(p->file.next(), 0);
    ASSERT_EQ(p->file.next(), 0);
    ASSERT_EQ(p->file.next(), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "2");
}

TEST_F(RecordFileTest, GetIsAnExactMatch)
{
    auto p = make(kPatient);
    addPatient(*p, 1, "Smith");
    addPatient(*p, 2, "Smithers");
    p->clear();
    p->text("PAT:LNAME", "SMITH");
    ASSERT_EQ(p->file.get(LnameKey), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "1");
    p->clear();
    p->text("PAT:LNAME", "Smit");
    EXPECT_EQ(p->file.get(LnameKey), errc::NoRecord);
    p->clear();  // empty values are not in an excludes-empty key
    EXPECT_EQ(p->file.get(PatKey), errc::NoRecord);
    // Get by position 0: no current record, so nothing to write.
    p->file.forget();
    EXPECT_FALSE(p->file.hasCurrent());
    EXPECT_EQ(p->file.position(), "");
    EXPECT_EQ(p->file.put(), errc::NoRecord);
    EXPECT_EQ(p->file.remove(), errc::NoRecord);
}

TEST_F(RecordFileTest, PositionsAreExactAmongDuplicates)
{
    auto p = make(kPatient);
    for (int n = 1; n <= 6; ++n) addPatient(*p, n, n % 2 ? "Same" : "same");
    ASSERT_EQ(p->file.set(LnameKey, RecordFile::Start::AtEnds), 0);
    std::vector<std::string> positions;
    while (p->file.next() == 0) positions.push_back(p->file.position());
    ASSERT_EQ(positions.size(), 6u);
    for (const auto& pos : positions) EXPECT_EQ(pos.size(), std::size_t(PositionLength));
    // Every position re-reads its own record.
    for (int n = 0; n < 6; ++n) {
        p->clear();
        ASSERT_EQ(p->file.reget(positions[std::size_t(n)]), 0);
        EXPECT_EQ(p->number("PAT:PAT"), std::to_string(n + 1));
    }
    // reset: the walk starts at that record, in either direction.
    ASSERT_EQ(p->file.reset(positions[3]), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "4");
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "5");
    ASSERT_EQ(p->file.reset(positions[3]), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "4");
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "3");

    // A deleted record's position still starts a walk where it stood.
    ASSERT_EQ(p->file.reget(positions[3]), 0);
    ASSERT_EQ(p->file.remove(), 0);
    EXPECT_EQ(p->file.reget(positions[3]), errc::NoRecord);
    ASSERT_EQ(p->file.reset(positions[3]), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "5");
    ASSERT_EQ(p->file.reset(positions[3]), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "3");

    // The identity of a deleted record is never given to a new one.
    ASSERT_EQ(p->file.reget(positions[5]), 0);
    ASSERT_EQ(p->file.remove(), 0);
    addPatient(*p, 7, "Same");
    EXPECT_EQ(p->file.reget(positions[5]), errc::NoRecord);

    // Garbage is no position.
    EXPECT_EQ(p->file.reget("nonsense"), errc::NoRecord);
    EXPECT_EQ(p->file.reset(std::string(512, ' ')), errc::NoRecord);
}

TEST_F(RecordFileTest, PositionsCarryOddCharactersAndTheirOrder)
{
    auto p = make(kPatient);
    addPatient(*p, 1, "O'Brien; Zoë 100%");
    addPatient(*p, 2, "O'Brien; Zoë 100%x");
    addPatient(*p, 3, "Zed");
    p->clear();
    p->number("PAT:PAT", "2");
    ASSERT_EQ(p->file.get(PatKey), 0);
    std::string byName = p->file.position(LnameKey);
    std::string byFile = p->file.position(FileOrder);
    ASSERT_EQ(p->file.remove(), 0);
    ASSERT_EQ(p->file.reset(byName), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->text("PAT:LNAME"), "Zed");
    ASSERT_EQ(p->file.reset(byName), 0);
    ASSERT_EQ(p->file.previous(), 0);
    EXPECT_EQ(cp1252::toUtf8(p->text("PAT:LNAME")), "O'Brien; Zoë 100%");
    ASSERT_EQ(p->file.reset(byFile), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "3");

    // A name that is a lone "*" is a value like any other.
    addPatient(*p, 4, "!");
    addPatient(*p, 5, "*");
    std::string star = p->file.position(LnameKey);
    ASSERT_EQ(p->file.remove(), 0);
    ASSERT_EQ(p->file.reset(star), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(cp1252::toUtf8(p->text("PAT:LNAME")), "O'Brien; Zoë 100%");
}

TEST_F(RecordFileTest, DuplicateKeysAreRefused)
{
    auto p = make(kPatient);
    addPatient(*p, 1, "Smith");
    addPatient(*p, 2, "Jones");
    p->clear();
    p->number("PAT:PAT", "1");
    p->text("PAT:LNAME", "Smith");  // duplicates allowed in the name key
    EXPECT_EQ(p->file.add(), errc::DuplicateKey);
    EXPECT_EQ(p->file.errorText(), "Creates Duplicate Key");
    EXPECT_TRUE(p->file.duplicate(PatKey));
    EXPECT_FALSE(p->file.duplicate(LnameKey));
    EXPECT_EQ(p->walk(FileOrder, "PAT:PAT"), strings({"1", "2"}));

    // put onto another record's number: refused, nothing written.
    p->clear();
    p->number("PAT:PAT", "2");
    ASSERT_EQ(p->file.get(PatKey), 0);
    EXPECT_FALSE(p->file.duplicate(PatKey));  // its own values do not count
    p->number("PAT:PAT", "1");
    EXPECT_EQ(p->file.put(), errc::DuplicateKey);
    EXPECT_TRUE(p->file.duplicate(PatKey));
    EXPECT_EQ(p->walk(PatKey, "PAT:LNAME"), strings({"Smith", "Jones"}));

    // A unique case-insensitive key: letter case does not make a value new.
    auto ins = make(kInsured);
    ins->text("INS:CODE", "abc");
    ASSERT_EQ(ins->file.add(), 0);
    ins->clear();
    ins->text("INS:CODE", "ABC");
    EXPECT_EQ(ins->file.add(), errc::DuplicateKey);
    EXPECT_TRUE(ins->file.duplicate(InsCodeKey));
    // Empty values are outside an excludes-empty unique key.
    ins->clear();
    ASSERT_EQ(ins->file.add(), 0);
    ins->clear();
    ASSERT_EQ(ins->file.add(), 0);
}

TEST_F(RecordFileTest, WritesUpdateEveryKey)
{
    auto p = make(kPatient);
    addPatient(*p, 1, "Adams");
    addPatient(*p, 2, "Baker");
    p->clear();
    p->number("PAT:PAT", "1");
    ASSERT_EQ(p->file.get(PatKey), 0);
    p->text("PAT:LNAME", "Young");
    p->number("PAT:PAT", "9");
    ASSERT_EQ(p->file.put(), 0);
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT"), strings({"2", "9"}));
    EXPECT_EQ(p->walk(PatKey, "PAT:LNAME"), strings({"Baker", "Young"}));
    p->clear();
    p->number("PAT:PAT", "2");
    ASSERT_EQ(p->file.get(PatKey), 0);
    ASSERT_EQ(p->file.remove(), 0);
    EXPECT_FALSE(p->file.hasCurrent());
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT"), strings({"9"}));
    EXPECT_EQ(p->walk(PatKey, "PAT:PAT"), strings({"9"}));
}

TEST_F(RecordFileTest, WalkSurvivesWritesOnTheRecordsItReads)
{
    // The claim cascade: walk a claim's lines and move each to a new number.
    auto i = make(kItem);
    Transaction t({&i->file});
    ASSERT_EQ(t.start(), 0);
    for (int n = 0; n < 40; ++n) addLine(*i, 1, 5, 100, "2024010" + std::to_string(n % 9 + 1), "L" + std::to_string(n));
    addLine(*i, 1, 5, 101, "20240101", "NEXT");
    i->clear();
    i->number("ITM:PRV", "1");
    i->number("ITM:PAT", "5");
    i->number("ITM:INV", "100");
    ASSERT_EQ(i->file.set(ItmInvPatPrvKey), 0);
    int moved = 0;
    while (i->file.next() == 0 && i->number("ITM:INV") == "100") {
        i->number("ITM:INV", "200");
        ASSERT_EQ(i->file.put(), 0);
        ++moved;
    }
    EXPECT_EQ(moved, 40);
    EXPECT_EQ(i->text("ITM:CPT"), "NEXT");

    // Delete while walking: every record met once.
    ASSERT_EQ(i->file.set(ItmPrvKey, RecordFile::Start::AtEnds), 0);
    int removed = 0;
    while (i->file.next() == 0) {
        ASSERT_EQ(i->file.remove(), 0);
        ++removed;
    }
    EXPECT_EQ(removed, 41);
    EXPECT_TRUE(i->walk(FileOrder, "ITM:CPT").empty());
    EXPECT_EQ(t.commit(), 0);
}

TEST_F(RecordFileTest, ReadAheadSeesWritesOfOtherWalksOnTheFile)
{
    auto p = make(kPatient);
    for (int n = 1; n <= 10; ++n) addPatient(*p, n * 10, "P" + std::to_string(n));
    View v(p->file);
    v.setOrder(PatKey);
    ASSERT_EQ(v.setToStart(), 0);
    ASSERT_EQ(v.next(), 0);  // reads ahead
    EXPECT_EQ(p->number("PAT:PAT"), "10");
    addPatient(*p, 15, "new");  // through the file, between two reads of the view
    ASSERT_EQ(v.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "15");
}

TEST_F(RecordFileTest, ReadAheadSeesWritesThroughAnotherHandleOfTheProcess)
{
    auto p = make(kPatient);
    for (int n = 1; n <= 10; ++n) addPatient(*p, n * 10, "P" + std::to_string(n));
    TestFile other(kPatient, dir.path() + "/../" + QFileInfo(dir.path()).fileName());
    ASSERT_EQ(other.file.open(), 0);

    // A record deleted through the other handle is not delivered afterwards.
    ASSERT_EQ(p->file.set(PatKey, RecordFile::Start::AtEnds), 0);
    ASSERT_EQ(p->file.next(), 0);  // reads ahead
    EXPECT_EQ(p->number("PAT:PAT"), "10");
    other.number("PAT:PAT", "20");
    ASSERT_EQ(other.file.get(PatKey), 0);
    ASSERT_EQ(other.file.remove(), 0);
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "30");

    // Nor is the old version of one changed in a transaction there, once it commits.
    {
        Transaction t({&other.file});
        ASSERT_EQ(t.start(), 0);
        other.number("PAT:PAT", "50");
        ASSERT_EQ(other.file.get(PatKey), 0);
        other.text("PAT:LNAME", "Changed");
        ASSERT_EQ(other.file.put(), 0);
        ASSERT_EQ(p->file.next(), 0);  // reads ahead the stored version of 50
        EXPECT_EQ(p->number("PAT:PAT"), "40");
        ASSERT_EQ(t.commit(), 0);
    }
    ASSERT_EQ(p->file.next(), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "50");
    EXPECT_EQ(p->text("PAT:LNAME"), "Changed");
}

TEST_F(RecordFileTest, QuickScanWalksTheSameRecords)
{
    auto p = make(kPatient);
    {
        Transaction t({&p->file});
        ASSERT_EQ(t.start(), 0);
        for (int n = 1; n <= 3000; ++n) addPatient(*p, (n * 7919) % 99991, "N" + std::to_string(n % 50));
        ASSERT_EQ(t.commit(), 0);
    }
    auto normal = p->walk(LnameKey, "PAT:PAT");
    auto normalBack = p->walk(LnameKey, "PAT:PAT", false);
    EXPECT_EQ(p->file.send("QUICKSCAN=on"), 0);
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT"), normal);
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT", false), normalBack);
    EXPECT_EQ(p->file.send("QUICKSCAN=off"), 0);
    EXPECT_EQ(p->file.send("Recover=10"), 0);
    EXPECT_EQ(p->file.send("Frobnicate=1"), errc::DriverError);
    ASSERT_EQ(normal.size(), 3000u);
    std::reverse(normalBack.begin(), normalBack.end());
    EXPECT_EQ(normal, normalBack);
}

TEST_F(RecordFileTest, WatchDetectsAChangeByAnotherConnection)
{
    auto a = make(kPatient);
    addPatient(*a, 1, "Original");
    TestFile b(kPatient, dir.path());
    ASSERT_EQ(b.file.open(), 0);

    a->clear();
    a->number("PAT:PAT", "1");
    a->file.watch();
    ASSERT_EQ(a->file.get(PatKey), 0);
    std::string pos = a->file.position(PatKey);

    b.number("PAT:PAT", "1");
    ASSERT_EQ(b.file.get(PatKey), 0);
    b.text("PAT:LNAME", "Theirs");
    ASSERT_EQ(b.file.put(), 0);

    a->text("PAT:LNAME", "Mine");
    EXPECT_EQ(a->file.put(), errc::ChangedByOther);
    EXPECT_EQ(a->file.errorText(), "Record Changed By Another Station");
    // Watch again and re-read: the other station's version, which can be written.
    a->file.watch();
    ASSERT_EQ(a->file.reget(pos), 0);
    EXPECT_EQ(a->text("PAT:LNAME"), "Theirs");
    a->text("PAT:LNAME", "Mine");
    EXPECT_EQ(a->file.put(), 0);

    // Unwatched writes are not checked.
    ASSERT_EQ(b.file.reget(pos), 0);
    ASSERT_EQ(a->file.reget(pos), 0);
    b.text("PAT:LNAME", "B again");
    ASSERT_EQ(b.file.put(), 0);
    a->text("PAT:LNAME", "A again");
    EXPECT_EQ(a->file.put(), 0);

    // A watched record deleted elsewhere is a change too.
    a->file.watch();
    ASSERT_EQ(a->file.reget(pos), 0);
    ASSERT_EQ(b.file.reget(pos), 0);
    ASSERT_EQ(b.file.remove(), 0);
    EXPECT_EQ(a->file.put(), errc::ChangedByOther);
}

TEST_F(RecordFileTest, TransactionCommitsOrRollsBackAcrossFiles)
{
    auto p = make(kPatient);
    auto i = make(kItem);
    auto ins = make(kInsured);
    {
        Transaction t({&p->file, &i->file, &ins->file});
        ASSERT_EQ(t.start(), 0);
        addPatient(*p, 1, "Kept");
        addLine(*i, 1, 1, 1, "20240101", "K");
        ins->text("INS:CODE", "K");
        ASSERT_EQ(ins->file.add(), 0);
        // Reads inside see the transaction's own writes.
        EXPECT_EQ(i->walk(ItmPrvKey, "ITM:CPT"), strings({"K"}));
        ASSERT_EQ(t.commit(), 0);
    }
    {
        Transaction t({&p->file, &i->file, &ins->file});
        ASSERT_EQ(t.start(), 0);
        addPatient(*p, 2, "Gone");
        addLine(*i, 1, 2, 2, "20240101", "G");
        ASSERT_EQ(p->file.set(PatKey, RecordFile::Start::AtEnds), 0);
        ASSERT_EQ(p->file.next(), 0);
        ASSERT_EQ(p->file.remove(), 0);
        ASSERT_EQ(t.rollback(), 0);
    }
    {
        Transaction t({&p->file, &i->file});
        ASSERT_EQ(t.start(), 0);
        addPatient(*p, 3, "Gone too");
        // Destroyed without commit: rolled back.
    }
    EXPECT_EQ(p->walk(PatKey, "PAT:LNAME"), strings({"Kept"}));
    EXPECT_EQ(i->walk(FileOrder, "ITM:CPT"), strings({"K"}));
    EXPECT_EQ(ins->walk(FileOrder, "INS:CODE"), strings({"K"}));

    // A file in a transaction cannot join a second one; closed files cannot join.
    Transaction t1({&p->file});
    ASSERT_EQ(t1.start(), 0);
    Transaction t2({&i->file, &p->file});
    EXPECT_EQ(t2.start(), errc::DriverError);
    ASSERT_EQ(t1.commit(), 0);
    ASSERT_EQ(ins->file.close(), 0);
    Transaction t3({&p->file, &ins->file});
    EXPECT_EQ(t3.start(), errc::FileNotOpen);
}

TEST_F(RecordFileTest, FaultHookFailsTheNthOperation)
{
    auto i = make(kItem);
    for (int n = 1; n <= 5; ++n) addLine(*i, 1, 1, 1, "2024010" + std::to_string(n), "L");
    faults::failOn(faults::Operation::Remove, "Item", 3, errc::DriverError);
    Transaction t({&i->file});
    ASSERT_EQ(t.start(), 0);
    ASSERT_EQ(i->file.set(ItmPrvKey, RecordFile::Start::AtEnds), 0);
    int code = 0, removed = 0;
    while (i->file.next() == 0 && (code = i->file.remove()) == 0) ++removed;
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(code, errc::DriverError);
    EXPECT_EQ(driverErrors.last().driverMessage, "failure injected by a test");
    ASSERT_EQ(t.rollback(), 0);
    EXPECT_EQ(i->walk(FileOrder, "ITM:CPT").size(), 5u);
    // One rule at a time, spent once it fired.
    ASSERT_EQ(i->file.set(ItmPrvKey, RecordFile::Start::AtEnds), 0);
    ASSERT_EQ(i->file.next(), 0);
    EXPECT_EQ(i->file.remove(), 0);
    faults::failOn(faults::Operation::Add, "Patient", 1, errc::DriverError);
    addLine(*i, 1, 1, 1, "20240109", "other file");
    faults::clear();
}

TEST_F(RecordFileTest, ViewFiltersAndRanges)
{
    auto i = make(kItem);
    addLine(*i, 1, 5, 100, "20240101", "A", "10");
    addLine(*i, 1, 5, 100, "20240102", "00001", "-5");
    addLine(*i, 1, 5, 100, "20240103", "C", "20");
    addLine(*i, 1, 5, 101, "20240101", "D", "30");
    addLine(*i, 1, 6, 100, "20240101", "E", "40");
    addLine(*i, 2, 5, 100, "20240101", "F", "50");

    View v(i->file);
    v.setOrder(ItmInvPatPrvKey);
    v.setRange(3);
    auto collect = [&](bool forward) {
        std::vector<std::string> out;
        while ((forward ? v.next() : v.previous()) == 0) out.push_back(i->text("ITM:CPT"));
        EXPECT_EQ(v.error(), errc::NoRecord);
        return out;
    };
    i->clear();
    i->number("ITM:PRV", "1");
    i->number("ITM:PAT", "5");
    i->number("ITM:INV", "100");
    ASSERT_EQ(v.setToStart(), 0);
    EXPECT_EQ(collect(true), strings({"A", "00001", "C"}));
    ASSERT_EQ(v.setToStart(), 0);
    EXPECT_EQ(collect(false), strings({"C", "00001", "A"}));

    // A filter on top: only service lines with a positive fee.
    v.setFilter([&] { return i->text("ITM:CPT") != "00001"; });
    ASSERT_EQ(v.setToStart(), 0);
    ASSERT_EQ(v.next(), 0);
    std::string first = v.position();
    const std::string atFirst = i->bytes();
    ASSERT_EQ(v.next(), 0);
    EXPECT_EQ(i->text("ITM:CPT"), "C");
    // At the end the buffer stays on the last accepted record.
    const std::string atLast = i->bytes();
    EXPECT_EQ(v.next(), errc::NoRecord);
    EXPECT_EQ(i->bytes(), atLast);
    ASSERT_EQ(v.reset(first), 0);
    ASSERT_EQ(v.next(), 0);
    EXPECT_EQ(i->bytes(), atFirst);

    // The range follows the buffer at set time; set() starts at its values.
    v.setFilter(nullptr);
    v.setRange(1);
    i->clear();
    i->number("ITM:PRV", "1");
    i->number("ITM:PAT", "6");
    ASSERT_EQ(v.set(), 0);
    EXPECT_EQ(collect(true), strings({"E"}));
    i->clear();
    i->number("ITM:PRV", "2");
    ASSERT_EQ(v.setToStart(), 0);
    EXPECT_EQ(collect(false), strings({"F"}));

    // File order, and a position of another order located by its record.
    View all(i->file);
    all.setOrder(FileOrder);
    ASSERT_EQ(all.setToStart(), 0);
    int n = 0;
    while (all.next() == 0) ++n;
    EXPECT_EQ(n, 6);
    i->clear();
    i->text("ITM:CPT", "D");
    View byDate(i->file);
    byDate.setOrder(ItmDosKey);
    ASSERT_EQ(i->file.setFileOrder(), 0);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(i->file.next(), 0);  // "D"
    ASSERT_EQ(byDate.reset(i->file.position(FileOrder)), 0);
    ASSERT_EQ(byDate.next(), 0);
    EXPECT_EQ(i->text("ITM:CPT"), "D");
    ASSERT_EQ(byDate.next(), 0);
    EXPECT_EQ(i->text("ITM:CPT"), "E");
}

// A report reading on a worker through files of its own leaves the GUI
// thread's last error (the one its next message describes) alone.
TEST_F(RecordFileTest, LastErrorIsKeptPerThread)
{
    TestFile p(kPatient, dir.path());
    ASSERT_EQ(p.file.create(), 0);
    ASSERT_EQ(p.file.open(), 0);
    std::thread worker([&] {
        TestFile w(kItem, dir.path());
        EXPECT_EQ(w.file.open(), errc::FileNotFound);
        EXPECT_EQ(driverErrors.last().code, errc::FileNotFound);
    });
    worker.join();
    EXPECT_EQ(driverErrors.last().code, 0);
}

} // namespace
} // namespace kestrel::test
