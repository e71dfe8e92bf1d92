// The update and delete operations with their cascades, on real files.
#include "data/file_access.h"
#include "data/integrity.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/sqlitedamage.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tuple>

using namespace kestrel;
using data::INV;
using data::ITM;
using data::PAT;
using data::PRV;
namespace errc = platform::errc;
namespace file = data::file;
namespace faults = platform::faults;

namespace {

using test::addClaim;
using test::addPatient;
using test::addProvider;

using Line = std::tuple<long long, long long, long long, std::string>;  // PRV, PAT, INV, CPT

class IntegrityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folderSet);
        data::clearAllBuffers();
        data::claimSnapshot = {};
    }
    void TearDown() override
    {
        faults::clear();
        use.release();
        for (const auto& fb : data::allFiles()) EXPECT_EQ(data::openCount(*fb.def), 0) << fb.def->label;
        data::setDataDirectory(QString());
    }

    platform::RecordFile& patients() { return data::recordFile(file::Patient); }
    platform::RecordFile& claims() { return data::recordFile(file::Invoice); }
    platform::RecordFile& items() { return data::recordFile(file::Item); }

    template <class F>
    int count(platform::RecordFile& f, F&& keep)
    {
        int n = 0;
        EXPECT_EQ(f.setFileOrder(), errc::Ok);
        while (f.next() == errc::Ok) n += keep() ? 1 : 0;
        return n;
    }
    int count(platform::RecordFile& f) { return count(f, [] { return true; }); }

    std::multiset<Line> lines()
    {
        std::multiset<Line> out;
        EXPECT_EQ(items().setFileOrder(), errc::Ok);
        while (items().next() == errc::Ok)
            out.insert({ITM.PRV.asInt(), ITM.PAT.asInt(), ITM.INV.asInt(), std::string(ITM.CPT.trimmed())});
        return out;
    }

    // Reads a record into its buffer by its primary key, as a browse does
    // before it calls a form.
    void readPatient(long long pat)
    {
        PAT.PAT.set(pat);
        ASSERT_EQ(patients().get(file::Patient.keyIndex("PAT:PATKEY")), errc::Ok);
    }
    void readClaim(long long inv)
    {
        INV.INV.set(inv);
        ASSERT_EQ(claims().get(file::Invoice.keyIndex("INV:INVKEY")), errc::Ok);
    }

    // Three claims of five lines each for patient 1, and one claim of two
    // lines for patient 2 of the same provider.
    void threeClaimsOfFive()
    {
        addProvider(1);
        addPatient(1);
        addPatient(2);
        addClaim(1, 1, 10, 5);
        addClaim(1, 1, 11, 5);
        addClaim(1, 1, 12, 5);
        addClaim(1, 2, 13, 2);
    }

    test::TempDir dir;
    test::ScriptedMessages messages;
    bool folderSet = data::setDataDirectory(dir.path());
    // The uses of the calling procedure (a browse of these files).
    data::FileUse use{&file::Provider, &file::Patient, &file::Invoice, &file::Item};
};

} // namespace

TEST_F(IntegrityTest, EveryFileHasItsPositionKey)
{
    // A key named wrongly would only show when that file is first saved.
    for (const auto& fb : data::allFiles())
        EXPECT_GE(fb.def->keyIndex(data::positionKey(*fb.def)), 0) << fb.def->label;
}

TEST_F(IntegrityTest, DeletingAPatientRemovesItsClaimsAndTheirLinesOnly)
{
    threeClaimsOfFive();
    readPatient(1);
    EXPECT_TRUE(data::deleteRecord(file::Patient));
    EXPECT_TRUE(messages.shown().empty());

    EXPECT_EQ(count(patients()), 1);
    EXPECT_EQ(count(claims()), 1);
    EXPECT_EQ(lines(), (std::multiset<Line>{{1, 2, 13, "99210"}, {1, 2, 13, "99211"}}));
    EXPECT_EQ(count(data::recordFile(file::Provider)), 1);
    // The operation's own uses of the claim files are given back.
    EXPECT_EQ(data::openCount(file::Invoice), 1);
    EXPECT_EQ(data::openCount(file::Item), 1);
}

