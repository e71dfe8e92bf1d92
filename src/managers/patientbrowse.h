#pragma once
// The "Patient screen": the patient manager opened from the menu's
// "Patient Manager". A list of patients by name beside a detail panel that
// follows the highlighted patient; the panel's name field is also the name
// locator (type a name, press Enter or leave the field, and the list jumps
// to the first patient at or after it). Add, Change and Delete run the
// patient record editor (patientform.h); deleting a patient deletes the
// patient's claims and their lines with it.

#include "shell/browsedefinition.h"

#include <string>

class QMdiArea;
class QMdiSubWindow;

namespace kestrel::managers {

const shell::BrowseDefinition& patientBrowse();

// The patient city line of the patient in PAT: city, state and zip joined
// by single spaces, trailing blanks of city and state dropped (36
// characters at most, Windows-1252).
std::string patientCityLine();

// The menu's "Patient Manager", as a child window of the frame.
QMdiSubWindow* openPatientManager(QMdiArea* area);

} // namespace kestrel::managers
