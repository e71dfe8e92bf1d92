#pragma once
// How a record file is laid out in its SQLite database, and the SQL texts the
// driver runs on it. Private to the driver.
//
// One table named after the file label: `rid INTEGER PRIMARY KEY
// AUTOINCREMENT` (the record's identity, fixed when it is added, never reused), `version` (incremented by every
// write, for change detection), one column per field named after the field
// (text, dates and digit text as trimmed UTF-8 TEXT, packed decimals as
// INTEGER in units of their places), and `tiebreak`, a virtual column equal
// to rid: SQLite seeks on a row value only over real index columns, so keys
// with duplicates end their index with it to make every position one seek.
// A meta table `kestrel_file` tells our files from other databases.
//
// A text field that is a component of a case-insensitive key also has a fold
// column, named after it with "_fold" ("LNAME_fold"), after tiebreak: the
// field's value upper-cased the way the program folds letters everywhere
// (Windows-1252, accented letters included), as UTF-8 without trailing
// blanks. SQLite's NOCASE folds A-Z only, and a collation of our own would
// make the files unreadable to the standard tools; so the driver writes the
// fold column with every add and put, and the key compares it in BINARY.
//
// One index per key, named after the key label ("PAT:LNAMEKEY"): its
// components in binding order (the fold column for the text components of a
// case-insensitive key), then tiebreak for keys with duplicates; UNIQUE over
// the components alone for unique keys; partial (WHERE NOT all empty) for
// excludes-empty keys. Queries repeat the partial condition word for word so
// that SQLite can use the index.

#include "platform/recorddef.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace kestrel::platform::detail {

// Format of the files this driver writes; a different number is refused,
// except PreviousFormat (the same tables without fold columns, keys in
// NOCASE), which open upgrades in place and build rebuilds.
constexpr int FormatVersion = 2;
constexpr int PreviousFormat = 1;

// The fold of a text value held as Windows-1252 bytes: upper-cased, trailing
// blanks dropped, as UTF-8. What fold columns hold and what key values are
// compared with.
std::string foldedText(std::string_view cp1252Bytes);

// Name of the SQL function computing a fold column from its field's column
// (UTF-8 text), for upgrades, rebuilds and checks. It is registered on the
// connections that run those statements and never appears in a schema.
constexpr const char* FoldFunction = "kestrel_fold";
// Registers FoldFunction on a connection; an SQLite result code.
int registerFoldFunction(sqlite3* db);

enum class WalkMode : std::uint8_t {
    Ends,      // first (next) or last (previous) of the order
    FromValue, // not below (next) / not above (previous) the key values, any record
    AtPos,     // not below / not above (key values, record identity): inclusive
    After,     // strictly after / before (key values, record identity)
};

class SqlLayout {
public:
    explicit SqlLayout(const FileDef& def);

    const FileDef& def() const { return def_; }

    static std::string quoted(std::string_view identifier);

    std::string table(const std::string& schema) const;
    // DDL of a new file (meta table and rows, record table, indexes).
    std::vector<std::string> createStatements(bool withIndexes = true) const;
    std::vector<std::string> indexStatements(const std::string& schema = "main") const;
    // The meta rows that identify a file of this layout (in that format).
    std::vector<std::pair<std::string, std::string>> metaRows(int format = FormatVersion) const;
    // Every column of the record table in order, generated ones included
    // (as PRAGMA table_xinfo lists them), in that format.
    std::vector<std::string> columnNames(int format = FormatVersion) const;
    // Turns a file of PreviousFormat into one of this format, run inside one
    // transaction on a connection where FoldFunction is registered: adds and
    // fills the fold columns, remakes the keys that use them, and records
    // the format.
    std::vector<std::string> upgradeStatements(const std::string& schema = "main") const;
    // Copies every record of the same table in `fromSchema` (this format or
    // PreviousFormat) into `schema`, with the fold columns computed afresh
    // (FoldFunction registered).
    std::string copyRecords(const std::string& schema, const std::string& fromSchema) const;

    // "rid, version, F1, F2, ..." : a full row as read.
    const std::string& selectColumns() const { return selectColumns_; }

    // Walk query over `order` (key index or FileOrder). Parameters: the
    // first `range` components, then the remaining components (FromValue,
    // AtPos, After), then the tiebreak (AtPos, After), then the LIMIT.
    std::string walk(const std::string& schema, int order, WalkMode mode, bool forward, int range) const;
    // Sums of packed fields over the records a walk of `order` from its
    // start would deliver: the first `range` components held (parameters,
    // first), and `condition` (a filter in SQL, its own parameters after).
    // One row: each sum, NULL over no record.
    std::string sum(const std::string& schema, int order, int range, const std::vector<int>& fields,
                    const std::string& condition) const;
    // Exact match of every component; parameters: the components.
    std::string get(const std::string& schema, int key) const;
    // Another record holding a unique key's values; parameters: the
    // components, then the rid to ignore.
    std::string duplicate(const std::string& schema, int key) const;

    // Read from a key's entries alone (the table is not touched): every
    // entry as "rid, components" (fold columns for folded components), and
    // their count.
    std::string keyEntries(const std::string& schema, int key) const;
    std::string keyEntryCount(const std::string& schema, int key) const;
    // One pass over the table alone: the count of records, then for every
    // key the count of records it lists.
    std::string listedCounts(const std::string& schema) const;

    std::string byRid(const std::string& schema) const;
    // The quoted column of a field (of a key or not).
    std::string columnOf(int field) const { return column(field); }
    // Parameters: the fields, then the fold columns (foldedFields() order).
    std::string insert(const std::string& schema) const;
    // Parameters: the fields, then the fold columns, then rid (then version
    // when watched).
    std::string update(const std::string& schema, bool watched) const;
    std::string remove(const std::string& schema) const;
    std::string versionOf(const std::string& schema) const;

    // Components of a key that the walk compares with a tiebreak (all keys
    // with duplicates; the ones of unique keys are distinct already).
    bool keyHasTiebreak(int key) const { return !def_.keys[std::size_t(key)].unique(); }
    int fieldOf(int key, int component) const { return keyFields_[std::size_t(key)][std::size_t(component)]; }
    int componentCount(int order) const {
        return order < 0 ? 0 : int(keyFields_[std::size_t(order)].size());
    }
    // The component compares on its field's fold column: its values are
    // bound as foldedText().
    bool folds(int key, int component) const;
    // Fields that have a fold column, in field order.
    const std::vector<int>& foldedFields() const { return foldedFields_; }
    static std::string foldColumnName(std::string_view fieldName) { return std::string(fieldName) + "_fold"; }

private:
    std::string column(int field) const;            // quoted column name
    std::string foldColumn(int field) const;        // quoted fold column name
    // The quoted column a key component is indexed and compared on.
    std::string keyColumn(int key, int component) const;
    std::string emptyCondition(int key) const;       // "" when the key includes empty
    std::string orderBy(int order, bool forward) const;

    const FileDef& def_;
    std::vector<std::vector<int>> keyFields_;  // field index of each component
    std::vector<int> foldedFields_;
    std::string selectColumns_;
};

} // namespace kestrel::platform::detail
