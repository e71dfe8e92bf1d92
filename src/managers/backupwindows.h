#pragma once
// Backup and reload from the frame's "&Backup/Reload Utilities" menu: the
// Confirm Backup and Confirm Reload windows, and the start of a backup that
// other windows ask for without a window of their own (the account
// browsers' Close).
//
// The copying is the program's own commands, `kestrel backup` and
// `kestrel reload`, run as a separate process from an argument list (no
// shell). Nothing waits for them: the window closes at once and the files
// stay open in the windows that have them. The process is watched, and when
// it fails a message says so and why (the command's last line on standard
// error); a success says nothing. A program that closes meanwhile waits for
// the command to finish.

#include <QString>
#include <QStringList>

class QWidget;

namespace kestrel::managers {

// What runs the commands: the executable and the arguments that come before
// the command's name ("backup" or "reload"). The kestrel executable sets it
// to itself with the frame's root ({"--root", ROOT}); tests set their own.
// While none is set nothing is started (a warning goes to the log): a test
// executable must never be started as the program.
struct BackupCommand {
    QString program;
    QStringList arguments;
};
void setBackupCommand(BackupCommand command);
const BackupCommand& backupCommand();

// "Confirm Backup", modal over `parent`: OK starts the backup, Cancel (or
// Esc, or the close box) starts nothing. True when the backup was started.
bool confirmBackup(QWidget* parent = nullptr);
// "Confirm Reload", the same for the reload of the backup over the data.
bool confirmReload(QWidget* parent = nullptr);

// Starts a backup at once, without asking and without waiting for it. A
// failure is reported over `parent` while it is still open, else over the
// active window; so is a program that could not be started.
void startBackup(QWidget* parent = nullptr);
// The same for a reload.
void startReload(QWidget* parent = nullptr);

} // namespace kestrel::managers
