// kestrel seed: the standard codes a new practice starts with (ICD editions,
// box 14 and box 15 date qualifiers), added only to tables that are empty.
#include "commands.h"

#include "data/file_access.h"
#include "managers/codetables.h"

#include <cstdio>

namespace kestrel::app {

int cmdSeed(const CommandContext& ctx)
{
    if (!ctx.args.isEmpty()) {
        std::fprintf(stderr, "kestrel seed: takes no arguments\nusage: kestrel [--root DIR] seed\n");
        return 2;
    }
    QString error;
    if (!ctx.root.ensureExists(&error)) {
        std::fprintf(stderr, "kestrel seed: %s\n", qPrintable(error));
        return 1;
    }
    data::setDataDirectory(ctx.root.dataDir());
    int status = 0;
    for (const managers::SeedOutcome& o : managers::seedStandardCodes()) {
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
