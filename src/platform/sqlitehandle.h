#pragma once
// Owning handles of SQLite objects, so that every exit path of the driver
// closes what it opened. Private to the driver.

#include "platform/privatefiles.h"

#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <memory>
#include <string>

namespace kestrel::platform::detail {

struct CloseConnection {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
// A database connection; closed when the handle goes.
using Connection = std::unique_ptr<sqlite3, CloseConnection>;

struct FinalizeStatement {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
// A prepared statement; finalized when the handle goes.
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

struct FinishBackup {
    void operator()(sqlite3_backup* b) const { sqlite3_backup_finish(b); }
};
// An online backup from one database into another; finished when the handle
// goes (finishing it early gives its result).
using Backup = std::unique_ptr<sqlite3_backup, FinishBackup>;

// Registers the function that filter conditions in SQL compare a text's
// leading number with (FilterExpression::sql); an SQLite result code.
int registerCompareNumber(sqlite3* db);

// Opens the database at `path` with SQLite's open flags; the result code in
// `rc`. The handle is set even on failure (it carries SQLite's message).
// Every connection knows the functions of filter conditions.
inline Connection openDatabase(const QString& path, int flags, int& rc)
{
    sqlite3* db = nullptr;
    rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc == SQLITE_OK) rc = registerCompareNumber(db);
    return Connection(db);
}

// Prepares `sql`; the result code in `rc` (the handle is empty on failure).
inline Statement prepare(sqlite3* db, const std::string& sql, int& rc)
{
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        st = nullptr;
    }
    return Statement(st);
}

// Runs statements that return no rows we need; SQLite's result code.
inline int exec(sqlite3* db, const std::string& sql)
{
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

// Attaches the database at `path` to `db` as `schema`; SQLite's result code.
inline int attach(sqlite3* db, const QString& path, const std::string& schema)
{
    int rc;
    Statement st = prepare(db, "ATTACH DATABASE ? AS " + schema, rc);
    if (!st) return rc;
    const QByteArray file = QFile::encodeName(path);
    sqlite3_bind_text(st.get(), 1, file.constData(), int(file.size()), SQLITE_TRANSIENT);
    return sqlite3_step(st.get()) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
}

// A file built under a temporary name (a new record file, a rebuild):
// removed, with what SQLite kept beside it, when the handle goes, unless it
// was moved into place meanwhile. Open connections to it must go first.
class TemporaryFile {
public:
    // Made 0600 before SQLite opens it: its journals take the same mode.
    explicit TemporaryFile(QString path) : path_(std::move(path))
    {
        removeAll();
        makePrivateFile(path_);
    }
    ~TemporaryFile() { removeAll(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const QString& path() const { return path_; }

private:
    void removeAll()
    {
        QFile::remove(path_);
        QFile::remove(path_ + QStringLiteral("-journal"));
    }
    QString path_;
};

// Column `col` of the current row as UTF-8 text ("" for NULL).
inline std::string columnText(sqlite3_stmt* st, int col)
{
    const unsigned char* t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char*>(t), std::size_t(sqlite3_column_bytes(st, col)))
             : std::string();
}

} // namespace kestrel::platform::detail
