#include "receivables/accountstatus.h"

#include "claims/accountreports.h"
#include "claims/lookups.h"
#include "data/records.h"
#include "platform/fieldvalue.h"
#include "platform/picture.h"
#include "shell/browselist.h"
#include "shell/callprotocol.h"
#include "shell/geometry.h"
#include "shell/helpviewer.h"
#include "shell/mainwindow.h"
#include "shell/menus.h"
#include "shell/resizeradapter.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>

namespace kestrel::receivables {

using namespace shell;
using data::INV;

namespace {

// The designed size: the window never gets smaller, and every control
// below is placed for it; the resizer moves and stretches them from there.
constexpr QSize kDesigned{960, 560};
constexpr int kMargin = 8;     // from the window's edges
constexpr int kSheetTop = 28;  // under the heading
constexpr int kButtonWidth = 84;
constexpr int kRow = 24;       // one line of fields
constexpr int kListTop = 8;    // every page's list starts here
constexpr int kListHeight = 260;
constexpr int kListWidth = 928;
constexpr const char* kMoney = "@n-26.2";
constexpr const char* kAmount = "@n-14.2";

// The lines of the highlighted claim (list n): the key holds provider,
// patient and claim; `which` keeps the services or the other lines.
BrowseOrder claimLines(int list, const char* which)
{
    const QString reset = QStringLiteral("BRW%1::Sort1:Reset:").arg(list);
    return BrowseOrder("ITM:INVPATPRVKEY", {"INV:PRV", "INV:PAT", "INV:INV"},
                       QStringLiteral("ITM:PAT = %1INV:PAT AND ITM:PRV = %1INV:PRV AND ITM:INV = %1INV:INV AND %2")
                           .arg(reset, QLatin1String(which)));
}

QueueFields claimQueue()
{
    QueueFields q{"INV:PRV",  "INV:PAT",  "INV:INV",  "INV:DATE",  "INV:TFEE", "INV:TPAY", "INV:TADJ",
                  "INV:BDUE", "INV:PRIMARY", "INV:SECONDARY"};
    // The diagnosis codes come back with the claim for the Service page.
    for (int k = 1; k <= 12; ++k) q.emplace_back(data::FieldName::named(QStringLiteral("INV:DX%1").arg(k).toStdString()));
    return q;
}

QString display(data::FieldName field, const char* picture)
{
    const data::FieldRef r = field.ref();
    return platform::Picture::from(picture).format(platform::readField(*r.field, r.record()));
}

// The patient's city, state and zip on one line of 36 characters.
QString cityLine()
{
    const auto text = [](data::FieldName f) { return display(f, "@s40").trimmed(); };
    return (text("PAT:ADD2") + QStringLiteral(", ") + text("PAT:ADD3") + QLatin1Char(' ') + text("PAT:ADD4")).left(36);
}

// The record whose key holds `value`, or a blank buffer.
void readRelated(data::FieldName key, data::FieldName claimField, const platform::FileDef& file, const char* keyName)
{
    const data::FieldRef from = claimField.ref();
    const data::FieldRef to = key.ref();
    platform::writeField(*to.field, to.record(), platform::readField(*from.field, from.record()));
    claims::lookUp(file, keyName);
}

} // namespace

struct AccountStatusWindow::Definitions {
    BrowseDefinition claims, services, payments;
};

AccountStatusWindow::AccountStatusWindow(StatusKind kind, QWidget* parent)
    : QWidget(parent), kind_(kind), defs_(std::make_unique<Definitions>())
{
    const bool carrier = kind == StatusKind::Carrier;
    setWindowTitle(carrier ? QStringLiteral("Account Status Browser") : QStringLiteral("Accounts Current Status Browser"));
    defs_->claims = BrowseDefinition{
        .file = "Invoice",
        .list = 1,
        .listTip = carrier ? QStringLiteral("Invoice browser ...") : QStringLiteral("Invoice Browser ..."),
        .format = "24C|M~PRV~@n03@32C|M~Account~@n05@40C|M~Invoice~@n08@44R(2)|M~Date~@D2@"
                  "64R(2)|M~$ Charges~@n-26.2@64R(2)|M~$ Payment~@n-26.2@64R(2)|M~$ Adjustment~@n-26.2@"
                  "64R(2)|M~$ Balance~@n-26.2@",
        .queue = claimQueue(),
        .orders = {BrowseOrder("INV:PATPRVDATEKEY", {},
                               carrier ? QStringLiteral("(INV:PRIMARY<>0  AND INV:BDUE > 0)")
                                       : QStringLiteral("(INV:BDUE > 0)"))},
        .alsoUses = {"Patient", "Insured1", "Insured2", "Provider"},
        .onReloaded = [this] { showTotal(1, claims_, "INV:BDUE"); },
        .onSelectionMoved = [this] { claimMoved(); },
    };
    defs_->services = BrowseDefinition{
        .file = "Item",
        .list = 2,
        .listTip = QStringLiteral("Service Browser ..."),
        .format = "44R(2)|M~Date~@D2@16C|M~POS~@s2@16C|M~EMG~@s2@36L(2)|M~CPT/HCPCS~@s7@16C|M~Mod~@s2@"
                  "120L(2)|M~Description~@s30@28L(2)|M~Dx pointer~@s4@20R(2)|M~Units~@s3@"
                  "64L(2)|M~Rendering NPI~@s17@56R(2)|M~$ Charges~@n-14.2@",
        .queue = {"ITM:DOSF", "ITM:POS", "ITM:EMG", "ITM:CPT", "ITM:MOD1", "ITM:DES", "ITM:DXL", "ITM:QTY",
                  "ITM:F24J", "ITM:FEE"},
        // Code 4 is compared as a number: "00004" and "4" alike.
        .orders = {claimLines(2, "(ITM:FEE > 0 AND ITM:CPT<>000004)")},
        .onReloaded = [this] { showTotal(2, services_, "ITM:FEE"); },
    };
    defs_->payments = BrowseDefinition{
        .file = "Item",
        .list = 3,
        .listTip = QStringLiteral("Payment Browser ..."),
        .format = "44R(2)|M~Date~@d2@36C|M~ Code~@s7@140L(2)|M~Issued by/to:~@s32@104L(2)|M~Check/Claim Reference~@s24@"
                  "56R(2)|M~$ Amount~@n-14.2@",
        .queue = {"ITM:DOSF", "ITM:CPT", "ITM:DES", "ITM:EXP", "ITM:FEE", "ITM:ALW", "ITM:DED", "ITM:ADJ",
                  "ITM:NONCOV"},
        .orders = {claimLines(3, "(ITM:FEE <= 0 OR ITM:CPT=00004)")},
        .onReloaded = [this] { showTotal(3, payments_, "ITM:FEE"); },
        .onSelectionMoved = [this] { paymentMoved(); },
    };

    // Placed by hand at the designed size, so that the resizer can take
    // every control from here (a layout would keep them from it).
    resize(kDesigned);
    auto* heading = new QLabel(carrier ? QStringLiteral("ACCOUNTS CARRIER STATUS:")
                                       : QStringLiteral("ACCOUNTS CURRENT STATUS BROWSER:"),
                               this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    heading->setGeometry(kMargin, 6, kDesigned.width() / 2, kSheetTop - 8);
    sheet_ = new QTabWidget(this);
    for (const char* tab : {"  Record  ", "  Service  ", "  Payment  "}) sheet_->addTab(new QWidget, QLatin1String(tab));
    sheet_->setGeometry(kMargin, kSheetTop, kDesigned.width() - 2 * kMargin,
                        kDesigned.height() - kSheetTop - kRow - 2 * kMargin);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setGeometry(kDesigned.width() - kMargin - kButtonWidth, kDesigned.height() - kMargin - kRow,
                       kButtonWidth, kRow);
    connect(close, &QPushButton::clicked, this, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->close();
        else QWidget::close();
    });
    buildRecordTab();
    buildServiceTab();
    buildPaymentTab();
    setMinimumSize(kDesigned);
}

AccountStatusWindow::~AccountStatusWindow()
{
    // The lists go before the definitions they run on.
    delete claims_;
    delete services_;
    delete payments_;
}

QMdiSubWindow* AccountStatusWindow::openInMdi(StatusKind kind, QMdiArea* area)
{
    clearCallProtocol();
    return showChildWindow(area, new AccountStatusWindow(kind));
}

void AccountStatusWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (started_) return;
    started_ = true;
    // The controls stand where they were designed; the window may have been
    // opened at another size (a child window takes its frame's). They are
    // recorded for the designed size, then follow the size it has.
    const QSize opened = size();
    resize(kDesigned);
    ResizerAdapter::attach(this);
    if (opened != kDesigned) resize(opened.expandedTo(kDesigned));
    // The claims first: the line lists are limited by the claim it leaves in
    // the buffer (none: a blank claim, no lines).
    platform::clearRecord(data::file::Invoice, data::bytesOf(INV));
    claims_->start();
    if (claims_->engine().closed()) return;
    services_->start();
    payments_->start();
}

