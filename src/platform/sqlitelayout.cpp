#include "platform/sqlitelayout.h"

#include "platform/cp1252.h"
#include "platform/decimal.h"
#include "platform/filterexpression.h"

#include <sqlite3.h>

#include <algorithm>

namespace kestrel::platform::detail {

std::string foldedText(std::string_view bytes)
{
    while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
    return cp1252::toUtf8(cp1252::toUpper(bytes));
}

namespace {

void foldFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    const unsigned char* text = sqlite3_value_text(argv[0]);
    std::string_view utf8(text ? reinterpret_cast<const char*>(text) : "",
                          text ? std::size_t(sqlite3_value_bytes(argv[0])) : 0);
    auto bytes = cp1252::fromUtf8(utf8);
    // A value no record field can hold is left as it is: reading that record
    // fails anyway, and the check reports it.
    std::string folded = bytes ? foldedText(*bytes) : std::string(utf8);
    sqlite3_result_text(context, folded.data(), int(folded.size()), SQLITE_TRANSIENT);
}

// LeadingNumberCompare(text, units, places): the text's leading number
// against units / 10^places, as -1, 0 or 1.
void compareNumberFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    const unsigned char* text = sqlite3_value_text(argv[0]);
    std::string_view utf8(text ? reinterpret_cast<const char*>(text) : "",
                          text ? std::size_t(sqlite3_value_bytes(argv[0])) : 0);
    // Signs, digits and the point are the same bytes in UTF-8 and
    // Windows-1252, and the leading number stops at anything else.
    const Decimal left = Decimal::leadingNumber(utf8);
    const Decimal right = Decimal::fromUnits(sqlite3_value_int64(argv[1]), sqlite3_value_int(argv[2]));
    const auto order = left <=> right;
    sqlite3_result_int(context, order < 0 ? -1 : order > 0 ? 1 : 0);
}

} // namespace

int registerCompareNumber(sqlite3* db)
{
    return sqlite3_create_function_v2(db, LeadingNumberCompare, 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      compareNumberFunction, nullptr, nullptr, nullptr);
}

int registerFoldFunction(sqlite3* db)
{
    return sqlite3_create_function_v2(db, FoldFunction, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, foldFunction,
                                      nullptr, nullptr, nullptr);
}

SqlLayout::SqlLayout(const FileDef& def) : def_(def)
{
    for (const auto& k : def.keys) {
        std::vector<int> parts;
        for (int i = 0; i < k.count(); ++i) parts.push_back(def.fieldIndex(k.parts[std::size_t(i)]));
        keyFields_.push_back(std::move(parts));
    }
    for (std::size_t k = 0; k < keyFields_.size(); ++k)
        for (int i = 0; i < int(keyFields_[k].size()); ++i)
            if (folds(int(k), i)) foldedFields_.push_back(fieldOf(int(k), i));
    std::sort(foldedFields_.begin(), foldedFields_.end());
    foldedFields_.erase(std::unique(foldedFields_.begin(), foldedFields_.end()), foldedFields_.end());
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

std::string SqlLayout::foldColumn(int field) const
{
    return quoted(foldColumnName(def_.fields[std::size_t(field)].name()));
}

std::string SqlLayout::keyColumn(int key, int component) const
{
    int f = fieldOf(key, component);
    return folds(key, component) ? foldColumn(f) : column(f);
}

std::string SqlLayout::table(const std::string& schema) const { return quoted(schema) + "." + quoted(def_.label); }

bool SqlLayout::folds(int key, int component) const
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

std::vector<std::pair<std::string, std::string>> SqlLayout::metaRows(int format) const
{
    // The layout signature makes a file written for another layout of the
    // same label read as invalid instead of as garbled records.
    std::string layout;
    for (const auto& f : def_.fields) {
        if (!layout.empty()) layout += ',';
        layout += std::string(f.label) + ':' + std::to_string(int(f.kind)) + ':' + std::to_string(f.size) + ':' +
                  std::to_string(f.places);
    }
    return {{"format", std::to_string(format)},
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
    t += ", tiebreak INTEGER AS (rid) VIRTUAL";
    // Last, where adding them to a file of the previous format puts them too.
    for (int f : foldedFields_) t += ", " + foldColumn(f) + " TEXT NOT NULL DEFAULT ''";
    out.push_back(t + ")");
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
            s += keyColumn(int(k), i);
        }
        if (keyHasTiebreak(int(k))) s += ", tiebreak";
        s += ")";
        std::string empty = emptyCondition(int(k));
        if (!empty.empty()) s += " WHERE " + empty;
        out.push_back(s);
    }
    return out;
}

