#include "platform/filecheck.h"

#include "platform/cp1252.h"
#include "platform/dates.h"
#include "platform/sqlitelayout.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

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

QString q(const std::string& s) { return QString::fromStdString(s); }
QString q(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

void worsen(FileCheck& r, State s)
{
    auto rank = [](State x) {
        switch (x) {
        case State::Ok: return 0;
        case State::Missing: return 0;
        case State::KeysDamaged: return 1;
        case State::Locked: return 2;
        case State::Damaged: return 3;
        }
        return 3;
    };
    if (rank(s) > rank(r.state)) r.state = s;
}

bool busy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

// Runs a query, handing each row to `row`; SQLITE_DONE when every row was read.
int query(sqlite3* db, const std::string& sql, const std::function<void(sqlite3_stmt*)>& row,
          std::string* error = nullptr)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    }
    if (rc != SQLITE_DONE && error) *error = sqlite3_errmsg(db);
    sqlite3_finalize(st);
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
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, sql FROM sqlite_schema WHERE type = 'index' AND tbl_name = ? "
                               "AND sql IS NOT NULL",
                           -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, def.label.data(), int(def.label.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) found[text(st, 0)] = text(st, 1);
    }
    sqlite3_finalize(st);

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

} // namespace

FileCheck checkRecordFile(const FileDef& def, const QString& path)
{
    FileCheck r;
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
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        worsen(r, State::Damaged);
        r.problems << QStringLiteral("cannot be opened (%1)").arg(QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close(db);
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
    sqlite3_close(db);
    return r;
}

} // namespace kestrel::platform
