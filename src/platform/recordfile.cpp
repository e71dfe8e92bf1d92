#include "platform/recordfile.h"

#include "platform/fieldvalue.h"
#include "platform/leftovers.h"
#include "platform/privatefiles.h"
#include "platform/sqlitefile.h"
#include "platform/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace kestrel::platform {

ErrorState::ErrorState() : owner_(std::this_thread::get_id()) {}

LastError& ErrorState::slot() const
{
    if (std::this_thread::get_id() == owner_)
        return ownerLast_;
    thread_local LastError mine;
    return mine;
}

ErrorState driverErrors;

const char* errorTextOf(int code)
{
    switch (code) {
    case errc::Ok: return "No Error";
    case errc::FileNotFound: return "File Not Found";
    case errc::FileLocked: return "File Is Locked";
    case errc::NoRecord: return "Record Not Found";
    case errc::FileNotOpen: return "File Not Open";
    case errc::DuplicateKey: return "Creates Duplicate Key";
    case errc::InvalidKeyFile: return "Invalid Key File";
    case errc::InvalidFile: return "Invalid File";
    case errc::AlreadyOpen: return "File Already Open";
    case errc::ChangedByOther: return "Record Changed By Another Station";
    case errc::DriverError: return "File System Error";
    default: return "Unknown Error";
    }
}

// ---------------------------------------------------------------- test hook

namespace faults {
namespace {
struct Rule {
    bool active = false;
    Operation op = Operation::Open;
    std::string label;
    int nth = 0;
    int code = 0;
    int seen = 0;
};
Rule rule;
} // namespace

void failOn(Operation op, std::string_view fileLabel, int nth, int code)
{
    rule = Rule{true, op, std::string(fileLabel), nth, code, 0};
}

void clear() { rule = Rule{}; }

// The code to fail with when the rule fires for this operation, else 0.
int fires(Operation op, std::string_view label)
{
    if (!rule.active || rule.op != op) return 0;
    if (!rule.label.empty() && !FileDef::equalsNoCase(rule.label, label)) return 0;
    if (++rule.seen < rule.nth) return 0;
    rule.active = false;
    return rule.code;
}
} // namespace faults

// ------------------------------------------------------------------ helpers

namespace {

using detail::duplicateId;
using detail::exec;
using detail::getId;
using detail::StInsert;
using detail::StRemove;
using detail::StUpdate;
using detail::StUpdateWatched;
using detail::WalkMode;

constexpr const char* InjectedMessage = "failure injected by a test";

// A file that cannot be reached (its folder unreadable, a looping link) is
// not missing: creating it anew would be wrong, and saying so would hide the
// cause. No error when the file or its folder is merely absent.
std::error_code unreachable(const QString& path)
{
    std::error_code ec;
    static_cast<void>(std::filesystem::status(QFile::encodeName(path).toStdString(), ec));
    if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return {};
    return ec;
}

} // namespace

namespace detail {

std::atomic<std::uint64_t>* writesTo(const QString& path)
{
    // Keyed by the canonical path, so that two spellings of one file share
    // a counter; map nodes never move, so the pointers stay valid.
    static std::mutex mutex;
    static std::map<QString, std::atomic<std::uint64_t>> counters;
    QString key = QFileInfo(path).canonicalFilePath();
    if (key.isEmpty()) key = QFileInfo(path).absoluteFilePath();
    std::lock_guard lock(mutex);
    return &counters[key];
}

} // namespace detail

// ------------------------------------------------------------ Impl: errors

int RecordFile::Impl::done(int code)
{
    error = code;
    driverCode = 0;
    driverMessage.clear();
    driverErrors.record({code, errorTextOf(code), 0, {}});
    return code;
}

