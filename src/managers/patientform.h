#pragma once
// The patient record editor: the update form of the Patient file, called by
// the Patient screen with CallRequest 1 (Insert), 2 (Change) or 3 (Delete;
// the patient's claims and their lines go with it) and the record in PAT.
//
// Beyond the generic form:
//   - an Insert reserves the next patient number (PAT:PAT by PAT:PATKEY)
//     before the window opens; Save writes over the reserved record and a
//     cancelled Insert removes it, so the next Insert reuses the number.
//     Numbers end at 99999, the most the field holds; past that nothing is
//     created and the numbers are reported used up;
//   - the name accepted blank, or the name entered while PAT:PAT is 0 or
//     less, closes the form Cancelled;
//   - sex is a radio pair storing M or F; the date of birth is typed
//     mm/dd/yyyy and stored yyyymmdd; the social security number is typed
//     123-45-6789 and stored as its nine digits;
//   - the ditto key is Ctrl with the grave-accent key, on every entry field
//     (the date and the number come back in their stored form).

#include "shell/callprotocol.h"
#include "shell/formdefinition.h"

class QWidget;

namespace kestrel::managers {

const shell::FormDefinition& patientForm();

// Runs the editor for the request in CallRequest; returns CallResponse.
shell::Response runPatientForm(QWidget* parent = nullptr);

} // namespace kestrel::managers
