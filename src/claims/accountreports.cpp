#include "claims/accountreports.h"

#include "reports/previewwindow.h"
#include "reports/reportregistry.h"

namespace kestrel::claims {

bool startAccountReport(const QString& name, long long claim, long long patient, const Workplace& place,
                        QWidget* parent)
{
    const reports::RegisteredReport* report = reports::findReport(name);
    if (!report || !place.printer) return false;
    reports::ReportArguments args{place.root, claim};
    Q_UNUSED(patient);  // the registry's arguments carry the claim alone so far
    auto body = report->body;
    reports::runReport([body, args](reports::ReportRun& run) { body(args, run); }, *place.printer, parent);
    return true;
}

} // namespace kestrel::claims
