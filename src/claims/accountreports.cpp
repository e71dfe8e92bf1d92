#include "claims/accountreports.h"

#include "reports/previewwindow.h"
#include "reports/reportregistry.h"
#include "reports/statement.h"

namespace kestrel::claims {

bool startAccountReport(const QString& name, long long claim, long long patient, const Workplace& place,
                        QWidget* parent)
{
    if (reports::statementKind(name)) return reports::startStatement(name, claim, patient, parent) != nullptr;
    const reports::RegisteredReport* report = reports::findReport(name);
    if (!report || !report->body || !place.printer) return false;
    const reports::ReportArguments args{place.root, claim, patient};
    auto body = report->body;
    reports::runReport([body, args](reports::ReportRun& run) { body(args, run); }, *place.printer, parent);
    return true;
}

} // namespace kestrel::claims
