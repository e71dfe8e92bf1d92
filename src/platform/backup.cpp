#include "platform/backup.h"

#include "platform/filecheck.h"
#include "platform/privatefiles.h"
#include "platform/sqlitehandle.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace kestrel::platform {

namespace {

// Between two tries for a lock held by someone else.
constexpr int RetryMs = 100;
// How long one try waits inside SQLite before the snapshot lets go of what
// it holds and tries again (so that a station committing to several files
// at once is never kept waiting on us).
constexpr int SnapshotTryMs = 250;

QString fileNameOf(const FileDef& def)
{
    return QString::fromLatin1(def.fileName.data(), qsizetype(def.fileName.size()));
}

QString sqliteError(sqlite3* db, int rc)
{
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

// "PATH cannot be opened (why)".
QString failure(const QString& path, const char* what, const QString& why)
{
    return QStringLiteral("%1 %2 (%3)").arg(RootDir::nativePath(path), QString::fromLatin1(what), why);
}

bool busy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

// The root's lock: held by a backup or a reload for its whole run.
class RootLock {
public:
    explicit RootLock(const QString& root)
        : fd_(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~RootLock()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    RootLock(const RootLock&) = delete;
    RootLock& operator=(const RootLock&) = delete;

    // False with the reason when the root cannot be opened or another backup
    // or reload keeps it past the wait.
    bool acquire(QString& error)
    {
        if (fd_ < 0) {
            error = QStringLiteral("the root folder cannot be opened (%1)").arg(errnoText());
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                error = QStringLiteral("the root folder cannot be locked (%1)").arg(errnoText());
                return false;
            }
            if (waited.elapsed() > BackupLockWaitMs) {
                error = QStringLiteral("another backup or reload of these files was still running after %1 seconds")
                            .arg(BackupLockWaitMs / 1000);
                return false;
            }
            QThread::msleep(RetryMs);
        }
        return true;
    }

private:
    int fd_;
};

// Makes a rename or a removal in `folder` last through a crash.
void syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Copies all of `srcSchema` of `src` into the file at `dest` (created 0600
// when missing) in one step, under the destination's write lock, waiting
// out other stations' locks up to the wait. False with the reason.
bool copyDatabase(sqlite3* src, const char* srcSchema, const QString& dest, QString& error)
{
    if (!makePrivateFile(dest)) {
        error = QStringLiteral("%1 cannot be written").arg(RootDir::nativePath(dest));
        return false;
    }
    int rc;
    const detail::Connection target = detail::openDatabase(dest, SQLITE_OPEN_READWRITE, rc);
    if (rc != SQLITE_OK) {
        error = failure(dest, "cannot be opened", sqliteError(target.get(), rc));
        return false;
    }
    sqlite3_busy_timeout(target.get(), RetryMs);
    detail::Backup backup(sqlite3_backup_init(target.get(), "main", src, srcSchema));
    if (!backup) {
        error = failure(dest, "cannot be written", sqliteError(target.get(), rc));
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    while (busy(rc = sqlite3_backup_step(backup.get(), -1)) && waited.elapsed() < BackupLockWaitMs)
        QThread::msleep(RetryMs);
    if (rc == SQLITE_DONE && (rc = sqlite3_backup_finish(backup.release())) == SQLITE_OK) return true;
    error = busy(rc) ? QStringLiteral("%1 stayed locked by another station for %2 seconds")
                           .arg(RootDir::nativePath(dest))
                           .arg(BackupLockWaitMs / 1000)
                     : failure(dest, "could not be written", sqliteError(target.get(), rc));
    return false;
}

// A read transaction on every record file DATA holds, all open at once:
// while they are, no station can commit to any of the files, so what is
// copied is one state of them all.
class Snapshot {
public:
    struct File {
        const FileDef* def;
        detail::Connection db;
    };

    // Opens the files of `files` that exist in `dataDir` (never creating
    // one). False with the reason.
    bool open(const QString& dataDir, std::span<const FileDef* const> files, QString& error)
    {
        for (const FileDef* def : files) {
            const QString path = QDir(dataDir).filePath(fileNameOf(*def));
            if (!QFileInfo(path).isFile()) continue;
            int rc;
            // Read and write: the first read rolls back what a crash left
            // half written, as every open of the driver does.
            detail::Connection db = detail::openDatabase(path, SQLITE_OPEN_READWRITE, rc);
            if (rc != SQLITE_OK) {
                error = failure(path, "cannot be opened", sqliteError(db.get(), rc));
                return false;
            }
            sqlite3_busy_timeout(db.get(), SnapshotTryMs);
            files_.push_back({def, std::move(db)});
        }
        return true;
    }

    // Takes the read locks of every file, letting go of all of them and
    // trying again while a station is writing. False with the reason.
    bool lock(QString& error)
    {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            int rc = SQLITE_OK;
            const File* failing = nullptr;
            for (const File& f : files_) {
                rc = detail::exec(f.db.get(), "BEGIN");
                if (rc == SQLITE_OK) rc = detail::exec(f.db.get(), "SELECT count(*) FROM sqlite_schema");
                if (rc != SQLITE_OK) {
                    failing = &f;
                    break;
                }
            }
            if (rc == SQLITE_OK) return true;
            if (!busy(rc)) {
                error = QStringLiteral("the data file %1 cannot be read (%2)")
                            .arg(fileNameOf(*failing->def), sqliteError(failing->db.get(), rc));
                release();
                return false;
            }
            release();
            if (waited.elapsed() > BackupLockWaitMs) {
                error = QStringLiteral("the data files stayed locked by another station for %1 seconds")
                            .arg(BackupLockWaitMs / 1000);
                return false;
            }
            QThread::msleep(RetryMs);
        }
    }

    void release()
    {
        for (File& f : files_)
            if (!sqlite3_get_autocommit(f.db.get())) detail::exec(f.db.get(), "ROLLBACK");
    }

    const std::vector<File>& files() const { return files_; }

private:
    std::vector<File> files_;
};

// The copy as `kestrel check` sees it: empty when sound, else what is wrong.
QString problemsOf(const FileDef& def, const QString& path)
{
    const FileCheck c = checkRecordFile(def, path);
    if (c.state == FileCheck::State::Ok) return {};
    if (c.state == FileCheck::State::Missing) return QStringLiteral("it is missing");
    return c.problems.join(QStringLiteral("; "));
}

// Puts the finished copy in place of the backup in one step: the two folders
// change places, and the old backup (now at `staging`) is removed.
bool putInPlace(const QString& staging, const QString& backup, QString& error)
{
    const QByteArray from = QFile::encodeName(staging), to = QFile::encodeName(backup);
    int rc = QFileInfo::exists(backup)
                 ? ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE)
                 : ::rename(from.constData(), to.constData());
    if (rc != 0 && errno == EINVAL) {
        // A file system that cannot exchange: set the old backup aside first;
        // the next backup puts it back if this one is stopped in between.
        const QString aside = backup + QStringLiteral(".old");
        QDir(aside).removeRecursively();
        rc = ::rename(to.constData(), QFile::encodeName(aside).constData());
        if (rc == 0) rc = ::rename(from.constData(), to.constData());
        if (rc == 0) QDir(aside).removeRecursively();
    }
    if (rc != 0) {
        error = QStringLiteral("the new backup could not be put in place of %1 (%2)")
                    .arg(RootDir::nativePath(backup), errnoText());
        return false;
    }
    syncFolder(QFileInfo(backup).absolutePath());
    return true;
}

// A backup stopped between setting the old one aside and putting the new
// one in place: the old one goes back.
void restoreSetAside(const QString& backup)
{
    const QString aside = backup + QStringLiteral(".old");
    if (!QFileInfo::exists(backup) && QFileInfo(aside).isDir())
        ::rename(QFile::encodeName(aside).constData(), QFile::encodeName(backup).constData());
}

// The folder a backup is written into: gone when the backup ends, whether
// it was put in place (the folder then holds the old backup) or failed.
struct Staging {
    QString path;
    ~Staging() { QDir(path).removeRecursively(); }
};

CopyReport failed(CopyReport r, const QString& why)
{
    r.ok = false;
    r.error = why;
    return r;
}

} // namespace

CopyReport backupFiles(const RootDir& root, std::span<const FileDef* const> files, const AfterCopy& after)
{
    CopyReport r;
    const QString kept = QStringLiteral("; the previous backup is kept as it was");
    RootLock lock(root.path());
    QString error;
    if (!lock.acquire(error)) return failed(r, QStringLiteral("The backup did not start: ") + error + kept);
    restoreSetAside(root.backupDir());
    // What a stopped backup left: the lock says no backup is running.
    const QString staging = root.path() + QStringLiteral("/Backup.new");
    if (QFileInfo::exists(staging) && !QDir(staging).removeRecursively())
        return failed(r, QStringLiteral("The backup did not start: %1, left by an earlier backup, cannot be removed")
                             .arg(RootDir::nativePath(staging)) + kept);
    const Staging removed{staging};
    if (!makePrivateFolder(staging))
        return failed(r, QStringLiteral("The backup did not start: %1 cannot be made")
                             .arg(RootDir::nativePath(staging)) + kept);

    Snapshot snapshot;
    if (!snapshot.open(root.dataDir(), files, error) || !snapshot.lock(error))
        return failed(r, QStringLiteral("The backup did not complete: ") + error + kept);
    if (snapshot.files().empty())
        return failed(r, QStringLiteral("The backup did not start: the data folder %1 holds no record file")
                             .arg(RootDir::nativePath(root.dataDir())) + kept);
    for (const Snapshot::File& f : snapshot.files()) {
        const QString dest = QDir(staging).filePath(fileNameOf(*f.def));
        if (!copyDatabase(f.db.get(), "main", dest, error))
            return failed(r, QStringLiteral("The backup did not complete: ") + error + kept);
        if (after) after(fileNameOf(*f.def));
    }
    snapshot.release();

    for (const Snapshot::File& f : snapshot.files()) {
        const QString name = fileNameOf(*f.def);
        const QString dest = QDir(staging).filePath(name);
        const QString problems = problemsOf(*f.def, dest);
        if (!problems.isEmpty())
            return failed(r, QStringLiteral("The backup did not complete: the copy of %1 does not pass the check "
                                            "(%2); run kestrel check on the data files")
                                 .arg(name, problems) + kept);
        r.lines << QStringLiteral("%1: %2 bytes copied and checked").arg(name).arg(QFileInfo(dest).size());
    }
    syncFolder(staging);
    if (!putInPlace(staging, root.backupDir(), error))
        return failed(r, QStringLiteral("The backup did not complete: ") + error + kept);
    r.ok = true;
    return r;
}

CopyReport reloadFiles(const RootDir& root, std::span<const FileDef* const> files, const AfterCopy& after)
{
    CopyReport r;
    const QString unchanged = QStringLiteral("; nothing in the data folder was changed");
    RootLock lock(root.path());
    QString error;
    if (!lock.acquire(error)) return failed(r, QStringLiteral("The reload did not start: ") + error + unchanged);
    restoreSetAside(root.backupDir());

    // Every file of the backup is examined before any is copied.
    std::vector<const FileDef*> present;
    for (const FileDef* def : files) {
        const QString path = QDir(root.backupDir()).filePath(fileNameOf(*def));
        if (!QFileInfo::exists(path)) continue;
        const QString problems = problemsOf(*def, path);
        if (!problems.isEmpty())
            return failed(r, QStringLiteral("The backup is damaged: %1 does not pass the check (%2)")
                                 .arg(RootDir::nativePath(path), problems) + unchanged);
        present.push_back(def);
    }
    if (present.empty())
        return failed(r, QStringLiteral("There is no backup to reload: %1 holds no record file")
                             .arg(RootDir::nativePath(root.backupDir())) + unchanged);
    if (!makePrivateFolder(root.dataDir()))
        return failed(r, QStringLiteral("The reload did not start: the data folder %1 cannot be made")
                             .arg(RootDir::nativePath(root.dataDir())) + unchanged);

    QStringList done;
    for (const FileDef* def : present) {
        const QString name = fileNameOf(*def);
        const QString from = QDir(root.backupDir()).filePath(name);
        int rc;
        const detail::Connection source = detail::openDatabase(from, SQLITE_OPEN_READONLY, rc);
        if (rc != SQLITE_OK) error = failure(from, "cannot be opened", sqliteError(source.get(), rc));
        if (rc != SQLITE_OK || !copyDatabase(source.get(), "main", QDir(root.dataDir()).filePath(name), error)) {
            const QString so = done.isEmpty() ? unchanged
                                              : QStringLiteral("; reloaded before it: %1; run the reload again")
                                                    .arg(done.join(QStringLiteral(", ")));
            return failed(r, QStringLiteral("The reload did not complete: ") + error + so);
        }
        done << name;
        r.lines << QStringLiteral("%1: reloaded from the backup").arg(name);
        if (after) after(name);
    }
    r.ok = true;
    return r;
}

} // namespace kestrel::platform