std::vector<std::string> SqlLayout::columnNames(int format) const
{
    std::vector<std::string> out{"rid", "version"};
    for (const auto& f : def_.fields) out.emplace_back(f.name());
    out.emplace_back("tiebreak");
    if (format != PreviousFormat)
        for (int f : foldedFields_) out.push_back(foldColumnName(def_.fields[std::size_t(f)].name()));
    return out;
}

std::vector<std::string> SqlLayout::upgradeStatements(const std::string& schema) const
{
    std::vector<std::string> out;
    // The keys on fold columns go first: filling the columns then writes no
    // index, and the keys are built once from the filled columns.
    std::vector<std::size_t> remade;
    for (std::size_t k = 0; k < def_.keys.size(); ++k)
        for (int i = 0; i < componentCount(int(k)); ++i)
            if (folds(int(k), i)) {
                remade.push_back(k);
                out.push_back("DROP INDEX IF EXISTS " + quoted(schema) + "." + quoted(def_.keys[k].label));
                break;
            }
    if (!foldedFields_.empty()) {
        std::string fill = "UPDATE " + table(schema) + " SET ";
        for (std::size_t n = 0; n < foldedFields_.size(); ++n) {
            int f = foldedFields_[n];
            out.push_back("ALTER TABLE " + table(schema) + " ADD COLUMN " + foldColumn(f) +
                          " TEXT NOT NULL DEFAULT ''");
            fill += (n ? ", " : "") + foldColumn(f) + " = " + FoldFunction + "(" + column(f) + ")";
        }
        out.push_back(fill);
    }
    const auto indexes = indexStatements(schema);
    for (std::size_t k : remade) out.push_back(indexes[k]);
    out.push_back("UPDATE " + quoted(schema) + ".kestrel_file SET value = '" + std::to_string(FormatVersion) +
                  "' WHERE key = 'format'");
    return out;
}

std::string SqlLayout::copyRecords(const std::string& schema, const std::string& fromSchema) const
{
    std::string into = "rid, version", from = "rid, version";
    for (std::size_t i = 0; i < def_.fields.size(); ++i) {
        into += ", " + column(int(i));
        from += ", " + column(int(i));
    }
    for (int f : foldedFields_) {
        into += ", " + foldColumn(f);
        from += std::string(", ") + FoldFunction + "(" + column(f) + ")";
    }
    return "INSERT INTO " + table(schema) + "(" + into + ") SELECT " + from + " FROM " + table(fromSchema) +
           " NOT INDEXED ORDER BY rid";
}

