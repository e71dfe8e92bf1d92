#include "reports/reportregistry.h"

#include <QFile>
#include <QMutex>
#include <QTextStream>

#include <cstdio>
#include <map>

namespace kestrel::reports {

namespace {
QMutex registryLock;
std::map<QString, RegisteredReport>& registry()
{
    static std::map<QString, RegisteredReport> reports;
    return reports;
}
} // namespace

void registerReport(RegisteredReport report)
{
    QMutexLocker lock(&registryLock);
    QString name = report.name;
    registry()[name] = std::move(report);
}

const RegisteredReport* findReport(const QString& name)
{
    QMutexLocker lock(&registryLock);
    auto it = registry().find(name);
    return it == registry().end() ? nullptr : &it->second;
}

QStringList reportNames()
{
    QMutexLocker lock(&registryLock);
    QStringList names;
    for (const auto& [name, report] : registry())
        names << name;
    return names;
}

int printToPdf(const QString& name, const ReportArguments& args, const QString& pdfFile, const QString& layoutFile,
               std::FILE* progress, QString* error)
{
    const RegisteredReport* report = findReport(name);
    if (!report) {
        *error = QStringLiteral("no report named %1 (reports: %2)").arg(name, reportNames().join(QStringLiteral(", ")));
        return -1;
    }
    QFile layout(layoutFile);
    QTextStream layoutOut(&layout);
    if (!layoutFile.isEmpty() && !layout.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(layoutFile, layout.errorString());
        return -1;
    }
    PdfSink sink(pdfFile, layoutFile.isEmpty() ? nullptr : &layoutOut);
    int shown = -1;
    ReportRun run(sink, [&shown, progress](int percent) {
        if (progress && percent != shown) {
            shown = percent;
            std::fprintf(progress, "\r%3d%% Completed", percent);
            std::fflush(progress);
        }
    });
    report->body(args, run);
    if (progress && shown >= 0)
        std::fprintf(progress, "\n");
    if (sink.pageCount() == 0)
        return 0;
    if (!sink.finish(error))
        return -1;
    return sink.pageCount();
}

} // namespace kestrel::reports
