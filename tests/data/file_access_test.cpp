// Open counters and the checked open, on real files in a fresh folder.
#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "support/scriptedmessages.h"
#include "support/sqlitedamage.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel;
using data::Button;
namespace errc = platform::errc;
namespace file = data::file;

namespace {

class FileAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data::setDataDirectory(dir.path()));
        data::clearAllBuffers();
    }
    void TearDown() override
    {
        platform::faults::clear();
        for (const auto& fb : data::allFiles()) EXPECT_EQ(data::openCount(*fb.def), 0) << fb.def->label;
        data::setDataDirectory(QString());
    }

    QString pathOf(const char* name) const { return QDir::toNativeSeparators(dir.file(name)); }

    // Adds patients first..n with names that sort in the reverse of their
    // numbers.
    void addPatients(int n, int first = 1)
    {
        data::FileUse use{&file::Patient};
        // One transaction: a durable commit per record would make this slow.
        platform::Transaction t{&data::recordFile(file::Patient)};
        ASSERT_EQ(t.start(), errc::Ok);
        for (int i = first; i <= n; ++i) {
            data::clearRecord(file::Patient, data::bytesOf(data::PAT));
            data::PAT.PAT.set(i);
            data::PAT.LNAME.set("Name " + std::to_string(1000 - i));
            ASSERT_EQ(data::recordFile(file::Patient).add(), errc::Ok);
        }
        ASSERT_EQ(t.commit(), errc::Ok);
    }

    // Reads the patients in name order; their numbers.
    std::vector<long long> patientsByName()
    {
        std::vector<long long> out;
        auto& f = data::recordFile(file::Patient);
        EXPECT_EQ(f.set(file::Patient.keyIndex("PAT:LNAMEKEY"), platform::RecordFile::Start::AtEnds), errc::Ok);
        while (f.next() == errc::Ok) out.push_back(data::PAT.PAT.asInt());
        return out;
    }

    test::TempDir dir;
    test::ScriptedMessages messages;
};

} // namespace

TEST_F(FileAccessTest, EmptyFolderGetsEveryFileCreatedOnFirstUseWithoutAQuestion)
{
    // The data folder itself does not exist yet either.
    ASSERT_TRUE(data::setDataDirectory(dir.file("DATA")));
    for (const auto& fb : data::allFiles()) {
        SCOPED_TRACE(std::string(fb.def->label));
        data::FileUse use{fb.def};
        EXPECT_TRUE(data::recordFile(*fb.def).isOpen());
        EXPECT_TRUE(QFile::exists(dir.file("DATA/") + QString::fromLatin1(fb.def->fileName.data(),
                                                                            qsizetype(fb.def->fileName.size()))));
        EXPECT_EQ(data::openCount(*fb.def), 1);
    }
    EXPECT_TRUE(messages.shown().empty());
    for (const auto& fb : data::allFiles()) EXPECT_FALSE(data::recordFile(*fb.def).isOpen());
}

TEST_F(FileAccessTest, InnerReleaseLeavesTheFileOpenForTheOuterUser)
{
    data::FileUse outer{&file::Patient};
    {
        data::FileUse inner{&file::Patient, &file::Invoice};
        EXPECT_EQ(data::openCount(file::Patient), 2);
        EXPECT_EQ(data::openCount(file::Invoice), 1);
    }
    EXPECT_EQ(data::openCount(file::Patient), 1);
    EXPECT_TRUE(data::recordFile(file::Patient).isOpen());
    EXPECT_FALSE(data::recordFile(file::Invoice).isOpen());
    // The outer user still reads and writes through it.
    data::PAT.PAT.set(7);
    EXPECT_EQ(data::recordFile(file::Patient).add(), errc::Ok);

    outer.release();
    EXPECT_EQ(data::openCount(file::Patient), 0);
    EXPECT_FALSE(data::recordFile(file::Patient).isOpen());
    // A second release of the same use, or a release without a use, changes nothing.
    outer.release();
    data::releaseFile(file::Patient);
    EXPECT_EQ(data::openCount(file::Patient), 0);
}

