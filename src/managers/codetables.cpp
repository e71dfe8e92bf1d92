#include "managers/codetables.h"

#include "managers/closingrules.h"
#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "shell/browsewindow.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

#include <algorithm>

namespace kestrel::managers {

using namespace shell;

namespace {

// Rules of the code fields: each form closes, writing nothing, when its code
// is accepted with a value that counts as empty (closingrules.h). Qualifier
// codes are numbers written as text: "000", a blank or a code that is not a
// number all count as 0.

// A browse's Add, Change and Delete: the table's form, modal to the browse.
std::function<void()> callForm(const FormDefinition& (*form)())
{
    return [form] { runForm(form(), QApplication::activeWindow()); };
}

} // namespace

const FormDefinition& cptForm()
{
    static const FormDefinition def{
        .file = "CPT48",
        .title = "CPT/HCPCS Code Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "ProcedureCodeManagerEditor",
        .buttons = {"&Save", "&Cancel", "Help"},
        .tabs = {{"CPT/HCPCS Code", {
            entry("CPT/HCPCS Code", "CPT:CPTCODE", "@s7").ditto().accepting(closeIfBlank()),
            entry("Description", "CPT:CPTDESCRIPTION", "@s48").ditto(),
        }}},
        .duplicateKey = DuplicateKey{"CPT:CPTCODEKEY", "CPT:CPTCODEkey"},
    };
    return def;
}

// Only a blank code closes this form: ICD-10 codes (and the ICD-9 V and E
// codes) begin with a letter, so a test of the code's numeric value would
// close the form on every one of them and they could never be added.
const FormDefinition& icdForm()
{
    static const FormDefinition def{
        .file = "ICD48",
        .title = "Diagnostic Code Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "DiagnosisCodeManagerEditor",
        .buttons = {"&Save", "&Cancel", "Help"},
        .tabs = {{"Diagnostic Code", {
            entry("ICD-M  Diagnostic Code", "ICD:ICDCODE", "@s7").ditto().accepting(closeIfBlank()),
            entry("Description", "ICD:ICDDES", "@s48").ditto(),
        }}},
        .duplicateKey = DuplicateKey{"ICD:ICDCODEKEY", "ICD:ICDCODEkey"},
    };
    return def;
}

// The blank-edition test belongs to the edition field: tested when the
// indicator is accepted, it would close a new record's form as soon as its
// indicator was typed, before the edition could be.
const FormDefinition& icdEditionForm()
{
    static const FormDefinition def{
        .file = "ICD",
        .title = "ICD-M Edition Editor",
        .insertTitle = "Adding a ICD-M Record",
        .changeTitle = "Changing a ICD-M Record",
        .buttons = {"&Save", "&Cancel"},
        .tabs = {{"ICD-M Edition", {
            entry("Indicator Code", "ICDM:ICDV", "@s1").ditto().accepting(closeIfBlank()),
            entry("Edition", "ICDM:ICDM", "@s12").ditto().accepting(closeIfBlank()),
        }}},
    };
    return def;
}

const FormDefinition& box14QualifierForm()
{
    static const FormDefinition def{
        .file = "CIQL",
        .title = "F14: Date of Current Illness, Injury or Pregnancy [LMP] Qualifier Editor",
        .insertTitle = "Adding a Qualifier Record",
        .changeTitle = "Changing a Qualifier Record",
        .buttons = {"&Save", "&Cancel"},
        .tabs = {{"Qualifier", {
            entry("Code:", "CIQ:CICODE", "@s3").ditto().accepting(closeIfZero()),
            entry("Description:", "CIQ:CIDESC", "@s128").ditto(),
        }}},
    };
    return def;
}

const FormDefinition& box15QualifierForm()
{
    static const FormDefinition def{
        .file = "OIQL",
        .title = "F15. Other Date Qualifier Editor",
        .insertTitle = "Adding a Qualifier Record",
        .changeTitle = "Changing a Qualifier Record",
        .buttons = {"&Save", "&Cancel"},
        .tabs = {{"Qualifier", {
            entry("Code:", "OIQ:OICODE", "@s3").ditto().accepting(closeIfZero()),
            entry("Description:", "OIQ:OIDESC", "@s128").ditto(),
        }}},
    };
    return def;
}

// ----------------------------------------------------------------- browses

const BrowseDefinition& icdBrowse()
{
    static const BrowseDefinition def{
        .file = "ICD48",
        .title = "Diagnostic Code Browser",
        .heading = "ICD-M DIAGNOSIS CODE MANAGER",
        .listTip = "ICD-M Code Browser ...",
        .format = "46L(4)|F@s7@80L(4)F@s128@",
        .queue = {"ICD:ICDCODE", "ICD:ICDDES"},
        .orders = {{"ICD:ICDCODEKEY"}, {"ICD:ICDDESKEY"}},
        .tabs = {{" ICD-M Code", 1}, {"  Description  ", 2}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close", "Help"},
        .helpTopic = "BrowseICD",
        .updateForm = callForm(icdForm),
    };
    return def;
}

const BrowseDefinition& icdEditionBrowse()
{
    static const BrowseDefinition def{
        .file = "ICD",
        .title = "ICD-M Edition Browser",
        .listTip = "Browsing Records",
        .format = "20C|~Code~@s1@48L(2)~ICD-M Edition~@s12@",
        .queue = {"ICDM:ICDV", "ICDM:ICDM"},
        .orders = {{"ICDM:ICDVKEY"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
        .selectIsDefault = false,
        .updateForm = callForm(icdEditionForm),
    };
    return def;
}

const BrowseDefinition& box14QualifierBrowse()
{
    static const BrowseDefinition def{
        .file = "CIQL",
        .title = "F14: Date of Current Illness, Injury or Pregnancy [LMP] Qualifier Browser",
        .listTip = "Browsing Records",
        .format = "33C|M~Code~@s3@80L(4)|M~Description~@s128@",
        .queue = {"CIQ:CICODE", "CIQ:CIDESC"},
        .orders = {{"CIQ:CIKEY"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
        .selectIsDefault = false,
        .updateForm = callForm(box14QualifierForm),
    };
    return def;
}

const BrowseDefinition& box15QualifierBrowse()
{
    static const BrowseDefinition def{
        .file = "OIQL",
        .title = "F15. Other Date Qualifier Browser",
        .listTip = "Browsing Records",
        .format = "32C|M~Code~@s3@80L(2)|M~Description~@s128@",
        .queue = {"OIQ:OICODE", "OIQ:OIDESC"},
        .orders = {{"OIQ:OICODEKEY"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
        .selectIsDefault = false,
        .updateForm = callForm(box15QualifierForm),
    };
    return def;
}

QMdiSubWindow* openIcdBrowse(QMdiArea* area) { return BrowseWindow::openInMdi(icdBrowse(), area); }

shell::Response selectIcd(QWidget* parent) { return BrowseWindow::runModal(icdBrowse(), parent); }

shell::Response selectIcdEdition(QWidget* parent) { return BrowseWindow::runModal(icdEditionBrowse(), parent); }

shell::Response selectBox14Qualifier(QWidget* parent) { return BrowseWindow::runModal(box14QualifierBrowse(), parent); }

shell::Response selectBox15Qualifier(QWidget* parent) { return BrowseWindow::runModal(box15QualifierBrowse(), parent); }

} // namespace kestrel::managers
