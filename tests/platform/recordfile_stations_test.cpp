// The record file driver between processes sharing one data directory (each
// child process stands for another station), and on damaged files.
#include "recordfile_fixture.h"

#include "platform/transaction.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrel::test {
namespace {

// Runs `body` in a child process; the child exits with its return value.
// `ready` (if given) makes the parent wait until the child writes one byte to
// the pipe, and the child then waits until the parent closes its end.
class Station {
public:
    template <class Body>
    explicit Station(Body body, bool handshake = false)
    {
        if (handshake) {
            EXPECT_EQ(::pipe(toParent_), 0);
            EXPECT_EQ(::pipe(toChild_), 0);
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            int rc = body(*this);
            ::_exit(rc);
        }
    }
    // Child side.
    void signalReady()
    {
        char c = 1;
        (void)!::write(toParent_[1], &c, 1);
    }
    void waitRelease()
    {
        char c;
        (void)!::read(toChild_[0], &c, 1);
    }
    // Parent side.
    void waitReady()
    {
        char c = 0;
        ASSERT_EQ(::read(toParent_[0], &c, 1), 1);
    }
    void release()
    {
        char c = 1;
        (void)!::write(toChild_[1], &c, 1);
    }
    // Exit status, or 128 + signal.
    int join()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        for (int fd : {toParent_[0], toParent_[1], toChild_[0], toChild_[1]})
            if (fd >= 0) ::close(fd);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int toParent_[2] = {-1, -1};
    int toChild_[2] = {-1, -1};
};

class StationsTest : public RecordFileFixture {};

TEST_F(StationsTest, ChangeByAnotherProcessIsDetectedOnPut)
{
    auto p = make(kPatient);
    addPatient(*p, 1, "Original");
    p->clear();
    p->number("PAT:PAT", "1");
    p->file.watch();
    ASSERT_EQ(p->file.get(PatKey), 0);

    Station other([&](Station&) {
        TestFile q(kPatient, dir.path());
        if (q.file.open() != 0) return 1;
        q.number("PAT:PAT", "1");
        if (q.file.get(PatKey) != 0) return 2;
        q.text("PAT:LNAME", "Changed elsewhere");
        return q.file.put() == 0 ? 0 : 3;
    });
    ASSERT_EQ(other.join(), 0);

    p->text("PAT:LNAME", "Mine");
    EXPECT_EQ(p->file.put(), errc::ChangedByOther);
    p->clear();
    p->number("PAT:PAT", "1");
    ASSERT_EQ(p->file.get(PatKey), 0);
    EXPECT_EQ(p->text("PAT:LNAME"), "Changed elsewhere");
}

TEST_F(StationsTest, TransactionKilledBeforeCommitLeavesNoChange)
{
    auto p = make(kPatient);
    auto i = make(kItem);
    auto ins = make(kInsured);
    addPatient(*p, 1, "Before");
    p->file.close();
    i->file.close();
    ins->file.close();
    const qint64 sizeBefore = QFileInfo(dir.file("Patient.db")).size();

    Station doomed([&](Station&) {
        TestFile a(kPatient, dir.path()), b(kItem, dir.path()), c(kInsured, dir.path());
        if (a.file.open() || b.file.open() || c.file.open()) return 1;
        Transaction t({&a.file, &b.file, &c.file});
        if (t.start()) return 2;
        // Enough writes to overflow SQLite's page cache.
        for (int n = 2; n < 99000; ++n) {
            a.clear();
            a.number("PAT:PAT", std::to_string(n));
            a.text("PAT:LNAME", "Partial");
            b.clear();
            b.number("ITM:PRV", "1");
            b.number("ITM:PAT", std::to_string(n));
            c.clear();
            c.text("INS:CODE", std::to_string(n));
            if (a.file.add() || b.file.add() || c.file.add()) return 3;
        }
        a.number("PAT:PAT", "1");
        if (a.file.get(PatKey) || a.file.remove()) return 4;
        // The test is only worth its name when uncommitted pages already
        // reached the files (SQLite spills a full cache before commit).
        if (QFileInfo(dir.file("Patient.db")).size() <= sizeBefore) return 6;
        std::raise(SIGKILL);
        return 5;
    });
    ASSERT_EQ(doomed.join(), 128 + SIGKILL);

    ASSERT_EQ(p->file.open(), 0);
    ASSERT_EQ(i->file.open(), 0);
    ASSERT_EQ(ins->file.open(), 0);
    EXPECT_EQ(p->walk(FileOrder, "PAT:LNAME"), strings({"Before"}));
    EXPECT_TRUE(i->walk(FileOrder, "ITM:PAT").empty());
    EXPECT_TRUE(ins->walk(FileOrder, "INS:CODE").empty());
}

TEST_F(StationsTest, LockedFilesGiveCode32AfterTheWait)
{
    auto p = make(kPatient);
    auto i = make(kItem);
    addPatient(*p, 1, "Someone");

    // Another station in a write transaction on Item: our transaction over
    // Patient and Item cannot start.
    {
        Station holder(
            [&](Station& s) {
                TestFile b(kItem, dir.path());
                if (b.file.open()) return 1;
                Transaction t({&b.file});
                if (t.start()) return 2;
                s.signalReady();
                s.waitRelease();
                return t.commit() ? 3 : 0;
            },
            true);
        holder.waitReady();
        Transaction t({&p->file, &i->file});
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(t.start(), errc::FileLocked);
        EXPECT_GE(timer.elapsed(), 1500);
        EXPECT_EQ(driverErrors.last().code, errc::FileLocked);
        // Reading is not blocked by another station's pending writes.
        EXPECT_EQ(p->walk(FileOrder, "PAT:LNAME"), strings({"Someone"}));
        holder.release();
        EXPECT_EQ(holder.join(), 0);
        EXPECT_EQ(t.start(), 0);
        EXPECT_EQ(t.commit(), 0);
    }

    // Another process holding the file exclusively: open waits, then 32.
    p->file.close();
    {
        Station holder(
            [&](Station& s) {
                sqlite3* db = nullptr;
                if (sqlite3_open(QFile::encodeName(dir.file("Patient.db")).constData(), &db) != SQLITE_OK) return 1;
                if (sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) return 2;
                s.signalReady();
                s.waitRelease();
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                sqlite3_close(db);
                return 0;
            },
            true);
        holder.waitReady();
        EXPECT_EQ(p->file.open(), errc::FileLocked);
        EXPECT_FALSE(p->file.isOpen());
        holder.release();
        EXPECT_EQ(holder.join(), 0);
        EXPECT_EQ(p->file.send("Recover=10"), 0);
        EXPECT_EQ(p->file.open(), 0);
    }
}

// ---------------------------------------------------------------- damage

// Overwrites the root page of an index with garbage and bumps the file's
// change counter, so that connections holding the old pages re-read them.
void damageIndex(const QString& path, const char* indexName)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_schema WHERE name = ?", -1, &st, nullptr), SQLITE_OK);
    sqlite3_bind_text(st, 1, indexName, -1, SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    int root = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    int pageSize = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(qint64(root - 1) * pageSize));
    ASSERT_EQ(f.write(QByteArray(pageSize, '\x5A')), pageSize);
    ASSERT_TRUE(f.seek(24));
    QByteArray counter = f.read(4);
    counter[3] = char(counter[3] + 1);
    ASSERT_TRUE(f.seek(24));
    f.write(counter);
}

