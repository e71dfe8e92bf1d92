#pragma once
// The insured persons and their coverages: the primary coverage (file
// Insured1, claim boxes 1, 1a, 4, 6, 7 and 11) and the other coverage (file
// Insured2, box 9). Each has a browser, opened by the claim data form to
// choose the claim's insured, and an editor that its Add and Change run.
//
// The editors store a code for each radio choice and keep its words beside
// it (IN1:PLAN, IN1:RSHIP), fill a blank address or phone field from the
// patient in the Patient buffer when the user enters it, look the plan name
// up in the plan browser on F12 or the right mouse button, and show the
// named plan's address lines under it.
//
// Lookup contract: the caller puts the reference number or name it has into
// the buffer (the list is in name order: IN1:INS1NAME), sets CallRequest to
// 4 and calls selectInsured() (selectOtherInsured()); on CallResponse 1 the
// chosen coverage is in the Insured1 (Insured2) buffer.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/browsewindow.h"
#include "shell/formdefinition.h"

class QWidget;

namespace kestrel::managers {

const shell::BrowseDefinition& insuredBrowse();
const shell::BrowseDefinition& otherInsuredBrowse();
const shell::FormDefinition& insuredForm();
const shell::FormDefinition& otherInsuredForm();

// The lines under each list: the highlighted coverage's name, I.D., policy
// and plan.
shell::BrowsePanel insuredPanel();
shell::BrowsePanel otherInsuredPanel();

// The lookups: modal browsers for the request in CallRequest; each returns
// CallResponse.
shell::Response selectInsured(QWidget* parent = nullptr);
shell::Response selectOtherInsured(QWidget* parent = nullptr);

} // namespace kestrel::managers