int RecordFile::Impl::sqlFailure(int rc, sqlite3* on)
{
    int extended = on ? sqlite3_extended_errcode(on) : rc;
    if ((extended & 0xFF) != (rc & 0xFF)) extended = rc;
    std::string message = on ? sqlite3_errmsg(on) : sqlite3_errstr(rc);
    int code = errc::DriverError;
    switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: code = errc::FileLocked; break;
    case SQLITE_CONSTRAINT:
        if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
            code = errc::DuplicateKey;
        break;
    case SQLITE_NOTADB: code = errc::InvalidFile; break;
    case SQLITE_CORRUPT: code = classifyCorruption(on, route.schema); break;
    default: break;
    }
    error = code;
    driverCode = extended;
    driverMessage = message;
    driverErrors.record({code, errorTextOf(code), extended, message});
    return code;
}

int RecordFile::Impl::failWith(int code, std::string message, int ownCode)
{
    error = code;
    driverCode = ownCode;
    driverMessage = std::move(message);
    driverErrors.record({code, errorTextOf(code), driverCode, driverMessage});
    return code;
}

bool RecordFile::Impl::injected(faults::Operation op)
{
    int code = faults::fires(op, def.label);
    if (!code) return false;
    error = code;
    driverCode = 0;
    driverMessage = code == errc::DriverError ? InjectedMessage : "";
    driverErrors.record({code, errorTextOf(code), 0, driverMessage});
    return true;
}


sqlite3_stmt* RecordFile::Impl::statement(std::uint32_t id, const std::function<std::string()>& sql)
{
    sqlite3_stmt* st = route.cache->get(route.db, id, sql);
    if (!st) sqlFailure(sqlite3_errcode(route.db), route.db);
    return st;
}


// ------------------------------------------------------------- RecordFile

RecordFile::RecordFile(const FileDef& def, unsigned char* buffer) : d_(std::make_unique<Impl>(def, buffer)) {}

RecordFile::~RecordFile() { close(); }

const FileDef& RecordFile::def() const { return d_->def; }
unsigned char* RecordFile::buffer() const { return d_->buffer; }

void RecordFile::setDirectory(const QString& dir) { d_->dir = dir; }
QString RecordFile::directory() const { return d_->dir; }

QString RecordFile::name() const
{
    if (d_->db) return d_->path;
    return QDir(d_->dir).absoluteFilePath(QString::fromUtf8(d_->def.fileName.data(), qsizetype(d_->def.fileName.size())));
}

bool RecordFile::isOpen() const { return d_->db != nullptr; }

int RecordFile::open()
{
    Impl& d = *d_;
    if (d.db) return d.done(errc::AlreadyOpen);
    if (d.injected(faults::Operation::Open)) return d.error;
    const QString path = name();
    if (std::error_code ec = unreachable(path))
        return d.failWith(errc::DriverError, "cannot reach " + path.toStdString() + ": " + ec.message(), ec.value());
    detail::removeLeftovers(path);
    if (!QFileInfo(path).isFile()) return d.done(errc::FileNotFound);

    int rc;
    detail::Connection db = detail::openDatabase(path, SQLITE_OPEN_READWRITE, rc);
    if (rc != SQLITE_OK) return d.sqlFailure(rc, db.get());
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), detail::BusyWaitMs);
    d.db = std::move(db);
    d.path = path;
    d.sharedWrites = detail::writesTo(path);
    if (d.checkOpened() != errc::Ok) {
        d.db.reset();  // the error of the check stays
        return d.error;
    }
    d.route = {d.db.get(), "main", &d.ownCache};
    d.hasCurrent = false;
    d.watchArmed = d.watched = false;
    d.quickScan = false;
    ++d.generation;
    d.startWalk(d.walk, FileOrder, WalkMode::Ends, nullptr, 0, 0, nullptr);
    return d.done(errc::Ok);
}

