#include "platform/rootdir.h"

#include "platform/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace kestrel::platform {

RootDir RootDir::resolve(const QString& explicitPath)
{
    if (!explicitPath.trimmed().isEmpty())
        return RootDir(explicitPath);
    const QString fromEnv = qEnvironmentVariable("KESTREL_ROOT");
    if (!fromEnv.trimmed().isEmpty())
        return RootDir(fromEnv);
    return RootDir(defaultPath());
}

QString RootDir::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/kestrel";
}

RootDir::RootDir(const QString& path)
    : root_(QDir::cleanPath(QFileInfo(path.trimmed()).absoluteFilePath()))
{
}

QString RootDir::dataDir() const { return root_ + "/DATA"; }
QString RootDir::backupDir() const { return root_ + "/Backup"; }
QString RootDir::iniFile() const { return root_ + "/KESTRI~1.INI"; }
QString RootDir::helpDir() const { return root_ + "/Help"; }
QString RootDir::logFile() const { return root_ + "/kestrel.log"; }
QString RootDir::backupLog() const { return root_ + "/backup.log"; }

bool RootDir::ensureExists(QString* error, QStringList* tightened) const
{
    for (const QString& dir : {root_, dataDir(), backupDir()}) {
        QFileInfo info(dir);
        if (info.exists() && !info.isDir()) {
            if (error)
                *error = QString("%1 exists but is not a folder.").arg(nativePath(dir));
            return false;
        }
        if (!info.exists()) {
            if (!makePrivateFolder(dir)) {
                if (error)
                    *error = QString("Cannot create the folder %1.").arg(nativePath(dir));
                return false;
            }
            continue;
        }
        // Made by hand, copied, or left by an older version: others keep
        // no way in. A folder of someone else's stays as it is (and says so).
        if (reachableByOthers(dir)) {
            const bool done = QFile::setPermissions(dir, kPrivateFolder);
            if (tightened)
                *tightened << (done ? QString("%1 was open to other users; it is now readable by its owner only.")
                                    : QString("%1 is open to other users and cannot be made private."))
                                  .arg(nativePath(dir));
        }
    }
    return true;
}

QString RootDir::nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace kestrel::platform