std::string SqlLayout::orderBy(int order, bool forward) const
{
    const char* dir = forward ? "" : " DESC";
    std::string s = " ORDER BY ";
    if (order < 0) return s + "rid" + dir;
    for (int i = 0; i < componentCount(order); ++i) {
        if (i) s += ", ";
        s += keyColumn(order, i) + dir;
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
            where.push_back(keyColumn(order, i) + " = ?");
    }
    if (mode != WalkMode::Ends) {
        std::string left, right;
        int n = 0;
        for (int i = range; i < componentCount(order); ++i, ++n) {
            if (n) {
                left += ", ";
                right += ", ";
            }
            left += keyColumn(order, i);
            right += "?";
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

std::string SqlLayout::sum(const std::string& schema, int order, int range, const std::vector<int>& fields,
                           const std::string& condition) const
{
    std::string s = "SELECT ";
    for (std::size_t i = 0; i < fields.size(); ++i) s += (i ? ", SUM(" : "SUM(") + column(fields[i]) + ")";
    s += " FROM " + table(schema);
    std::vector<std::string> where;
    if (order >= 0) {
        // The same entries as the walk: the key's own partial condition
        // (word for word, so that its index serves), then the range.
        std::string empty = emptyCondition(order);
        if (!empty.empty()) where.push_back(empty);
        for (int i = 0; i < range; ++i) where.push_back(keyColumn(order, i) + " = ?");
    }
    where.push_back("(" + condition + ")");
    for (std::size_t i = 0; i < where.size(); ++i) s += (i ? " AND " : " WHERE ") + where[i];
    return s;
}

std::string SqlLayout::get(const std::string& schema, int key) const
{
    std::string s = "SELECT " + selectColumns_ + " FROM " + table(schema) + " WHERE ";
    std::string empty = emptyCondition(key);
    if (!empty.empty()) s += empty + " AND ";
    for (int i = 0; i < componentCount(key); ++i) {
        if (i) s += " AND ";
        s += keyColumn(key, i) + " = ?";
    }
    return s + (keyHasTiebreak(key) ? orderBy(key, true) : std::string()) + " LIMIT 1";
}

std::string SqlLayout::duplicate(const std::string& schema, int key) const
{
    std::string s = "SELECT rid FROM " + table(schema) + " WHERE ";
    std::string empty = emptyCondition(key);
    if (!empty.empty()) s += empty + " AND ";
    for (int i = 0; i < componentCount(key); ++i)
        s += keyColumn(key, i) + " = ? AND ";
    return s + "rid <> ? LIMIT 1";
}

std::string SqlLayout::keyEntries(const std::string& schema, int key) const
{
    std::string s = "SELECT rid";
    for (int i = 0; i < componentCount(key); ++i) s += ", " + keyColumn(key, i);
    s += " FROM " + table(schema) + " INDEXED BY " + quoted(def_.keys[std::size_t(key)].label);
    // The key's own condition, word for word: SQLite then reads the entries
    // without looking into the table.
    std::string empty = emptyCondition(key);
    return empty.empty() ? s : s + " WHERE " + empty;
}

std::string SqlLayout::keyEntryCount(const std::string& schema, int key) const
{
    std::string s = "SELECT COUNT(*) FROM " + table(schema) + " INDEXED BY " + quoted(def_.keys[std::size_t(key)].label);
    std::string empty = emptyCondition(key);
    return empty.empty() ? s : s + " WHERE " + empty;
}

std::string SqlLayout::listedCounts(const std::string& schema) const
{
    std::string s = "SELECT COUNT(*)";
    for (std::size_t k = 0; k < def_.keys.size(); ++k) {
        std::string empty = emptyCondition(int(k));
        s += empty.empty() ? ", COUNT(*)" : ", COALESCE(SUM(" + empty + "), 0)";
    }
    return s + " FROM " + table(schema) + " NOT INDEXED";
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
    for (int f : foldedFields_) {
        cols += ", " + foldColumn(f);
        vals += ", ?";
    }
    return "INSERT INTO " + table(schema) + "(" + cols + ") VALUES(" + vals + ")";
}

std::string SqlLayout::update(const std::string& schema, bool watched) const
{
    std::string s = "UPDATE " + table(schema) + " SET version = version + 1";
    for (std::size_t i = 0; i < def_.fields.size(); ++i) s += ", " + column(int(i)) + " = ?";
    for (int f : foldedFields_) s += ", " + foldColumn(f) + " = ?";
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
