#include "shell/runtimelog.h"

#include "platform/privatefiles.h"

#include <QDateTime>
#include <QFile>

namespace kestrel::shell::runtimelog {

namespace {
QString logPath;
QtMessageHandler previous = nullptr;
bool active = false;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // Opened per message: nothing stays open that would stop the file from
    // being deleted at exit, and every line is on disk if the program dies.
    // The log may quote patient data: its owner's only (platform/privatefiles.h).
    QFile file(logPath);
    if (file.open(QIODevice::Append | QIODevice::Text, platform::kPrivateFile)) {
        static const char* const kinds[] = {"debug", "warning", "critical", "fatal", "info"};
        const int t = int(type);
        const QString line = QStringLiteral("%1 %2: %3\n")
                                 .arg(QDateTime::currentDateTime().toString(Qt::ISODate),
                                      QLatin1String(t >= 0 && t <= 4 ? kinds[t] : "message"), message);
        file.write(line.toUtf8());
    }
    if (previous)
        previous(type, context, message);
}
} // namespace

void start(const QString& path)
{
    logPath = path;
    // One left by a session that died, or made by an older version.
    if (QFile::exists(path)) QFile::setPermissions(path, platform::kPrivateFile);
    if (!active) {
        previous = qInstallMessageHandler(handler);
        active = true;
    }
}

void stop()
{
    if (active) {
        qInstallMessageHandler(previous);
        previous = nullptr;
        active = false;
    }
}

bool isActive()
{
    return active;
}

bool removeFile(const QString& path)
{
    stop();
    return !QFile::exists(path) || QFile::remove(path);
}

} // namespace kestrel::shell::runtimelog
