#pragma once
// The standard codes a new practice starts with: the edition table (ICD)
// with "0" ICD-10-CM and "9" ICD-9-CM, and the box 14 (CIQL) and box 15
// (OIQL) qualifier tables with the qualifier codes of the claim form's
// instructions. Window-free, so `kestrel seed` runs without a display.

#include "platform/recorddef.h"

#include <QString>

#include <span>
#include <vector>

namespace kestrel::data {

struct StandardCode {
    const char* code;
    const char* description;
};

// The standard codes of data::file::ICD, CIQL or OIQL; none for another file.
std::span<const StandardCode> standardCodes(const platform::FileDef& table);

struct SeedOutcome {
    QString file;      // "ICD", "CIQL", "OIQL"
    int added = 0;     // records added
    int kept = 0;      // records already there (nothing added)
    bool failed = false;  // the table could not be filled (reported, nothing added)
};

// Fills each of the three tables only while it is empty (checked inside the
// transaction that fills it), so a practice's own entries are never
// duplicated or overwritten. Uses the record files of the data directory set
// in file_access; a table that cannot be filled is reported through the
// message service and keeps nothing of the attempt.
std::vector<SeedOutcome> seedStandardCodes();

} // namespace kestrel::data
