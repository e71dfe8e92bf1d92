// kestrel paths: where this root keeps everything, for the user and for scripts.
#include "commands.h"

#include <cstdio>

namespace kestrel::app {

int cmdPaths(const CommandContext& ctx)
{
    if (!ctx.args.isEmpty()) {
        std::fprintf(stderr, "kestrel paths: takes no arguments\n");
        return 2;
    }
    const auto line = [](const char* what, const QString& path) {
        std::printf("%-8s %s\n", what, qPrintable(platform::RootDir::nativePath(path)));
    };
    line("root", ctx.root.path());
    line("data", ctx.root.dataDir());
    line("backup", ctx.root.backupDir());
    line("ini", ctx.root.iniFile());
    line("help", ctx.root.helpDir());
    line("log", ctx.root.logFile());
    line("copylog", ctx.root.backupLog());  // what backups and reloads did
    return 0;
}

} // namespace kestrel::app
