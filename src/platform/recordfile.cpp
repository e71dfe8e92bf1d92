#include "platform/recordfile.h"

#include "platform/cp1252.h"
#include "platform/fields.h"
#include "platform/fieldvalue.h"
#include "platform/keyaudit.h"
#include "platform/leftovers.h"
#include "platform/privatefiles.h"
#include "platform/sqlitefile.h"
#include "platform/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace kestrel::platform {

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

using detail::WalkMode;

constexpr int BusyWaitMs = 2000;
// Files below this size are checked for damaged keys on open; the check reads
// every page, which costs little at this size and would delay larger files.
constexpr qint64 QuickCheckLimit = 32 * 1024 * 1024;
constexpr const char* InjectedMessage = "failure injected by a test";
// Lost records named in the driver's message when a rebuild refuses.
constexpr int LostListed = 10;

// Statement ids.
constexpr std::uint32_t StByRid = 1, StInsert = 2, StUpdate = 3, StUpdateWatched = 4, StRemove = 5,
                        StVersion = 6;
std::uint32_t walkId(int order, WalkMode mode, bool forward, int range)
{
    return 0x100000u | (std::uint32_t(order + 1) << 8) | (std::uint32_t(mode) << 4) | (forward ? 8u : 0u) |
           std::uint32_t(range);
}
std::uint32_t getId(int key) { return 0x200000u | std::uint32_t(key); }
std::uint32_t duplicateId(int key) { return 0x300000u | std::uint32_t(key); }

