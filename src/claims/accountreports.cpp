#include "claims/accountreports.h"

#include "reports/claimprint.h"
#include "reports/statement.h"

namespace kestrel::claims {

bool startAccountReport(const QString& name, long long claim, long long patient, QWidget* parent)
{
    if (reports::statementKind(name)) return reports::startStatement(name, claim, patient, parent) != nullptr;
    return reports::startClaimReport(name, claim, parent) != nullptr;
}

} // namespace kestrel::claims
