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
// One index per key, named after the key label ("PAT:LNAMEKEY"): its
// components in binding order (COLLATE NOCASE for the text components of a
// case-insensitive key), then tiebreak for keys with duplicates; UNIQUE over
// the components alone for unique keys; partial (WHERE NOT all empty) for
// excludes-empty keys. Queries repeat the partial condition word for word so
// that SQLite can use the index.

#include "platform/recorddef.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::platform::detail {

// Format of the files this driver writes; a different number is refused.
constexpr int FormatVersion = 1;

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
    // The meta rows that identify a file of this layout.
    std::vector<std::pair<std::string, std::string>> metaRows() const;

    // "rid, version, F1, F2, ..." : a full row as read.
    const std::string& selectColumns() const { return selectColumns_; }

    // Walk query over `order` (key index or FileOrder). Parameters: the
    // first `range` components, then the remaining components (FromValue,
    // AtPos, After), then the tiebreak (AtPos, After), then the LIMIT.
    std::string walk(const std::string& schema, int order, WalkMode mode, bool forward, int range) const;
    // Exact match of every component; parameters: the components.
    std::string get(const std::string& schema, int key) const;
    // Another record holding a unique key's values; parameters: the
    // components, then the rid to ignore.
    std::string duplicate(const std::string& schema, int key) const;

    std::string byRid(const std::string& schema) const;
    std::string insert(const std::string& schema) const;
    // Parameters: the fields, then rid (then version when watched).
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

private:
    std::string column(int field) const;            // quoted column name
    bool nocase(int key, int component) const;       // compare with case folded
    std::string emptyCondition(int key) const;       // "" when the key includes empty
    std::string orderBy(int order, bool forward) const;

    const FileDef& def_;
    std::vector<std::vector<int>> keyFields_;  // field index of each component
    std::string selectColumns_;
};

} // namespace kestrel::platform::detail