bool isAscii(const unsigned char* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

// Position texts: "KP1;<order>;<rid>;<value>;..." padded with blanks; order is
// "F" for file order; text values are their Windows-1252 bytes without
// trailing blanks, with bytes outside '!'..'~' and the characters ';', '%'
// and '*' written as %XX; numbers are their units. When the values would not
// fit, "*" stands for them and the record's identity alone locates it (a
// value never reads as that "*": it would lose its place once deleted).
void escapeInto(std::string& out, std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : bytes) {
        if (c > ' ' && c < 0x7F && c != ';' && c != '%' && c != '*') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
}

std::optional<std::string> unescape(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        auto digit = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        int hi = digit(s[i + 1]), lo = digit(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::optional<std::int64_t> parseInt(std::string_view s)
{
    if (s.empty()) return std::nullopt;
    bool negative = s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 18) return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

std::vector<std::string_view> split(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return parts;
}

// Runs one statement that returns no rows we need.
int exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }

std::vector<std::pair<std::string, std::string>> sortedMeta(const detail::SqlLayout& layout, int format)
{
    auto rows = layout.metaRows(format);
    std::sort(rows.begin(), rows.end());
    return rows;
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

// Damage that SQLite reports as corruption is in the keys when every record
// still reads through the table alone: then rebuilding the keys repairs it.
int RecordFile::Impl::classifyCorruption(sqlite3* on, const std::string& schema)
{
    if (!on) return errc::DriverError;
    std::string sql = "SELECT " + layout.selectColumns() + " FROM " + layout.table(schema) + " NOT INDEXED";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(on, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return errc::DriverError;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
    sqlite3_finalize(st);
    return rc == SQLITE_DONE ? errc::InvalidKeyFile : errc::DriverError;
}

sqlite3_stmt* RecordFile::Impl::statement(std::uint32_t id, const std::function<std::string()>& sql)
{
    sqlite3_stmt* st = route.cache->get(route.db, id, sql);
    if (!st) sqlFailure(sqlite3_errcode(route.db), route.db);
    return st;
}

// ------------------------------------------------------- Impl: values

void RecordFile::Impl::bindField(sqlite3_stmt* st, int param, int field, const unsigned char* image) const
{
    const FieldDef& f = def.fields[std::size_t(field)];
    const unsigned char* p = image + f.offset;
    if (f.kind == FieldKind::Packed) {
        sqlite3_bind_int64(st, param, packed::decode(p, f.size, f.places).units());
        return;
    }
    std::size_t n = std::size_t(f.size);
    while (n > 0 && p[n - 1] == ' ') --n;
    if (isAscii(p, n)) {
        sqlite3_bind_text(st, param, reinterpret_cast<const char*>(p), int(n), SQLITE_TRANSIENT);
    } else {
        std::string utf8 = cp1252::toUtf8({reinterpret_cast<const char*>(p), n});
        sqlite3_bind_text(st, param, utf8.data(), int(utf8.size()), SQLITE_TRANSIENT);
    }
}

void RecordFile::Impl::bindFold(sqlite3_stmt* st, int param, int field, const unsigned char* image) const
{
    const FieldDef& f = def.fields[std::size_t(field)];
    const unsigned char* p = image + f.offset;
    std::size_t n = std::size_t(f.size);
    while (n > 0 && p[n - 1] == ' ') --n;
    if (isAscii(p, n)) {
        // The common case, without the detour through UTF-8.
        char folded[256];
        if (n <= sizeof folded) {
            for (std::size_t i = 0; i < n; ++i) folded[i] = cp1252::toUpper(char(p[i]));
            sqlite3_bind_text(st, param, folded, int(n), SQLITE_TRANSIENT);
            return;
        }
    }
    std::string utf8 = detail::foldedText({reinterpret_cast<const char*>(p), n});
    sqlite3_bind_text(st, param, utf8.data(), int(utf8.size()), SQLITE_TRANSIENT);
}

void RecordFile::Impl::bindKeyPart(sqlite3_stmt* st, int param, int order, int component,
                                   const unsigned char* image) const
{
    int field = layout.fieldOf(order, component);
    if (layout.folds(order, component)) bindFold(st, param, field, image);
    else bindField(st, param, field, image);
}

int RecordFile::Impl::bindRecord(sqlite3_stmt* st, const unsigned char* image) const
{
    int p = 1;
    for (std::size_t i = 0; i < def.fields.size(); ++i) bindField(st, p++, int(i), image);
    for (int f : layout.foldedFields()) bindFold(st, p++, f, image);
    return p;
}

bool RecordFile::Impl::readRow(sqlite3_stmt* st, unsigned char* image)
{
    for (std::size_t i = 0; i < def.fields.size(); ++i) {
        const FieldDef& f = def.fields[i];
        unsigned char* p = image + f.offset;
        int col = int(i) + 2;
        if (f.kind == FieldKind::Packed) {
            std::string why;
            if (!packed::encode(Decimal::fromUnits(sqlite3_column_int64(st, col), f.places), p, f.size, f.places,
                                &why)) {
                done(errc::DriverError);
                driverMessage = "stored " + std::string(f.label) + ": " + why;
                driverErrors.record({error, errorTextOf(error), 0, driverMessage});
                return false;
            }
            continue;
        }
        const unsigned char* text = sqlite3_column_text(st, col);
        std::size_t n = std::size_t(sqlite3_column_bytes(st, col));
        std::size_t width = std::size_t(f.size);
        if (!text) n = 0;
        if (isAscii(text, n)) {
            std::size_t k = std::min(n, width);
            if (k) std::memcpy(p, text, k);
            std::memset(p + k, ' ', width - k);
            continue;
        }
        auto bytes = cp1252::fromUtf8({reinterpret_cast<const char*>(text), n});
        if (!bytes) {
            done(errc::DriverError);
            driverMessage = "stored " + std::string(f.label) + " holds a character the record cannot hold";
            driverErrors.record({error, errorTextOf(error), 0, driverMessage});
            return false;
        }
        std::size_t k = std::min(bytes->size(), width);
        std::memcpy(p, bytes->data(), k);
        std::memset(p + k, ' ', width - k);
    }
    return true;
}

// ---------------------------------------------------- Impl: walk engine

void RecordFile::Impl::startWalk(View::Walk& w, int order, WalkMode mode, const unsigned char* image,
                                 std::int64_t rid, int range, const unsigned char* rangeImage)
{
    const std::size_t len = std::size_t(def.recordLength);
    w.order = order;
    w.mode = mode;
    if (image) w.image.assign(image, image + len);
    else w.image.assign(len, ' ');
    w.rid = rid;
    w.range = order < 0 ? 0 : std::min(range, layout.componentCount(order));
    if (w.range > 0 && rangeImage) w.rangeImage.assign(rangeImage, rangeImage + len);
    else w.range = 0;
    w.batch.drop();
}

int RecordFile::Impl::fetch(View::Walk& w, int direction)
{
    detail::Batch& b = w.batch;
    const bool forward = direction > 0;
    const bool continuing = b.direction == direction && b.generation == stamp() && b.lastSize > 0;
    // Read-ahead grows while a walk goes on in one direction and starts small
    // again after every repositioning, so a page read costs about two queries
    // and a lookup reads little more than it needs.
    const int first = quickScan ? 64 : 4;
    const int cap = quickScan ? 1024 : 64;
    const int size = continuing ? std::min(b.lastSize * 4, cap) : first;
    b.drop();

    sqlite3_stmt* st = statement(walkId(w.order, w.mode, forward, w.range),
                                 [&] { return layout.walk(route.schema, w.order, w.mode, forward, w.range); });
    if (!st) return error;
    int p = 1;
    for (int i = 0; i < w.range; ++i) bindKeyPart(st, p++, w.order, i, w.rangeImage.data());
    if (w.mode != WalkMode::Ends)
        for (int i = w.range; i < layout.componentCount(w.order); ++i) bindKeyPart(st, p++, w.order, i, w.image.data());
    if (w.mode == WalkMode::AtPos || w.mode == WalkMode::After) sqlite3_bind_int64(st, p++, w.rid);
    sqlite3_bind_int(st, p, size);

    const std::size_t len = std::size_t(def.recordLength);
    b.images.reserve(len * std::size_t(size));
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::size_t at = b.images.size();
        b.images.resize(at + len);
        if (!readRow(st, b.images.data() + at)) {
            sqlite3_reset(st);
            b.drop();
            return error;
        }
        b.rids.push_back(sqlite3_column_int64(st, 0));
        b.versions.push_back(sqlite3_column_int64(st, 1));
    }
    if (rc != SQLITE_DONE) {
        int code = sqlFailure(rc, route.db);
        sqlite3_reset(st);
        b.drop();
        return code;
    }
    // Reset at once: no read transaction may stay open between calls, or
    // other stations could not write.
    sqlite3_reset(st);
    b.direction = direction;
    b.generation = stamp();
    b.lastSize = size;
    b.exhausted = int(b.rids.size()) < size;
    return errc::Ok;
}

int RecordFile::Impl::step(View::Walk& w, int direction)
{
    detail::Batch& b = w.batch;
    if (b.direction != direction || b.generation != stamp() || b.left() == 0) {
        int rc = fetch(w, direction);
        if (rc) return rc;
        if (b.left() == 0) return done(errc::NoRecord);
    }
    const std::size_t len = std::size_t(def.recordLength);
    const unsigned char* image = b.images.data() + b.at * len;
    std::int64_t rid = b.rids[b.at], version = b.versions[b.at];
    ++b.at;
    w.mode = WalkMode::After;
    w.image.assign(image, image + len);
    w.rid = rid;
    std::memcpy(buffer, image, len);
    makeCurrent(image, rid, version);
    return done(errc::Ok);
}

void RecordFile::Impl::makeCurrent(const unsigned char* image, std::int64_t rid, std::int64_t version)
{
    hasCurrent = true;
    currentRid = rid;
    currentVersion = version;
    currentImage.assign(image, image + def.recordLength);
    watched = watchArmed;
    watchArmed = false;
}

int RecordFile::Impl::readByRid(std::int64_t rid, unsigned char* image, std::int64_t* version)
{
    sqlite3_stmt* st = statement(StByRid, [&] { return layout.byRid(route.schema); });
    if (!st) return error;
    sqlite3_bind_int64(st, 1, rid);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        bool ok = readRow(st, image);
        if (version) *version = sqlite3_column_int64(st, 1);
        sqlite3_reset(st);
        return ok ? errc::Ok : error;
    }
    int code = rc == SQLITE_DONE ? done(errc::NoRecord) : sqlFailure(rc, route.db);
    sqlite3_reset(st);
    return code;
}

// ---------------------------------------------------------- Impl: positions

std::string RecordFile::Impl::positionOf(int order) const
{
    if (!hasCurrent) return {};
    std::string s = "KP1;" + (order < 0 ? std::string("F") : std::to_string(order)) + ";" +
                    std::to_string(currentRid);
    std::string values;
    for (int i = 0; i < layout.componentCount(order); ++i) {
        const FieldDef& f = def.fields[std::size_t(layout.fieldOf(order, i))];
        values += ';';
        if (f.kind == FieldKind::Packed) {
            values += std::to_string(packed::decode(currentImage.data() + f.offset, f.size, f.places).units());
        } else {
            std::string_view bytes(reinterpret_cast<const char*>(currentImage.data()) + f.offset, std::size_t(f.size));
            while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
            escapeInto(values, bytes);
        }
    }
    if (s.size() + values.size() > std::size_t(PositionLength)) s += ";*";
    else s += values;
    s.resize(std::size_t(PositionLength), ' ');
    return s;
}

bool RecordFile::Impl::parsePosition(std::string_view pos, int& order, std::int64_t& rid,
                                     std::vector<unsigned char>& image, bool& hasValues) const
{
    while (!pos.empty() && pos.back() == ' ') pos.remove_suffix(1);
    auto parts = split(pos, ';');
    if (parts.size() < 3 || parts[0] != "KP1") return false;
    if (parts[1] == "F") {
        order = FileOrder;
    } else {
        auto k = parseInt(parts[1]);
        if (!k || *k < 0 || *k >= std::int64_t(def.keys.size())) return false;
        order = int(*k);
    }
    auto r = parseInt(parts[2]);
    if (!r) return false;
    rid = *r;
    image.assign(std::size_t(def.recordLength), ' ');
    clearRecord(def, image.data());
    const int n = layout.componentCount(order);
    if (parts.size() == 4 && parts[3] == "*") {
        hasValues = false;
        return true;
    }
    if (int(parts.size()) != 3 + n) return false;
    for (int i = 0; i < n; ++i) {
        const FieldDef& f = def.fields[std::size_t(layout.fieldOf(order, i))];
        std::string_view v = parts[std::size_t(3 + i)];
        if (f.kind == FieldKind::Packed) {
            auto units = parseInt(v);
            if (!units || !packed::encode(Decimal::fromUnits(*units, f.places), image.data() + f.offset, f.size,
                                          f.places))
                return false;
        } else {
            auto bytes = unescape(v);
            if (!bytes) return false;
            std::size_t k = std::min(bytes->size(), std::size_t(f.size));
            std::memcpy(image.data() + f.offset, bytes->data(), k);
            std::memset(image.data() + f.offset + k, ' ', std::size_t(f.size) - k);
        }
    }
    hasValues = true;
    return true;
}

// ----------------------------------------------------------- Impl: open

int RecordFile::Impl::checkFile(bool& upgrade)
{
    upgrade = false;
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT key, value FROM main.kestrel_file", -1, &st, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        int p = rc & 0xFF;
        if (p == SQLITE_BUSY || p == SQLITE_LOCKED || p == SQLITE_NOTADB) return sqlFailure(rc, db);
        if (p == SQLITE_CORRUPT) {
            sqlFailure(rc, db);
            return done(errc::InvalidFile);
        }
        // No meta table: an SQLite database, but not a record file of ours.
        std::string message = sqlite3_errmsg(db);
        done(errc::InvalidFile);
        driverCode = rc;
        driverMessage = message;
        return error;
    }
    std::vector<std::pair<std::string, std::string>> found;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        found.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                           reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) {
        int code = sqlFailure(rc, db);
        return code == errc::FileLocked ? code : done(errc::InvalidFile);
    }
    std::sort(found.begin(), found.end());
    const bool previous = found == sortedMeta(layout, detail::PreviousFormat);
    if (!previous && found != sortedMeta(layout, detail::FormatVersion)) return done(errc::InvalidFile);

    if (QFileInfo(path).size() < QuickCheckLimit) {
        rc = sqlite3_prepare_v2(db, "PRAGMA main.quick_check(1)", -1, &st, nullptr);
        std::string verdict;
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) verdict = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        }
        sqlite3_finalize(st);
        int p = rc & 0xFF;
        if (p == SQLITE_BUSY || p == SQLITE_LOCKED) return sqlFailure(rc, db);
        if (verdict != "ok") {
            int code = classifyCorruption(db, "main");
            return done(code == errc::InvalidKeyFile ? code : errc::InvalidFile);
        }
        // The quick check does not compare the keys with the records: keys
        // that name records the table lost, or miss records it holds, would
        // otherwise fail only in the middle of a walk.
        bool agree = true;
        rc = detail::keysCountRecords(db, "main", layout, agree);
        if (rc != SQLITE_OK) {
            int code = sqlFailure(rc, db);
            return code == errc::FileLocked || code == errc::InvalidKeyFile ? code : done(errc::InvalidFile);
        }
        if (!agree) return done(errc::InvalidKeyFile);
    }
    upgrade = previous;
    return errc::Ok;
}

