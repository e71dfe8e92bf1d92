#pragma once
// The insurance plans or programs (file Payer): the plan browser, opened
// from the menu's "Insurance or Program name Manager" and as a lookup by the
// two insured editors and the receivables editor, and the plan editor that
// its Add and Change run.
//
// Lookup contract: the caller puts the name typed so far into HIC:HICNAME,
// sets CallRequest to 4 and calls selectPayer(); the list opens at the first
// plan at or after that name. On CallResponse 1 the chosen plan is in the
// Payer buffer (data::HIC); on 2 the buffer holds the plan last highlighted.

#include "shell/callprotocol.h"
#include "data/records.h"
#include "shell/browsedefinition.h"
#include "shell/browsewindow.h"
#include "shell/formdefinition.h"

#include <QString>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kestrel::managers {

const shell::BrowseDefinition& payerBrowse();
const shell::FormDefinition& payerForm();

// The lines under the list: the highlighted plan's address, telephone and fax.
shell::BrowsePanel payerPanel();

// The menu's procedure: a new, independent plan browser in the frame.
QMdiSubWindow* openPayerManager(QMdiArea* area);

// The lookup: a modal plan browser for the request in CallRequest; returns
// CallResponse.
shell::Response selectPayer(QWidget* parent = nullptr);

// Finds the plan named `name`: the plan whose name is exactly that one
// (letter case aside); else, when `name` fills all of `storedWidth`
// characters, the first plan whose name begins with it (the name was cut to
// the width of the field that holds it). The plan is copied into *plan; the
// Payer buffer is left as it was, since a plan browser may be showing it.
// False, with *plan cleared, when there is none. The Payer file must be in use.
bool findPlanNamed(const QString& name, int storedWidth, data::PayerRecord* plan);

} // namespace kestrel::managers
