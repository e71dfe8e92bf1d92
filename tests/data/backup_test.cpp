// Backup and reload against real stations: a second process writing claims
// while the backup is taken, a backup killed half way, a damaged backup, and
// the commands themselves run as the program runs them.
#include "data/file_access.h"
#include "data/records.h"
#include "platform/backup.h"
#include "platform/privatefiles.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/sqlitedamage.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

namespace kestrel::platform {
inline void PrintTo(const Decimal& d, std::ostream* os) { *os << d.toString(); }
} // namespace kestrel::platform

using namespace kestrel;
namespace file = data::file;
using platform::Decimal;

namespace {

// The claim files of a folder with buffers of their own: another station's,
// or a look into the backup.
struct ClaimFiles {
    explicit ClaimFiles(const QString& dir)
    {
        claims.setDirectory(dir);
        lines.setDirectory(dir);
        open = claims.open() == 0 && lines.open() == 0;
    }
    data::InvoiceRecord inv{};
    data::ItemRecord itm{};
    platform::RecordFile claims{file::Invoice, data::bytesOf(inv)}, lines{file::Item, data::bytesOf(itm)};
    bool open;
};

// Each claim's stored charges and the sum of its lines' fees: a claim
// written with its lines in one transaction shows them equal in any
// consistent state.
struct Claims {
    std::map<long long, Decimal> charged, lineFees;
    bool operator==(const Claims&) const = default;
};

Claims claimsIn(const QString& dir)
{
    ClaimFiles f(dir);
    EXPECT_TRUE(f.open);
    Claims c;
    for (f.claims.setFileOrder(); f.claims.next() == 0;) c.charged[f.inv.INV.asInt()] = f.inv.TFEE.value();
    for (f.lines.setFileOrder(); f.lines.next() == 0;) c.lineFees[f.itm.INV.asInt()] += f.itm.FEE.value();
    return c;
}

// Another station: claims numbered from `first` on, each with one to three
// lines and its charges, written in one transaction, until `stop` exists
// (or a minute has passed: a test that failed does not stop it).
[[noreturn]] void writeClaims(const QString& dir, const QString& stop, long long first)
{
    ClaimFiles f(dir);
    QElapsedTimer running;
    running.start();
    for (long long n = first; f.open && !QFileInfo::exists(stop) && running.elapsed() < 60'000; ++n) {
        platform::Transaction tx{&f.claims, &f.lines};
        if (tx.start() != 0) continue;  // the backup holds the files: the next claim tries again
        platform::clearRecord(file::Invoice, data::bytesOf(f.inv));
        int rc = 0;
        for (int i = 0; rc == 0 && i <= n % 3; ++i) {
            platform::clearRecord(file::Item, data::bytesOf(f.itm));
            f.itm.INV.set(n);
            f.itm.FEE.set(Decimal::fromUnits(1000 + n * 7 + i, 2));
            f.inv.TFEE.set(f.inv.TFEE.value() + f.itm.FEE.value());
            rc = f.lines.add();
        }
        f.inv.INV.set(n);
        if (rc == 0 && f.claims.add() == 0) tx.commit();
        ::usleep(2000);  // a station that types between its claims
    }
    _exit(f.open ? 0 : 2);
}

std::map<QString, QByteArray> contentsOf(const QString& dir)
{
    std::map<QString, QByteArray> out;
    for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files)) {
        QFile file(f.filePath());
        if (file.open(QIODevice::ReadOnly)) out[f.fileName()] = file.readAll();
    }
    return out;
}

// Waits until the data folder holds more than `count` claims, counted
// behind the driver's back (a moment the writer holds the file counts as none).
bool waitForMoreClaims(const QString& dir, std::size_t count)
{
    const QString path = QDir(dir).filePath("Invoice.db");
    QElapsedTimer t;
    t.start();
    while (test::queryNumber(path, "SELECT count(*) FROM Invoice") <= (long long)count) {
        if (t.elapsed() > 60'000) return false;
        QThread::msleep(20);
    }
    return true;
}

struct Outcome {
    int status = -1;
    QString err;
};
// The kestrel executable, as the Backup/Reload windows start it.
Outcome runCommand(const QString& root, const QString& command)
{
    QProcess p;
    p.start(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QCoreApplication::applicationDirPath() + "/..") +
                "/kestrel",
            {"--root", root, command});
    if (!p.waitForFinished(60'000)) p.kill();
    p.waitForFinished();
    const int status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return {status, QString::fromLocal8Bit(p.readAllStandardError())};
}

class Backup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.ensureExists());
        ASSERT_TRUE(data::setDataDirectory(root.dataDir()));
        data::clearAllBuffers();
        test::addProvider(1);
        test::addPatient(1);
        test::addClaim(1, 1, 1, 2);
    }
    void TearDown() override { data::setDataDirectory(QString()); }

    test::TempDir dir;
    test::ScriptedMessages messages;
    platform::RootDir root{dir.path()};
    const std::span<const platform::FileDef* const> files = file::kAll;
};

} // namespace

