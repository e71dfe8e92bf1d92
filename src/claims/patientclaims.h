#pragma once
// The claims window of one patient ("Patient Account Browser"): an update
// form of the Patient file over a list of the patient's claims.
//
// Called with CallRequest 2 (Change) and the patient, re-read and watched,
// in the PAT buffer. Shows the patient's name, address and phones (the name,
// street and phones can be edited here, with the ditto key, and are written
// with the patient), the plan names of the highlighted claim, and the
// patient's claims by provider and claim number (INV:PATPRVINVKEY, limited to
// the patient), with the sums of their charges, adjustments, payments and
// balances; the account balance (the sum of INV:BDUE) stands under the list.
// The sums are worked out afresh whenever the list is filled for the patient
// and after every call of the claim data form.
//
// The list's Add, Change and Delete (and Insert, Ctrl+Enter or a double
// click, Delete) call the claim data form. The five print buttons re-read
// the highlighted claim and start its report from a copy of the claim and
// the patient; the window does not wait for it.
//
// Save and Close store the account balance in PAT:NOWBALAN and write the
// patient (a change only if something differs from the record read at
// opening). Esc does not close the window; its close box writes nothing, so
// the stored balance stays as it was.

#include "platform/rootdir.h"
#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/formdefinition.h"

#include <QString>

#include <functional>

class QWidget;

namespace kestrel::claims {

inline constexpr const char* kPatientClaimsHelp = "PatientClaimsBrowser";

// Where the account windows work: the root, whose INI file the claim form's
// lookups keep their places in. (Reports print on the printer of the frame
// the windows open over.)
struct Workplace {
    platform::RootDir root;
};

// What sets one claims window of a patient apart from its twin: the
// payment browser (receivables/) is this window with its own titles and
// pictures, no print buttons, and a Change of its own.
struct ClaimsWindowKind {
    QString title;         // the window's title in every request
    QString prompt;        // of the patient's name
    QString listTip;
    QString moneyPicture;  // of the four money columns and the account balance
    QString helpTopic;
    bool printButtons = true;
    // The list's Change, the highlighted claim re-read and CallRequest 2 set.
    // None: Add, Change and Delete call the claim data form; set: Add and
    // Delete (and their keys) do nothing.
    std::function<void()> changeClaim{};
};

// One kind of the window: its form and list, declared once per process
// (the form's memory is the procedure's own).
class ClaimsWindow {
public:
    explicit ClaimsWindow(ClaimsWindowKind kind);
    const ClaimsWindowKind& kind() const { return kind_; }
    const shell::FormDefinition& form() const { return form_; }
    const shell::BrowseDefinition& list() const { return list_; }
    // Runs the window for the request in CallRequest (modal to `parent`);
    // returns CallResponse.
    shell::Response run(const Workplace& place, QWidget* parent = nullptr) const;

private:
    ClaimsWindowKind kind_;
    shell::FormDefinition form_;
    shell::BrowseDefinition list_;
};

const ClaimsWindow& patientClaimsWindow();
const shell::FormDefinition& patientClaimsForm();

// Runs the window for the request in CallRequest (modal to `parent`);
// returns CallResponse.
shell::Response runPatientClaims(const Workplace& place, QWidget* parent = nullptr);

} // namespace kestrel::claims
