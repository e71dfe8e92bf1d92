#pragma once
// The claim data form: one claim (Invoice record) entered and changed box by
// box of the CMS-1500 (02/12) form, on six tabs, with the claim's service
// lines listed on its "Services" tab and kept through the service line
// editor.
//
// Called by the patient claims browser with CallRequest 1 (Insert: the INV
// buffer cleared, INV:PAT set to the patient whose account is open), 2
// (Change) or 3 (Delete), the claim in the INV buffer; returns CallResponse.
//
// A new claim is numbered at once (highest INV:INV + 1, a placeholder record
// reserves it); abandoning it deletes the placeholder together with any
// lines already added to it, in one transaction. Claim numbers stop at
// 9,999,999, the most a line's ITM:INV holds.
//
// Save and Close store the claim total of the service lines in INV:TFEE and
// the balance INV:BDUE = INV:TFEE + INV:TADJ + INV:TPAY. Esc does not close
// the form. While the form has a claim open for change it holds the claim
// snapshot (data/integrity.h).

#include "shell/callprotocol.h"
#include "shell/formdefinition.h"

#include <QString>

class QWidget;

namespace kestrel::claims {

inline constexpr const char* kClaimFormHelp = "ClaimDataForm";
// The most a line's ITM:INV (4 packed bytes) holds.
inline constexpr long long kLastClaimNumber = 9'999'999;

const shell::FormDefinition& claimForm();

// Runs the claim form for the request in CallRequest; returns CallResponse.
// `iniFile` is the root's INI file (the service editor's rendering lookup).
shell::Response runClaimForm(const QString& iniFile, QWidget* parent = nullptr);

} // namespace kestrel::claims
