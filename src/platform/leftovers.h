#pragma once
// Copies a crash leaves beside a record file. The driver builds a new file
// under "<file>.new-<pid>" and a rebuild under "<file>.rebuild-<pid>" (each
// possibly with SQLite's "-journal"), and moves or removes them when done; a
// process killed half way leaves them behind: a second copy of the records
// (patient data) that nothing will ever read. Private to the driver and the
// file check.

#include <QString>
#include <QStringList>

namespace kestrel::platform::detail {

// Removes the leftovers of the record file at `path` whose process is no
// longer running on this machine; their file names.
QStringList removeLeftovers(const QString& path);

} // namespace kestrel::platform::detail
