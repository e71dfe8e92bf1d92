// The driver's care of damaged and old files: telling damaged keys from
// damaged records on open, upgrading a file of the previous format, and
// rebuilding the keys.
#include "platform/keyaudit.h"
#include "platform/recordfile.h"
#include "platform/sqlitefile.h"
#include "platform/sqlitehandle.h"
#include "platform/transaction.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include <sys/stat.h>

namespace kestrel::platform {

namespace {

// Files below this size are checked for damaged keys on open; the check reads
// every page, which costs little at this size and would delay larger files.
constexpr qint64 QuickCheckLimit = 32 * 1024 * 1024;
// Lost records named in the driver's message when a rebuild refuses.
constexpr int LostListed = 10;

using detail::exec;

// What tells one content of a file from another without reading it: its
// identity, size and times, and the change counter that SQLite raises in
// the header at every commit. A crash, a bad copy or a write by another
// station changes at least one of them.
struct FileState {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds
    QByteArray counter;

    bool operator==(const FileState&) const = default;
};

// Nullopt when the state cannot be told: unreadable, or a journal beside it
// (a transaction under way or one to roll back).
std::optional<FileState> stateOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    if (QFileInfo::exists(path + QStringLiteral("-journal"))) return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(24)) return std::nullopt;
    FileState s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = st.st_size;
    s.modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changed = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.counter = f.read(4);
    return s.counter.size() == 4 ? std::optional(s) : std::nullopt;
}

// Files this process found sound on open, with the state they had then: a
// file opened again unchanged is not read through once more (every window
// opens its files afresh). Shared by every thread that opens files.
std::mutex soundLock;
std::map<QString, FileState> soundFiles;

bool knownSound(const QString& path, const std::optional<FileState>& now)
{
    const std::lock_guard lock(soundLock);
    const auto it = soundFiles.find(path);
    return now && it != soundFiles.end() && it->second == *now;
}

void rememberSound(const QString& path, const std::optional<FileState>& before)
{
    const std::lock_guard lock(soundLock);
    if (before) soundFiles[path] = *before;
    else soundFiles.erase(path);
}

using Meta = std::vector<std::pair<std::string, std::string>>;

