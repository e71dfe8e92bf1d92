#pragma once
// Do the keys of a record file agree with its records? A table that lost
// pages (an old page copied back over a newer one by a bad copy) leaves key
// entries naming records the table no longer holds; rebuilding the keys from
// the table would then drop those records without a word. The driver and the
// file check ask here before they call keys merely damaged. Private to them.

#include "platform/sqlitelayout.h"

#include <string>
#include <vector>

struct sqlite3;

namespace kestrel::platform::detail {

// Records named by the keys but missing from the table.
struct LostRecords {
    long long count = 0;  // distinct records
    // The first few, by the values of the first key that names them, one
    // entry per key: "PAT:PATKEY 3269, 3270".
    std::vector<std::string> named;
    int namedCount = 0;   // values listed in `named`
};

// Reads every key from its own entries and looks each record up in the table
// of `schema`. Keys that cannot be read themselves (a damaged index) are
// passed over: they are rebuilt from the table, losing nothing of theirs.
LostRecords findLostRecords(sqlite3* db, const std::string& schema, const SqlLayout& layout, int listed);

// The cheap test of open: does every key hold as many entries as the table
// has records for it? SQLITE_OK with the answer in `agree`, or the failure.
int keysCountRecords(sqlite3* db, const std::string& schema, const SqlLayout& layout, bool& agree);

// "32 records the file no longer holds (PAT:PATKEY 3269, 3270 and 30 more)".
std::string describeLoss(const LostRecords& lost);

} // namespace kestrel::platform::detail
