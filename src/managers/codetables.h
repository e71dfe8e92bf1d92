#pragma once
// The code table managers: the update forms and browses of the five small
// code tables, CPT/HCPCS procedure codes (CPT48), ICD diagnosis codes
// (ICD48), the ICD edition indicator (ICD), the box 14 date qualifiers
// (CIQL) and the box 15 other-date qualifiers (OIQL).
//
// Forms: runForm(cptForm()) etc. with CallRequest set by the caller (a
// browse's Add, Change or Delete).
//
// Browses, each also a lookup: a caller puts the typed value into the key
// field of the record buffer (e.g. ICD.ICDCODE), sets CallRequest to 4 and
// calls the table's select function; on CallResponse 1 the chosen record is
// in the buffer. The CPT browse is in cptbrowse.h.

#include "shell/callprotocol.h"
#include "shell/browsedefinition.h"
#include "shell/formdefinition.h"

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;
class QMdiArea;
class QMdiSubWindow;

namespace kestrel::managers {

// Update forms.
const shell::FormDefinition& cptForm();
const shell::FormDefinition& icdForm();
const shell::FormDefinition& icdEditionForm();
const shell::FormDefinition& box14QualifierForm();
const shell::FormDefinition& box15QualifierForm();

// Browses.
const shell::BrowseDefinition& icdBrowse();
const shell::BrowseDefinition& icdEditionBrowse();
const shell::BrowseDefinition& box14QualifierBrowse();
const shell::BrowseDefinition& box15QualifierBrowse();

// The menu's "ICD-M Diagnostic Code Manager": a new, independent browse
// window in the frame.
QMdiSubWindow* openIcdBrowse(QMdiArea* area);

// Lookups: a modal browse in Select mode, opened at the first code at or
// after the one the caller put into the key field (ICD:ICDCODE, ICDM:ICDV,
// CIQ:CICODE, OIQ:OICODE) before setting CallRequest to 4. Each returns
// CallResponse: 1 with the chosen record in the buffer, 2 otherwise.
shell::Response selectIcd(QWidget* parent = nullptr);
shell::Response selectIcdEdition(QWidget* parent = nullptr);
shell::Response selectBox14Qualifier(QWidget* parent = nullptr);
shell::Response selectBox15Qualifier(QWidget* parent = nullptr);

} // namespace kestrel::managers