TEST_F(StationsTest, DamagedKeyIsReportedAndRebuilt)
{
    auto p = make(kPatient);
    {
        Transaction t({&p->file});
        ASSERT_EQ(t.start(), 0);
        for (int n = 1; n <= 300; ++n) addPatient(*p, n, "Name " + std::to_string(1000 - n));
        ASSERT_EQ(t.commit(), 0);
    }
    // Positions taken before a rebuild stay valid; identities stay unused.
    p->clear();
    p->number("PAT:PAT", "300");
    ASSERT_EQ(p->file.get(PatKey), 0);
    const std::string gone = p->file.position(FileOrder);
    ASSERT_EQ(p->file.remove(), 0);
    p->number("PAT:PAT", "7");
    ASSERT_EQ(p->file.get(PatKey), 0);
    const std::string seventh = p->file.position(LnameKey);
    p->file.close();

    damageIndex(dir.file("Patient.db"), "PAT:LNAMEKEY");
    EXPECT_EQ(p->file.open(), errc::InvalidKeyFile);
    EXPECT_EQ(p->file.errorText(), "Invalid Key File");
    EXPECT_EQ(p->file.build(), 0);
    ASSERT_EQ(p->file.open(), 0);
    auto names = p->walk(LnameKey, "PAT:PAT");
    ASSERT_EQ(names.size(), 299u);
    EXPECT_EQ(names.front(), "299");
    EXPECT_EQ(names.back(), "1");
    ASSERT_EQ(p->file.reget(seventh), 0);
    EXPECT_EQ(p->number("PAT:PAT"), "7");
    addPatient(*p, 300, "Again");
    EXPECT_EQ(p->file.reget(gone), errc::NoRecord);

    // Damage met by an operation on an open file: the same verdict.
    damageIndex(dir.file("Patient.db"), "PAT:LNAMEKEY");
    ASSERT_EQ(p->file.set(LnameKey, RecordFile::Start::AtEnds), 0);
    int code = 0;
    for (int n = 0; n < 400 && code == 0; ++n) code = p->file.next();
    EXPECT_EQ(code, errc::InvalidKeyFile);
    EXPECT_EQ(p->file.build(), 0);
    EXPECT_EQ(p->walk(LnameKey, "PAT:PAT").size(), 300u);
}

