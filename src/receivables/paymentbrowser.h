#pragma once
// The two windows receivables are posted through, twins of the patient
// account windows (claims/accountbrowser.h, claims/patientclaims.h):
//
// "Payment Account Browser": the patients by last name with their address,
// phones and stored account balance; &Open (double click, Ctrl+Enter, the
// list's menu) opens the payment browser on the highlighted patient; &Close
// starts a backup of the data files and closes. No history button.
//
// "Payment Browser": one patient's claims with their charges, payments,
// adjustments and balances, and the account balance under the list. &Change
// opens the receivables browser on the highlighted claim; afterwards the
// list and the sums follow what it stored. &Add and &Delete (and their
// keys) do nothing: claims are neither made nor removed here. Save and
// Close store the account balance in PAT:NOWBALAN. No print buttons.

#include "claims/accountbrowser.h"
#include "claims/patientclaims.h"

class QMdiArea;
class QMdiSubWindow;

namespace kestrel::receivables {

inline constexpr const char* kPaymentAccountsHelp = "PaymentAccountBrowser";
inline constexpr const char* kPaymentBrowserHelp = "PaymentBrowser";

const claims::ClaimsWindow& paymentBrowser();
const shell::BrowseDefinition& paymentAccountBrowse();

// The menu's "&Payment Browser ...", as a child window of the frame.
QMdiSubWindow* openPaymentAccountBrowser(QMdiArea* area, const claims::Workplace& place);

} // namespace kestrel::receivables
