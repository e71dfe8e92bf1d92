#pragma once
// Signature-on-file authorisations of a patient (file Auth, boxes 12 and 13
// of the claim form): the signature browser, opened as a lookup by the claim
// data form, and the signature editor that its Add and Change run.
//
// Both work for the patient of the claim in the Invoice buffer (INV:PAT):
// the browser lists only that patient's signatures, in date order, and the
// editor gives every signature it adds or changes to that patient.
//
// Lookup contract: the caller leaves the claim in the Invoice buffer, may
// put a date into AUT:AUTHDATE to start at, sets CallRequest to 4 and calls
// selectAuth(); on CallResponse 1 the chosen signature is in the Auth buffer.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/formdefinition.h"

class QWidget;

namespace kestrel::managers {

const shell::BrowseDefinition& authBrowse();
const shell::FormDefinition& authForm();

// The lookup: a modal browser for the request in CallRequest; returns
// CallResponse.
shell::Response selectAuth(QWidget* parent = nullptr);

} // namespace kestrel::managers