Meta sortedMeta(const detail::SqlLayout& layout, int format)
{
    auto rows = layout.metaRows(format);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The meta rows of the file attached as `schema`, sorted; SQLite's result code.
int readMeta(sqlite3* db, const std::string& schema, Meta& found)
{
    int rc;
    detail::Statement st = detail::prepare(db, "SELECT key, value FROM " + schema + ".kestrel_file", rc);
    if (!st) return rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW)
        found.emplace_back(detail::columnText(st.get(), 0), detail::columnText(st.get(), 1));
    std::sort(found.begin(), found.end());
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// The rebuild's own database, with the file to rebuild attached as "src".
// Nothing of it needs to survive a crash: it is a temporary file.
int prepareFresh(sqlite3* fresh, const QString& path)
{
    sqlite3_extended_result_codes(fresh, 1);
    sqlite3_busy_timeout(fresh, detail::BusyWaitMs);
    exec(fresh, "PRAGMA journal_mode=OFF");
    exec(fresh, "PRAGMA synchronous=OFF");
    int rc = detail::registerFoldFunction(fresh);
    return rc == SQLITE_OK ? detail::attach(fresh, path, "src") : rc;
}

// The records of "src" into a new table with every key built afresh.
int copyRecords(sqlite3* fresh, const detail::SqlLayout& layout)
{
    int rc = exec(fresh, "BEGIN");
    for (const auto& sql : layout.createStatements(false))
        if (rc == SQLITE_OK) rc = exec(fresh, sql);
    // The fold columns are computed afresh: they are part of the keys.
    if (rc == SQLITE_OK) rc = exec(fresh, layout.copyRecords("main", "src"));
    // Identities of deleted records stay used.
    if (rc == SQLITE_OK)
        rc = exec(fresh, "DELETE FROM main.sqlite_sequence; INSERT INTO main.sqlite_sequence(name, seq) "
                         "SELECT name, seq FROM src.sqlite_sequence");
    for (const auto& sql : layout.indexStatements())
        if (rc == SQLITE_OK) rc = exec(fresh, sql);
    if (rc == SQLITE_OK) rc = exec(fresh, "COMMIT");
    if (rc == SQLITE_OK) rc = exec(fresh, "DETACH DATABASE src");
    return rc;
}

// Replaces the content of `target` by that of `fresh`, waiting out readers.
int copyDatabase(sqlite3* target, sqlite3* fresh)
{
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", fresh, "main");
    if (!backup) return sqlite3_errcode(target);
    int rc;
    do {
        rc = sqlite3_backup_step(backup, -1);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(50);
    } while (rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    const int finish = sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? finish : rc;
}

} // namespace

// Damage that SQLite reports as corruption is in the keys when every record
// still reads through the table alone: then rebuilding the keys repairs it.
int RecordFile::Impl::classifyCorruption(sqlite3* on, const std::string& schema)
{
    if (!on) return errc::DriverError;
    int rc;
    detail::Statement st =
        detail::prepare(on, "SELECT " + layout.selectColumns() + " FROM " + layout.table(schema) + " NOT INDEXED", rc);
    if (!st) return errc::DriverError;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {}
    return rc == SQLITE_DONE ? errc::InvalidKeyFile : errc::DriverError;
}

// ----------------------------------------------------------- Impl: open

int RecordFile::Impl::checkFile(bool& upgrade)
{
    upgrade = false;
    std::vector<std::pair<std::string, std::string>> found;
    int rc = readMeta(db.get(), "main", found);
    const int p = rc & 0xFF;
    if (p == SQLITE_BUSY || p == SQLITE_LOCKED || p == SQLITE_NOTADB) return sqlFailure(rc, db.get());
    if (p == SQLITE_CORRUPT) {
        sqlFailure(rc, db.get());
        return done(errc::InvalidFile);
    }
    // No meta table: an SQLite database, but not a record file of ours.
    if (rc != SQLITE_OK) return failWith(errc::InvalidFile, sqlite3_errmsg(db.get()), rc);
    const bool previous = found == sortedMeta(layout, detail::PreviousFormat);
    if (!previous && found != sortedMeta(layout, detail::FormatVersion)) return done(errc::InvalidFile);
    if (QFileInfo(path).size() < QuickCheckLimit) {
        // The state is taken before the check: a write during it makes the
        // file differ from what is remembered, and the next open checks.
        const std::optional<FileState> state = stateOf(path);
        if (!knownSound(path, state)) {
            if (quickCheck() != errc::Ok) {
                rememberSound(path, std::nullopt);
                return error;
            }
            rememberSound(path, state);
        }
    }
    upgrade = previous;
    return errc::Ok;
}

int RecordFile::Impl::quickCheck()
{
    int rc;
    std::string verdict;
    detail::Statement st = detail::prepare(db.get(), "PRAGMA main.quick_check(1)", rc);
    if (st && (rc = sqlite3_step(st.get())) == SQLITE_ROW) verdict = detail::columnText(st.get(), 0);
    st.reset();
    const int p = rc & 0xFF;
    if (p == SQLITE_BUSY || p == SQLITE_LOCKED) return sqlFailure(rc, db.get());
    if (verdict != "ok") {
        const int code = classifyCorruption(db.get(), "main");
        return done(code == errc::InvalidKeyFile ? code : errc::InvalidFile);
    }
    // The quick check does not compare the keys with the records: keys that
    // name records the table lost, or miss records it holds, would otherwise
    // fail only in the middle of a walk.
    bool agree = true;
    rc = detail::keysCountRecords(db.get(), "main", layout, agree);
    if (rc != SQLITE_OK) {
        const int code = sqlFailure(rc, db.get());
        return code == errc::FileLocked || code == errc::InvalidKeyFile ? code : done(errc::InvalidFile);
    }
    return agree ? done(errc::Ok) : done(errc::InvalidKeyFile);
}

int RecordFile::Impl::checkOpened()
{
    bool upgrade = false;
    int code = checkFile(upgrade);
    if (code == errc::Ok) {
        // Rollback journal, never WAL: only then does SQLite commit a
        // transaction over several attached files atomically.
        int rc = exec(db.get(), "PRAGMA main.journal_mode=DELETE");
        if (rc == SQLITE_OK) rc = exec(db.get(), "PRAGMA main.synchronous=FULL");
        if (rc != SQLITE_OK) code = sqlFailure(rc, db.get());
    }
    if (code == errc::Ok && upgrade) code = upgradeFormat();
    return code;
}

// A file written before the keys folded accented letters: its fold columns
// are added and filled and its case-insensitive keys remade, all in one
// transaction, so that a crash leaves either file whole. Another station may
// be upgrading the same file: the one that waited finds the work done.
int RecordFile::Impl::upgradeFormat()
{
    sqlite3* on = db.get();
    int rc = detail::registerFoldFunction(on);
    if (rc == SQLITE_OK) rc = exec(on, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return sqlFailure(rc, on);
    std::vector<std::pair<std::string, std::string>> found;
    rc = readMeta(on, "main", found);
    const bool previous = found == sortedMeta(layout, detail::PreviousFormat);
    if (rc == SQLITE_OK && previous)
        for (const auto& sql : layout.upgradeStatements())
            if (rc == SQLITE_OK) rc = exec(on, sql);
    if (rc == SQLITE_OK) rc = exec(on, "COMMIT");
    if (rc == SQLITE_OK) return errc::Ok;
    const int code = sqlFailure(rc, on);
    if (!sqlite3_get_autocommit(on)) exec(on, "ROLLBACK");
    // Values that were distinct while only A-Z folded can be equal now: the
    // unique key cannot be made until they are told apart by hand.
    if (code == errc::DuplicateKey) return failWith(errc::InvalidKeyFile, "upgrading the keys: " + driverMessage);
    return code;
}

// ----------------------------------------------------------- rebuild

int RecordFile::Impl::refuseRebuild(sqlite3* fresh, Loss loss, int& rc)
{
    std::vector<std::pair<std::string, std::string>> found;
    rc = readMeta(fresh, "src", found);
    if (rc != SQLITE_OK) return errc::Ok;
    if (found != sortedMeta(layout, detail::FormatVersion) && found != sortedMeta(layout, detail::PreviousFormat))
        return done(errc::InvalidFile);
    if (loss == Loss::Accept) return errc::Ok;
    // Keys naming records the table lost: the records are gone, not the keys
    // damaged, and a rebuild would drop them silently.
    const detail::LostRecords lost = detail::findLostRecords(fresh, "src", layout, LostListed);
    if (lost.count == 0) return errc::Ok;
    return failWith(errc::InvalidFile,
                    "its keys name " + detail::describeLoss(lost) + ": rebuilding the keys would lose them");
}

int RecordFile::build(Loss loss)
{
    Impl& d = *d_;
    if (d.transaction) return d.done(errc::DriverError);
    const QString path = name();
    if (!QFileInfo(path).isFile()) return d.done(errc::FileNotFound);

    // The keys are rebuilt from the records into a fresh database, which then
    // replaces the content of the file page by page under SQLite's journal:
    // rebuilding in place (REINDEX) would have to free the damaged pages and
    // can itself fail on them.
    int rc = SQLITE_OK;
    detail::Connection own;
    if (!d.db) {
        own = detail::openDatabase(path, SQLITE_OPEN_READWRITE, rc);
        if (rc != SQLITE_OK) return d.sqlFailure(rc, own.get());
        sqlite3_extended_result_codes(own.get(), 1);
        sqlite3_busy_timeout(own.get(), detail::BusyWaitMs);
    }
    sqlite3* target = d.db ? d.db.get() : own.get();
    const detail::TemporaryFile temp(path + QStringLiteral(".rebuild-%1").arg(QCoreApplication::applicationPid()));
    const detail::Connection fresh =
        detail::openDatabase(temp.path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, rc);
    if (rc == SQLITE_OK) rc = prepareFresh(fresh.get(), path);
    if (rc == SQLITE_OK)
        if (const int refused = d.refuseRebuild(fresh.get(), loss, rc)) return refused;
    if (rc == SQLITE_OK) rc = copyRecords(fresh.get(), d.layout);
    sqlite3* failedOn = fresh.get();
    if (rc == SQLITE_OK) {
        failedOn = target;
        rc = copyDatabase(target, fresh.get());
    }
    if (rc != SQLITE_OK) {
        // Corruption met while copying is in the records themselves: the
        // keys cannot be rebuilt from them.
        const int code = d.sqlFailure(rc, failedOn);
        return code == errc::InvalidKeyFile ? (d.error = errc::DriverError) : code;
    }
    ++d.generation;
    // Every handle's read-ahead of this file predates the new content.
    ++*detail::writesTo(path);
    d.hasCurrent = false;
    d.walk.batch.drop();
    return d.done(errc::Ok);
}

} // namespace kestrel::platform