TEST_F(IntegrityTest, PatientDeleteFailingAtTheNinthLineRemovesNothing)
{
    threeClaimsOfFive();
    const auto before = lines();
    readPatient(1);
    faults::failOn(faults::Operation::Remove, "Item", 9, errc::DriverError);
    EXPECT_FALSE(data::deleteRecord(file::Patient));

    ASSERT_EQ(messages.numbers(), std::vector<int>{17});
    EXPECT_EQ(messages.shown()[0].text, "An error (failure injected by a test (0)) was experienced when "
                                        "attempting to delete a record from the file Item.");
    EXPECT_EQ(count(patients()), 2);
    EXPECT_EQ(count(claims()), 4);
    EXPECT_EQ(lines(), before);
}

TEST_F(IntegrityTest, FailedCommitIsReportedAndStoresNothing)
{
    threeClaimsOfFive();
    readPatient(1);
    faults::failOn(faults::Operation::Commit, "", 1, errc::FileLocked);
    EXPECT_FALSE(data::deleteRecord(file::Patient));
    ASSERT_EQ(messages.numbers(), std::vector<int>{17});
    EXPECT_TRUE(messages.shown()[0].text.contains("(File Is Locked (32))"));
    EXPECT_EQ(count(patients()), 2);
    EXPECT_EQ(count(claims()), 4);
    EXPECT_EQ(lines().size(), 17u);
}

TEST_F(IntegrityTest, DeletingAClaimRemovesItsLinesNotItsNeighbours)
{
    threeClaimsOfFive();
    // Lines of claim 11 sit between those of claims 10 and 12 in the key.
    readClaim(11);
    EXPECT_TRUE(data::deleteRecord(file::Invoice));
    EXPECT_EQ(count(claims()), 3);
    EXPECT_EQ(count(items(), [] { return ITM.INV.asInt() == 11; }), 0);
    EXPECT_EQ(count(items(), [] { return ITM.INV.asInt() == 10; }), 5);
    EXPECT_EQ(count(items(), [] { return ITM.INV.asInt() == 12; }), 5);
    EXPECT_EQ(count(patients()), 2);
}

TEST_F(IntegrityTest, DeletingAProviderLeavesItsClaimsAndLines)
{
    threeClaimsOfFive();
    addProvider(2);
    PRV.PRV.set(1);
    ASSERT_EQ(data::recordFile(file::Provider).get(file::Provider.keyIndex("PRV:PRVKEY")), errc::Ok);
    EXPECT_TRUE(data::deleteRecord(file::Provider));
    EXPECT_EQ(count(data::recordFile(file::Provider)), 1);
    EXPECT_EQ(count(claims()), 4);
    EXPECT_EQ(lines().size(), 17u);
}

TEST_F(IntegrityTest, ChangingAClaimNumberMovesEveryLineTransactionsIncluded)
{
    addProvider(1);
    addPatient(1);
    addClaim(1, 1, 5, 3, 5);  // three services, payments "00001".."00005"
    addClaim(1, 1, 6, 2);
    readClaim(5);
    data::takeClaimSnapshot();
    INV.INV.set(9'999'999);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
    EXPECT_TRUE(messages.shown().empty());

    std::multiset<Line> expected{{1, 1, 6, "99210"}, {1, 1, 6, "99211"}};
    for (const char* cpt : {"99210", "99211", "99212", "00001", "00002", "00003", "00004", "00005"})
        expected.insert({1, 1, 9'999'999, cpt});
    EXPECT_EQ(lines(), expected);
    readClaim(9'999'999);
    EXPECT_EQ(INV.F19.trimmed(), "claim 5");
}

TEST_F(IntegrityTest, ChangingProviderAndPatientMovesTheLinesToo)
{
    addProvider(1);
    addPatient(1);
    addPatient(2);
    addClaim(1, 1, 5, 4);
    readClaim(5);
    data::takeClaimSnapshot();
    INV.PRV.set(3);
    INV.PAT.set(2);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
    EXPECT_EQ(count(items(), [] { return ITM.PRV.asInt() == 3 && ITM.PAT.asInt() == 2 && ITM.INV.asInt() == 5; }),
              4);
    EXPECT_EQ(lines().size(), 4u);
}

