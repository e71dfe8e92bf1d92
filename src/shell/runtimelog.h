#pragma once
// The optional runtime log, ROOT/kestrel.log. Started with the --log option,
// it receives the program's warnings and diagnostics (as well as standard
// error) while the program runs. Closing the frame deletes it, so a log found
// in the root afterwards is the log of a session that did not end normally.

#include <QString>

namespace kestrel::shell::runtimelog {

// Appends every Qt message (qDebug, qWarning ...) to `path` from now on.
void start(const QString& path);
// Stops writing to the log; messages go to standard error only.
void stop();
bool isActive();

// Closing step: stops the log and deletes `path` if it is present. False
// only when the file is present and cannot be deleted.
bool removeFile(const QString& path);

} // namespace kestrel::shell::runtimelog