int RecordFile::create()
{
    Impl& d = *d_;
    if (d.injected(faults::Operation::Create)) return d.error;
    const QString path = name();
    if (QFileInfo::exists(path)) return d.done(errc::Ok);
    makePrivateFolder(QFileInfo(path).absolutePath());
    // Built under a temporary name and moved into place only when complete,
    // so that a crash never leaves a half-made file that would read as invalid.
    const detail::TemporaryFile temp(path + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid()));
    {
        int rc;
        detail::Connection db =
            detail::openDatabase(temp.path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, rc);
        if (rc == SQLITE_OK) rc = exec(db.get(), "PRAGMA journal_mode=DELETE");
        if (rc == SQLITE_OK) rc = exec(db.get(), "BEGIN");
        for (const auto& sql : d.layout.createStatements())
            if (rc == SQLITE_OK) rc = exec(db.get(), sql);
        if (rc == SQLITE_OK) rc = exec(db.get(), "COMMIT");
        if (rc != SQLITE_OK) return d.sqlFailure(rc, db.get());
    }
    // Never replaces: when another station created the file meanwhile, theirs stays.
    if (!QFile::rename(temp.path(), path) && !QFileInfo::exists(path))
        return d.failWith(errc::DriverError, "cannot create " + path.toStdString());
    return d.done(errc::Ok);
}

int RecordFile::close()
{
    Impl& d = *d_;
    if (!d.db) return d.done(errc::Ok);
    if (d.transaction) d.transaction->abandon();
    d.ownCache.clear();
    d.txCache.clear();
    d.db.reset();
    d.route = {};
    d.hasCurrent = false;
    d.watchArmed = d.watched = false;
    d.walk.batch.drop();
    ++d.generation;
    return d.done(errc::Ok);
}


int RecordFile::set(int keyIndex, Start from)
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (keyIndex < 0 || keyIndex >= int(d.def.keys.size())) return d.done(errc::DriverError);
    d.startWalk(d.walk, keyIndex, from == Start::AtBuffer ? WalkMode::FromValue : WalkMode::Ends, d.buffer, 0, 0,
                nullptr);
    return d.done(errc::Ok);
}

int RecordFile::setFileOrder()
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    d.startWalk(d.walk, FileOrder, WalkMode::Ends, nullptr, 0, 0, nullptr);
    return d.done(errc::Ok);
}

int RecordFile::next()
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (d.injected(faults::Operation::Read)) return d.error;
    return d.step(d.walk, +1);
}

int RecordFile::previous()
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (d.injected(faults::Operation::Read)) return d.error;
    return d.step(d.walk, -1);
}

int RecordFile::get(int keyIndex)
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (keyIndex < 0 || keyIndex >= int(d.def.keys.size())) return d.done(errc::DriverError);
    if (d.injected(faults::Operation::Read)) return d.error;
    const KeyDef& key = d.def.keys[std::size_t(keyIndex)];
    if (key.excludesEmpty()) {
        bool allEmpty = true;
        for (int i = 0; i < key.count(); ++i)
            allEmpty = allEmpty && fieldIsEmpty(d.def.fields[std::size_t(d.layout.fieldOf(keyIndex, i))], d.buffer);
        if (allEmpty) return d.done(errc::NoRecord);
    }
    sqlite3_stmt* st = d.statement(getId(keyIndex), [&] { return d.layout.get(d.route.schema, keyIndex); });
    if (!st) return d.error;
    for (int i = 0; i < key.count(); ++i) d.bindKeyPart(st, i + 1, keyIndex, i, d.buffer);
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW) {
        int code = rc == SQLITE_DONE ? d.done(errc::NoRecord) : d.sqlFailure(rc, d.route.db);
        sqlite3_reset(st);
        return code;
    }
    std::vector<unsigned char> image(std::size_t(d.def.recordLength));
    bool ok = d.readRow(st, image.data());
    std::int64_t rid = sqlite3_column_int64(st, 0), version = sqlite3_column_int64(st, 1);
    sqlite3_reset(st);
    if (!ok) return d.error;
    std::memcpy(d.buffer, image.data(), image.size());
    d.makeCurrent(image.data(), rid, version);
    d.startWalk(d.walk, keyIndex, WalkMode::After, image.data(), rid, 0, nullptr);
    return d.done(errc::Ok);
}

