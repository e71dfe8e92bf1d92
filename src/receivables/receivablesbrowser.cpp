#include "receivables/receivablesbrowser.h"

#include "data/claimtotals.h"
#include "data/integrity.h"
#include "data/records.h"
#include "platform/picture.h"
#include "receivables/receivableseditor.h"
#include "shell/browselist.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"
#include "shell/listunderfields.h"

#include <QApplication>
#include <QLabel>
#include <QTabWidget>

#include <optional>

namespace kestrel::receivables {

using namespace shell;
using platform::Decimal;

namespace {

// One opening of the window: what its hooks share besides the buffers.
struct ReceivablesSession {
    Decimal payments = Decimal::fromUnits(0, 2);     // -> INV:TPAY
    Decimal adjustments = Decimal::fromUnits(0, 2);  // -> INV:TADJ
    FormEngine* engine = nullptr;
    BrowseList* list = nullptr;
    QLabel* paymentSum = nullptr;
    bool redisplaying = false;
};

ReceivablesSession* current = nullptr;

constexpr char16_t kSumPicture[] = u"@n-26.2";

QString money(const Decimal& d)
{
    const auto picture = platform::Picture::parse(QStringView(kSumPicture));
    return picture ? picture->format(platform::FieldValue(d)).trimmed() : QString::fromStdString(d.toString());
}

// ------------------------------------------------------------- the lines

void callEditor() { runReceivablesEditor(QApplication::activeWindow()); }

// Both sums over every line of the claim, from the start of the view: after
// the fill for the claim and after every editor call. A read error has
// closed the list; the window goes too.
void sumLines()
{
    ReceivablesSession* s = current;
    if (!s || !s->list) return;
    const auto sums = s->list->engine().sumView({QStringLiteral("ITM:FEE"), QStringLiteral("ITM:ADJ")});
    if (!sums) {
        if (s->engine && !s->engine->isClosed()) s->engine->cancel();
        return;
    }
    s->payments = data::money((*sums)[0]);
    s->adjustments = data::money((*sums)[1]);
    if (s->paymentSum) s->paymentSum->setText(money(s->payments));
}

// The benefit amounts shown are the highlighted line's (none for an empty
// list).
void showHighlightedLine()
{
    ReceivablesSession* s = current;
    if (!s || !s->engine || s->redisplaying) return;
    if (s->list && s->list->engine().entryCount() == 0)
        for (auto* field : {&data::ITM.ALW, &data::ITM.DED, &data::ITM.NONCOV, &data::ITM.ADJ})
            field->set(Decimal::fromUnits(0, 2));
    s->engine->redisplay();
}

const BrowseDefinition& transactionList()
{
    static const BrowseDefinition def{
        .file = "Item",
        .list = 2,
        .title = "Payment Browser ...",
        .listTip = "Payment Browser ...",
        .format = "44L(2)|M~Date~@d2@28L(2)|M~Code~@s6@100L(2)|M~Issued by/to:~@s28@"
                  "84L(2)|M~Check/Claim reference~@s24@60R(2)|M~$ Amount~@n-14.2@",
        .queue = {"ITM:DOSF", "ITM:CPT", "ITM:DES", "ITM:EXP", "ITM:FEE", "ITM:ALW", "ITM:ADJ", "ITM:DED",
                  "ITM:NONCOV", "ITM:INV"},
        // The claim's lines by date; the claim number holds the range in the
        // key, patient and provider are limited by the filter. Transaction
        // lines only, their codes compared as numbers.
        .orders = {BrowseOrder(
                       "ITM:INVDOSKEY", {"INV:INV", "INV:PAT", "INV:PRV"},
                       "ITM:PAT = BRW2::Sort1:Reset:INV:PAT AND ITM:PRV = BRW2::Sort1:Reset:INV:PRV AND "
                       "ITM:INV = BRW2::Sort1:Reset:INV:INV AND (ITM:CPT=000001 OR ITM:CPT=000002 OR "
                       "ITM:CPT=000003 OR ITM:CPT=000004 OR ITM:CPT=000005)")
                       .limiting({"ITM:INV", "ITM:PAT", "ITM:PRV"})},
        .buttons = {"&Add", "&Change", "&Delete"},
        .updateForm = callEditor,
        .onReloaded = sumLines,
        .afterCall = sumLines,
        .onSelectionMoved = showHighlightedLine,
    };
    return def;
}

// ------------------------------------------------------------- the window

// A field of the claim's patient, as the window looked it up (into a buffer
// of its own: the payment browser is editing the Patient buffer).
QString patientField(const char* field)
{
    return current && current->engine ? current->engine->text(QLatin1String(field)) : QString();
}

// City, two blanks, state, one blank, zip.
QString cityLine()
{
    return (patientField("PAT:ADD2").trimmed() + QStringLiteral("  ") + patientField("PAT:ADD3").trimmed() +
            QLatin1Char(' ') + patientField("PAT:ADD4"))
        .left(36);
}

// Refresh (never during Save's pass): the list follows the claim.
void followClaim(FormContext&)
{
    ReceivablesSession* s = current;
    if (!s || !s->list || s->redisplaying) return;
    s->redisplaying = true;
    s->list->refresh();
    s->redisplaying = false;
}

// Save and Close store the sums and the balance with the claim.
void storeFigures(FormContext&)
{
    if (!current) return;
    data::INV.TPAY.set(current->payments);
    data::INV.TADJ.set(current->adjustments);
    data::setBalanceDue(data::INV);
}

constexpr int kPageWidth = 800;
constexpr int kSumWidth = 220;

// The list under the claim's fields, the payment sum under the list at its
// right; the window grows to hold them.
void buildWindow(FormWindow& w)
{
    ReceivablesSession* s = current;
    if (!s) return;
    s->engine = &w.engine();
    ListUnderFields layout(w, kPageWidth);
    s->list = layout.placeList(transactionList());
    s->paymentSum = layout.addSum(QStringLiteral("paymentSum"), kSumWidth);
    s->paymentSum->setText(money(s->payments));
    s->list->start();
}

} // namespace

const FormDefinition& receivablesBrowser()
{
    static const FormDefinition def{
        .file = "Invoice",
        .title = "Receivables Browser",
        .insertTitle = "Receivables Browser",
        .changeTitle = "Receivables Browser",
        .helpTopic = kReceivablesBrowserHelp,
        .buttons = {"&Save", "&Close", "Help"},
        .tabs = {{"Receivables", {
            entry("Account", "INV:PAT", "@n06").ditto(),
            entry("Claim", "INV:INV", "@n07").ditto().beside(),
            shown("", "PAT:LNAME", "@s29"),
            shown("", "PAT:ADD1", "@s29"),
            shownComputed("", cityLine, "@s36"),
            heading("Benefit and deductions:"),
            shown("$ Allowed", "ITM:ALW", "@n-14.2"),
            shown("$ Deduct/Copay", "ITM:DED", "@n-14.2").beside(),
            shown("$ Denial", "ITM:NONCOV", "@n-14.2"),
            shown("$ Adjustment", "ITM:ADJ", "@n-14.2").beside(),
        }}},
        .alsoUses = {"Facility", "Insured1", "Insured2", "Item", "Provider", "Referring"},
        .related = {RelatedRecord{"Patient", "PAT:PATKEY", {{"PAT:PAT", "INV:PAT"}}}.keptApart()},
        .closeSaves = true,
        .escapeCloses = false,
        .onSaving = storeFigures,
        .onRedisplay = followClaim,
        .onWindowBuilt = buildWindow,
    };
    return def;
}

Response runReceivablesBrowser(QWidget* parent)
{
    ReceivablesSession session;
    ReceivablesSession* outer = current;
    current = &session;
    std::optional<data::ClaimSnapshotHold> hold;
    if (CallRequest == Request::Change) hold.emplace();
    runForm(receivablesBrowser(), parent);
    const Response response = CallResponse;
    hold.reset();
    current = outer;
    CallResponse = response;
    return response;
}

} // namespace kestrel::receivables
