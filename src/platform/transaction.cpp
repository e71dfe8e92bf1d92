#include "platform/transaction.h"

#include "platform/recordfile.h"
#include "platform/sqlitefile.h"

#include <QFile>

namespace kestrel::platform {

using detail::BusyWaitMs;
using detail::exec;

Transaction::Transaction(std::initializer_list<RecordFile*> files, int waitMs)
    : Transaction(std::vector<RecordFile*>(files), waitMs)
{
}

Transaction::Transaction(std::vector<RecordFile*> files, int waitMs) : waitMs_(waitMs)
{
    for (RecordFile* f : files)
        if (f && std::find(files_.begin(), files_.end(), f) == files_.end()) files_.push_back(f);
}

Transaction::~Transaction()
{
    if (active_) rollback();
}

int Transaction::fail(int code, int driverCode, const std::string& message)
{
    error_ = code;
    driverErrors.record({code, errorTextOf(code), driverCode, message});
    return code;
}

int Transaction::start()
{
    if (active_) return fail(errc::DriverError, 0, "the transaction is already started");
    if (files_.empty()) return fail(errc::DriverError, 0, "a transaction needs at least one file");
    for (RecordFile* f : files_) {
        if (!f->isOpen()) return fail(errc::FileNotOpen, 0, {});
        if (f->d_->transaction) return fail(errc::DriverError, 0, std::string(f->def().label) + " is already in a transaction");
    }
    if (int code = faults::fires(faults::Operation::Begin, files_[0]->def().label))
        return fail(code, 0, code == errc::DriverError ? "failure injected by a test" : "");

    // The transaction runs on the first file's connection with the others
    // attached: SQLite then commits all of them atomically (rollback journal).
    RecordFile::Impl& first = *files_[0]->d_;
    sqlite3* db = first.db.get();
    db_ = db;
    std::vector<std::string> schemas(files_.size(), "main");
    for (std::size_t i = 1; i < files_.size(); ++i) {
        RecordFile::Impl& f = *files_[i]->d_;
        bool shared = false;
        for (std::size_t j = 0; j < i && !shared; ++j)
            if (files_[j]->d_->path == f.path) {
                schemas[i] = schemas[j];
                shared = true;
            }
        if (shared) continue;
        std::string schema = "k" + std::to_string(i);
        int rc = detail::attach(db, f.path, schema);
        if (rc == SQLITE_OK) {
            attached_.push_back(schema);
            rc = exec(db, "PRAGMA " + schema + ".journal_mode=DELETE");
            if (rc == SQLITE_OK) rc = exec(db, "PRAGMA " + schema + ".synchronous=FULL");
        }
        if (rc != SQLITE_OK) {
            int code = first.sqlFailure(rc, db);
            finish();
            return fail(code, first.driverCode, first.driverMessage);
        }
        schemas[i] = schema;
    }
    sqlite3_busy_timeout(db, waitMs_);
    int rc = exec(db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        int code = first.sqlFailure(rc, db);
        finish();
        return fail(code, first.driverCode, first.driverMessage);
    }
    current_.clear();
    for (std::size_t i = 0; i < files_.size(); ++i) {
        RecordFile::Impl& f = *files_[i]->d_;
        current_.push_back(files_[i]->current());
        f.transaction = this;
        if (i > 0) f.route = {db, schemas[i], &f.txCache};
        ++f.generation;
    }
    active_ = true;
    error_ = 0;
    driverErrors.record({0, errorTextOf(0), 0, {}});
    return 0;
}

int Transaction::commit()
{
    if (!active_) return fail(errc::DriverError, 0, "no transaction to commit");
    if (int code = faults::fires(faults::Operation::Commit, files_[0]->def().label)) {
        rollback();
        return fail(code, 0, code == errc::DriverError ? "failure injected by a test" : "");
    }
    sqlite3* db = db_;
    int rc = exec(db, "COMMIT");
    if (rc == SQLITE_OK) {
        finish();
        error_ = 0;
        driverErrors.record({0, errorTextOf(0), 0, {}});
        return 0;
    }
    RecordFile::Impl& first = *files_[0]->d_;
    int code = first.sqlFailure(rc, db);
    int driverCode = first.driverCode;
    std::string message = first.driverMessage;
    // A commit that could not finish leaves the transaction open: undo it so
    // that nothing half-done stays pending.
    if (!sqlite3_get_autocommit(db)) exec(db, "ROLLBACK");
    restoreCurrent();
    finish();
    return fail(code, driverCode, message);
}

int Transaction::rollback()
{
    if (!active_) return 0;
    sqlite3* db = db_;
    if (!sqlite3_get_autocommit(db)) exec(db, "ROLLBACK");
    restoreCurrent();
    finish();
    error_ = 0;
    return 0;
}

void Transaction::restoreCurrent()
{
    for (std::size_t i = 0; i < files_.size() && i < current_.size(); ++i) {
        RecordFile::Impl& f = *files_[i]->d_;
        const Current& c = current_[i];
        // Only the same record: one read afresh inside the transaction
        // carries its own (still valid) version.
        if (f.transaction != this || !c.has || !f.hasCurrent || f.currentRid != c.rid) continue;
        f.currentVersion = c.version;
        f.currentImage = c.image;
        f.watched = c.watched;
    }
}

void Transaction::abandon() { rollback(); }

void Transaction::finish()
{
    sqlite3* db = db_;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        RecordFile::Impl& f = *files_[i]->d_;
        if (f.transaction != this && active_) continue;
        f.txCache.clear();
        if (f.db) f.route = {f.db.get(), "main", &f.ownCache};
        f.transaction = nullptr;
        // Other handles may have read ahead while the writes were pending.
        f.wrote();
    }
    if (db) {
        for (const auto& schema : attached_) exec(db, "DETACH DATABASE " + schema);
        sqlite3_busy_timeout(db, BusyWaitMs);
    }
    attached_.clear();
    active_ = false;
}

} // namespace kestrel::platform