void RecordFile::forget()
{
    d_->hasCurrent = false;
    d_->watched = false;
    d_->done(errc::Ok);
}

bool RecordFile::hasCurrent() const { return d_->hasCurrent; }

RecordFile::Current RecordFile::current() const
{
    const Impl& d = *d_;
    return {d.hasCurrent, d.watched, d.currentRid, d.currentVersion, d.currentImage};
}

void RecordFile::restore(const Current& c)
{
    Impl& d = *d_;
    d.hasCurrent = c.has;
    d.watched = c.has && c.watched;
    d.watchArmed = false;
    d.currentRid = c.rid;
    d.currentVersion = c.version;
    d.currentImage = c.image;
}

std::string RecordFile::position() const { return d_->positionOf(d_->walk.order); }

std::string RecordFile::position(int order) const
{
    if (order < FileOrder || order >= int(d_->def.keys.size())) return {};
    return d_->positionOf(order);
}

int RecordFile::reget(std::string_view pos)
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (d.injected(faults::Operation::Read)) return d.error;
    int order;
    std::int64_t rid;
    std::vector<unsigned char> image;
    bool hasValues;
    if (!d.parsePosition(pos, order, rid, image, hasValues)) return d.done(errc::NoRecord);
    std::int64_t version = 0;
    int code = d.readByRid(rid, image.data(), &version);
    if (code) return code;
    std::memcpy(d.buffer, image.data(), image.size());
    d.makeCurrent(image.data(), rid, version);
    return d.done(errc::Ok);
}

int RecordFile::reset(std::string_view pos)
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    int order;
    std::int64_t rid;
    std::vector<unsigned char> image;
    bool hasValues;
    if (!d.parsePosition(pos, order, rid, image, hasValues)) return d.done(errc::NoRecord);
    WalkMode mode = WalkMode::AtPos;
    if (!hasValues) {
        int code = d.readByRid(rid, image.data(), nullptr);
        if (code == errc::NoRecord) mode = WalkMode::Ends;
        else if (code) return code;
    }
    d.startWalk(d.walk, order, mode, image.data(), rid, 0, nullptr);
    return d.done(errc::Ok);
}

int RecordFile::add()
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (d.injected(faults::Operation::Add)) return d.error;
    // A new record has no predecessor: duplicate() after a failed add must
    // compare with every stored record.
    d.hasCurrent = false;
    d.watched = d.watchArmed = false;
    sqlite3_stmt* st = d.statement(StInsert, [&] { return d.layout.insert(d.route.schema); });
    if (!st) return d.error;
    d.bindRecord(st, d.buffer);
    int rc = sqlite3_step(st);
    int code = rc == SQLITE_DONE ? errc::Ok : d.sqlFailure(rc, d.route.db);
    sqlite3_reset(st);
    if (code) return code;
    d.wrote();
    d.makeCurrent(d.buffer, sqlite3_last_insert_rowid(d.route.db), 1);
    return d.done(errc::Ok);
}

int RecordFile::put()
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (d.injected(faults::Operation::Put)) return d.error;
    if (!d.hasCurrent) return d.done(errc::NoRecord);
    const bool watched = d.watched;
    sqlite3_stmt* st = d.statement(watched ? StUpdateWatched : StUpdate,
                                   [&] { return d.layout.update(d.route.schema, watched); });
    if (!st) return d.error;
    int p = d.bindRecord(st, d.buffer);
    sqlite3_bind_int64(st, p, d.currentRid);
    if (watched) sqlite3_bind_int64(st, p + 1, d.currentVersion);
    int rc = sqlite3_step(st);
    std::int64_t version = 0;
    if (rc == SQLITE_ROW) {
        version = sqlite3_column_int64(st, 0);
        rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) rc = SQLITE_ROW;
    }
    int code = errc::Ok;
    if (rc == SQLITE_DONE) code = d.done(watched ? errc::ChangedByOther : errc::NoRecord);
    else if (rc != SQLITE_ROW) code = d.sqlFailure(rc, d.route.db);
    sqlite3_reset(st);
    if (code) return code;
    d.wrote();
    d.watched = false;
    d.currentVersion = version;
    d.currentImage.assign(d.buffer, d.buffer + d.def.recordLength);
    return d.done(errc::Ok);
}

