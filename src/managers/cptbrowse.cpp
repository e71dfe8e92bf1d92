#include "managers/cptbrowse.h"

#include "managers/codetables.h"
#include "shell/browsewindow.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::managers {

using shell::BrowseDefinition;

const BrowseDefinition& cptBrowse()
{
    static const BrowseDefinition def{
        .file = "CPT48",
        .title = "CPT/HCPCS Code Browser",
        .heading = "CPT/HCPCS PROCEDURE CODE MANAGER",
        .listTip = "CPT/HCPCS Code Browser ...",
        .format = "46L(4)|F@s7@80L(4)|F@s128@",
        .queue = {"CPT:CPTCODE", "CPT:CPTDESCRIPTION"},
        // Order 1 by description, order 2 by code: the second tab chooses
        // order 1, any other tab order 2.
        .orders = {{"CPT:CPTDESCRIPTIONKEY"}, {"CPT:CPTCODEKEY"}},
        .tabs = {{"CPT/HCPCS", 2}, {"  Description", 1}},
        .otherTabsOrder = 2,
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "Help", "&Close"},
        .helpTopic = "CPT/HCPCSCodeBrowser",
        .updateForm = [] { shell::runForm(cptForm(), QApplication::activeWindow()); },
    };
    return def;
}

QMdiSubWindow* openCptBrowse(QMdiArea* area)
{
    return shell::BrowseWindow::openInMdi(cptBrowse(), area);
}

shell::Response selectCpt(QWidget* parent)
{
    return shell::BrowseWindow::runModal(cptBrowse(), parent);
}

} // namespace kestrel::managers
