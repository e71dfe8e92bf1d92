// kestrel check: examines every record file after a crash or a bad copy and,
// with --rebuild, rebuilds the keys of the files whose keys are damaged.
#include "commands.h"

#include "data/records.h"
#include "platform/filecheck.h"
#include "platform/recordfile.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <vector>

namespace kestrel::app {

namespace {

using platform::FileCheck;

QString describe(const FileCheck& c)
{
    switch (c.state) {
    case FileCheck::State::Ok: return QStringLiteral("OK");
    case FileCheck::State::Missing: return QStringLiteral("OK (not created yet; created empty on first use)");
    default: return c.problems.join(QStringLiteral("; "));
    }
}

} // namespace

int cmdCheck(const CommandContext& ctx)
{
    const char* usage = "usage: kestrel [--root DIR] check [--rebuild]\n";
    bool rebuild = false;
    for (const QString& a : ctx.args) {
        if (a == QLatin1String("--rebuild")) {
            rebuild = true;
        } else {
            std::fprintf(stderr, "kestrel check: unexpected argument %s\n%s", qPrintable(a), usage);
            return 2;
        }
    }

    const QString dir = ctx.root.dataDir();
    // Without the folder every file would read "not created yet", which a
    // mistyped --root must not pass for a clean bill of health.
    if (!QFileInfo(dir).isDir()) {
        std::fprintf(stderr, "kestrel check: there is no data folder %s: nothing was examined (is the root right?)\n",
                     qPrintable(QDir::toNativeSeparators(dir)));
        return 1;
    }
    bool allSound = true;
    for (const data::FileBuffer& fb : data::allFiles()) {
        const QString name = QString::fromLatin1(fb.def->fileName.data(), qsizetype(fb.def->fileName.size()));
        const QString path = QDir(dir).filePath(name);
        FileCheck c = platform::checkRecordFile(*fb.def, path);
        QString line = describe(c);
        if (c.state == FileCheck::State::KeysDamaged && rebuild) {
            // A buffer of its own: the rebuild reads no record into it, and the
            // shared one belongs to the program's procedures.
            std::vector<unsigned char> buffer(std::size_t(fb.def->recordLength), ' ');
            platform::RecordFile f(*fb.def, buffer.data());
            f.setDirectory(dir);
            if (f.build() == platform::errc::Ok) {
                c = platform::checkRecordFile(*fb.def, path);
                line += QStringLiteral("; keys rebuilt: ") + describe(c);
            } else {
                QString why = QString::fromStdString(f.errorText());
                if (!f.driverMessage().empty()) why += QStringLiteral(": ") + QString::fromStdString(f.driverMessage());
                line += QStringLiteral("; rebuilding the keys failed (%1)").arg(why);
            }
        } else if (c.state == FileCheck::State::KeysDamaged) {
            line += QStringLiteral(" (check --rebuild rebuilds the keys)");
        }
        std::printf("%s: %s\n", qPrintable(QDir::toNativeSeparators(path)), qPrintable(line));
        allSound = allSound && c.sound();
    }
    std::fflush(stdout);
    return allSound ? 0 : 1;
}

} // namespace kestrel::app