// A file written before the keys folded accented letters: its fold columns
// are added and filled and its case-insensitive keys remade, all in one
// transaction, so that a crash leaves either file whole. Another station may
// be upgrading the same file: the one that waited finds the work done.
int RecordFile::Impl::upgradeFormat()
{
    int rc = detail::registerFoldFunction(db);
    if (rc == SQLITE_OK) rc = exec(db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return sqlFailure(rc, db);
    std::string format;
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT value FROM main.kestrel_file WHERE key = 'format'", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) format = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        if (rc == SQLITE_ROW || rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    if (rc == SQLITE_OK && format == std::to_string(detail::PreviousFormat))
        for (const auto& sql : layout.upgradeStatements())
            if (rc == SQLITE_OK) rc = exec(db, sql);
    if (rc == SQLITE_OK) rc = exec(db, "COMMIT");
    if (rc != SQLITE_OK) {
        int code = sqlFailure(rc, db);
        if (!sqlite3_get_autocommit(db)) exec(db, "ROLLBACK");
        // Values that were distinct while only A-Z folded can be equal now:
        // the unique key cannot be made until they are told apart by hand.
        if (code == errc::DuplicateKey) {
            std::string message = "upgrading the keys: " + driverMessage;
            done(errc::InvalidKeyFile);
            driverMessage = message;
            driverErrors.record({error, errorTextOf(error), 0, driverMessage});
            code = error;
        }
        return code;
    }
    return errc::Ok;
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
    QString path = name();
    // A file that cannot be reached (its folder unreadable) is not missing:
    // creating it anew would be wrong, and saying so would hide the cause.
    std::error_code ec;
    static_cast<void>(std::filesystem::status(QFile::encodeName(path).toStdString(), ec));
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
        d.done(errc::DriverError);
        d.driverCode = ec.value();
        d.driverMessage = "cannot reach " + path.toStdString() + ": " + ec.message();
        driverErrors.record({d.error, errorTextOf(d.error), d.driverCode, d.driverMessage});
        return d.error;
    }
    detail::removeLeftovers(path);
    if (!QFileInfo(path).isFile()) return d.done(errc::FileNotFound);

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        int code = d.sqlFailure(rc, db);
        sqlite3_close(db);
        return code;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyWaitMs);
    d.db = db;
    d.path = path;
    d.sharedWrites = detail::writesTo(path);
    bool upgrade = false;
    int code = d.checkFile(upgrade);
    if (code == errc::Ok) {
        // Rollback journal, never WAL: only then does SQLite commit a
        // transaction over several attached files atomically.
        rc = exec(db, "PRAGMA main.journal_mode=DELETE");
        if (rc == SQLITE_OK) rc = exec(db, "PRAGMA main.synchronous=FULL");
        if (rc != SQLITE_OK) code = d.sqlFailure(rc, db);
    }
    if (code == errc::Ok && upgrade) code = d.upgradeFormat();
    if (code != errc::Ok) {
        int err = d.error, dcode = d.driverCode;
        std::string dmsg = d.driverMessage;
        sqlite3_close(db);
        d.db = nullptr;
        d.error = err;
        d.driverCode = dcode;
        d.driverMessage = dmsg;
        return err;
    }
    d.route = {db, "main", &d.ownCache};
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
    QString path = name();
    if (QFileInfo::exists(path)) return d.done(errc::Ok);
    makePrivateFolder(QFileInfo(path).absolutePath());
    // Built under a temporary name and moved into place only when complete,
    // so that a crash never leaves a half-made file that would read as invalid.
    QString temp = path + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(temp);
    makePrivateFile(temp);  // 0600, and so are its journals
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) rc = exec(db, "PRAGMA journal_mode=DELETE");
    if (rc == SQLITE_OK) rc = exec(db, "BEGIN");
    for (const auto& sql : d.layout.createStatements())
        if (rc == SQLITE_OK) rc = exec(db, sql);
    if (rc == SQLITE_OK) rc = exec(db, "COMMIT");
    if (rc != SQLITE_OK) {
        int code = d.sqlFailure(rc, db);
        sqlite3_close(db);
        QFile::remove(temp);
        return code;
    }
    sqlite3_close(db);
    // Never replaces: when another station created the file meanwhile, theirs stays.
    if (!QFile::rename(temp, path)) {
        QFile::remove(temp);
        if (!QFileInfo::exists(path)) {
            d.done(errc::DriverError);
            d.driverMessage = "cannot create " + path.toStdString();
            driverErrors.record({d.error, errorTextOf(d.error), 0, d.driverMessage});
            return d.error;
        }
    }
    return d.done(errc::Ok);
}

