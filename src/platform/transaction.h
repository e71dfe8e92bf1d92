#pragma once
// A transaction over a list of record files: every write between start() and
// commit() is applied to all of them together or to none, also when the
// process dies midway (the files use SQLite's rollback journal, which commits
// attached databases atomically; never WAL).
//
// While it lives, every operation of the listed RecordFiles (reads included)
// runs inside it. Destroying a started, uncommitted transaction rolls it back.

#include "platform/recordfile.h"

#include <initializer_list>
#include <string>
#include <vector>

struct sqlite3;

namespace kestrel::platform {

class Transaction {
public:
    // Wait for other stations' locks, in milliseconds.
    static constexpr int DefaultWaitMs = 2000;

    Transaction(std::initializer_list<RecordFile*> files, int waitMs = DefaultWaitMs);
    Transaction(std::vector<RecordFile*> files, int waitMs = DefaultWaitMs);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // 0; 32 when the files cannot be locked within the wait; 37 when a file is
    // not open; 90 otherwise (also when a file is already in a transaction).
    int start();
    // 0, or 32 (readers kept the files past the wait: rolled back) or 90.
    int commit();
    // Undoes every write since start().
    int rollback();
    bool active() const { return active_; }

    int error() const { return error_; }

    // Called by a RecordFile that closes while in this transaction.
    void abandon();

private:
    int fail(int code, int driverCode, const std::string& message);
    void finish();
    // After a rollback: a file whose current record was rewritten inside
    // the transaction gets back that record's stored version and its watch,
    // so that saving it again still detects another station's change.
    void restoreCurrent();

    // Each file's current record as the transaction found it.
    using Current = RecordFile::Current;
    std::vector<Current> current_;

    std::vector<RecordFile*> files_;
    int waitMs_;
    bool active_ = false;
    int error_ = 0;
    sqlite3* db_ = nullptr;              // the connection the transaction runs on (a file's)
    std::vector<std::string> attached_;  // schema names attached for it
};

} // namespace kestrel::platform
