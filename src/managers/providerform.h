#pragma once
// The provider record editor: the update form of the Provider file, called
// by the provider browse with CallRequest 1 (Insert), 2 (Change) or 3
// (Delete) and the record in PRV.
//
// Beyond the generic form:
//   - an Insert reserves the next provider number (PRV:PRV by PRV:PRVKEY)
//     before the window opens; numbers end at 999, the most the field holds,
//     and past that nothing is created and the numbers are reported used up;
//   - the name accepted blank, or the name entered while PRV:PRV is 0 or
//     less, closes the form Cancelled;
//   - a billing field entered while blank takes its physical counterpart
//     (address lines, telephone and fax, each on its own);
//   - the two check boxes store "S"/"E" (PRV:TIDX, the SSN is the tax
//     number or the EIN is) and "G"/"I" (PRV:GIDX, billing under the group
//     or the individual name): never a blank;
//   - the ditto key is Ctrl with the grave-accent key, on every entry field.

#include "shell/callprotocol.h"
#include "shell/formdefinition.h"

class QWidget;

namespace kestrel::managers {

const shell::FormDefinition& providerForm();

// Runs the editor for the request in CallRequest; returns CallResponse.
shell::Response runProviderForm(QWidget* parent = nullptr);

} // namespace kestrel::managers
