#pragma once
// The runtime root: the one folder under which the program keeps everything
// it writes (record files, backups, the INI file, its log). Nothing is ever
// written outside it.
//
// Resolution order: an explicit path (the --root option), else the
// environment variable KESTREL_ROOT, else a per-user default
// (GenericDataLocation/kestrel, i.e. ~/.local/share/kestrel on Linux).

#include <QString>
#include <QStringList>

namespace kestrel::platform {

class RootDir {
public:
    // An empty path stands for "not given" at each step of the resolution.
    static RootDir resolve(const QString& explicitPath = {});
    static QString defaultPath();

    // The root as given, made absolute and cleaned; nothing is created yet.
    explicit RootDir(const QString& path);

    QString path() const { return root_; }
    QString dataDir() const;    // ROOT/DATA: the record files
    QString backupDir() const;  // ROOT/Backup: the copy made by Backup files
    QString iniFile() const;    // ROOT/KESTRI~1.INI: remembered window geometry
    QString helpDir() const;    // ROOT/Help: local help pages, read before the built-in ones
    QString logFile() const;    // ROOT/kestrel.log: the optional runtime log
    QString backupLog() const;  // ROOT/backup.log: what each backup and reload did

    // Creates the root, DATA and Backup when missing, readable by their
    // owner only (0700, see privatefiles.h), and tightens those that others
    // can reach: one line per folder for the log in *tightened. On failure
    // returns false and puts a message naming the folder (native form) in
    // *error.
    bool ensureExists(QString* error = nullptr, QStringList* tightened = nullptr) const;

    // A path as the user should read it in a message (native separators).
    static QString nativePath(const QString& path);

private:
    QString root_;
};

} // namespace kestrel::platform
