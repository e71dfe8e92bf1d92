// kestrel print: a registered report rendered without any window into a PDF
// file (and its layout lines), e.g. every billable claim on blank forms.
// Built apart from the window-free subcommands: it draws, so it links the
// reports library and runs under a QGuiApplication on the offscreen platform.
#include "commands.h"

#include "reports/claimreports.h"
#include "reports/reportregistry.h"
#include "reports/statement.h"

#include <cstdio>

namespace kestrel::app {

namespace {
int usage(const char* problem)
{
    std::fprintf(stderr,
                 "kestrel print: %s\nusage: kestrel [--root DIR] print REPORT [--claim N] [--patient N] --pdf FILE [--layout FILE]\n"
                 "reports: %s\n",
                 problem, qPrintable(reports::reportNames().join(QStringLiteral(", "))));
    return 2;
}
} // namespace

int cmdPrint(const CommandContext& ctx)
{
    reports::registerStatementReports();
    reports::registerClaimReports();
    QString name, pdf, layout;
    reports::ReportArguments args{ctx.root, 0};
    for (int i = 0; i < ctx.args.size(); ++i) {
        const QString& a = ctx.args[i];
        const bool valued = a == QLatin1String("--claim") || a == QLatin1String("--patient") ||
                            a == QLatin1String("--pdf") || a == QLatin1String("--layout");
        if (valued && i + 1 >= ctx.args.size())
            return usage(qPrintable(a + QStringLiteral(" needs a value")));
        if (a == QLatin1String("--claim")) {
            bool ok = false;
            args.claim = ctx.args[++i].toLongLong(&ok);
            if (!ok || args.claim <= 0)
                return usage("--claim needs a claim number from 1");
        } else if (a == QLatin1String("--patient")) {
            bool ok = false;
            args.patient = ctx.args[++i].toLongLong(&ok);
            if (!ok || args.patient <= 0)
                return usage("--patient needs a patient number from 1");
        } else if (a == QLatin1String("--pdf")) {
            pdf = ctx.args[++i];
        } else if (a == QLatin1String("--layout")) {
            layout = ctx.args[++i];
        } else if (name.isEmpty() && !a.startsWith(QLatin1Char('-'))) {
            name = a;
        } else {
            return usage(qPrintable(QStringLiteral("unexpected argument ") + a));
        }
    }
    if (name.isEmpty() || pdf.isEmpty())
        return usage("a report and --pdf FILE are needed");
    if (!reports::findReport(name))
        return usage(qPrintable(QStringLiteral("no report named ") + name));
    QString error;
    const int pages = reports::printToPdf(name, args, pdf, layout, stderr, &error);
    if (pages < 0) {
        std::fprintf(stderr, "kestrel print: %s\n", qPrintable(error));
        return 1;
    }
    if (pages == 0)
        std::fprintf(stderr, "kestrel print: nothing to print, no file written\n");
    else
        std::fprintf(stdout, "%d page%s written to %s\n", pages, pages == 1 ? "" : "s", qPrintable(pdf));
    return 0;
}

} // namespace kestrel::app
