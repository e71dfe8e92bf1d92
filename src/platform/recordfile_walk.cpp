// The driver's reading side: record values to and from SQLite, the walk
// engine with its read-ahead, and position texts.
#include "platform/cp1252.h"
#include "platform/fields.h"
#include "platform/fieldvalue.h"
#include "platform/recordfile.h"
#include "platform/sqlitefile.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kestrel::platform {

namespace {

using detail::StByRid;
using detail::WalkMode;
using detail::walkId;

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


} // namespace

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

} // namespace kestrel::platform
