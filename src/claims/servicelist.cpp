#include "claims/claimsession.h"

#include "claims/serviceeditor.h"
#include "data/claimtotals.h"
#include "data/file_access.h"
#include "data/messages.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/formengine.h"

#include <QApplication>

namespace kestrel::claims {

using namespace shell;
namespace errc = platform::errc;

namespace {

ClaimSession* current = nullptr;

// The editor for the list's Add, Change and Delete; afterwards the claim
// total follows the lines and the form shows it.
void callEditor()
{
    if (CallRequest == InsertRecord) {
        data::clearRecord(data::file::Item, data::bytesOf(data::ITM));
        data::ITM.INV.set(data::INV.INV.value());
        data::ITM.PAT.set(data::INV.PAT.value());
        data::ITM.PRV.set(data::INV.PRV.value());
    }
    ClaimSession* s = claimSession();
    runServiceEditor(s ? s->iniFile : QString(), QApplication::activeWindow());
    const int response = CallResponse;
    recomputeTotal();
    if (s && s->engine && !s->engine->isClosed()) s->engine->redisplay();
    CallResponse = response;
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
        // Service lines only: a charge of at least 0.00 and none of the five
        // transaction codes (compared as numbers).
        .orders = {BrowseOrder(
            "ITM:INVDOSKEY", {"INV:INV"},
            "ITM:PAT = INV:PAT AND ITM:PRV = INV:PRV AND ITM:INV = BRW2::Sort1:Reset:INV:INV AND "
            "(ITM:FEE > -.01 AND ITM:CPT<>000001  AND ITM:CPT<>000002 AND ITM:CPT<>000003 AND "
            "ITM:CPT<>000004 AND ITM:CPT<>000005 )")},
        .buttons = {"&Add", "&Delete", "&Change"},
        .popup = {{"&Add", "&Add"},
                  {"&Change", "&Change", PopupItem::Enabled::WithEntries},
                  {"&Delete", "&Delete", PopupItem::Enabled::WithEntries}},
        .updateForm = callEditor,
    };
    return def;
}

} // namespace

ClaimSession* claimSession() { return current; }
void setClaimSession(ClaimSession* session) { current = session; }

ClaimKey currentClaimKey() { return {data::INV.INV.asInt(), data::INV.PAT.asInt(), data::INV.PRV.asInt()}; }

BrowseWindow* addServiceList(QWidget* page, const QRect& place)
{
    // The list is the form's, not a lookup: whatever request the form was
    // called with has been taken over already.
    CallRequest = NoRequest;
    auto* list = new BrowseWindow(serviceListDefinition(), page);
    list->setGeometry(place);
    list->show();
    return list;
}

void followClaimKey()
{
    ClaimSession* s = claimSession();
    if (!s || !s->list) return;
    const ClaimKey key = currentClaimKey();
    if (key == s->listedKey) return;
    s->listedKey = key;
    s->list->engine().windowActivated();
    recomputeTotal();
}

void recomputeTotal()
{
    ClaimSession* s = claimSession();
    if (!s) return;
    const std::optional<data::ClaimFigures> sums = data::sumClaimLines();
    if (!sums) {
        if (s->engine) s->engine->cancel();
        return;
    }
    s->total = sums->charges;
}

bool abandonNewClaim(long long number)
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
    INV.INV.set(platform::Decimal(number));
    rc = claims.get(data::file::Invoice.keyIndex("INV:INVKEY"));
    if (rc == errc::Ok && claims.remove() != errc::Ok) return fail("Invoice");
    if (rc != errc::Ok && rc != errc::NoRecord) return fail("Invoice");
    if (t.commit() != errc::Ok) return fail("Invoice");
    restore();
    return true;
}

} // namespace kestrel::claims
