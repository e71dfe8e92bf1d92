#pragma once
// The way into a patient's claims from the menu's "&Invoice Browser ...": a
// browse of the patients by last name ("Patient Account Browser") with the
// highlighted patient's address, phones, gender, birth date and stored
// account balance beside the list, and a "PATIENT BROWSER:" name locator.
//
// &Open (double click, Ctrl+Enter, the list's menu) opens the patient's
// claims window (patientclaims.h) for a change of the highlighted patient;
// afterwards the page is rebuilt on that patient, so the balance shown is
// the one the claims window stored. &Print history starts the patient's
// history report without waiting for it. &Close starts a backup of the data
// files (managers/backupwindows.h), without waiting for it either, and closes
// the window; the window's close box starts none.

#include "claims/patientclaims.h"
#include "shell/browsedefinition.h"
#include "shell/browsewindow.h"

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kestrel::claims {

inline constexpr const char* kAccountBrowserHelp = "PatientAccountBrowser";

// What sets a patient list apart from its twin, the payment account browser
// (receivables/): titles, help, the history button, the window &Open calls.
struct AccountBrowseKind {
    QString title;
    QString listTip;
    QString helpTopic;
    bool printHistory = true;
    const ClaimsWindow& claims;  // declared once per process
};
shell::BrowseDefinition accountBrowseOf(const AccountBrowseKind& kind);
// The highlighted patient's lines beside the list.
shell::BrowsePanel accountPanel();
// A patient list of either kind as a child window of the frame; `def` is
// declared once per process.
QMdiSubWindow* openAccountBrowseWindow(const shell::BrowseDefinition& def, QMdiArea* area, const Workplace& place);

const shell::BrowseDefinition& accountBrowse();

// The menu's "&Invoice Browser ...", as a child window of the frame; the
// windows it opens work in `place`.
QMdiSubWindow* openAccountBrowser(QMdiArea* area, const Workplace& place);

} // namespace kestrel::claims
