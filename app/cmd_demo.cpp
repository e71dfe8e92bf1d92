// kestrel demo: fills an empty root with the sample practice, to learn and
// show the program with. A root that holds any record is left alone.
#include "commands.h"

#include "data/demopractice.h"
#include "data/file_access.h"

#include <cstdio>

namespace kestrel::app {

int cmdDemo(const CommandContext& ctx)
{
    if (!ctx.args.isEmpty()) {
        std::fprintf(stderr, "kestrel demo: takes no arguments\nusage: kestrel [--root DIR] demo\n");
        return 2;
    }
    if (!prepareRoot(ctx, "demo")) return 1;
    data::setDataDirectory(ctx.root.dataDir());
    const data::DemoLoad load = data::loadDemoPractice();
    switch (load.result) {
    case data::DemoLoad::Result::Loaded:
        for (const auto& [file, count] : load.added) std::printf("%-9s %d records\n", qPrintable(file), count);
        std::printf("The sample practice is in %s\n", qPrintable(platform::RootDir::nativePath(ctx.root.path())));
        return 0;
    case data::DemoLoad::Result::NotEmpty:
        std::fprintf(stderr,
                     "kestrel demo: %s already holds records; the sample practice goes only into an empty root, "
                     "nothing was changed\n",
                     qPrintable(platform::RootDir::nativePath(ctx.root.path())));
        break;
    case data::DemoLoad::Result::Failed:
        std::fprintf(stderr, "kestrel demo: nothing was added\n");
        break;
    }
    for (const QString& p : load.problems) std::fprintf(stderr, "  %s\n", qPrintable(p));
    return 1;
}

} // namespace kestrel::app
