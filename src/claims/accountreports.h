#pragma once
// The reports the account windows start: the claim forms of the highlighted
// claim, its statement, and a patient's history. Each runs on a worker
// thread of its own from the numbers handed to it now (the report reads its
// own copy of the records), behind "Generating Report", then into the
// preview; the window that starts it does not wait.

#include <QString>

class QWidget;

namespace kestrel::claims {

// The reports by name.
inline constexpr const char* kPlanClaimBlankForm = "cms1";   // form image printed, primary plan
inline constexpr const char* kPlanClaimCmsForm = "cms1a";    // data only, for pre-printed forms
inline constexpr const char* kOtherClaimBlankForm = "cms2";  // the same for the other plan
inline constexpr const char* kOtherClaimCmsForm = "cms2a";
inline constexpr const char* kStatement = "invoice";
inline constexpr const char* kHistory = "history";

// Starts the report `name` for claim `claim` (0: none) of patient `patient`
// over `parent` (a window of the frame, whose printer it prints on): the
// statements through reports/statement.h, the claim forms through
// reports/claimprint.h. False when it ended at once (no such claim, a claim
// without the insured its form needs, nothing to print).
bool startAccountReport(const QString& name, long long claim, long long patient, QWidget* parent);

} // namespace kestrel::claims
