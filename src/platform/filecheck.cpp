#include "platform/filecheck.h"

#include "platform/cp1252.h"
#include "platform/dates.h"
#include "platform/fieldvalue.h"
#include "platform/keyaudit.h"
#include "platform/leftovers.h"
#include "platform/recordfile.h"
#include "platform/sqlitehandle.h"
#include "platform/sqlitelayout.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

namespace kestrel::platform {

namespace {

using State = FileCheck::State;
using detail::SqlLayout;

constexpr int WaitMs = 2000;
// Findings listed per kind; the rest are counted.
constexpr int Listed = 5;
// Lost records named by their key values: enough to look them up in a backup.
constexpr int LostListed = 20;

QString q(const std::string& s) { return QString::fromStdString(s); }
QString q(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

void worsen(FileCheck& r, State s)
{
    auto rank = [](State x) {
        switch (x) {
        case State::Ok: return 0;
        case State::Missing: return 0;
        case State::KeysDamaged: return 1;
        case State::RecordsLost: return 2;
        case State::Locked:
        case State::Unreadable: return 3;
        case State::Damaged: return 4;
        }
        return 4;
    };
    if (rank(s) > rank(r.state)) r.state = s;
}

bool busy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

// Runs a query, handing each row to `row`; SQLITE_DONE when every row was read.
int query(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& row,
          std::string* error = nullptr)
{
    int rc;
    detail::Statement st = detail::prepare(db, sql, rc);
    if (st)
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) row(st.get());
    if (rc != SQLITE_DONE && error) *error = sqlite3_errmsg(db);
    return rc;
}

std::string text(sqlite3_stmt* st, int col)
{
    const unsigned char* t = sqlite3_column_text(st, col);
    return t ? std::string(reinterpret_cast<const char*>(t), std::size_t(sqlite3_column_bytes(st, col))) : std::string();
}

// Lists up to `Listed` findings of one kind and counts the others.
class Findings {
public:
    Findings(FileCheck& r, State severity) : r_(r), severity_(severity) {}
    ~Findings()
    {
        if (count_ > Listed) r_.problems << QStringLiteral("... and %1 more like these").arg(count_ - Listed);
    }
    void add(const QString& finding)
    {
        worsen(r_, severity_);
        if (++count_ <= Listed) r_.problems << finding;
    }
    int count() const { return count_; }

private:
    FileCheck& r_;
    State severity_;
    int count_ = 0;
};

// The storage format of a file that is ours and of this file's layout (this
// program's or the previous one), else 0.
int checkMeta(sqlite3* db, const SqlLayout& layout, FileCheck& r)
{
    std::map<std::string, std::string> found;
    std::string error;
    int rc = query(
        db, "SELECT key, value FROM kestrel_file", [&](sqlite3_stmt* st) { found[text(st, 0)] = text(st, 1); },
        &error);
    if (busy(rc)) {
        worsen(r, State::Locked);
        r.problems << QStringLiteral("locked by another station; not examined");
        return 0;
    }
    if (rc != SQLITE_DONE) {
        worsen(r, State::Damaged);
        // A record file cut short or overwritten in the middle is still one
        // of ours: say it is damaged, not foreign, so that the reader looks
        // for a backup of it rather than for a stray file.
        if ((rc & 0xFF) == SQLITE_CORRUPT)
            r.problems << QStringLiteral("damaged: cut short or overwritten, its records cannot be read (%1); "
                                         "restore it from a backup")
                              .arg(q(error));
        else
            r.problems << QStringLiteral("not a record file of this program (%1)").arg(q(error));
        return 0;
    }
    const std::string previous = std::to_string(detail::PreviousFormat);
    const int format = found["format"] == previous ? detail::PreviousFormat : detail::FormatVersion;
    Findings f(r, State::Damaged);
    for (const auto& [key, value] : layout.metaRows(format)) {
        auto it = found.find(key);
        const QString has = it == found.end() ? QStringLiteral("nothing") : q(it->second);
        if (it != found.end() && it->second == value) continue;
        if (key == "label")
            f.add(QStringLiteral("holds the records of %1, not of %2").arg(has, q(value)));
        else if (key == "record_length")
            f.add(QStringLiteral("record length %1, the dictionary says %2").arg(has, q(value)));
        else if (key == "format")
            f.add(QStringLiteral("storage format %1, this program reads format %2").arg(has, q(value)));
        else
            f.add(QStringLiteral("its fields (names, kinds, widths) differ from the dictionary"));
    }
    if (f.count() > 0) return 0;
    if (format == detail::PreviousFormat) {
        // Sound records under keys that fold only A to Z: the next open or
        // rebuild upgrades the file.
        worsen(r, State::KeysDamaged);
        r.problems << QStringLiteral("keys of the earlier storage format %1, blind to the case of accented letters; "
                                     "opening the file or rebuilding its keys upgrades it")
                          .arg(format);
    }
    return format;
}

bool checkColumns(sqlite3* db, const FileDef& def, const SqlLayout& layout, int format, FileCheck& r)
{
    std::vector<std::string> found;
    query(db, "PRAGMA table_xinfo(" + SqlLayout::quoted(def.label) + ")",
          [&](sqlite3_stmt* st) { found.push_back(text(st, 1)); });
    if (found.empty()) {
        worsen(r, State::Damaged);
        r.problems << QStringLiteral("the table of records is missing");
        return false;
    }
    const std::vector<std::string> expected = layout.columnNames(format);

    Findings f(r, State::Damaged);
    const std::set<std::string> has(found.begin(), found.end()), wants(expected.begin(), expected.end());
    for (const auto& c : expected)
        if (!has.count(c)) f.add(QStringLiteral("column %1 is missing").arg(q(c)));
    for (const auto& c : found)
        if (!wants.count(c)) f.add(QStringLiteral("column %1 is not in the dictionary").arg(q(c)));
    if (f.count() == 0 && found != expected) f.add(QStringLiteral("the columns are not in the dictionary's order"));
    return f.count() == 0;
}

// SQLite's own verdict over every page, record and key entry.
void checkStructure(sqlite3* db, const SqlLayout& layout, FileCheck& r)
{
    QStringList verdict;
    std::string error;
    int rc = query(db, "PRAGMA integrity_check(" + std::to_string(Listed) + ")",
                   [&](sqlite3_stmt* st) {
                       // One row may hold several findings, a line each: the
                       // report keeps one line per file.
                       for (const QString& line : q(text(st, 0)).split(u'\n', Qt::SkipEmptyParts))
                           verdict << line.trimmed();
                   },
                   &error);
    if (rc != SQLITE_DONE) verdict << q(error);
    if (verdict == QStringList{QStringLiteral("ok")}) return;

    // The keys alone are damaged when every record still reads without them.
    rc = query(db, "SELECT " + layout.selectColumns() + " FROM " + layout.table("main") + " NOT INDEXED",
               [](sqlite3_stmt*) {});
    if (rc == SQLITE_DONE) {
        // Keys that still name records the table lost are no key damage.
        const detail::LostRecords lost = detail::findLostRecords(db, "main", layout, LostListed);
        if (lost.count > 0) {
            worsen(r, State::RecordsLost);
            r.lostRecords = lost.count;
            r.problems << QStringLiteral("records lost: its keys name %1").arg(q(detail::describeLoss(lost)));
            return;
        }
    }
    const State s = rc == SQLITE_DONE ? State::KeysDamaged : State::Damaged;
    worsen(r, s);
    r.problems << (s == State::KeysDamaged ? QStringLiteral("keys damaged: %1") : QStringLiteral("records damaged: %1"))
                      .arg(verdict.join(QStringLiteral("; ")));
}

std::string withoutSchema(std::string sql)
{
    static const std::string main = "\"main\".";
    for (auto at = sql.find(main); at != std::string::npos; at = sql.find(main)) sql.erase(at, main.size());
    return sql;
}

void checkKeys(sqlite3* db, const FileDef& def, const SqlLayout& layout, FileCheck& r)
{
    std::map<std::string, std::string> found;  // index name -> its SQL
    int rc;
    detail::Statement st = detail::prepare(
        db, "SELECT name, sql FROM sqlite_schema WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL", rc);
    if (st) {
        sqlite3_bind_text(st.get(), 1, def.label.data(), int(def.label.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st.get()) == SQLITE_ROW) found[text(st.get(), 0)] = text(st.get(), 1);
    }

    Findings f(r, State::KeysDamaged);
    const auto statements = layout.indexStatements("main");
    for (std::size_t k = 0; k < def.keys.size(); ++k) {
        const std::string label(def.keys[k].label);
        auto it = found.find(label);
        if (it == found.end())
            f.add(QStringLiteral("key %1 is missing").arg(q(label)));
        else if (withoutSchema(it->second) != withoutSchema(statements[k]))
            f.add(QStringLiteral("key %1 does not match the dictionary").arg(q(label)));
        if (it != found.end()) found.erase(it);
    }
    for (const auto& [name, sql] : found) f.add(QStringLiteral("key %1 is not in the dictionary").arg(q(name)));
}

// A unique key whose values are held twice cannot be built again: the
// duplicates must be resolved by hand first.
void checkUniqueValues(sqlite3* db, const FileDef& def, FileCheck& r)
{
    Findings f(r, State::Damaged);
    for (const auto& key : def.keys) {
        if (!key.unique()) continue;
        std::string group, empty;
        for (int i = 0; i < key.count(); ++i) {
            const FieldDef* fd = def.field(key.parts[std::size_t(i)]);
            const std::string col = SqlLayout::quoted(fd->name());
            const bool number = fd->kind == FieldKind::Packed;
            const bool folded = key.caseInsensitive() && fd->kind == FieldKind::Text;
            group += (i ? ", " : "") + (folded ? std::string(detail::FoldFunction) + "(" + col + ")" : col);
            empty += (i ? " AND " : "") + col + (number ? " = 0" : " = ''");
        }
        std::string sql = "SELECT COUNT(*) FROM (SELECT 1 FROM " + SqlLayout::quoted(def.label) + " NOT INDEXED";
        if (key.excludesEmpty()) sql += " WHERE NOT (" + empty + ")";
        sql += " GROUP BY " + group + " HAVING COUNT(*) > 1)";
        long long dups = 0;
        query(db, sql, [&](sqlite3_stmt* st) { dups = sqlite3_column_int64(st, 0); });
        if (dups > 0)
            f.add(QStringLiteral("%1 values of the unique key %2 are held by more than one record")
                      .arg(dups)
                      .arg(q(key.label)));
    }
}

// A fold column holds its field's value as the keys compare it; one changed
// apart from its field (by a tool other than this program) puts records out
// of order in their keys. Rebuilding the keys computes them afresh.
void checkFolds(sqlite3* db, const FileDef& def, const SqlLayout& layout, FileCheck& r)
{
    Findings f(r, State::KeysDamaged);
    for (int field : layout.foldedFields()) {
        const FieldDef& fd = def.fields[std::size_t(field)];
        const std::string col = SqlLayout::quoted(fd.name());
        long long wrong = 0;
        query(db,
              "SELECT COUNT(*) FROM " + SqlLayout::quoted(def.label) + " NOT INDEXED WHERE " +
                  SqlLayout::quoted(SqlLayout::foldColumnName(fd.name())) + " IS NOT " + detail::FoldFunction + "(" +
                  col + ")",
              [&](sqlite3_stmt* st) { wrong = sqlite3_column_int64(st, 0); });
        if (wrong > 0)
            f.add(QStringLiteral("%1 records hold a key value of %2 that differs from the field")
                      .arg(wrong)
                      .arg(q(fd.label)));
    }
}

// Every stored value must fit its field: the driver would otherwise cut it
// or refuse to read the record.
void checkRecords(sqlite3* db, const FileDef& def, FileCheck& r)
{
    std::string columns = "rid";
    for (const auto& fd : def.fields) columns += ", " + SqlLayout::quoted(fd.name());
    Findings f(r, State::Damaged);
    query(db, "SELECT " + columns + " FROM " + SqlLayout::quoted(def.label) + " NOT INDEXED", [&](sqlite3_stmt* st) {
        const long long rid = sqlite3_column_int64(st, 0);
        for (std::size_t i = 0; i < def.fields.size(); ++i) {
            const FieldDef& fd = def.fields[i];
            const int col = int(i) + 1;
            QString wrong;
            if (fd.kind == FieldKind::Packed) {
                // Fields of 19 digits or more hold every value a column can.
                long long limit = 0;
                if (fd.digits() < 19) {
                    limit = 1;
                    for (int d = 0; d < fd.digits(); ++d) limit *= 10;
                }
                const long long v = sqlite3_column_int64(st, col);
                if (sqlite3_column_type(st, col) != SQLITE_INTEGER)
                    wrong = QStringLiteral("is not a number");
                else if (limit && (v >= limit || v <= -limit))
                    wrong = QStringLiteral("%1 does not fit %2 digits").arg(v).arg(fd.digits());
            } else {
                const std::string value = text(st, col);
                auto bytes = cp1252::fromUtf8(value);
                if (!bytes)
                    wrong = QStringLiteral("holds a character the field cannot hold");
                else if (int(bytes->size()) > fd.size)
                    wrong = QStringLiteral("is %1 characters long, the field holds %2").arg(bytes->size()).arg(fd.size);
                else if (fd.kind == FieldKind::Date && !bytes->empty() &&
                         (bytes->size() != 8 || !dates::dayFromStored(*bytes)))
                    wrong = QStringLiteral("\"%1\" is not a date").arg(q(*bytes));
                else if (fd.kind == FieldKind::Digits &&
                         bytes->find_first_not_of("0123456789") != std::string::npos)
                    wrong = QStringLiteral("\"%1\" is not digits only").arg(q(*bytes));
            }
            if (!wrong.isEmpty()) f.add(QStringLiteral("record %1: %2 %3").arg(rid).arg(q(fd.label), wrong));
        }
    });
}

// The journal a crash left behind holds what the interrupted write changed:
// the first read of a connection that may write rolls it back, as every
// open of the driver does. A journal of a write still going on is not
// touched (SQLite sees that station's lock).
void completeInterruptedWrite(const QString& path, FileCheck& r)
{
    const QString journal = path + QStringLiteral("-journal");
    if (QFileInfo(journal).size() <= 0) return;
    int rc;
    detail::Connection db = detail::openDatabase(path, SQLITE_OPEN_READWRITE, rc);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db.get(), WaitMs);
        rc = query(db.get(), "SELECT COUNT(*) FROM sqlite_schema", [](sqlite3_stmt*) {});
    }
    if (rc != SQLITE_DONE && !busy(rc)) {
        worsen(r, State::Unreadable);
        r.problems << QStringLiteral("the write a crash interrupted could not be rolled back (%1)")
                          .arg(QString::fromUtf8(db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc)));
        return;
    }
    if (!QFileInfo::exists(journal))
        r.notes << QStringLiteral("a write interrupted by a crash was rolled back first");
}

