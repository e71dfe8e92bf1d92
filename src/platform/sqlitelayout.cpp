#include "platform/sqlitelayout.h"

namespace kestrel::platform::detail {

SqlLayout::SqlLayout(const FileDef& def) : def_(def)
{
    for (const auto& k : def.keys) {
        std::vector<int> parts;
        for (int i = 0; i < k.count(); ++i) parts.push_back(def.fieldIndex(k.parts[std::size_t(i)]));
        keyFields_.push_back(std::move(parts));
    }
    selectColumns_ = "rid, version";
    for (std::size_t i = 0; i < def.fields.size(); ++i) selectColumns_ += ", " + column(int(i));
}

std::string SqlLayout::quoted(std::string_view identifier)
{
    std::string s = "\"";
    for (char c : identifier) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + '"';
}

std::string SqlLayout::column(int field) const { return quoted(def_.fields[std::size_t(field)].name()); }

std::string SqlLayout::table(const std::string& schema) const { return quoted(schema) + "." + quoted(def_.label); }

bool SqlLayout::nocase(int key, int component) const
{
    // Only text holds letters; dates, digit text and numbers compare alike
    // either way, and leaving them binary keeps their indexes simple.
    return def_.keys[std::size_t(key)].caseInsensitive() &&
           def_.fields[std::size_t(fieldOf(key, component))].kind == FieldKind::Text;
}

std::string SqlLayout::emptyCondition(int key) const
{
    const auto& k = def_.keys[std::size_t(key)];
    if (!k.excludesEmpty()) return {};
    std::string s = "NOT (";
    for (int i = 0; i < int(keyFields_[std::size_t(key)].size()); ++i) {
        int f = fieldOf(key, i);
        if (i) s += " AND ";
        s += column(f) + (def_.fields[std::size_t(f)].kind == FieldKind::Packed ? " = 0" : " = ''");
    }
    return s + ")";
}

std::vector<std::pair<std::string, std::string>> SqlLayout::metaRows() const
{
    // The layout signature makes a file written for another layout of the
    // same label read as invalid instead of as garbled records.
    std::string layout;
    for (const auto& f : def_.fields) {
        if (!layout.empty()) layout += ',';
        layout += std::string(f.label) + ':' + std::to_string(int(f.kind)) + ':' + std::to_string(f.size) + ':' +
                  std::to_string(f.places);
    }
    return {{"format", std::to_string(FormatVersion)},
            {"label", std::string(def_.label)},
            {"record_length", std::to_string(def_.recordLength)},
            {"layout", layout}};
}

std::vector<std::string> SqlLayout::createStatements(bool withIndexes) const
{
    static const std::string meta = "CREATE TABLE kestrel_file(key TEXT PRIMARY KEY, value TEXT NOT NULL)";
    std::vector<std::string> out{meta};
    for (const auto& [k, v] : metaRows()) {
        std::string value;
        for (char c : v) {
            if (c == '\'') value += '\'';
            value += c;
        }
        out.push_back("INSERT INTO kestrel_file VALUES('" + k + "', '" + value + "')");
    }
    // AUTOINCREMENT: an identity is never given again after its record was
    // deleted, so an old position or watch can never reach a newer record.
    std::string t = "CREATE TABLE " + quoted(def_.label) +
                    "(rid INTEGER PRIMARY KEY AUTOINCREMENT, version INTEGER NOT NULL DEFAULT 1";
    for (std::size_t i = 0; i < def_.fields.size(); ++i) {
        bool number = def_.fields[i].kind == FieldKind::Packed;
        t += ", " + column(int(i)) + (number ? " INTEGER NOT NULL DEFAULT 0" : " TEXT NOT NULL DEFAULT ''");
    }
    t += ", tiebreak INTEGER AS (rid) VIRTUAL)";
    out.push_back(t);
    if (withIndexes)
        for (auto& s : indexStatements()) out.push_back(std::move(s));
    return out;
}

std::vector<std::string> SqlLayout::indexStatements(const std::string& schema) const
{
    std::vector<std::string> out;
    for (std::size_t k = 0; k < def_.keys.size(); ++k) {
        const auto& key = def_.keys[k];
        std::string s = std::string("CREATE ") + (key.unique() ? "UNIQUE " : "") + "INDEX " + quoted(schema) + "." +
                        quoted(key.label) + " ON " + quoted(def_.label) + "(";
        for (int i = 0; i < int(keyFields_[k].size()); ++i) {
            if (i) s += ", ";
            s += column(fieldOf(int(k), i));
            if (nocase(int(k), i)) s += " COLLATE NOCASE";
        }
        if (keyHasTiebreak(int(k))) s += ", tiebreak";
        s += ")";
        std::string empty = emptyCondition(int(k));
        if (!empty.empty()) s += " WHERE " + empty;
        out.push_back(s);
    }
    return out;
}

std::string SqlLayout::orderBy(int order, bool forward) const
{
    const char* dir = forward ? "" : " DESC";
    std::string s = " ORDER BY ";
    if (order < 0) return s + "rid" + dir;
    for (int i = 0; i < componentCount(order); ++i) {
        if (i) s += ", ";
        s += column(fieldOf(order, i));
        if (nocase(order, i)) s += " COLLATE NOCASE";
        s += dir;
    }
    // The entries of a unique key are distinct already: the order is total.
    if (keyHasTiebreak(order)) s += std::string(", tiebreak") + dir;
    return s;
}

std::string SqlLayout::walk(const std::string& schema, int order, WalkMode mode, bool forward, int range) const
{
    std::vector<std::string> where;
    if (order >= 0) {
        std::string empty = emptyCondition(order);
        if (!empty.empty()) where.push_back(empty);
        for (int i = 0; i < range; ++i)
            where.push_back(column(fieldOf(order, i)) + " = ?" + (nocase(order, i) ? " COLLATE NOCASE" : ""));
    }
    if (mode != WalkMode::Ends) {
        std::string left, right;
        int n = 0;
        for (int i = range; i < componentCount(order); ++i, ++n) {
            if (n) {
                left += ", ";
                right += ", ";
            }
            left += column(fieldOf(order, i));
            right += nocase(order, i) ? "? COLLATE NOCASE" : "?";
        }
        if (mode != WalkMode::FromValue) {
            if (n) {
                left += ", ";
                right += ", ";
            }
            left += order >= 0 ? "tiebreak" : "rid";
            right += "?";
            ++n;
        }
        if (n > 0) {
            const char* op = mode == WalkMode::After ? (forward ? " > " : " < ") : (forward ? " >= " : " <= ");
            where.push_back(n == 1 ? left + op + right : "(" + left + ")" + op + "(" + right + ")");
        }
    }
    std::string s = "SELECT " + selectColumns_ + " FROM " + table(schema);
    for (std::size_t i = 0; i < where.size(); ++i) s += (i ? " AND " : " WHERE ") + where[i];
    // All components of a unique key held: one record at most, and SQLite
    // would sort that one record rather than notice.
    if (order >= 0 && range == componentCount(order) && !keyHasTiebreak(order)) return s + " LIMIT ?";
    return s + orderBy(order, forward) + " LIMIT ?";
}

std::string SqlLayout::get(const std::string& schema, int key) const
{
    std::string s = "SELECT " + selectColumns_ + " FROM " + table(schema) + " WHERE ";
    std::string empty = emptyCondition(key);
    if (!empty.empty()) s += empty + " AND ";
    for (int i = 0; i < componentCount(key); ++i) {
        if (i) s += " AND ";
        s += column(fieldOf(key, i)) + " = ?" + (nocase(key, i) ? " COLLATE NOCASE" : "");
    }
    return s + (keyHasTiebreak(key) ? orderBy(key, true) : std::string()) + " LIMIT 1";
}

std::string SqlLayout::duplicate(const std::string& schema, int key) const
{
    std::string s = "SELECT rid FROM " + table(schema) + " WHERE ";
    std::string empty = emptyCondition(key);
    if (!empty.empty()) s += empty + " AND ";
    for (int i = 0; i < componentCount(key); ++i)
        s += column(fieldOf(key, i)) + " = ?" + (nocase(key, i) ? " COLLATE NOCASE" : "") + " AND ";
    return s + "rid <> ? LIMIT 1";
}

std::string SqlLayout::byRid(const std::string& schema) const
{
    return "SELECT " + selectColumns_ + " FROM " + table(schema) + " WHERE rid = ?";
}

std::string SqlLayout::insert(const std::string& schema) const
{
    std::string cols = "version", vals = "1";
    for (std::size_t i = 0; i < def_.fields.size(); ++i) {
        cols += ", " + column(int(i));
        vals += ", ?";
    }
    return "INSERT INTO " + table(schema) + "(" + cols + ") VALUES(" + vals + ")";
}

std::string SqlLayout::update(const std::string& schema, bool watched) const
{
    std::string s = "UPDATE " + table(schema) + " SET version = version + 1";
    for (std::size_t i = 0; i < def_.fields.size(); ++i) s += ", " + column(int(i)) + " = ?";
    s += " WHERE rid = ?";
    if (watched) s += " AND version = ?";
    return s + " RETURNING version";
}

std::string SqlLayout::remove(const std::string& schema) const
{
    return "DELETE FROM " + table(schema) + " WHERE rid = ?";
}

std::string SqlLayout::versionOf(const std::string& schema) const
{
    return "SELECT version FROM " + table(schema) + " WHERE rid = ?";
}

} // namespace kestrel::platform::detail