TEST_F(IntegrityTest, ChangingAnyOtherClaimFieldWritesNoLine)
{
    threeClaimsOfFive();
    readClaim(11);
    data::takeClaimSnapshot();
    INV.F19.set("changed");
    INV.BDUE.set(platform::Decimal::fromUnits(12345, 2));
    // Any write of a line would meet this failure and fail the update.
    faults::failOn(faults::Operation::Put, "Item", 1, errc::DriverError);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
    EXPECT_TRUE(messages.shown().empty());
    readClaim(11);
    EXPECT_EQ(INV.F19.trimmed(), "changed");
}

TEST_F(IntegrityTest, SnapshotFollowsTheClaimAfterASuccessfulUpdate)
{
    addProvider(1);
    addPatient(1);
    addClaim(1, 1, 5, 2);
    readClaim(5);
    data::takeClaimSnapshot();
    INV.INV.set(7);
    ASSERT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
    // Saved again from the same window without a new snapshot.
    INV.INV.set(8);
    ASSERT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
    EXPECT_EQ(count(items(), [] { return ITM.INV.asInt() == 8; }), 2);
}

TEST_F(IntegrityTest, ClaimNumberTooLargeForItsLinesIsRefusedAndNothingWritten)
{
    addProvider(1);
    addPatient(1);
    addClaim(1, 1, 5, 2);
    addClaim(1, 1, 6, 0);
    readClaim(5);
    data::takeClaimSnapshot();
    INV.INV.set(10'000'000);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateFailed);
    ASSERT_EQ(messages.numbers(), std::vector<int>{15});
    EXPECT_EQ(messages.shown()[0].text,
              "An error (Claim 10,000,000 of patient 1 and provider 1 cannot be carried by its lines: ITM:INV "
              "holds claim numbers up to 9,999,999) was experienced when attempting to update a record from the "
              "file.  Probable Cause: Item.");
    readClaim(5);
    EXPECT_EQ(count(items(), [] { return ITM.INV.asInt() == 5; }), 2);
    INV.INV.set(10'000'000);
    EXPECT_EQ(claims().get(file::Invoice.keyIndex("INV:INVKEY")), errc::NoRecord);

    // A claim without lines may take such a number; deleting it touches no line.
    readClaim(6);
    data::takeClaimSnapshot();
    INV.INV.set(123'456'789);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
    EXPECT_TRUE(data::deleteRecord(file::Invoice));
    EXPECT_EQ(lines().size(), 2u);
}

