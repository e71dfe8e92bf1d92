#pragma once
// Examination of a record file on disk, for the support person after a crash
// or a bad copy: is it a record file of this program, are its records what
// the dictionary describes, do its keys agree with its records?
//
// Nothing is changed: the file is opened read-only. Damaged keys are
// repaired by RecordFile::build(); damaged records are not repairable here.

#include "platform/recorddef.h"

#include <QString>
#include <QStringList>

namespace kestrel::platform {

struct FileCheck {
    enum class State {
        Ok,
        Missing,       // no file yet: created empty on first use
        KeysDamaged,   // the records read whole; rebuilding the keys repairs it
        Damaged,       // not a record file of ours, or records unreadable or
                       // not fitting their fields
        Locked,        // another station holds it locked: not examined
    };
    State state = State::Ok;
    QStringList problems;  // what is wrong, one finding per entry

    // A missing file is not damage: the program creates it when needed.
    bool sound() const { return state == State::Ok || state == State::Missing; }
};

// Examines the file of `def` at `path`. Findings beyond the first few of a
// kind are counted, not listed.
FileCheck checkRecordFile(const FileDef& def, const QString& path);

} // namespace kestrel::platform