TEST_F(Backup, TakenWhileAnotherStationWritesClaimsItHoldsWholeClaimsAndReloadsExactly)
{
    // The program keeps its files open throughout, as its windows do.
    data::FileUse open{&file::Invoice, &file::Item};
    const QString stop = dir.file("stop");
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) writeClaims(root.dataDir(), stop, 100);

    ASSERT_TRUE(waitForMoreClaims(root.dataDir(), 20));
    const platform::CopyReport r = platform::backupFiles(root, files);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const Claims backedUp = claimsIn(root.backupDir());
    // Let the station write on past the backup, then stop it.
    ASSERT_TRUE(waitForMoreClaims(root.dataDir(), backedUp.charged.size() + 20));
    QFile(stop).open(QIODevice::WriteOnly);
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_GT(backedUp.charged.size(), 20u);
    EXPECT_EQ(backedUp.charged, backedUp.lineFees) << "a claim was copied without some of its lines";
    EXPECT_EQ(r.lines.size(), 4u);  // Provider, Patient, Invoice, Item: the files DATA has

    // A file the backup lacks is kept as it is.
    test::addRecord(file::CIQL, [] { data::CIQ.CICODE.set("431"); });
    const platform::CopyReport reload = platform::reloadFiles(root, files);
    ASSERT_TRUE(reload.ok) << reload.error.toStdString();
    EXPECT_EQ(claimsIn(root.dataDir()), backedUp);
    EXPECT_EQ(test::queryNumber(QDir(root.dataDir()).filePath("CIQL.db"), "SELECT count(*) FROM CIQL"), 1);
    // The program's open files show the reloaded claims at their next read.
    EXPECT_EQ(test::records(file::Invoice, "INV:INVKEY", [] { return data::INV.INV.asInt(); }).size(),
              backedUp.charged.size());
}

TEST_F(Backup, KilledHalfWayLeavesThePreviousBackupAndFilesPrivate)
{
    const mode_t umaskWas = ::umask(0);
    ASSERT_TRUE(platform::backupFiles(root, files).ok);
    const auto previous = contentsOf(root.backupDir());
    test::addClaim(1, 1, 2, 3);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int copied = 0;
        platform::backupFiles(root, files, [&](const QString&) {
            if (++copied == 3) ::raise(SIGKILL);
        });
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(contentsOf(root.backupDir()), previous);

    // The next backup clears what the killed one left and completes.
    const Outcome next = runCommand(root.path(), "backup");
    ::umask(umaskWas);
    ASSERT_EQ(next.status, 0) << next.err.toStdString();
    EXPECT_EQ(claimsIn(root.backupDir()), claimsIn(root.dataDir()));
    EXPECT_EQ(claimsIn(root.backupDir()).charged.size(), 2u);
    EXPECT_EQ(QDir(root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), (QStringList{"Backup", "DATA"}));
    EXPECT_EQ(QFileInfo(root.backupDir()).permissions(), platform::kPrivateFolder);
    for (const QFileInfo& f : QDir(root.backupDir()).entryInfoList(QDir::Files))
        EXPECT_EQ(f.permissions(), platform::kPrivateFile) << f.fileName().toStdString();
    EXPECT_EQ(QFileInfo(root.backupLog()).permissions(), platform::kPrivateFile);

    // Damaged data files are not backed up over a sound backup.
    const auto sound = contentsOf(root.backupDir());
    ASSERT_TRUE(test::damagePage(QDir(root.dataDir()).filePath("Item.db"), "Item"));
    const platform::CopyReport damaged = platform::backupFiles(root, files);
    EXPECT_FALSE(damaged.ok);
    EXPECT_TRUE(damaged.error.contains("the copy of Item.db does not pass the check")) << damaged.error.toStdString();
    EXPECT_EQ(contentsOf(root.backupDir()), sound);
}

TEST_F(Backup, ReloadFromADamagedBackupChangesNothingAndSaysWhy)
{
    ASSERT_EQ(runCommand(root.path(), "backup").status, 0);
    test::addClaim(1, 1, 2, 3);
    const auto changed = contentsOf(root.dataDir());
    ASSERT_TRUE(test::damagePage(QDir(root.backupDir()).filePath("Item.db"), "Item"));
    const Outcome r = runCommand(root.path(), "reload");
    EXPECT_EQ(r.status, 1);
    const QString why = r.err.trimmed().split('\n').last();
    EXPECT_TRUE(why.startsWith("The backup is damaged: ") && why.contains("Item.db") &&
                why.endsWith("nothing in the data folder was changed."))
        << why.toStdString();
    EXPECT_EQ(contentsOf(root.dataDir()), changed);
    QFile log(root.backupLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString last = QString::fromUtf8(log.readAll()).trimmed().split('\n').last();
    EXPECT_TRUE(last.contains(" reload: The backup is damaged")) << last.toStdString();
}
