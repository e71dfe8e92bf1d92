#include "claims/claimsession.h"

#include "claims/serviceeditor.h"
#include "data/file_access.h"
#include "data/messages.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "shell/browselist.h"
#include "shell/callprotocol.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::claims {

using namespace shell;
namespace errc = platform::errc;

namespace {

ClaimSession* current = nullptr;

// The editor for the list's Add, Change and Delete (Add has primed the
// line with the claim's number, patient and provider).
void callEditor()
{
    ClaimSession* s = claimSession();
    const Request request = CallRequest;
    const Response response = runServiceEditor(s ? s->iniFile : QString(), QApplication::activeWindow());
    // The editor's add leaves the Item file on the new line.
    if (s && s->reserved > 0 && request == Request::Insert && response == Response::Completed)
        s->addedLines.push_back(data::recordFile(data::file::Item).position());
}

// The claim total follows the lines: at every fill for a claim and after
// every editor call. A read error has closed the list; the form goes too.
void sumLines()
{
    ClaimSession* s = claimSession();
    if (!s || !s->list) return;
    const auto sums = s->list->engine().sumView({QStringLiteral("ITM:FEE")});
    if (!sums) {
        if (s->engine && !s->engine->isClosed()) s->engine->cancel();
        return;
    }
    s->total = (*sums)[0];
    if (s->showTotal) s->showTotal();
}

const BrowseDefinition& serviceListDefinition()
{
    static const BrowseDefinition def{
        .file = "Item",
        .list = 2,
        .title = "Service Browser ...",
        .listTip = "Service Browser ...",
        .format = "44L(2)|M~Date~@d2@16C|M~POS~@s2@16C|M~EMG~@s2@36L(2)|M~CPT/HCPCS~@s7@16C|M~Mod~@s2@"
                  "120L(2)|M~Description~@s48@28L(2)|M~Dx Pointer~@s6@20C|M~Units~@s3@"
                  "52L(2)|M~Rendering ID#~@s17@56R(2)|M~$ Charges~@n-14.2@",
        .queue = {"ITM:DOSF", "ITM:POS", "ITM:EMG", "ITM:CPT", "ITM:MOD1", "ITM:DES", "ITM:DXL", "ITM:QTY",
                  "ITM:F24J", "ITM:FEE", "ITM:INV"},
        // The claim's lines by date of service; the claim number holds the
        // range in the key, patient and provider are limited by the filter.
        // Service lines only: a charge of at least 0.00 and none of the five
        // transaction codes (compared as numbers).
        .orders = {BrowseOrder(
                       "ITM:INVDOSKEY", {"INV:INV", "INV:PAT", "INV:PRV"},
                       "ITM:PAT = BRW2::Sort1:Reset:INV:PAT AND ITM:PRV = BRW2::Sort1:Reset:INV:PRV AND "
                       "ITM:INV = BRW2::Sort1:Reset:INV:INV AND (ITM:FEE > -.01 AND ITM:CPT<>000001  AND "
                       "ITM:CPT<>000002 AND ITM:CPT<>000003 AND ITM:CPT<>000004 AND ITM:CPT<>000005 )")
                       .limiting({"ITM:INV", "ITM:PAT", "ITM:PRV"})},
        .buttons = {"&Add", "&Delete", "&Change"},
        .popup = {{"&Add", "&Add"},
                  {"&Change", "&Change", PopupItem::Enabled::WithEntries},
                  {"&Delete", "&Delete", PopupItem::Enabled::WithEntries}},
        .updateForm = callEditor,
        .onReloaded = sumLines,
        .afterCall = sumLines,
    };
    return def;
}

} // namespace

ClaimSession* claimSession() { return current; }
void setClaimSession(ClaimSession* session) { current = session; }

BrowseList* addServiceList(FormWindow& window, int tab, const QRect& place)
{
    ClaimSession* s = claimSession();
    auto* list = new BrowseList(serviceListDefinition(), &window);
    if (s) s->list = list;
    list->placeOnTab(window.sheet(), tab, place);
    return list;
}

bool abandonNewClaim(long long number, const std::vector<std::string>& addedLines)
{
    using data::INV;
    using data::ITM;
    data::FileUse use{&data::file::Invoice, &data::file::Item};
    platform::RecordFile& claims = data::recordFile(data::file::Invoice);
    platform::RecordFile& items = data::recordFile(data::file::Item);
    const data::InvoiceRecord keptClaim = INV;
    const data::ItemRecord keptLine = ITM;
    auto restore = [&] {
        INV = keptClaim;
        ITM = keptLine;
    };
    platform::Transaction t{&claims, &items};
    if (t.start() != errc::Ok) {
        data::captureError(t);
        data::standardMessage(data::MessageNo::TransactionFramingError, QStringLiteral("Delete"), QStringLiteral("Invoice"));
        restore();
        return false;
    }
    auto fail = [&](const char* file) {
        data::captureError(t);
        data::standardMessage(data::MessageNo::DeleteOperationError, QString::fromLatin1(file));
        restore();
        return false;
    };
    // Every line under the number: the number was free when the claim
    // took it, so they are this claim's.
    int rc = errc::Ok;
    for (;;) {
        data::clearRecord(data::file::Item, data::bytesOf(ITM));
        ITM.INV.set(platform::Decimal(number));
        rc = items.set(data::file::Item.keyIndex("ITM:INVDOSKEY"));
        if (rc == errc::Ok) rc = items.next();
        if (rc != errc::Ok || ITM.INV.asInt() != number) break;
        if (items.remove() != errc::Ok) return fail("Item");
    }
    if (rc != errc::Ok && rc != errc::NoRecord) return fail("Item");
    // Lines added after the number was typed over: those still on file.
    for (const std::string& at : addedLines) {
        rc = items.reget(at);
        if (rc == errc::Ok && items.remove() != errc::Ok) return fail("Item");
        if (rc != errc::Ok && rc != errc::NoRecord) return fail("Item");
    }
    INV.INV.set(platform::Decimal(number));
    rc = claims.get(data::file::Invoice.keyIndex("INV:INVKEY"));
    if (rc == errc::Ok && claims.remove() != errc::Ok) return fail("Invoice");
    if (rc != errc::Ok && rc != errc::NoRecord) return fail("Invoice");
    if (t.commit() != errc::Ok) return fail("Invoice");
    restore();
    return true;
}

} // namespace kestrel::claims
