#include "claims/menu.h"

#include "claims/accountbrowser.h"
#include "shell/mainwindow.h"

namespace kestrel::claims {

void connectMenu(shell::MainWindow& frame)
{
    QMdiArea* area = frame.mdiArea();
    const Workplace place{frame.root()};
    frame.setProcedure(shell::MenuItem::InvoiceBrowser, [area, place] { openAccountBrowser(area, place); });
}

} // namespace kestrel::claims
