#include "managers/patientform.h"

#include "managers/closingrules.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

namespace kestrel::managers {

using namespace shell;

const FormDefinition& patientForm()
{
    static const FormDefinition def{
        .file = "Patient",
        .title = "Patient record editor",
        .insertTitle = "Record will be added",
        .changeTitle = "Record will be changed",
        .helpTopic = "UpdatePatient",
        .buttons = {"Help", "&Save", "&Cancel"},
        .tabs = {{"Patient", {
            entry("Last name, First, MI", "PAT:LNAME", "@s29").ditto()
                .entering(closeIfNotNumbered("PAT:PAT")).accepting(closeIfBlank()),
            radios("", "PAT:SEX", {{"Male", "M", {}}, {"Female", "F", {}}}),
            entry("Date of Birth", "PAT:BDATE", "@D2").ditto(),
            entry("Social Security number", "PAT:SSN", "@P###-##-####P").ditto(),
            entry("Address", "PAT:ADD1", "@s29").ditto().tip("Street number and name address/Box number"),
            entry("", "PAT:ADD2", "@s24").ditto().tip("City/Town/County"),
            entry("", "PAT:ADD3", "@s3").ditto().beside().tip("State"),
            entry("", "PAT:ADD4", "@s12").ditto().beside().tip("Zip code"),
            entry("Home/Cell phone number", "PAT:HAREA", "@s3").ditto(),
            entry("", "PAT:HPHON", "@s8").ditto().beside(),
            entry("Work phone number", "PAT:WAREA", "@s3").ditto(),
            entry("", "PAT:WPHON", "@s8").ditto().beside(),
        }}},
        .duplicateKey = DuplicateKey{"PAT:PATKEY", "PAT:PATkey"},
        .numbering = Numbering{"PAT:PAT", "PAT:PATKEY"},
    };
    return def;
}

shell::Response runPatientForm(QWidget* parent) { return runForm(patientForm(), parent); }

} // namespace kestrel::managers
