#pragma once
// The receivables editor ("Receivables Editor"): adds, changes and deletes
// one transaction line of a claim: an Item record whose ITM:CPT holds one of
// the five transaction codes instead of a procedure code (data/claimtotals.h).
//
// Called only from the receivables browser, with CallRequest 1, 2 or 3, the
// claim in the INV buffer and the line in the ITM buffer (for an Insert:
// cleared, with the claim's number, patient and provider set). Every opening
// gives the line the claim's provider and patient.
//
// Credits are stored zero or negative so that a claim's figures add up
// directly: a positive amount or adjustment typed is negated at once. A
// refund's and a write-off's "Issued by/to:" takes "Refund" or "Write off"
// each time the field is entered; F12 or the right button there chooses a
// payer from the insurance plan browse. A line left without a date closes
// the editor Cancelled, writing nothing. Esc and &Close cancel.

#include "shell/callprotocol.h"
#include "shell/formdefinition.h"

class QWidget;

namespace kestrel::receivables {

inline constexpr const char* kReceivablesEditorHelp = "ReceivablesEditor";

const shell::FormDefinition& receivablesEditor();

// Runs the editor for the request in CallRequest; returns CallResponse.
shell::Response runReceivablesEditor(QWidget* parent = nullptr);

} // namespace kestrel::receivables