// ------------------------------------------------------------------ pages

// A prompt or heading on a line of fields, its text level with theirs. The
// resizer makes it taller with the window while the fields keep their
// height: its text stays at the top, where theirs is.
QLabel* AccountStatusWindow::addPrompt(QWidget* page, const QString& text, QPoint at)
{
    auto* p = new QLabel(text, page);
    p->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    p->setContentsMargins(0, std::max(0, (kRow - 4 - p->fontMetrics().height()) / 2), 0, 0);
    p->adjustSize();
    p->move(at);
    return p;
}

QLabel* AccountStatusWindow::addField(QWidget* page, const QString& name, const QString& prompt, int x, int y, int width)
{
    const QRect line(x, y - 2, width, kRow - 4);
    int at = x;
    if (!prompt.isEmpty()) at += addPrompt(page, prompt, line.topLeft())->width() + 6;
    auto* value = new QLabel(page);
    value->setObjectName(name);
    value->setFrameShape(QFrame::StyledPanel);
    value->setGeometry(line.translated(at - x, 0));
    shown_.insert(name, value);
    return value;
}

// Every page: its list at the top, the list's "Current Balance:" under it
// at its right edge. Returns the line of that total.
int AccountStatusWindow::addListPage(int tab, const BrowseDefinition& def, BrowseList*& list)
{
    constexpr int kTotalWidth = 160;
    list = new BrowseList(def);
    const QRect place(8, kListTop, kListWidth, kListHeight);
    list->placeOnTab(sheet_, tab, place);
    const int y = place.bottom() + 13;
    QWidget* page = sheet_->widget(tab);
    QLabel* total = addField(page, QStringLiteral("TOTAL%1").arg(tab + 1), {}, place.right() + 1 - kTotalWidth, y, kTotalWidth);
    total->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLabel* prompt = addPrompt(page, QStringLiteral("Current Balance:"), {});
    prompt->move(total->x() - prompt->width() - 6, total->y());
    return y;
}

