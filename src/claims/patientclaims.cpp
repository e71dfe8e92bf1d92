#include "claims/patientclaims.h"

#include "claims/accountreports.h"
#include "claims/claimform.h"
#include "claims/lookups.h"
#include "data/records.h"
#include "managers/patientbrowse.h"
#include "platform/cp1252.h"
#include "platform/picture.h"
#include "shell/browselist.h"
#include "shell/callprotocol.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"
#include "shell/listunderfields.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace kestrel::claims {

using namespace shell;
using platform::Decimal;

namespace {

// The four sums over the patient's claims, each with two places.
struct AccountSums {
    Decimal charges = Decimal::fromUnits(0, 2);      // INV:TFEE
    Decimal adjustments = Decimal::fromUnits(0, 2);  // INV:TADJ
    Decimal payments = Decimal::fromUnits(0, 2);     // INV:TPAY
    Decimal balance = Decimal::fromUnits(0, 2);      // INV:BDUE: the account balance
};

// One opening of the window: what its hooks share besides the buffers.
struct AccountSession {
    AccountSession(const ClaimsWindow& k, const Workplace& w) : kind(k), place(w) {}
    const ClaimsWindow& kind;
    Workplace place;
    AccountSums sums;
    FormEngine* engine = nullptr;
    FormWindow* window = nullptr;
    BrowseList* list = nullptr;
    QLabel* balance = nullptr;
    bool redisplaying = false;
};

AccountSession* current = nullptr;

QString money(const Decimal& d)
{
    const QString pictureText = current ? current->kind.kind().moneyPicture : QStringLiteral("@n-17.2");
    const auto picture = platform::Picture::parse(QStringView(pictureText));
    return picture ? picture->format(platform::FieldValue(d)).trimmed() : QString::fromStdString(d.toString());
}

// ------------------------------------------------------------- the claims

// The view joins each claim with its provider and both insureds, so that an
// entry copied back also brings the plan names of its claim.
void readJoined()
{
    data::PRV.PRV.set(data::INV.PRV.value());
    lookUp(data::file::Provider, "PRV:PRVKEY");
    data::IN1.INS1ID = data::INV.PRIMARY;
    lookUp(data::file::Insured1, "IN1:INS1IDKEY");
    data::IN2.INS2ID = data::INV.SECONDARY;
    lookUp(data::file::Insured2, "IN2:INS2IDKEY");
}

// Add: the list has cleared the claim and set INV:PAT to its range value.
void callClaimForm()
{
    runClaimForm(current ? current->place.root.iniFile() : QString(), QApplication::activeWindow());
}

// The sums over every claim of the range, from its start: after the fill
// for the patient and after every call of the claim form. A read error has
// closed the list; the window goes too.
void sumClaims()
{
    AccountSession* s = current;
    if (!s || !s->list) return;
    const auto sums = s->list->engine().sumView(
        {QStringLiteral("INV:TFEE"), QStringLiteral("INV:TADJ"), QStringLiteral("INV:TPAY"), QStringLiteral("INV:BDUE")});
    if (!sums) {
        if (s->engine && !s->engine->isClosed()) s->engine->cancel();
        return;
    }
    s->sums = {(*sums)[0], (*sums)[1], (*sums)[2], (*sums)[3]};
    if (s->balance) s->balance->setText(money(s->sums.balance));
}

// The plan names above the list are the highlighted claim's (none for an
// empty list).
void showPlanNames()
{
    AccountSession* s = current;
    if (!s || !s->engine || s->redisplaying) return;
    if (s->list && s->list->engine().entryCount() == 0) {
        data::IN1.INS1CARNAME.set("");
        data::IN2.INS2CARNAME.set("");
    }
    s->engine->redisplay();
}

// The list's Add, Change and Delete: the claim data form, unless the kind
// changes claims its own way (and then neither adds nor deletes them).
void updateClaim()
{
    if (current && current->kind.kind().changeClaim) current->kind.kind().changeClaim();
    else callClaimForm();
}

BrowseDefinition claimsList(const ClaimsWindowKind& kind)
{
    const QString money = QStringLiteral("~C(0)") + kind.moneyPicture + QLatin1Char('@');
    std::vector<BrowseButton> buttons{"&Add", "&Change", "&Delete"};
    if (kind.changeClaim) {
        buttons[0] = buttons[0].doesNothing();
        buttons[2] = buttons[2].doesNothing();
    }
    return BrowseDefinition{
        .file = "Invoice",
        .list = 2,
        .title = kind.listTip,
        .listTip = kind.listTip,
        .format = "22R(2)|M~PRV~C(0)@n03@28R(2)|M~Account~C(0)@n05@40R(2)|M~Invoice~C(0)@n08@"
                  "44R(2)|M~Date~C(0)@D2@50R(2)|M~$ Charges" + money + "50R(2)|M~$ Payment" + money +
                  "50R(2)|M~$ Adjustment" + money + "50R(2)|M~$ Balance" + money,
        .queue = {"INV:PRV", "INV:PAT", "INV:INV", "INV:DATE", "INV:TFEE", "INV:TPAY", "INV:TADJ", "INV:BDUE",
                  "IN1:INS1CARNAME", "IN2:INS2CARNAME", "PRV:PRV", "IN1:INS1ID", "IN2:INS2ID"},
        // The patient's claims by provider, then by claim number.
        .orders = {BrowseOrder("INV:PATPRVINVKEY", {"PAT:PAT"}, "INV:PAT = BRW2::Sort1:Reset:PAT:PAT")},
        .buttons = std::move(buttons),
        .alsoUses = {"Provider", "Insured1", "Insured2"},
        .updateForm = updateClaim,
        .onRecordRead = readJoined,
        .onReloaded = sumClaims,
        .afterCall = sumClaims,
        .onSelectionMoved = showPlanNames,
    };
}

// ------------------------------------------------------------- the window

QString cityLine() { return platform::cp1252::toQString(managers::patientCityLine()); }

// Refresh (never during Save's pass, which the engine skips): the city line
// is computed by its control; the list follows the patient.
void followPatient(FormContext&)
{
    AccountSession* s = current;
    if (!s || !s->list || s->redisplaying) return;
    s->redisplaying = true;
    s->list->refresh();
    s->redisplaying = false;
}

// Save and Close store the account balance with the patient.
void storeBalance(FormContext&)
{
    if (current) data::PAT.NOWBALAN.set(current->sums.balance);
}

// A print button: the highlighted claim re-read, then its report started
// from the claim's and the patient's numbers as they are now.
void printButton(const char* report)
{
    AccountSession* s = current;
    if (!s || !s->list || s->list->engine().entryCount() == 0) return;
    s->list->engine().getRecord();
    startAccountReport(QLatin1String(report), data::INV.INV.asInt(), data::PAT.PAT.asInt(), s->window);
    s->engine->redisplay();
}

struct PrintButton {
    const char* text;
    const char* report;
};
constexpr PrintButton kPrintButtons[] = {
    {"Print plan claim/blank form", kPlanClaimBlankForm},
    {"Print plan claim/CMS form", kPlanClaimCmsForm},
    {"Print other plan claim/blank form", kOtherClaimBlankForm},
    {"Print other plan claim/CMS form", kOtherClaimCmsForm},
    {"Print statement", kStatement},
};

constexpr int kPageWidth = 840;
constexpr int kBalanceWidth = 200;

// The print buttons in a column at the right of the patient's fields; the
// list under the fields and the buttons, the account balance under the list
// at its right; the window grows to hold them.
void buildWindow(FormWindow& w)
{
    AccountSession* s = current;
    if (!s) return;
    s->engine = &w.engine();
    s->window = &w;
    QWidget* page = w.sheet()->widget(0);
    ListUnderFields layout(w, kPageWidth);
    const int rowH = layout.rowHeight();

    std::vector<QPushButton*> prints;
    int buttonW = 0;
    for (const PrintButton& p : kPrintButtons) {
        if (!s->kind.kind().printButtons) break;
        auto* b = new QPushButton(QString::fromLatin1(p.text), page);
        b->setAutoDefault(false);
        buttonW = std::max(buttonW, b->sizeHint().width() + 8);
        QObject::connect(b, &QPushButton::clicked, b, [report = p.report] { printButton(report); });
        prints.push_back(b);
    }
    constexpr int kGap = ListUnderFields::kGap;
    int y = ListUnderFields::kMargin;
    for (QPushButton* b : prints) {
        b->setGeometry(ListUnderFields::kMargin + layout.width() - buttonW, y, buttonW, rowH + 2);
        y += rowH + 2 + kGap;
    }
    layout.keepBelow(y - kGap);

    s->list = layout.placeList(s->kind.list());
    s->balance = layout.addSum(QStringLiteral("accountBalance"), kBalanceWidth);
    s->balance->setText(money(s->sums.balance));
    s->list->start();
}

FormDefinition claimsForm(const ClaimsWindowKind& kind)
{
    return FormDefinition{
        .file = "Patient",
        .title = kind.title,
        .insertTitle = kind.title,
        .changeTitle = kind.title,
        .helpTopic = kind.helpTopic,
        .buttons = {"&Save", "&Close", "Help"},
        .tabs = {{"Account", {
            entry(kind.prompt, "PAT:LNAME", "@s29").ditto(),
            entry("", "PAT:ADD1", "@s29").ditto(),
            shownComputed("", cityLine, "@s36"),
            entry("Home/Cell phone number", "PAT:HAREA", "@p(###)p").ditto(),
            entry("", "PAT:HPHON", "@s10").ditto().beside(),
            entry("Work phone number", "PAT:WAREA", "@p(###)p").ditto(),
            entry("", "PAT:WPHON", "@s10").ditto().beside(),
            shown("Insurance Plan or Program Name", "IN1:INS1CARNAME", "@s29"),
            shown("Other Insurance Plan or Program Name", "IN2:INS2CARNAME", "@s29"),
        }}},
        .alsoUses = {"Invoice", "Item", "Provider", "Insured1", "Insured2"},
        .closeSaves = true,
        .escapeCloses = false,
        .onSaving = storeBalance,
        .onRedisplay = followPatient,
        .onWindowBuilt = buildWindow,
    };
}

} // namespace

ClaimsWindow::ClaimsWindow(ClaimsWindowKind kind)
    : kind_(std::move(kind)), form_(claimsForm(kind_)), list_(claimsList(kind_))
{
}

Response ClaimsWindow::run(const Workplace& place, QWidget* parent) const
{
    AccountSession session(*this, place);
    AccountSession* outer = current;
    current = &session;
    const Response response = runForm(form_, parent);
    current = outer;
    return response;
}

const ClaimsWindow& patientClaimsWindow()
{
    static const ClaimsWindow window{{
        .title = "Patient Account Browser",
        .prompt = "Account of:",
        .listTip = "nvoice Browser ...",
        .moneyPicture = "@n-17.2",
        .helpTopic = kPatientClaimsHelp,
        .printButtons = true,
    }};
    return window;
}

const FormDefinition& patientClaimsForm() { return patientClaimsWindow().form(); }

Response runPatientClaims(const Workplace& place, QWidget* parent) { return patientClaimsWindow().run(place, parent); }

} // namespace kestrel::claims