// Whether the file can be looked at: false with the reason in `r` when its
// folder or the file itself cannot be read. A missing file is no error.
bool reachable(const QString& path, FileCheck& r)
{
    std::error_code ec;
    static_cast<void>(std::filesystem::status(QFile::encodeName(path).toStdString(), ec));
    if (!ec && ::access(QFile::encodeName(path).constData(), R_OK) != 0)
        ec = std::error_code(errno, std::generic_category());
    if (!ec || ec == std::errc::no_such_file_or_directory) return true;
    worsen(r, State::Unreadable);
    r.problems << QStringLiteral("cannot be read (%1): not examined").arg(QString::fromStdString(ec.message()));
    return false;
}

} // namespace

FileCheck checkRecordFile(const FileDef& def, const QString& path)
{
    FileCheck r;
    if (!reachable(path, r)) return r;
    for (const QString& name : detail::removeLeftovers(path))
        r.notes << QStringLiteral("removed %1, a copy an interrupted rebuild or creation left behind").arg(name);
    const QFileInfo info(path);
    if (!info.exists()) {
        r.state = State::Missing;
        return r;
    }
    if (!info.isFile()) {
        worsen(r, State::Damaged);
        r.problems << QStringLiteral("not a file");
        return r;
    }
    if (info.size() == 0) {
        // SQLite would take it for a new, empty database and report a
        // missing table; what the reader needs to know is plainer.
        worsen(r, State::Damaged);
        r.problems << QStringLiteral("empty (0 bytes), not a record file: a copy or a save that did not finish; "
                                     "restore it from a backup, or delete it to start the file anew");
        return r;
    }
    completeInterruptedWrite(path, r);
    if (r.state == State::Unreadable) return r;
    int rc;
    const detail::Connection connection = detail::openDatabase(path, SQLITE_OPEN_READONLY, rc);
    sqlite3* db = connection.get();
    if (rc != SQLITE_OK) {
        worsen(r, State::Damaged);
        r.problems << QStringLiteral("cannot be opened (%1)").arg(QString::fromUtf8(sqlite3_errmsg(db)));
        return r;
    }
    sqlite3_busy_timeout(db, WaitMs);
    detail::registerFoldFunction(db);
    const SqlLayout layout(def);
    // Every look below reads one consistent state of the file.
    query(db, "BEGIN", [](sqlite3_stmt*) {});
    const int format = checkMeta(db, layout, r);
    if (format && checkColumns(db, def, layout, format, r)) {
        checkStructure(db, layout, r);
        if (r.state != State::Damaged) {
            // The keys of the earlier format are known to differ.
            if (format == detail::FormatVersion) {
                checkKeys(db, def, layout, r);
                checkFolds(db, def, layout, r);
            }
            checkUniqueValues(db, def, r);
            checkRecords(db, def, r);
        }
    }
    query(db, "COMMIT", [](sqlite3_stmt*) {});
    return r;
}