TEST_F(StationsTest, NotARecordFileIsInvalid)
{
    {
        QFile text(dir.file("Patient.db"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("Last name, first name\nSmith, John\n");
    }
    TestFile p(kPatient, dir.path());
    EXPECT_EQ(p.file.open(), errc::InvalidFile);
    EXPECT_EQ(p.file.errorText(), "Invalid File");
    EXPECT_FALSE(p.file.isOpen());

    // An SQLite database, but not one of ours.
    QFile::remove(dir.file("Patient.db"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dir.file("Patient.db")).constData(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(p.file.open(), errc::InvalidFile);

    // A record file of another layout under this name.
    QFile::remove(dir.file("Patient.db"));
    TestFile i(kItem, dir.path());
    ASSERT_EQ(i.file.create(), 0);
    ASSERT_TRUE(QFile::rename(dir.file("Item.db"), dir.file("Patient.db")));
    EXPECT_EQ(p.file.open(), errc::InvalidFile);
    EXPECT_EQ(p.file.build(), errc::InvalidFile);
}

TEST_F(StationsTest, DriverFailureCarriesTheDatabaseCodeAndMessage)
{
    auto p = make(kPatient);
    // SQLite cannot create its rollback journal where a directory stands.
    ASSERT_TRUE(QDir(dir.path()).mkdir("Patient.db-journal"));
    p->number("PAT:PAT", "1");
    EXPECT_EQ(p->file.add(), errc::DriverError);
    EXPECT_EQ(p->file.errorText(), "File System Error");
    EXPECT_NE(p->file.driverCode(), 0);
    EXPECT_FALSE(p->file.driverMessage().empty());
    EXPECT_EQ(driverErrors.last().code, errc::DriverError);
    EXPECT_EQ(driverErrors.last().driverMessage, p->file.driverMessage());
    ASSERT_TRUE(QDir(dir.path()).rmdir("Patient.db-journal"));
    EXPECT_EQ(p->file.add(), 0);
}

} // namespace
} // namespace kestrel::test
