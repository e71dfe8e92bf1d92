#include "platform/keyaudit.h"

#include "platform/decimal.h"
#include "platform/sqlitehandle.h"

#include <algorithm>
#include <set>

namespace kestrel::platform::detail {

namespace {

// A key component's value as the support person reads it.
std::string valueText(sqlite3_stmt* st, int col, const FieldDef& field)
{
    if (field.kind == FieldKind::Packed)
        return Decimal::fromUnits(sqlite3_column_int64(st, col), field.places).toString();
    return columnText(st, col);
}

// Unique keys first: their values name one record each.
std::vector<int> namingOrder(const FileDef& def)
{
    std::vector<int> keys;
    for (int k = 0; k < int(def.keys.size()); ++k) keys.push_back(k);
    std::stable_partition(keys.begin(), keys.end(), [&](int k) { return def.keys[std::size_t(k)].unique(); });
    return keys;
}

} // namespace

LostRecords findLostRecords(sqlite3* db, const std::string& schema, const SqlLayout& layout, int listed)
{
    const FileDef& def = layout.def();
    LostRecords lost;
    std::set<long long> seen;
    for (int key : namingOrder(def)) {
        std::string sql = layout.keyEntries(schema, key);
        sql += sql.find(" WHERE ") == std::string::npos ? " WHERE " : " AND ";
        sql += "rid NOT IN (SELECT rid FROM " + layout.table(schema) + " NOT INDEXED)";
        int rc;
        Statement st = prepare(db, sql, rc);
        if (!st) continue;
        std::string values;
        const int parts = layout.componentCount(key);
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            if (!seen.insert(sqlite3_column_int64(st.get(), 0)).second) continue;
            ++lost.count;
            if (lost.namedCount >= listed) continue;
            ++lost.namedCount;
            if (!values.empty()) values += ", ";
            for (int i = 0; i < parts; ++i) {
                if (i) values += '/';
                values += valueText(st.get(), i + 1, def.fields[std::size_t(layout.fieldOf(key, i))]);
            }
        }
        if (!values.empty()) lost.named.push_back(std::string(def.keys[std::size_t(key)].label) + " " + values);
    }
    return lost;
}

int keysCountRecords(sqlite3* db, const std::string& schema, const SqlLayout& layout, bool& agree)
{
    agree = true;
    int rc;
    Statement listed = prepare(db, layout.listedCounts(schema), rc);
    if (!listed) return rc;
    rc = sqlite3_step(listed.get());
    if (rc != SQLITE_ROW) return rc;
    for (int k = 0; k < int(layout.def().keys.size()) && agree; ++k) {
        // A key missing altogether is the file check's finding, not open's.
        Statement count = prepare(db, layout.keyEntryCount(schema, k), rc);
        if (!count) continue;
        rc = sqlite3_step(count.get());
        if (rc != SQLITE_ROW) return rc;
        agree = sqlite3_column_int64(count.get(), 0) == sqlite3_column_int64(listed.get(), k + 1);
    }
    return SQLITE_OK;
}

std::string describeLoss(const LostRecords& lost)
{
    std::string s = std::to_string(lost.count) + " records the file no longer holds";
    if (lost.named.empty()) return s;
    s += " (";
    for (std::size_t i = 0; i < lost.named.size(); ++i) {
        if (i) s += "; ";
        s += lost.named[i];
    }
    if (lost.count > lost.namedCount) s += " and " + std::to_string(lost.count - lost.namedCount) + " more";
    return s + ")";
}

} // namespace kestrel::platform::detail