void AccountStatusWindow::buildRecordTab()
{
    QWidget* page = sheet_->widget(0);
    int y = addListPage(0, defs_->claims, claims_);
    addField(page, "ITM:PAT", {}, 8, y, 70)->setToolTip(QStringLiteral("field 25 - patient account number"));
    addField(page, "ITM:INV", {}, 84, y, 80)->setToolTip(QStringLiteral("field 25 - invoice number"));
    y += kRow;
    addField(page, "PAT:LNAME", {}, 8, y, 230);
    addField(page, "IN1:INS1CARNAME", QStringLiteral("Insurance Plan or Program Name"), 260, y, 240);
    addField(page, "PAT:ADD1", {}, 8, y += kRow, 230);
    addField(page, "IN2:INS2CARNAME", QStringLiteral("Other Insurance Plan or Program Name"), 260, y, 240);
    addField(page, "CITY", {}, 8, y += kRow, 280);
    addField(page, "PAT:HAREA", QStringLiteral("Home/Cell phone number"), 8, y += kRow, 50);
    addField(page, "PAT:HPHON", {}, 240, y, 90);
    addField(page, "PAT:WAREA", QStringLiteral("Work phone number"), 350, y, 50);
    addField(page, "PAT:WPHON", {}, 530, y, 90);

    struct Print {
        const char* name;
        const char* text;
        const char* tip;
    };
    const Print prints[] = {{claims::kPlanClaimBlankForm, "Plan/blank", "Print plan claim/blank form"},
                            {claims::kPlanClaimCmsForm, "Plan/CMS", "Print plan claim/CMS form"},
                            {claims::kOtherClaimBlankForm, "Other/blank", "Print other plan claim/blank form"},
                            {claims::kOtherClaimCmsForm, "Other/CMS", "Print other plan claim/CMS form"},
                            {claims::kStatement, "Statement", "Print statement"}};
    int x = 8;
    y += kRow + 8;
    for (const Print& p : prints) {
        if (kind_ == StatusKind::Carrier && std::string_view(p.name) == claims::kStatement) continue;
        auto* b = new QPushButton(QLatin1String(p.text), page);
        b->setToolTip(QLatin1String(p.tip));
        b->setAutoDefault(false);
        b->setGeometry(x, y, kButtonWidth, kRow);
        const QString name = QLatin1String(p.name);
        connect(b, &QPushButton::clicked, this, [this, name] { print(name); });
        prints_.insert(name, b);
        x += 92;
    }
}

