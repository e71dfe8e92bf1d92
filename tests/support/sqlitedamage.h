#pragma once
// Damage done to record files on disk, as a crash or a bad copy would: the
// tests of file access and of the file check use it. Bumps the database's
// change counter so that a connection holding the file open notices.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <algorithm>
#include <string>

namespace kestrel::test {

// Runs one SQL statement on a record file from outside the driver; returns
// SQLite's message on failure, "" on success.
inline std::string execSql(const QString& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    std::string error;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
    } else {
        char* message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
            error = message ? message : "failed";
        sqlite3_free(message);
    }
    sqlite3_close(db);
    return error;
}

// Overwrites the root page of a table or index (by its name in the schema)
// with garbage. False when the name or the file is not found.
inline bool damagePage(const QString& path, const std::string& name)
{
    sqlite3* db = nullptr;
    int root = 0, pageSize = 0;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_schema WHERE name = ?", -1, &st, nullptr) ==
            SQLITE_OK) {
            sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) root = sqlite3_column_int(st, 0);
        }
        sqlite3_finalize(st);
        if (sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            pageSize = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    if (root <= 0 || pageSize <= 0) return false;

    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) return false;
    if (!f.seek(qint64(root - 1) * pageSize) || f.write(QByteArray(pageSize, '\x5A')) != pageSize) return false;
    if (!f.seek(24)) return false;
    QByteArray counter = f.read(4);
    counter[3] = char(counter[3] + 1);
    return f.seek(24) && f.write(counter) == 4;
}

// The first column of the first row of a query on a file from outside the
// driver (-1 when it fails): counts taken behind the driver's back.
inline long long queryNumber(const QString& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    long long value = -1;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

// A bad copy that put old pages back: every page of records (a table leaf)
// that differs from `before`, an earlier image of the same file, gets its
// earlier content again; the keys keep naming the records added since.
// Returns the count of pages put back.
inline int putBackOldRecordPages(const QString& path, const QByteArray& before)
{
    const long long sequenceRoot =
        queryNumber(path, "SELECT rootpage FROM sqlite_schema WHERE name = 'sqlite_sequence'");
    const long long pageSize = queryNumber(path, "PRAGMA page_size");
    QFile f(path);
    if (pageSize <= 0 || !f.open(QIODevice::ReadWrite)) return 0;
    QByteArray now = f.readAll();
    int restored = 0;
    // Page 1 holds the schema and the header: left as it is.
    for (long long page = 2; page * pageSize <= std::min<long long>(before.size(), now.size()); ++page) {
        const qsizetype at = qsizetype((page - 1) * pageSize);
        const QByteArray old = before.mid(at, qsizetype(pageSize));
        const bool recordLeaf = old[0] == char(0x0D) && now[at] == char(0x0D);
        if (!recordLeaf || page == sequenceRoot || old == now.mid(at, qsizetype(pageSize))) continue;
        now.replace(at, qsizetype(pageSize), old);
        ++restored;
    }
    // Bumps the change counter, as damagePage does.
    now[27] = char(now[27] + 1);
    f.seek(0);
    f.write(now);
    return restored;
}

} // namespace kestrel::test
