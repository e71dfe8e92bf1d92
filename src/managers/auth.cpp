#include "managers/auth.h"

#include "managers/closingrules.h"
#include "shell/browsewindow.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::managers {

using namespace shell;

const BrowseDefinition& authBrowse()
{
    static const BrowseDefinition def{
        .file = "Auth",
        .title = "Authorized person's signature on file browser",
        .listTip = "Signature records browser ...",
        .format = "49C|F~Date~@D2@128L(4)|F~Authorization signed by:~@s32@",
        // AUT:PAT rides along unseen, so that the highlighted signature in
        // the buffer is whole: the thumb and Locate read its patient.
        .queue = {"AUT:AUTHDATE", "AUT:AUTHSIGN", "AUT:PAT"},
        // The claim's patient only, in date order.
        .orders = {BrowseOrder("AUT:PATAUTHDATEKEY", {}, "(AUT:PAT=INV:PAT)")},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close", "Help"},
        .helpTopic = "SigOnFile",
        .alsoUses = {"Invoice", "Patient"},
        .updateForm = [] { runForm(authForm(), QApplication::activeWindow()); },
    };
    return def;
}

const FormDefinition& authForm()
{
    // Accepting a blank date or a blank name leaves the form.
    static const FormDefinition def{
        .file = "Auth",
        .title = "Authorized person's signature on file editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "AuthorizationEditor",
        .buttons = {"&Save", "&Cancel"},
        .tabs = {{"Signature on file", {
            entry("Date Signed", "AUT:AUTHDATE", "@D2").ditto().accepting(closeIfBlank()),
            entry("Authorization signed by:", "AUT:AUTHSIGN", "@s32").ditto().accepting(closeIfBlank()),
            shown("Account", "AUT:PAT", "@n05"),
        }}},
        // For every request the signature belongs to the claim's patient.
        .onOpening = [](FormContext& f) { f.set("AUT:PAT", f.text("INV:PAT")); },
    };
    return def;
}

shell::Response selectAuth(QWidget* parent) { return BrowseWindow::runModal(authBrowse(), parent); }

} // namespace kestrel::managers