int RecordFile::remove()
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen();
    if (d.injected(faults::Operation::Remove)) return d.error;
    if (!d.hasCurrent) return d.done(errc::NoRecord);
    sqlite3_stmt* st = d.statement(StRemove, [&] { return d.layout.remove(d.route.schema); });
    if (!st) return d.error;
    sqlite3_bind_int64(st, 1, d.currentRid);
    int rc = sqlite3_step(st);
    int code = rc == SQLITE_DONE ? errc::Ok : d.sqlFailure(rc, d.route.db);
    if (code == errc::Ok && sqlite3_changes(d.route.db) == 0) code = d.done(errc::NoRecord);
    sqlite3_reset(st);
    if (code) return code;
    d.wrote();
    d.hasCurrent = false;
    d.watched = false;
    return d.done(errc::Ok);
}

bool RecordFile::duplicate(int keyIndex)
{
    Impl& d = *d_;
    if (!d.db) return d.notOpen(), false;
    if (keyIndex < 0 || keyIndex >= int(d.def.keys.size())) return d.done(errc::DriverError), false;
    const KeyDef& key = d.def.keys[std::size_t(keyIndex)];
    d.done(errc::Ok);
    if (!key.unique()) return false;
    if (key.excludesEmpty()) {
        bool allEmpty = true;
        for (int i = 0; i < key.count(); ++i)
            allEmpty = allEmpty && fieldIsEmpty(d.def.fields[std::size_t(d.layout.fieldOf(keyIndex, i))], d.buffer);
        if (allEmpty) return false;
    }
    sqlite3_stmt* st =
        d.statement(duplicateId(keyIndex), [&] { return d.layout.duplicate(d.route.schema, keyIndex); });
    if (!st) return false;
    for (int i = 0; i < key.count(); ++i) d.bindKeyPart(st, i + 1, keyIndex, i, d.buffer);
    sqlite3_bind_int64(st, key.count() + 1, d.hasCurrent ? d.currentRid : 0);
    int rc = sqlite3_step(st);
    bool found = rc == SQLITE_ROW;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) d.sqlFailure(rc, d.route.db);
    sqlite3_reset(st);
    return found;
}

void RecordFile::watch() { d_->watchArmed = true; }

int RecordFile::send(std::string_view option)
{
    Impl& d = *d_;
    std::string o;
    for (char c : option)
        if (c != ' ') o += char(std::toupper(static_cast<unsigned char>(c)));
    if (o == "QUICKSCAN=ON" || o == "QUICKSCAN=OFF") {
        d.quickScan = o == "QUICKSCAN=ON";
        return d.done(errc::Ok);
    }
    // Recovery from a lock left by a crashed station is SQLite's own (hot
    // journals are rolled back by the next reader): nothing more to do.
    if (o.rfind("RECOVER=", 0) == 0) return d.done(errc::Ok);
    return d.failWith(errc::DriverError, "unknown driver option: " + std::string(option));
}

int RecordFile::error() const { return d_->error; }
std::string RecordFile::errorText() const { return errorTextOf(d_->error); }
int RecordFile::driverCode() const { return d_->driverCode; }
std::string RecordFile::driverMessage() const { return d_->driverMessage; }

} // namespace kestrel::platform