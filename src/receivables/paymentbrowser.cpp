#include "receivables/paymentbrowser.h"

#include "receivables/receivablesbrowser.h"

#include <QApplication>

namespace kestrel::receivables {

const claims::ClaimsWindow& paymentBrowser()
{
    static const claims::ClaimsWindow window{{
        .title = "Payment Browser",
        .prompt = "Payment of:",
        .listTip = "Invoice browser ...",
        .moneyPicture = "@n-18.2",
        .helpTopic = kPaymentBrowserHelp,
        .printButtons = false,
        .changeClaim = [] { runReceivablesBrowser(QApplication::activeWindow()); },
    }};
    return window;
}

const shell::BrowseDefinition& paymentAccountBrowse()
{
    static const shell::BrowseDefinition def = claims::accountBrowseOf({
        .title = "Payment Account Browser",
        .listTip = "Account Payment Browser ...",
        .helpTopic = kPaymentAccountsHelp,
        .printHistory = false,
        .claims = paymentBrowser(),
    });
    return def;
}

QMdiSubWindow* openPaymentAccountBrowser(QMdiArea* area, const claims::Workplace& place)
{
    return claims::openAccountBrowseWindow(paymentAccountBrowse(), area, place);
}

} // namespace kestrel::receivables
