#include "managers/rendering.h"

#include "platform/inifile.h"
#include "shell/browsewindow.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"
#include "shell/geometry.h"

#include <QApplication>
#include <QDialog>
#include <QVBoxLayout>

namespace kestrel::managers {

using namespace shell;

const BrowseDefinition& renderingBrowse()
{
    static const BrowseDefinition def{
        .file = "Rendering",
        .title = "Browse the Rendering File",
        .listTip = "Browsing Records",
        .format = "85L(2)|M~Provider Name~@s40@40L|M~NPI Number~R@s11@13C|M~QL~@s2@72L|M~Non-NPI Number~R@s17@",
        .queue = {"REN:F24JNAME", "REN:F24J", "REN:F24JQ", "REN:F24JNNPI"},
        // No key: the records in the order they were stored.
        .orders = {BrowseOrder()},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
        .helpTopic = "F24jBrowser",
        .updateForm = [] { runForm(renderingForm(), QApplication::activeWindow()); },
    };
    return def;
}

const FormDefinition& renderingForm()
{
    // No duplicate-key literal and no closing rule: several providers may
    // share an identifier, and a failed add is an insert error.
    static const FormDefinition def{
        .file = "Rendering",
        .title = "Update the Rendering File",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "F24jEditor",
        .buttons = {"&Save", "&Close"},
        .tabs = {{"Rendering Provider", {
            entry("NPI ID Number", "REN:F24J", "@s10").tip("Renderng Provider ID#").ditto(),
            entry("Rendering Provider", "REN:F24JNAME", "@s40").tip("REFERRING NAME").ditto(),
            entry("Qualifier", "REN:F24JQ", "@s2").tip("Qualifier ID").ditto(),
            entry("Non-NPI ID Number", "REN:F24JNNPI", "@s11").tip("17b.").ditto(),
        }}},
    };
    return def;
}

shell::Response selectRendering(const QString& iniFile, QWidget* parent)
{
    const QString section = QLatin1String(kRenderingGeometrySection);
    QDialog dialog(parent);
    dialog.setWindowTitle(renderingBrowse().title);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* browse = new BrowseWindow(renderingBrowse(), &dialog);
    layout->addWidget(browse);
    dialog.resize(browse->size());

    platform::IniFile ini(iniFile);
    WidgetGeometry geometry(&dialog);
    restoreGeometry(geometry, ini, section);

    // Esc or the close box: the browse is closed by other means.
    QObject::connect(&dialog, &QDialog::finished, browse, [browse] { browse->engine().close(); });
    dialog.exec();
    browse->engine().close();
    const Response response = CallResponse;

    saveGeometry(WidgetGeometry(&dialog), ini, section);
    QString error;
    if (!ini.sync(&error)) qWarning("Rendering browser position not saved: %s", qPrintable(error));
    return response;
}

} // namespace kestrel::managers
