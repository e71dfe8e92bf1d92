#pragma once
// Backup of the record files into ROOT/Backup, and reload of that backup
// over ROOT/DATA, while the program and other stations keep the files open.
//
// Backup: one consistent state of every record file DATA holds (read under
// one read transaction over all of them, so a claim written with its lines
// by another station is in the copy whole or not at all), copied through
// SQLite's online backup API into ROOT/Backup.new, each copy examined as
// `kestrel check` examines a file; only when every copy passes is the new
// folder exchanged with Backup in one rename. A backup that fails or is
// killed half way leaves the previous backup as it was; its leftover folder
// is removed by the next backup.
//
// Reload: every record file of the backup is examined first, and a backup
// with any damaged file is refused before anything in DATA is written. Then
// each file is copied over its namesake in DATA through the same API, under
// that file's write lock, so other stations see the reloaded records at
// their next read. Files the backup lacks stay in DATA as they are.
//
// Folders are made 0700 and files 0600 (privatefiles.h). A backup and a
// reload of the same root never run at once: each holds the root's lock,
// waiting for the other to finish.

#include "platform/recorddef.h"
#include "platform/rootdir.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <span>

namespace kestrel::platform {

// How long a backup or reload waits for another station's lock (and for
// another backup or reload of the root) before it gives up.
inline constexpr int BackupLockWaitMs = 30'000;

// What a backup or a reload did.
struct CopyReport {
    bool ok = false;
    QStringList lines;  // what was done, one line per file, for the log
    QString error;      // on failure: one line saying why and what was left as it was
};

// Called after each file is copied, with its file name: tests stop a backup
// half way with it.
using AfterCopy = std::function<void(const QString& fileName)>;

// The files are the record files of the dictionary (`files` names them).
CopyReport backupFiles(const RootDir& root, std::span<const FileDef* const> files, const AfterCopy& after = {});
CopyReport reloadFiles(const RootDir& root, std::span<const FileDef* const> files, const AfterCopy& after = {});

} // namespace kestrel::platform