void AccountStatusWindow::buildServiceTab()
{
    QWidget* page = sheet_->widget(1);
    int y = addListPage(1, defs_->services, services_);
    addPrompt(page, QStringLiteral("F21. Diagnosis or Nature of Illness or Injury. Relate A-L to service line below:"),
              QPoint(8, (y += kRow) - 2));
    y += kRow;
    for (int k = 0; k < 12; ++k)
        addField(page, QStringLiteral("INV:DX%1").arg(k + 1), QString(QChar(u'A' + k)) + QLatin1Char('.'),
                 8 + (k % 4) * 130, y + (k / 4) * kRow, 80);
}

void AccountStatusWindow::buildPaymentTab()
{
    QWidget* page = sheet_->widget(2);
    int y = addListPage(2, defs_->payments, payments_);
    addField(page, "IN1:INS1CARNAME@2", QStringLiteral("Insurance Plan or Program Name"), 8, y += kRow, 230);
    addField(page, "IN2:INS2CARNAME@2", QStringLiteral("Other Insurance Plan or Program Name"), 8, y += kRow, 230);
    addPrompt(page, QStringLiteral("Benefit and deductions:"), QPoint(8, (y += kRow) - 2));
    y += kRow;
    int x = 8;
    for (auto [name, prompt] : {std::pair{"ITM:ALW", "$ Allowed"}, {"ITM:DED", "$ Deduct/Copay"},
                                {"ITM:ADJ", "$ Adjustment"}, {"ITM:NONCOV", "$ Denial"}}) {
        addField(page, QLatin1String(name), QLatin1String(prompt), x, y, 100)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        x += 210;
    }
}

// --------------------------------------------------------------- behaviour

