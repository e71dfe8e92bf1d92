#include "managers/patientbrowse.h"

#include "data/records.h"
#include "managers/patientform.h"
#include "shell/browsewindow.h"
#include "shell/detailpanel.h"

#include <QApplication>

namespace kestrel::managers {

using namespace shell;

namespace {

void callPatientForm() { runPatientForm(QApplication::activeWindow()); }

// The highlighted patient. The name is also the name locator: a name typed
// over it and accepted locates the list. Nothing else can be edited.
BrowsePanel patientPanel()
{
    return DetailPanel::make({
        // Shown 29 wide; it takes the 28 characters the name holds.
        detailLocator("PAT:LNAME", 29),
        detail("Address", "PAT:ADD1", "@s28"),
        detailComputed("", "CITYLINE", "@s36", patientCityLine),
        detail("Home/Cell phone number", "PAT:HAREA", "@p(###)p"),
        detail("", "PAT:HPHON", "@s10").beside(),
        detail("Work phone number", "PAT:WAREA", "@p(###)p"),
        detail("", "PAT:WPHON", "@s10").beside(),
        detail("Date of Birth", "PAT:BDATE", "@D2"),
        detail("Social Security Number", "PAT:SSN", "@P###-##-####P"),
        detail("Gender Status", "PAT:SEX", "@s1").tip("Male/Female"),
    });
}

} // namespace

std::string patientCityLine()
{
    std::string line(data::PAT.ADD2.trimmed());
    line += ' ';
    line += data::PAT.ADD3.trimmed();
    line += ' ';
    line += data::PAT.ADD4.trimmed();
    if (line.size() > 36) line.resize(36);
    return line;
}

const BrowseDefinition& patientBrowse()
{
    static const BrowseDefinition def{
        .file = "Patient",
        .title = "Patient screen",
        .heading = "PATIENT MANAGER",
        .listTip = "Patient Browser ...",
        .format = "150L(2)|F~Last, First Name~@s29@50C|F~ID #~@n05@",
        .queue = {"PAT:LNAME", "PAT:PAT", "PAT:ADD1", "PAT:ADD2", "PAT:ADD3", "PAT:ADD4", "PAT:HAREA",
                  "PAT:HPHON", "PAT:WAREA", "PAT:WPHON", "PAT:BDATE", "PAT:SSN", "PAT:SEX", "PAT:NOWBALAN"},
        .orders = {{"PAT:LNAMEKEY"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close", "Help"},
        .helpTopic = "PatientBrowser",
        .updateForm = callPatientForm,
    };
    return def;
}

QMdiSubWindow* openPatientManager(QMdiArea* area)
{
    return BrowseWindow::openInMdi(patientBrowse(), area, patientPanel());
}

} // namespace kestrel::managers
