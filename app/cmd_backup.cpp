// kestrel backup and kestrel reload: the record files copied into Backup/,
// and the backup copied back over DATA/ (platform/backup.h says how). The
// program's Backup/Reload windows run them as a separate process. Each run
// adds what it did to ROOT/backup.log; a failure also goes to standard
// error, its last line saying why, and the exit status is 1.
#include "commands.h"

#include "data/records.h"
#include "platform/backup.h"
#include "platform/privatefiles.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

namespace kestrel::app {

namespace {

// Appends the run to the log: a line with the time and the outcome, then
// what was done file by file.
void log(const platform::RootDir& root, const char* command, const platform::CopyReport& r)
{
    if (!platform::makePrivateFile(root.backupLog())) return;
    QFile f(root.backupLog());
    if (!f.open(QIODevice::Append | QIODevice::Text)) return;
    const QString when = QDateTime::currentDateTime().toString(Qt::ISODate);
    QString text = QStringLiteral("%1 %2: %3\n").arg(when, QString::fromLatin1(command),
                                                      r.ok ? QStringLiteral("done") : r.error);
    for (const QString& line : r.lines) text += QStringLiteral("    ") + line + u'\n';
    f.write(text.toUtf8());
}

int run(const CommandContext& ctx, const char* command,
        platform::CopyReport (*copy)(const platform::RootDir&, std::span<const platform::FileDef* const>,
                                     const platform::AfterCopy&))
{
    if (!ctx.args.isEmpty()) {
        std::fprintf(stderr, "kestrel %s: takes no arguments\n", command);
        return 2;
    }
    if (!prepareRoot(ctx, command)) return 1;
    const platform::CopyReport r = copy(ctx.root, std::span<const platform::FileDef* const>(data::file::kAll), {});
    log(ctx.root, command, r);
    for (const QString& line : r.lines) std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    if (r.ok) return 0;
    std::fprintf(stderr, "%s.\n", qPrintable(r.error));
    return 1;
}

} // namespace

int cmdBackup(const CommandContext& ctx) { return run(ctx, "backup", platform::backupFiles); }

int cmdReload(const CommandContext& ctx) { return run(ctx, "reload", platform::reloadFiles); }

} // namespace kestrel::app