// The claim in the buffer is the highlighted one (or blank): its records,
// then the two line lists follow it.
void AccountStatusWindow::claimMoved()
{
    const bool any = claims_->engine().entryCount() > 0;
    if (!any) platform::clearRecord(data::file::Invoice, data::bytesOf(INV));
    readRelated("PAT:PAT", "INV:PAT", data::file::Patient, "PAT:PATKEY");
    readRelated("PRV:PRV", "INV:PRV", data::file::Provider, "PRV:PRVKEY");
    readRelated("IN1:INS1ID", "INV:PRIMARY", data::file::Insured1, "IN1:INS1IDKEY");
    readRelated("IN2:INS2ID", "INV:SECONDARY", data::file::Insured2, "IN2:INS2IDKEY");
    auto set = [this](const QString& name, const QString& text) { shown_.value(name)->setText(text); };
    set("ITM:PAT", any ? display("INV:PAT", "@n07") : QString());
    set("ITM:INV", any ? display("INV:INV", "@n07") : QString());
    set("PAT:LNAME", display("PAT:LNAME", "@s28"));
    set("PAT:ADD1", display("PAT:ADD1", "@s28"));
    set("CITY", any ? cityLine() : QString());
    set("PAT:HAREA", display("PAT:HAREA", "@P(###)P"));
    set("PAT:HPHON", display("PAT:HPHON", "@s10"));
    set("PAT:WAREA", display("PAT:WAREA", "@P(###)P"));
    set("PAT:WPHON", display("PAT:WPHON", "@s10"));
    set("IN1:INS1CARNAME", display("IN1:INS1CARNAME", "@s29"));
    set("IN2:INS2CARNAME", display("IN2:INS2CARNAME", "@s29"));
    set("IN1:INS1CARNAME@2", display("IN1:INS1CARNAME", "@s28"));
    set("IN2:INS2CARNAME@2", display("IN2:INS2CARNAME", "@s28"));
    for (int k = 1; k <= 12; ++k) {
        const QString dx = QStringLiteral("INV:DX%1").arg(k);
        set(dx, display(data::FieldName::named(dx.toStdString()), "@s7"));
    }
    services_->refresh();
    payments_->refresh();
    // A range refilled empty moves no highlight: the benefits go blank here.
    paymentMoved();
}

void AccountStatusWindow::paymentMoved()
{
    const BrowseEngine& e = payments_->engine();
    for (const char* name : {"ITM:ALW", "ITM:DED", "ITM:ADJ", "ITM:NONCOV"}) {
        const int field = e.queueFieldIndex(QStringLiteral("BRW3::") + QLatin1String(name));
        shown_.value(QLatin1String(name))
            ->setText(e.entryCount() > 0 && field >= 0
                          ? platform::Picture::from(kAmount).format(e.value(e.highlighted(), field))
                          : QString());
    }
}

// A read error has closed the list, and the window with it.
void AccountStatusWindow::showTotal(int list, BrowseList* from, const char* field)
{
    const auto sums = from->engine().sumView({QLatin1String(field)});
    if (!sums) return;
    shown_.value(QStringLiteral("TOTAL%1").arg(list))->setText(platform::Picture::from(kMoney).format((*sums)[0]));
}

QString AccountStatusWindow::shown(const QString& name) const
{
    const QLabel* l = shown_.value(name);
    return l ? l->text() : QString();
}

QPushButton* AccountStatusWindow::printButton(const QString& name) const { return prints_.value(name); }

// The highlighted rows read afresh, with the claim's records; the report
// takes its copy of them and runs on its own thread, and the window goes on
// at once.
void AccountStatusWindow::print(const QString& name)
{
    if (claims_->engine().entryCount() == 0) return;
    claims_->engine().getRecord();
    if (services_->engine().entryCount() > 0) services_->engine().getRecord();
    if (payments_->engine().entryCount() > 0) payments_->engine().getRecord();
    claimMoved();
    claims::startAccountReport(name, INV.INV.asInt(), INV.PAT.asInt(), this);
    claims_->refresh();
}

// F1, the help key, which no list took.
void AccountStatusWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        help::show(helpTopic(kind_), this);
        return;
    }
    QWidget::keyPressEvent(event);
}

QString AccountStatusWindow::helpTopic(StatusKind kind)
{
    return kind == StatusKind::Carrier ? QStringLiteral("AccountStatusBrowser")
                                       : QStringLiteral("AccountsCurrentStatusBrowser");
}

void connectStatusMenu(MainWindow& frame)
{
    QMdiArea* area = frame.mdiArea();
    frame.setProcedure(MenuItem::CurrentAccountStatus,
                       [area] { AccountStatusWindow::openInMdi(StatusKind::CurrentAccounts, area); });
    frame.setProcedure(MenuItem::CurrentCarrierStatus,
                       [area] { AccountStatusWindow::openInMdi(StatusKind::Carrier, area); });
}

} // namespace kestrel::receivables
