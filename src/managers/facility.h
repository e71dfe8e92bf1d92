#pragma once
// Service facility locations (file Facility, box 32 of the claim form): the
// facility browser, opened as a lookup by the claim data form, and the
// facility editor that its Add and Change run.
//
// Lookup contract: the caller puts the name it has into FAC:FACILTYNAME
// (the list is in name order), sets CallRequest to 4 and calls
// selectFacility(); on CallResponse 1 the chosen facility is in the
// Facility buffer.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/browsewindow.h"
#include "shell/formdefinition.h"

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kestrel::managers {

const shell::BrowseDefinition& facilityBrowse();
const shell::FormDefinition& facilityForm();

// "Facility location" under the list: the highlighted facility's address.
shell::BrowsePanel facilityPanel();

// The lookup: a modal browser for the request in CallRequest; returns
// CallResponse.
shell::Response selectFacility(QWidget* parent = nullptr);
// The same browser as a child window of the frame (request 0).
QMdiSubWindow* openFacilityBrowse(QMdiArea* area);

} // namespace kestrel::managers
