#include "managers/referring.h"

#include "managers/closingrules.h"
#include "shell/browsewindow.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::managers {

using namespace shell;

const BrowseDefinition& referringBrowse()
{
    static const BrowseDefinition def{
        .file = "Referring",
        .title = "F17. Name of Referring Provider or Other Source Browser",
        .listTip = "Browsing Records",
        .format = "100L(2)|~Referring Provider~@s26@12C|~QL~@s2@50L(2)|~Reference ID#~C(0)@s11@10C@s2@"
                  "64L|~17a~@s17@64L(2)|~17b~L(0)@s17@",
        .queue = {"REF:F17R", "REF:F17Q", "REF:F17ID", "REF:F17AQ", "REF:F17A", "REF:F17B"},
        .orders = {{"REF:F17RNAME"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
        .helpTopic = "ReferringBrowser",
        .selectIsDefault = false,
        .updateForm = [] { runForm(referringForm(), QApplication::activeWindow()); },
    };
    return def;
}

const FormDefinition& referringForm()
{
    // No duplicate-key literal: the file's keys allow duplicates, so a
    // failed add is always reported as an insert error.
    static const FormDefinition def{
        .file = "Referring",
        .title = "F17. Name of Referring Provider or Other Source Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "ReferringEditor",
        .buttons = {"Save", "Close"},
        .tabs = {{"Referring Provider", {
            // An identifier whose number is 0 leaves the form.
            entry("Reference ID#", "REF:F17ID", "@s11").ditto().accepting(closeIfZero()),
            entry("Referring Provider Qualifier", "REF:F17Q", "@s2").tip("Qualifier ID").ditto(),
            entry("Referring Provider Name", "REF:F17R", "@s40").tip("REFERRING NAME").ditto(),
            entry("17a. Qualifier", "REF:F17AQ", "@s2").ditto(),
            entry("", "REF:F17A", "@s17").tip("Other ID").ditto().beside(),
            entry("17b. NPI", "REF:F17B", "@s17").tip("17b.").ditto(),
        }}},
    };
    return def;
}

shell::Response selectReferring(QWidget* parent) { return BrowseWindow::runModal(referringBrowse(), parent); }

} // namespace kestrel::managers
