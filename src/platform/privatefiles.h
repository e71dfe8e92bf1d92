#pragma once
// Files and folders that only their owner may read. The root, DATA, Backup,
// every record file (and so its journal: SQLite gives a journal the mode of
// its database) and the log hold names, birth dates and SSNs; they are made
// 0700 (folders) and 0600 (files) whatever the umask.
//
// And the one question a plain existence test gets wrong: whether a file
// that cannot be seen is missing or merely out of reach (a folder without
// search permission, a symbolic link loop). A load or an open that took the
// second for the first would try to create a file that exists.

#include <QFileDevice>
#include <QString>

namespace kestrel::platform {

inline constexpr QFileDevice::Permissions kPrivateFile =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
inline constexpr QFileDevice::Permissions kPrivateFolder =
    kPrivateFile | QFileDevice::ExeOwner | QFileDevice::ExeUser;

// Creates the folder (and any missing parent) when missing, the folder
// itself 0700; an existing folder is left as it is. False when no folder
// stands at `path` afterwards.
bool makePrivateFolder(const QString& path);

// Creates an empty file when missing (an existing one keeps its content);
// the file ends 0600. False when it cannot be made so.
bool makePrivateFile(const QString& path);

// True when group or others may do anything with the existing path.
bool reachableByOthers(const QString& path);

// What stands at a path that is about to be opened or created.
struct PathState {
    enum Kind { Missing, File, Unreachable } kind = Missing;
    QString reason;  // Unreachable: why ("Permission denied", "is a folder")
};
// Missing only when nothing is there; File when a regular file is there
// that this process may read and write; Unreachable otherwise.
PathState probeFile(const QString& path);

} // namespace kestrel::platform
