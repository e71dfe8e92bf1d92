#include "platform/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrel::platform {

namespace {
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                             QFileDevice::WriteOther | QFileDevice::ExeOther;
}

bool makePrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists()) return info.isDir();
    // The parents are the user's own business; only the folder itself is
    // made private. mkdir's mode can only be narrowed by the umask.
    if (!QDir().mkpath(info.absolutePath())) return false;
    if (!QDir().mkdir(path, kPrivateFolder)) return QFileInfo(path).isDir();  // another process was first
    return QFile::setPermissions(path, kPrivateFolder);
}

bool makePrivateFile(const QString& path)
{
    QFile file(path);
    // Created 0600 at once (the umask can only narrow it), so the file is
    // never readable by others, not even for a moment.
    if (!file.open(QIODevice::ReadWrite, kPrivateFile)) return false;
    file.close();
    return QFile::setPermissions(path, kPrivateFile);
}

bool reachableByOthers(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.permissions().testAnyFlags(kOthers);
}

PathState probeFile(const QString& path)
{
#if defined(Q_OS_UNIX)
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0) {
        if (errno == ENOENT) return {PathState::Missing, {}};
        return {PathState::Unreachable, QString::fromLocal8Bit(std::strerror(errno))};
    }
    if (!S_ISREG(st.st_mode)) return {PathState::Unreachable, QStringLiteral("it is not a file")};
    if (::access(native.constData(), R_OK | W_OK) != 0)
        return {PathState::Unreachable, QString::fromLocal8Bit(std::strerror(errno))};
    return {PathState::File, {}};
#else
    const QFileInfo info(path);
    if (!info.exists()) return {PathState::Missing, {}};
    if (!info.isFile()) return {PathState::Unreachable, QStringLiteral("it is not a file")};
    if (!info.isReadable() || !info.isWritable()) return {PathState::Unreachable, QStringLiteral("Permission denied")};
    return {PathState::File, {}};
#endif
}

} // namespace kestrel::platform
