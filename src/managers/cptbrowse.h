#pragma once
// The CPT/HCPCS code browser: the CPT48 file listed by code or by
// description, opened from the Managers menu ("CPT/HCPCS Procedure Code
// Manager") as a child window, and as a lookup (Select mode) by the service
// line editor. Add, Change and Delete call the CPT/HCPCS code editor.
//
// Lookup contract: the caller puts the typed code into CPT:CPTCODE, sets
// CallRequest to 4 and calls selectCpt(); the browse opens at the first code
// at or after it. On CallResponse 1 the chosen record is in the CPT buffer;
// on 2 the buffer holds the record that was highlighted last.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kestrel::managers {

const shell::BrowseDefinition& cptBrowse();

// The menu's procedure: a new, independent browse window in the frame.
QMdiSubWindow* openCptBrowse(QMdiArea* area);

// The lookup: a modal browse in Select mode; returns CallResponse.
shell::Response selectCpt(QWidget* parent = nullptr);

} // namespace kestrel::managers
