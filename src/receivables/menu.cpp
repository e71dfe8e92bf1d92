#include "receivables/menu.h"

#include "receivables/paymentbrowser.h"
#include "shell/mainwindow.h"

namespace kestrel::receivables {

void connectMenu(shell::MainWindow& frame)
{
    QMdiArea* area = frame.mdiArea();
    const claims::Workplace place{frame.root()};
    frame.setProcedure(shell::MenuItem::PaymentBrowser, [area, place] { openPaymentAccountBrowser(area, place); });
}

} // namespace kestrel::receivables