int RecordFile::close()
{
    Impl& d = *d_;
    if (!d.db) return d.done(errc::Ok);
    if (d.transaction) d.transaction->abandon();
    d.ownCache.clear();
    d.txCache.clear();
    sqlite3_close(d.db);
    d.db = nullptr;
    d.route = {};
    d.hasCurrent = false;
    d.watchArmed = d.watched = false;
    d.walk.batch.drop();
    ++d.generation;
    return d.done(errc::Ok);
}

int RecordFile::build(Loss loss)
{
    Impl& d = *d_;
    if (d.transaction) return d.done(errc::DriverError);
    QString path = name();
    if (!QFileInfo(path).isFile()) return d.done(errc::FileNotFound);

    // The keys are rebuilt from the records into a fresh database, which then
    // replaces the content of the file page by page under SQLite's journal:
    // rebuilding in place (REINDEX) would have to free the damaged pages and
    // can itself fail on them.
    sqlite3* target = d.db;
    bool ownConnection = !target;
    int rc = SQLITE_OK;
    if (ownConnection) {
        rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &target, SQLITE_OPEN_READWRITE, nullptr);
        if (rc != SQLITE_OK) {
            int code = d.sqlFailure(rc, target);
            sqlite3_close(target);
            return code;
        }
        sqlite3_extended_result_codes(target, 1);
        sqlite3_busy_timeout(target, BusyWaitMs);
    }
    QString temp = path + QStringLiteral(".rebuild-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(temp);
    makePrivateFile(temp);
    sqlite3* fresh = nullptr;
    rc = sqlite3_open_v2(QFile::encodeName(temp).constData(), &fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                         nullptr);
    sqlite3* failedOn = fresh;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(fresh, 1);
        sqlite3_busy_timeout(fresh, BusyWaitMs);
        exec(fresh, "PRAGMA journal_mode=OFF");
        exec(fresh, "PRAGMA synchronous=OFF");
        rc = detail::registerFoldFunction(fresh);
    }
    if (rc == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        rc = sqlite3_prepare_v2(fresh, "ATTACH DATABASE ? AS src", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            QByteArray p = QFile::encodeName(path);
            sqlite3_bind_text(st, 1, p.constData(), int(p.size()), SQLITE_TRANSIENT);
            rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(fresh);
        }
        sqlite3_finalize(st);
    }
    // Only files of ours are rebuilt; one of the previous format comes out in
    // this one.
    if (rc == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        std::vector<std::pair<std::string, std::string>> found;
        rc = sqlite3_prepare_v2(fresh, "SELECT key, value FROM src.kestrel_file", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(st)) == SQLITE_ROW)
                found.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                   reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
        sqlite3_finalize(st);
        std::sort(found.begin(), found.end());
        if (rc == SQLITE_OK && found != sortedMeta(d.layout, detail::FormatVersion) &&
            found != sortedMeta(d.layout, detail::PreviousFormat)) {
            sqlite3_close(fresh);
            QFile::remove(temp);
            if (ownConnection) sqlite3_close(target);
            return d.done(errc::InvalidFile);
        }
    }
    // Keys naming records the table lost: the records are gone, not the
    // keys damaged, and a rebuild would drop them silently.
    if (rc == SQLITE_OK && loss == Loss::Refuse) {
        const detail::LostRecords lost = detail::findLostRecords(fresh, "src", d.layout, LostListed);
        if (lost.count > 0) {
            sqlite3_close(fresh);
            QFile::remove(temp);
            if (ownConnection) sqlite3_close(target);
            d.done(errc::InvalidFile);
            d.driverMessage = "its keys name " + detail::describeLoss(lost) +
                              ": rebuilding the keys would lose them";
            driverErrors.record({d.error, errorTextOf(d.error), 0, d.driverMessage});
            return d.error;
        }
    }
    if (rc == SQLITE_OK) rc = exec(fresh, "BEGIN");
    for (const auto& sql : d.layout.createStatements(false))
        if (rc == SQLITE_OK) rc = exec(fresh, sql);
    // The fold columns are computed afresh: they are part of the keys.
    if (rc == SQLITE_OK) rc = exec(fresh, d.layout.copyRecords("main", "src"));
    // Identities of deleted records stay used.
    if (rc == SQLITE_OK)
        rc = exec(fresh, "DELETE FROM main.sqlite_sequence; INSERT INTO main.sqlite_sequence(name, seq) "
                         "SELECT name, seq FROM src.sqlite_sequence");
    for (const auto& sql : d.layout.indexStatements())
        if (rc == SQLITE_OK) rc = exec(fresh, sql);
    if (rc == SQLITE_OK) rc = exec(fresh, "COMMIT");
    if (rc == SQLITE_OK) rc = exec(fresh, "DETACH DATABASE src");
    if (rc == SQLITE_OK) {
        failedOn = target;
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", fresh, "main");
        if (!backup) {
            rc = sqlite3_errcode(target);
        } else {
            do {
                rc = sqlite3_backup_step(backup, -1);
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(50);
            } while (rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
            int finish = sqlite3_backup_finish(backup);
            rc = rc == SQLITE_DONE ? finish : rc;
        }
    }
    int code = errc::Ok;
    if (rc != SQLITE_OK) {
        // Corruption met while copying is in the records themselves: the
        // keys cannot be rebuilt from them.
        code = d.sqlFailure(rc, failedOn);
        if (code == errc::InvalidKeyFile) code = d.error = errc::DriverError;
    }
    sqlite3_close(fresh);
    QFile::remove(temp);
    if (ownConnection) sqlite3_close(target);
    if (code != errc::Ok) return code;
    ++d.generation;
    // Every handle's read-ahead of this file predates the new content.
    ++*detail::writesTo(path);
    d.hasCurrent = false;
    d.walk.batch.drop();
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
    d.done(errc::DriverError);
    d.driverMessage = "unknown driver option: " + std::string(option);
    driverErrors.record({d.error, errorTextOf(d.error), 0, d.driverMessage});
    return d.error;
}

int RecordFile::error() const { return d_->error; }
std::string RecordFile::errorText() const { return errorTextOf(d_->error); }
int RecordFile::driverCode() const { return d_->driverCode; }
std::string RecordFile::driverMessage() const { return d_->driverMessage; }

} // namespace kestrel::platform
