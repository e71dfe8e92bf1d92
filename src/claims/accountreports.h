#pragma once
// The reports the account windows start: the claim forms of the highlighted
// claim, its statement, and a patient's history. Each runs on a worker
// thread of its own from the numbers handed to it now (the report reads its
// own copy of the records), behind "Generating Report", then into the
// preview; the window that starts it does not wait.

#include "claims/patientclaims.h"

#include <QString>

class QWidget;

namespace kestrel::claims {

// Report names as they are registered.
inline constexpr const char* kPlanClaimBlankForm = "cms1";   // form image printed, primary plan
inline constexpr const char* kPlanClaimCmsForm = "cms1a";    // data only, for pre-printed forms
inline constexpr const char* kOtherClaimBlankForm = "cms2";  // the same for the other plan
inline constexpr const char* kOtherClaimCmsForm = "cms2a";
inline constexpr const char* kStatement = "invoice";
inline constexpr const char* kHistory = "history";

// Starts the report `name` for claim `claim` (0: none) of patient `patient`:
// a statement through the statements' own start (reports/statement.h), any
// other report through the registry of reports by name. False when there is
// no report of that name (or no printer to give it); nothing is started then.
bool startAccountReport(const QString& name, long long claim, long long patient, const Workplace& place,
                        QWidget* parent);

} // namespace kestrel::claims
