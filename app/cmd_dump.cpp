// kestrel dump: every record of one file as CSV on standard output.
#include "commands.h"

#include "data/csv.h"
#include "data/records.h"

#include <QFile>

#include <cstdio>

namespace kestrel::app {

int cmdDump(const CommandContext& ctx)
{
    const char* usage = "usage: kestrel [--root DIR] dump LABEL [--key KEY] [--hex]\n";
    QString label;
    data::csv::DumpOptions options;
    for (qsizetype i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args[i];
        if (a == QLatin1String("--hex")) {
            options.hex = true;
        } else if (a == QLatin1String("--key")) {
            if (i + 1 >= ctx.args.size()) {
                std::fprintf(stderr, "kestrel dump: --key needs a key label, e.g. PAT:LNAMEKEY\n%s", usage);
                return 2;
            }
            options.key = ctx.args[++i];
        } else if (a.startsWith(QLatin1String("--key="))) {
            options.key = a.mid(6);
        } else if (a.startsWith(QLatin1String("-")) || !label.isEmpty()) {
            std::fprintf(stderr, "kestrel dump: unexpected argument %s\n%s", qPrintable(a), usage);
            return 2;
        } else {
            label = a;
        }
    }
    if (label.isEmpty()) {
        std::fprintf(stderr, "kestrel dump: which file? (a label such as Patient)\n%s", usage);
        return 2;
    }
    const data::FileBuffer* fb = data::fileByLabel(label.toStdString());
    if (!fb) fb = data::fileByPrefix(label.toStdString());
    if (!fb) {
        QStringList labels;
        for (const auto& f : data::allFiles()) labels << QString::fromLatin1(f.def->label);
        std::fprintf(stderr, "kestrel dump: no file is called %s; the files are %s\n", qPrintable(label),
                     qPrintable(labels.join(QStringLiteral(", "))));
        return 2;
    }

    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) {
        std::fprintf(stderr, "kestrel dump: cannot write to standard output\n");
        return 1;
    }
    QString error;
    const bool ok = data::csv::dump(ctx.root.dataDir(), *fb->def, options, out, &error);
    out.close();
    if (!ok) {
        std::fprintf(stderr, "kestrel dump: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

} // namespace kestrel::app