namespace {
// Another station: a process of its own that opens the file afresh, changes
// (or deletes) patient 1 and ends.
void otherStationChangesPatient(const QString& dir, const char* newName)
{
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        data::PatientRecord buffer{};
        platform::RecordFile f(file::Patient, data::bytesOf(buffer));
        f.setDirectory(dir);
        int rc = f.open();
        buffer.PAT.set(1);
        if (rc == 0) rc = f.get(file::Patient.keyIndex("PAT:PATKEY"));
        if (rc == 0) {
            if (newName) {
                buffer.LNAME.set(newName);
                rc = f.put();
            } else {
                rc = f.remove();
            }
        }
        _exit(rc == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
} // namespace

TEST_F(IntegrityTest, CollisionWithAnotherStationShowsItsVersionAndWatchesAgain)
{
    addPatient(1);
    patients().watch();
    readPatient(1);
    otherStationChangesPatient(dir.path(), "Changed Elsewhere");

    PAT.LNAME.set("Typed Here");
    EXPECT_EQ(data::updateRecord(file::Patient), data::UpdateChanged);
    ASSERT_EQ(messages.numbers(), std::vector<int>{38});
    EXPECT_EQ(PAT.LNAME.trimmed(), "Changed Elsewhere");

    // Watched again: a second change elsewhere is caught as well...
    otherStationChangesPatient(dir.path(), "Changed Again");
    PAT.LNAME.set("Typed Twice");
    EXPECT_EQ(data::updateRecord(file::Patient), data::UpdateChanged);
    EXPECT_EQ(PAT.LNAME.trimmed(), "Changed Again");
    // ...and a save over the version now shown goes through.
    PAT.LNAME.set("Typed Last");
    EXPECT_EQ(data::updateRecord(file::Patient), data::UpdateDone);
    readPatient(1);
    EXPECT_EQ(PAT.LNAME.trimmed(), "Typed Last");
}

TEST_F(IntegrityTest, RecordDeletedByAnotherStationCannotBeSaved)
{
    addPatient(1);
    patients().watch();
    readPatient(1);
    otherStationChangesPatient(dir.path(), nullptr);
    PAT.LNAME.set("Typed Here");
    EXPECT_EQ(data::updateRecord(file::Patient), data::UpdateDeleted);
    // One message that says what happened, and what was typed stays.
    EXPECT_EQ(messages.numbers(), (std::vector<int>{39}));
    EXPECT_EQ(PAT.LNAME.trimmed(), "Typed Here");
    EXPECT_EQ(count(patients()), 0);
}

TEST_F(IntegrityTest, DriverErrorIsReportedWithTheDriversOwnCodeAndMessage)
{
    addPatient(1);
    // Something in the file makes SQLite itself refuse the write.
    ASSERT_EQ(test::execSql(dir.file("Patient.db"),
                            "CREATE TRIGGER refuse BEFORE UPDATE ON \"Patient\" BEGIN "
                            "INSERT INTO nowhere VALUES(1); END"),
              "");
    readPatient(1);
    PAT.LNAME.set("New Name");
    EXPECT_EQ(data::updateRecord(file::Patient), data::UpdateFailed);
    ASSERT_EQ(messages.numbers(), std::vector<int>{15});
    const QString text = messages.shown()[0].text;
    EXPECT_TRUE(text.startsWith("An error (no such table: main.nowhere (1)) was experienced")) << text.toStdString();
    EXPECT_FALSE(text.contains("(90)"));
    readPatient(1);
    EXPECT_EQ(PAT.LNAME.trimmed(), "Patient 1");
}

TEST_F(IntegrityTest, TransactionThatCannotStartIsReportedWithMessage34)
{
    threeClaimsOfFive();
    readPatient(1);
    faults::failOn(faults::Operation::Begin, "", 1, errc::FileLocked);
    EXPECT_FALSE(data::deleteRecord(file::Patient));
    ASSERT_EQ(messages.numbers(), std::vector<int>{34});
    EXPECT_EQ(messages.shown()[0].text, "Error: (File Is Locked (32)) attempting to frame the delete transaction "
                                        "on Patient.  Delete transaction cancelled.");

    readClaim(10);
    faults::failOn(faults::Operation::Begin, "", 1, errc::FileLocked);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateFailed);
    EXPECT_EQ(messages.shown().back().text, "Error: (File Is Locked (32)) attempting to frame the update "
                                            "transaction on Invoice.  Update transaction cancelled.");
    EXPECT_EQ(count(patients()), 2);
    EXPECT_EQ(count(claims()), 4);
}

TEST_F(IntegrityTest, DuplicateKeyOnUpdateIsMessage15AndStoresNothing)
{
    threeClaimsOfFive();
    readClaim(11);
    data::takeClaimSnapshot();
    INV.INV.set(12);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateFailed);
    ASSERT_EQ(messages.numbers(), std::vector<int>{15});
    EXPECT_TRUE(messages.shown()[0].text.contains("(Creates Duplicate Key (40))"));
    EXPECT_TRUE(messages.shown()[0].text.endsWith("Probable Cause: Invoice."));
    EXPECT_EQ(count(items(), [] { return ITM.INV.asInt() == 11; }), 5);
}

TEST_F(IntegrityTest, LineWriteFailingMidwayLeavesClaimAndLinesAsBefore)
{
    threeClaimsOfFive();
    const auto before = lines();
    readClaim(11);
    data::takeClaimSnapshot();
    INV.INV.set(20);
    faults::failOn(faults::Operation::Put, "Item", 3, errc::DriverError);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateFailed);
    ASSERT_EQ(messages.numbers(), std::vector<int>{15});
    EXPECT_TRUE(messages.shown()[0].text.endsWith("Probable Cause: Item."));
    EXPECT_EQ(lines(), before);
    readClaim(11);
}