TEST_F(FileAccessTest, EveryExitPathReleases)
{
    try {
        data::FileUse use{&file::Item, &file::CPT48};
        throw std::runtime_error("procedure left early");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(data::openCount(file::Item), 0);
    EXPECT_FALSE(data::recordFile(file::CPT48).isOpen());

    // A use that ends the program midway releases those made before it.
    QFile bad(dir.file("Invoice.db"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("this is not a record file\n");
    bad.close();
    EXPECT_THROW((data::FileUse{&file::Patient, &file::Invoice}), data::ProgramEnded);
    EXPECT_EQ(data::openCount(file::Patient), 0);
    EXPECT_FALSE(data::recordFile(file::Patient).isOpen());
}

TEST_F(FileAccessTest, DataFolderCannotChangeUnderAFileInUse)
{
    data::FileUse use{&file::ICD};
    EXPECT_FALSE(data::setDataDirectory(dir.file("elsewhere")));
    EXPECT_EQ(data::dataDirectory(), dir.path());
}

TEST_F(FileAccessTest, DamagedKeysRebuiltOnYesAndTheFileIsUsable)
{
    addPatients(300);
    ASSERT_TRUE(test::damagePage(dir.file("Patient.db"), "PAT:LNAMEKEY"));

    messages.answer(Button::Yes);
    {
        data::FileUse use{&file::Patient};
        ASSERT_EQ(messages.numbers(), std::vector<int>{2});
        EXPECT_EQ(messages.shown()[0].text,
                  pathOf("Patient.db") + " key file is invalid.  Do you want to rebuild the key?");
        // Every record again in the rebuilt order, and writes work.
        const auto order = patientsByName();
        ASSERT_EQ(order.size(), 300u);
        EXPECT_EQ(order.front(), 300);
        EXPECT_EQ(order.back(), 1);
        data::PAT.PAT.set(301);
        data::PAT.LNAME.set("Aardvark");
        EXPECT_EQ(data::recordFile(file::Patient).add(), errc::Ok);
        EXPECT_EQ(patientsByName().front(), 301);
    }
    EXPECT_FALSE(messages.ended());
}

TEST_F(FileAccessTest, KeysNamingLostRecordsAreRebuiltOnlyAfterTheLossIsStated)
{
    // A bad copy put back the page of records as it was at 268 patients.
    addPatients(268);
    QFile image(dir.file("Patient.db"));
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const QByteArray before = image.readAll();
    image.close();
    addPatients(300, 269);
    ASSERT_GT(test::putBackOldRecordPages(dir.file("Patient.db"), before), 0);
    const long long rows = test::queryNumber(dir.file("Patient.db"), "SELECT COUNT(*) FROM Patient NOT INDEXED");
    ASSERT_LT(rows, 300);

    messages.answer(Button::Yes);
    {
        data::FileUse use{&file::Patient};
        ASSERT_EQ(messages.numbers(), std::vector<int>{2});
        const QString text = messages.shown()[0].text;
        EXPECT_TRUE(text.startsWith(pathOf("Patient.db") + QStringLiteral(" (rebuilding loses %1 records the file no "
                                                                          "longer holds (PAT:PATKEY 269, 270, 271")
                                                               .arg(300 - rows)))
            << text.toStdString();
        EXPECT_TRUE(text.endsWith(")) key file is invalid.  Do you want to rebuild the key?")) << text.toStdString();
        EXPECT_EQ(patientsByName().size(), std::size_t(rows));
    }
    EXPECT_FALSE(messages.ended());
}

TEST_F(FileAccessTest, DamagedKeysNotRebuiltOnNoEndTheProgram)
{
    addPatients(300);
    ASSERT_TRUE(test::damagePage(dir.file("Patient.db"), "PAT:LNAMEKEY"));
    messages.answer(Button::No);
    EXPECT_THROW(data::useFile(file::Patient), data::ProgramEnded);
    EXPECT_EQ(messages.endedWith(), "Invalid Key!");
    EXPECT_EQ(data::openCount(file::Patient), 0);
    EXPECT_FALSE(data::recordFile(file::Patient).isOpen());
}

TEST_F(FileAccessTest, InvalidFileEndsWithMessage1)
{
    QFile bad(dir.file("Cpt48.db"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(4096, 'x'));
    bad.close();
    EXPECT_THROW(data::useFile(file::CPT48), data::ProgramEnded);
    ASSERT_EQ(messages.numbers(), std::vector<int>{1});
    EXPECT_TRUE(messages.shown()[0].text.startsWith("Error: (Invalid File (47)) accessing " + pathOf("Cpt48.db") +
                                                    ".  Press OK"))
        << messages.shown()[0].text.toStdString();
    EXPECT_EQ(messages.endedWith(), "Invalid File!");
}

TEST_F(FileAccessTest, FileThatCannotBeCreatedEndsWithMessage4)
{
    // The data folder's place is taken by a plain file.
    QFile blocker(dir.file("DATA"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ASSERT_TRUE(data::setDataDirectory(dir.file("DATA")));
    EXPECT_THROW(data::useFile(file::Auth), data::ProgramEnded);
    ASSERT_EQ(messages.numbers(), std::vector<int>{4});
    EXPECT_TRUE(messages.shown()[0].text.contains("creating " + QDir::toNativeSeparators(dir.file("DATA/Auth.db"))));
    EXPECT_EQ(messages.endedWith(), "File Creation Error!");
}

TEST_F(FileAccessTest, CreatedFileThatCannotBeOpenedEndsWithMessage5)
{
    // The open after the creation is the second open of the file.
    platform::faults::failOn(platform::faults::Operation::Open, "Facility", 2, errc::DriverError);
    EXPECT_THROW(data::useFile(file::Facility), data::ProgramEnded);
    ASSERT_EQ(messages.numbers(), std::vector<int>{5});
    EXPECT_EQ(messages.shown()[0].text, "Error: (failure injected by a test (0)) opening created file:" +
                                            pathOf("Facility.db") + ".  Press OK to end this application.");
    EXPECT_EQ(messages.endedWith(), "File Creation Error!");
}

TEST_F(FileAccessTest, LockedFileIsOpenedOnceMore)
{
    {
        data::FileUse create{&file::Payer};
    }
    platform::faults::failOn(platform::faults::Operation::Open, "Payer", 1, errc::FileLocked);
    data::FileUse use{&file::Payer};
    EXPECT_TRUE(data::recordFile(file::Payer).isOpen());
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(FileAccessTest, FileStillLockedEndsWithDiskError)
{
    {
        data::FileUse create{&file::Payer};
    }
    // Another station holds the file locked for as long as the test needs.
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const QByteArray path = QFile::encodeName(dir.file("Payer.db"));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* db = nullptr;
        bool ok = sqlite3_open(path.constData(), &db) == SQLITE_OK &&
                  sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
        char c = ok ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');

    EXPECT_THROW(data::useFile(file::Payer), data::ProgramEnded);
    (void)!write(done[1], &c, 1);
    waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);

    ASSERT_EQ(messages.numbers(), std::vector<int>{30});
    EXPECT_EQ(messages.shown()[0].text,
              "File (" + pathOf("Payer.db") + ") could not be opened.  Error: File Is Locked (32).");
    EXPECT_EQ(messages.endedWith(), "Disk Error");
    EXPECT_EQ(data::openCount(file::Payer), 0);
}

TEST_F(FileAccessTest, CaptureReportsTheFailedWriteNotTheRollback)
{
    data::FileUse use{&file::Patient};
    auto& patients = data::recordFile(file::Patient);
    data::PAT.PAT.set(1);
    ASSERT_EQ(patients.add(), errc::Ok);

    platform::Transaction t{&patients};
    ASSERT_EQ(t.start(), errc::Ok);
    data::PAT.PAT.set(2);
    ASSERT_EQ(patients.add(), errc::Ok);
    data::PAT.PAT.set(1);
    ASSERT_EQ(patients.add(), errc::DuplicateKey);
    data::captureError(t);
    EXPECT_FALSE(t.active());
    // The rollback succeeded and reset the driver's last error; the message
    // still reports the duplicate.
    data::standardMessage(15, "Patient");
    EXPECT_EQ(messages.shown().back().text,
              "An error (Creates Duplicate Key (40)) was experienced when attempting to update a record from "
              "the file.  Probable Cause: Patient.");
    // Rolled back: patient 2 is not stored.
    data::PAT.PAT.set(2);
    EXPECT_EQ(patients.get(file::Patient.keyIndex("PAT:PATKEY")), errc::NoRecord);
}
