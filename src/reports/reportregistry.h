#pragma once
// The reports that can be printed by name, e.g. from the command line:
//     kestrel print NAME [--claim N] [--patient N] --pdf FILE [--layout FILE]
// Each report procedure registers itself once (registerReport at start-up,
// before any run); the body then runs on whatever thread renders it.

#include "platform/rootdir.h"
#include "reports/reportrunner.h"

#include <QString>
#include <QStringList>

namespace kestrel::reports {

struct ReportArguments {
    platform::RootDir root;  // whose record files the report reads
    qint64 claim = 0;        // --claim N; 0 when not given
    qint64 patient = 0;      // --patient N; 0 when not given
};

struct RegisteredReport {
    QString name;
    QString summary;         // one line for the usage text
    std::function<void(const ReportArguments&, ReportRun&)> body;
};

// Adds or replaces a report of that name.
void registerReport(RegisteredReport report);
const RegisteredReport* findReport(const QString& name);
QStringList reportNames();

// Renders a registered report straight into a PDF file, one page at a time,
// and its layout lines into `layoutFile` when given; a progress line goes to
// `progress` (stderr from the command line) whenever the whole percentage
// moves. Returns the pages written (0: nothing to print), or -1 with the
// reason in *error.
int printToPdf(const QString& name, const ReportArguments& args, const QString& pdfFile,
               const QString& layoutFile, std::FILE* progress, QString* error);

} // namespace kestrel::reports
