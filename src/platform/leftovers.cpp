#include "platform/leftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <signal.h>

#include <cerrno>

namespace kestrel::platform::detail {

namespace {

// Whether a process of this id still runs here (then its copy is in use).
bool running(qint64 pid)
{
    if (pid <= 0 || pid > 0x7FFFFFFF) return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

QStringList removeLeftovers(const QString& path)
{
    const QFileInfo file(path);
    const QDir dir = file.absoluteDir();
    const QRegularExpression leftover(QStringLiteral("^%1\\.(?:new|rebuild)-(\\d+)(?:-journal)?$")
                                          .arg(QRegularExpression::escape(file.fileName())));
    QStringList removed;
    const QStringList candidates =
        dir.entryList({file.fileName() + QStringLiteral(".*-*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        const QRegularExpressionMatch m = leftover.match(name);
        if (!m.hasMatch() || running(m.captured(1).toLongLong())) continue;
        if (QFile::remove(dir.filePath(name))) removed << name;
    }
    return removed;
}

} // namespace kestrel::platform::detail
