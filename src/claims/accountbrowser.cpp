#include "claims/accountbrowser.h"

#include "claims/accountreports.h"
#include "data/records.h"
#include "managers/backupwindows.h"
#include "managers/patientbrowse.h"
#include "shell/browseengine.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/detailpanel.h"

#include <QApplication>

#include <optional>

namespace kestrel::claims {

using namespace shell;

namespace {

// Every account window of the process works on the one root.
std::optional<Workplace> workplace;

// &Open: the highlighted patient re-read and the claims window called for
// a change.
BrowseButton openButton(const ClaimsWindow& claims)
{
    return customButton("&Open", [&claims](BrowseEngine& browse) {
        if (browse.entryCount() == 0 || !workplace) return;
        browse.call(Request::Change, [&claims] { claims.run(*workplace, QApplication::activeWindow()); });
    });
}

void printHistory(BrowseEngine& browse)
{
    if (browse.entryCount() == 0) return;
    startAccountReport(QLatin1String(kHistory), 0, data::PAT.PAT.asInt(), QApplication::activeWindow());
}

// The response is Cancelled (the engine's own); the backup runs on by itself.
void closeAndBackUp(BrowseEngine& browse)
{
    managers::startBackup(QApplication::activeWindow());
    browse.close();
}

// The standard Close, which starts the backup first.
BrowseButton closeButton()
{
    BrowseButton b{"&Close"};
    b.action = closeAndBackUp;
    return b;
}

} // namespace

BrowsePanel accountPanel()
{
    return DetailPanel::make({
        detailLocator("PATIENT BROWSER:", "PAT:LNAME", 12),
        detailGroup("Address"),
        detail("", "PAT:ADD1", "@s28"),
        detailComputed("", "CITYLINE", "@s36", managers::patientCityLine),
        detailGroup(""),
        detail("Home/Cell phone number", "PAT:HAREA", "@p(###)p"),
        detail("", "PAT:HPHON", "@s10").beside(),
        detail("Work phone number", "PAT:WAREA", "@p(###)p"),
        detail("", "PAT:WPHON", "@s10").beside(),
        detail("Gender Status", "PAT:SEX", "@s1").tip("Male/Female"),
        detail("Date Of Birth", "PAT:BDATE", "@D2"),
        detail("$ Account Balance:", "PAT:NOWBALAN", "@n-18.2"),
    });
}

BrowseDefinition accountBrowseOf(const AccountBrowseKind& kind)
{
    std::vector<BrowseButton> buttons;
    if (kind.printHistory) buttons.push_back(customButton("&Print history", printHistory));
    for (BrowseButton b : {openButton(kind.claims), closeButton(), BrowseButton("Help")}) buttons.push_back(b);
    return BrowseDefinition{
        .file = "Patient",
        .title = kind.title,
        .listTip = kind.listTip,
        .format = "112L(2)|F@s28@24R(2)|F@n05@",
        .queue = {"PAT:LNAME", "PAT:PAT", "PAT:ADD1", "PAT:ADD2", "PAT:ADD3", "PAT:ADD4", "PAT:HAREA", "PAT:HPHON",
                  "PAT:WAREA", "PAT:WPHON", "PAT:SEX", "PAT:BDATE", "PAT:NOWBALAN"},
        .orders = {{"PAT:LNAMEKEY"}},
        .buttons = std::move(buttons),
        .helpTopic = kind.helpTopic,
        .activateButton = "&Open",
        .popup = {{"&Open", "&Open", PopupItem::Enabled::WithEntries}},
    };
}

const BrowseDefinition& accountBrowse()
{
    static const BrowseDefinition def = accountBrowseOf({
        .title = "Patient Account Browser",
        .listTip = "Patient Account Browser ...",
        .helpTopic = kAccountBrowserHelp,
        .printHistory = true,
        .claims = patientClaimsWindow(),
    });
    return def;
}

QMdiSubWindow* openAccountBrowseWindow(const BrowseDefinition& def, QMdiArea* area, const Workplace& place)
{
    workplace = place;
    return BrowseWindow::openInMdi(def, area, accountPanel());
}

QMdiSubWindow* openAccountBrowser(QMdiArea* area, const Workplace& place)
{
    return openAccountBrowseWindow(accountBrowse(), area, place);
}

} // namespace kestrel::claims