namespace {

bool isGiven(const Numbered& numbered, std::string_view label)
{
    if (FileDef::equalsNoCase(label, numbered.numberField)) return true;
    for (std::string_view g : numbered.given)
        if (FileDef::equalsNoCase(label, g)) return true;
    return false;
}

bool isPlaceholder(const FileDef& def, const Numbered& numbered, const unsigned char* record)
{
    for (const FieldDef& f : def.fields)
        if (!isGiven(numbered, f.label) && !fieldIsEmpty(f, record)) return false;
    return true;
}

} // namespace

std::vector<long long> findPlaceholders(const FileDef& def, const QString& path, const Numbered& numbered)
{
    std::vector<long long> numbers;
    const FieldDef* number = def.field(numbered.numberField);
    if (!number || !QFileInfo(path).isFile()) return numbers;
    std::string sql = "SELECT " + SqlLayout::quoted(number->name()) + " FROM " + SqlLayout::quoted(def.label) +
                      " NOT INDEXED WHERE 1";
    for (const FieldDef& f : def.fields)
        if (!isGiven(numbered, f.label))
            sql += " AND " + SqlLayout::quoted(f.name()) + (f.kind == FieldKind::Packed ? " = 0" : " = ''");
    int rc;
    detail::Connection db = detail::openDatabase(path, SQLITE_OPEN_READONLY, rc);
    if (rc != SQLITE_OK) return numbers;
    sqlite3_busy_timeout(db.get(), WaitMs);
    query(db.get(), sql + " ORDER BY 1", [&](sqlite3_stmt* st) { numbers.push_back(sqlite3_column_int64(st, 0)); });
    return numbers;
}

