#pragma once
// The receivables browser ("Receivables Browser"): an update form of the
// Invoice file over the list of one claim's transaction lines, where the
// payments, refunds and write-offs of the claim are posted.
//
// Called with CallRequest 2 (Change) and the claim, re-read, in the INV
// buffer (the payment browser's &Change). Shows the claim's patient, lists
// the claim's transaction lines in date order (ITM:INVDOSKEY, limited to the
// claim; service lines never appear) with the allowed, deductible, denied
// and adjustment amounts of the highlighted line, and the sum of the
// payments under the list. The payment and adjustment sums are worked out
// afresh whenever the list is filled for the claim and after every call of
// the receivables editor, which the list's Add, Change and Delete call.
//
// Save and Close store INV:TPAY (the payment sum), INV:TADJ (the adjustment
// sum) and INV:BDUE = INV:TFEE + INV:TADJ + INV:TPAY, and write the claim (a
// change only if something differs from the record read at opening). Esc
// does not close the window; its close box writes nothing.

#include "shell/callprotocol.h"
#include "shell/formdefinition.h"

class QWidget;

namespace kestrel::receivables {

inline constexpr const char* kReceivablesBrowserHelp = "ReceivablesBrowser";

const shell::FormDefinition& receivablesBrowser();

// Runs the window for the request in CallRequest (modal to `parent`);
// returns CallResponse.
shell::Response runReceivablesBrowser(QWidget* parent = nullptr);

} // namespace kestrel::receivables
