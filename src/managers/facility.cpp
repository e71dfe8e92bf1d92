#include "managers/facility.h"

#include "managers/closingrules.h"
#include "shell/detailpanel.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::managers {

using namespace shell;

const BrowseDefinition& facilityBrowse()
{
    static const BrowseDefinition def{
        .file = "Facility",
        .title = "F32. Service Facility Location Information Browser",
        .listTip = "Facility records browser ...",
        .format = "100L(2)|F~Facility~@s26@48L(2)|F~Facility ID~C(0)@s11@14L(2)|F~QL~@s2@46C|F~Facility NPI~@s10@"
                  "68L(2)|F~Facility NNPI~C(0)@s17@",
        // The five columns, then the address shown under the list.
        .queue = {"FAC:FACILTYNAME", "FAC:FACILITYID", "FAC:FACILITYQLN", "FAC:FACILITYNPI", "FAC:FACILITYNNPI",
                  "FAC:FACILITYADD1", "FAC:FACILITYADD2"},
        .orders = {{"FAC:FACILITYNAMEKEY"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close", "Help"},
        .helpTopic = "FacilityBrowser",
        .updateForm = [] { runForm(facilityForm(), QApplication::activeWindow()); },
    };
    return def;
}

BrowsePanel facilityPanel()
{
    return DetailPanel::make({detailHeading("Facility location"), detail("", "FAC:FACILITYADD1", "@s26"),
                              detail("", "FAC:FACILITYADD2", "@s26")},
                             BrowsePanel::Placement::Below);
}

const FormDefinition& facilityForm()
{
    static const FormDefinition def{
        .file = "Facility",
        .title = "F32. Service Facility Location Information Editor",
        .insertTitle = "Record will be added",
        .changeTitle = "Record will be changed",
        .helpTopic = "FacilityEditor",
        .buttons = {"&Save", "&Cancel"},
        .tabs = {{"Facility", {
            // An identifier whose number is 0 (blank, or not beginning with
            // a digit) leaves the form; an EIN such as "12-3456789" passes.
            entry("Reference I.D. (EIN)", "FAC:FACILITYID", "@s11")
                .tip("Reference No. (EIN+2 digit suffix)")
                .ditto()
                .accepting(closeIfZero()),
            entry("Facility Name", "FAC:FACILTYNAME", "@s26").ditto(),
            entry("Address", "FAC:FACILITYADD1", "@s26").ditto(),
            entry("City, State Zip", "FAC:FACILITYADD2", "@s26").ditto(),
            entry("ID Qualifier Number", "FAC:FACILITYQLN", "@s2").ditto(),
            entry("NPI Number", "FAC:FACILITYNPI", "@s10").ditto(),
            entry("Non-NPI ID Number", "FAC:FACILITYNNPI", "@s14").ditto(),
        }}},
        .duplicateKey = DuplicateKey{"FAC:FACILITYIDKEY", "FAC:FACILITYIDkey"},
    };
    return def;
}

shell::Response selectFacility(QWidget* parent) { return BrowseWindow::runModal(facilityBrowse(), parent, facilityPanel()); }

QMdiSubWindow* openFacilityBrowse(QMdiArea* area)
{
    return BrowseWindow::openInMdi(facilityBrowse(), area, facilityPanel());
}

} // namespace kestrel::managers
