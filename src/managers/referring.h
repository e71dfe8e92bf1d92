#pragma once
// Referring providers or other sources (file Referring, box 17 of the claim
// form): the referring browser, opened as a lookup by the claim data form,
// and the editor that its Add and Change run. The file allows several
// providers with one identifier.
//
// Lookup contract: the caller puts the name it has into REF:F17R (the list
// is in name order), sets CallRequest to 4 and calls selectReferring(); on
// CallResponse 1 the chosen provider is in the Referring buffer. In Select
// mode &Select is shown but is not the default button: Enter does not
// choose.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/formdefinition.h"

class QWidget;

namespace kestrel::managers {

const shell::BrowseDefinition& referringBrowse();
const shell::FormDefinition& referringForm();

// The lookup: a modal browser for the request in CallRequest; returns
// CallResponse.
shell::Response selectReferring(QWidget* parent = nullptr);

} // namespace kestrel::managers