std::vector<long long> removePlaceholders(const FileDef& def, const QString& dir, const Numbered& numbered,
                                          int& error)
{
    std::vector<long long> removed;
    std::vector<unsigned char> buffer(std::size_t(def.recordLength), ' ');
    RecordFile f(def, buffer.data());
    f.setDirectory(dir);
    if ((error = f.open()) != errc::Ok) return removed;
    // Positions first: removing while walking would move the walk.
    std::vector<std::string> found;
    f.setFileOrder();
    while ((error = f.next()) == errc::Ok)
        if (isPlaceholder(def, numbered, buffer.data())) found.push_back(f.position());
    if (error != errc::NoRecord) return removed;
    error = errc::Ok;
    const FieldDef& number = *def.field(numbered.numberField);
    for (const std::string& pos : found) {
        if (f.reget(pos) != errc::Ok || !isPlaceholder(def, numbered, buffer.data())) continue;
        if ((error = f.remove()) != errc::Ok) return removed;
        removed.push_back(std::get<Decimal>(readField(number, buffer.data())).units());
    }
    return removed;
}

RecordLoss lostRecords(const FileDef& def, const QString& path)
{
    RecordLoss loss;
    int rc;
    const detail::Connection db = detail::openDatabase(path, SQLITE_OPEN_READONLY, rc);
    if (rc != SQLITE_OK) return loss;
    sqlite3_busy_timeout(db.get(), WaitMs);
    const detail::LostRecords lost = detail::findLostRecords(db.get(), "main", SqlLayout(def), LostListed);
    loss.count = lost.count;
    if (lost.count > 0) loss.description = q(detail::describeLoss(lost));
    return loss;
}

} // namespace kestrel::platform
