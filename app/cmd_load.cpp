// kestrel load: adds the records of a CSV file to one record file, all of
// them or (when any row does not fit) none.
#include "commands.h"

#include "data/csv.h"
#include "data/records.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace kestrel::app {

int cmdLoad(const CommandContext& ctx)
{
    const char* usage = "usage: kestrel [--root DIR] load LABEL FILE.csv\n";
    if (ctx.args.size() != 2) {
        std::fprintf(stderr, "kestrel load: needs a file label and a CSV file\n%s", usage);
        return 2;
    }
    const QString& label = ctx.args[0];
    const data::FileBuffer* fb = data::fileByLabel(label.toStdString());
    if (!fb) fb = data::fileByPrefix(label.toStdString());
    if (!fb) {
        QStringList labels;
        for (const auto& f : data::allFiles()) labels << QString::fromLatin1(f.def->label);
        std::fprintf(stderr, "kestrel load: no file is called %s; the files are %s\n", qPrintable(label),
                     qPrintable(labels.join(QStringLiteral(", "))));
        return 2;
    }

    QFile in(ctx.args[1]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "kestrel load: cannot read %s: %s\n", qPrintable(QDir::toNativeSeparators(in.fileName())),
                     qPrintable(in.errorString()));
        return 1;
    }
    const QByteArray text = in.readAll();

    if (!prepareRoot(ctx, "load")) return 1;
    const auto result = data::csv::load(ctx.root.dataDir(), *fb->def, text);
    if (!result.ok()) {
        const QString name = QDir::toNativeSeparators(in.fileName());
        for (const auto& p : result.problems) std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(p.message));
        std::fprintf(stderr, "kestrel load: nothing was loaded into %s\n", qPrintable(QString::fromLatin1(fb->def->label)));
        return 1;
    }
    std::printf("%d record%s added to %s\n", result.added, result.added == 1 ? "" : "s",
                qPrintable(QDir::toNativeSeparators(ctx.root.dataDir() + QLatin1Char('/') +
                                                    QString::fromLatin1(fb->def->fileName))));
    return 0;
}

} // namespace kestrel::app
