#include "managers/payer.h"

#include "managers/closingrules.h"
#include "data/file_access.h"
#include "data/records.h"
#include "shell/detailpanel.h"
#include "platform/recordfile.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::managers {

using namespace shell;

const BrowseDefinition& payerBrowse()
{
    static const BrowseDefinition def{
        .file = "Payer",
        .title = "Insurance Plan or Program Name Browser",
        .heading = "INSURANCE PLAN or PROGRAM NAME MANAGER",
        .listTip = "Healthcare Carrier Browser ...",
        .format = "168L(2)|M~Insurance Plan or Program Name~@s41@",
        // The name is the list's column; the rest of the plan rides along so
        // that the lines under the list follow the highlight.
        .queue = {"HIC:HICNAME", "HIC:HICADD1", "HIC:HICADD2", "HIC:HICADD3", "HIC:HICPHONE", "HIC:HICFAX"},
        .orders = {{"HIC:NAMEKEY"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
        .updateForm = [] { runForm(payerForm(), QApplication::activeWindow()); },
    };
    return def;
}

BrowsePanel payerPanel()
{
    return DetailPanel::make({
        detail("Address 1", "HIC:HICADD1", "@s41"),
        detail("Address 2", "HIC:HICADD2", "@s41"),
        detail("City State and Zip Code", "HIC:HICADD3", "@s41"),
        detail("Telephone number", "HIC:HICPHONE", "@s12"),
        detail("Fax number", "HIC:HICFAX", "@s12"),
    });
}

const FormDefinition& payerForm()
{
    static const FormDefinition def{
        .file = "Payer",
        .title = "Insurance Plan or Program Name Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .buttons = {"&Save", "&Cancel"},
        .tabs = {{"Insurance Plan or Program Name", {
            // A plan name accepted blank leaves the form, writing nothing.
            entry("Insurance Plan or Program Name", "HIC:HICNAME", "@s41").accepting(closeIfBlank()),
            entry("Address 1", "HIC:HICADD1", "@s41"),
            entry("Address 2", "HIC:HICADD2", "@s41"),
            entry("City State and Zip Code", "HIC:HICADD3", "@s41"),
            entry("Telephone number", "HIC:HICPHONE", "@s12"),
            entry("Fax number", "HIC:HICFAX", "@s12"),
        }}},
        .duplicateKey = DuplicateKey{"HIC:NAMEKEY", "HIC:NameKey"},
    };
    return def;
}

QMdiSubWindow* openPayerManager(QMdiArea* area)
{
    return BrowseWindow::openInMdi(payerBrowse(), area, payerPanel());
}

shell::Response selectPayer(QWidget* parent)
{
    return BrowseWindow::runModal(payerBrowse(), parent, payerPanel());
}

bool findPlanNamed(const QString& name, int storedWidth, data::PayerRecord* plan)
{
    const platform::FileDef& def = data::file::Payer;
    const data::PayerRecord kept = data::HIC;
    auto found = [&](bool ok) {
        if (ok) *plan = data::HIC;
        else data::clearRecord(def, data::bytesOf(*plan));
        data::HIC = kept;
        return ok;
    };

    QString wanted = name;
    while (wanted.endsWith(QLatin1Char(' '))) wanted.chop(1);
    data::clearRecord(def, data::bytesOf(data::HIC));
    if (wanted.isEmpty() || !data::HIC.HICNAME.setQString(wanted)) return found(false);
    auto& file = data::recordFile(def);
    const int key = def.keyIndex("HIC:NAMEKEY");
    if (file.get(key) == platform::errc::Ok) return found(true);

    // A plan name longer than the insured's field was stored cut to that
    // width: the plan it came from is the first whose name begins with it.
    if (wanted.size() >= storedWidth) {
        data::clearRecord(def, data::bytesOf(data::HIC));
        data::HIC.HICNAME.setQString(wanted);
        if (file.set(key) == platform::errc::Ok && file.next() == platform::errc::Ok &&
            data::HIC.HICNAME.toQString().startsWith(wanted, Qt::CaseInsensitive))
            return found(true);
    }
    return found(false);
}

} // namespace kestrel::managers
