#pragma once
// Examination of a record file on disk, for the support person after a crash
// or a bad copy: is it a record file of this program, are its records what
// the dictionary describes, do its keys agree with its records?
//
// Nothing is changed, with one exception every open of the file makes too:
// the journal of a write interrupted by a crash is rolled back first (a
// read-only look could not, and would take the half-written file for a
// foreign one). Damaged keys are repaired by RecordFile::build(); damaged
// records are not repairable here.

#include "platform/recorddef.h"

#include <QString>
#include <QStringList>

#include <string_view>
#include <vector>

namespace kestrel::platform {

struct FileCheck {
    enum class State {
        Ok,
        Missing,       // no file yet: created empty on first use
        KeysDamaged,   // the records read whole; rebuilding the keys repairs it
        RecordsLost,   // the keys name records the table no longer holds:
                       // rebuilding the keys drops them (only when accepted)
        Damaged,       // not a record file of ours, or records unreadable or
                       // not fitting their fields
        Locked,        // another station holds it locked: not examined
        Unreadable,    // the file or its folder cannot be read (permissions,
                       // a looping link): not examined
    };
    State state = State::Ok;
    QStringList problems;  // what is wrong, one finding per entry
    long long lostRecords = 0;  // RecordsLost: how many
    // What the check did before it looked (an interrupted write rolled back).
    QStringList notes;

    // A missing file is not damage: the program creates it when needed.
    bool sound() const { return state == State::Ok || state == State::Missing; }
};

// Examines the file of `def` at `path`. Findings beyond the first few of a
// kind are counted, not listed.
FileCheck checkRecordFile(const FileDef& def, const QString& path);

// A file whose records are numbered by the program: an Insert adds the
// record with its next number (and the fields its caller gives it) before
// its window opens, and Save writes over that placeholder. A station killed
// in between leaves the placeholder, which no list shows.
struct Numbered {
    std::string_view numberField;           // "PAT:PAT"
    std::vector<std::string_view> given;    // other fields an Insert starts with
};
// The numbers of the records holding nothing but their number and the
// given fields (every other field blank or zero).
std::vector<long long> findPlaceholders(const FileDef& def, const QString& path, const Numbered& numbered);
// Removes those placeholders from the file (closed, in `dir`), each read
// again first so that one filled meanwhile stays; the numbers removed, or
// the driver's error code in `error`.
std::vector<long long> removePlaceholders(const FileDef& def, const QString& dir, const Numbered& numbered,
                                          int& error);

// What rebuilding the keys of the file at `path` would lose: the records its
// keys name but its table no longer holds, and which they are.
struct RecordLoss {
    long long count = 0;
    QString description;  // "32 records the file no longer holds (PAT:PATKEY 3269, ...)"
};
RecordLoss lostRecords(const FileDef& def, const QString& path);

} // namespace kestrel::platform