TEST_F(IntegrityTest, SavingAgainAfterAFailedUpdateStillDetectsAnotherStationsChange)
{
    threeClaimsOfFive();
    claims().watch();
    readClaim(11);
    data::takeClaimSnapshot();
    INV.INV.set(20);
    faults::failOn(faults::Operation::Put, "Item", 3, errc::DriverError);
    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateFailed);

    // Meanwhile another station changes the claim; then the user saves again.
    data::InvoiceRecord theirs{};
    platform::RecordFile other(file::Invoice, data::bytesOf(theirs));
    other.setDirectory(dir.path());
    ASSERT_EQ(other.open(), errc::Ok);
    theirs.INV.set(11);
    ASSERT_EQ(other.get(file::Invoice.keyIndex("INV:INVKEY")), errc::Ok);
    theirs.F19.set("changed elsewhere");
    ASSERT_EQ(other.put(), errc::Ok);

    EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateChanged);
    EXPECT_EQ(messages.numbers(), (std::vector<int>{15, 38}));
    EXPECT_EQ(INV.F19.trimmed(), "changed elsewhere");
    EXPECT_EQ(INV.INV.asInt(), 11);
    EXPECT_EQ(count(items(), [] { return ITM.INV.asInt() == 11; }), 5);
}

TEST_F(IntegrityTest, OtherFilesUpdateAndDeleteAlone)
{
    data::FileUse cpt{&file::CPT48};
    auto& codes = data::recordFile(file::CPT48);
    data::CPT.CPTCODE.set("99213");
    data::CPT.CPTDESCRIPTION.set("Office visit");
    ASSERT_EQ(codes.add(), errc::Ok);
    data::CPT.CPTCODE.set("99214");
    ASSERT_EQ(codes.add(), errc::Ok);

    data::CPT.CPTCODE.set("99213");
    ASSERT_EQ(codes.get(file::CPT48.keyIndex("CPT:CPTCODEKEY")), errc::Ok);
    data::CPT.CPTDESCRIPTION.set("Office visit, level 3");
    EXPECT_EQ(data::updateRecord(file::CPT48), data::UpdateDone);
    EXPECT_TRUE(data::deleteRecord(file::CPT48));
    EXPECT_EQ(count(codes), 1);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "99214");
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(data::openCount(file::Item), 1);
}

TEST_F(IntegrityTest, AHeldClaimSnapshotIsReplacedByNothingElseAndMovesOnlyItsOwnLines)
{
    addProvider(1);
    addPatient(1);
    addClaim(1, 1, 5, 2);
    addClaim(1, 1, 6, 1);
    readClaim(5);
    {
        data::ClaimSnapshotHold hold;  // the claim form has claim 5 open for change
        ASSERT_TRUE(hold.held());
        EXPECT_FALSE(data::ClaimSnapshotHold().held());

        // Another window writes claim 6 meanwhile: its try to take the
        // snapshot is refused, and its update hands it none of claim 5's lines.
        readClaim(6);
        EXPECT_FALSE(data::takeClaimSnapshot());
        INV.F19.set("other window");
        EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
        EXPECT_EQ(data::claimSnapshot.INV.asInt(), 5);

        // The form saves claim 5 under a new number: its lines follow.
        readClaim(5);
        INV.INV.set(7);
        EXPECT_EQ(data::updateRecord(file::Invoice), data::UpdateDone);
        EXPECT_EQ(data::claimSnapshot.INV.asInt(), 7);
    }
    EXPECT_EQ(lines(), (std::multiset<Line>{{1, 1, 7, "99210"}, {1, 1, 7, "99211"}, {1, 1, 6, "99210"}}));
    EXPECT_FALSE(data::ClaimSnapshotHold::active());
    EXPECT_TRUE(data::takeClaimSnapshot());
}
