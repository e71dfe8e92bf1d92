// kestrel seed: the standard codes a new practice starts with (ICD editions,
// box 14 and box 15 date qualifiers), added only to tables that are empty.
#include "commands.h"

#include "data/file_access.h"
#include "data/records.h"
#include "data/standardcodes.h"
#include "platform/filecheck.h"
#include "platform/privatefiles.h"

#include <QDir>

#include <cstdio>

namespace kestrel::app {

int cmdSeed(const CommandContext& ctx)
{
    if (!ctx.args.isEmpty()) {
        std::fprintf(stderr, "kestrel seed: takes no arguments\nusage: kestrel [--root DIR] seed\n");
        return 2;
    }
    if (!prepareRoot(ctx, "seed")) return 1;
    // A damaged table, or one out of reach, would end the command at the
    // first standard message; look first and touch nothing if any of the
    // three cannot take the codes.
    bool damaged = false;
    for (const platform::FileDef* def : {&data::file::ICD, &data::file::CIQL, &data::file::OIQL}) {
        const QString path = QDir(ctx.root.dataDir()).filePath(QString::fromLatin1(def->fileName));
        if (const platform::PathState state = platform::probeFile(path); state.kind == platform::PathState::Unreachable) {
            damaged = true;
            std::fprintf(stderr, "kestrel seed: unable to open %s: %s\n", qPrintable(QDir::toNativeSeparators(path)),
                         qPrintable(state.reason));
            continue;
        }
        const platform::FileCheck c = platform::checkRecordFile(*def, path);
        if (c.sound()) continue;
        damaged = true;
        std::fprintf(stderr, "kestrel seed: %s: %s\n", qPrintable(QDir::toNativeSeparators(path)),
                     qPrintable(c.problems.join(QStringLiteral("; "))));
    }
    if (damaged) {
        std::fprintf(stderr, "kestrel seed: nothing was added; \"kestrel check\" examines the files\n");
        return 1;
    }
    data::setDataDirectory(ctx.root.dataDir());
    int status = 0;
    for (const data::SeedOutcome& o : data::seedStandardCodes()) {
        if (o.failed) {
            std::printf("%-5s not filled (see the message above)\n", qPrintable(o.file));
            status = 1;
        } else if (o.kept > 0) {
            std::printf("%-5s kept as it is: it already has %d record%s\n", qPrintable(o.file), o.kept,
                        o.kept == 1 ? "" : "s");
        } else {
            std::printf("%-5s %d standard code%s added\n", qPrintable(o.file), o.added, o.added == 1 ? "" : "s");
        }
    }
    return status;
}

} // namespace kestrel::app
