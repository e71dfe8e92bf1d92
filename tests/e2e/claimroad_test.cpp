// The road of a claim through the program as a practice walks it, from an
// empty root, in the frame the executable builds and only through its
// windows (offscreen): a provider, a patient, a plan and the codes entered
// in the managers; a claim added box by box from the invoice browser with
// its insured and two service lines; its claim form saved from the preview
// as PDF; a payment with an adjustment posted from the payment browser; then
// the status browsers and the outstanding statement. Every figure is checked
// in the record files, on screen and in the PDFs' text.
#include "frame.h"

#include "data/file_access.h"
#include "data/records.h"
#include "managers/backupwindows.h"
#include "platform/rootdir.h"
#include "receivables/accountstatus.h"
#include "reports/previewwindow.h"
#include "shell/browselist.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/formwindow.h"
#include "shell/mainwindow.h"
#include "shell/menus.h"
#include "shell/printersettings.h"
#include "support/frametest.h"
#include "support/guiactions.h"
#include "support/pdftext.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kestrel;
using shell::BrowseRole;
using shell::BrowseWindow;
using shell::FormWindow;
using shell::MenuItem;
namespace file = data::file;

namespace {

constexpr int kWait = 20000;  // ms a window may take to open or close under load
constexpr const char* kPatient = "GARCÍA, MARÍA";
constexpr const char* kPlan = "BLUE CROSS OF ILLINOIS";

// The next modal window `which` accepts gets `act`, from inside its loop.
void whenShown(std::function<bool(QWidget*)> which, std::function<void(QWidget*)> act)
{
    test::whenFound(
        [which]() -> QWidget* {
            QWidget* w = QApplication::activeModalWidget();
            return w && which(w) ? w : nullptr;
        },
        std::move(act));
}
std::function<bool(QWidget*)> titled(const char* title)
{
    return [title](QWidget* w) { return w->windowTitle() == QLatin1String(title); };
}
std::function<bool(QWidget*)> formWith(const char* field)
{
    return [field](QWidget* w) {
        auto* f = qobject_cast<FormWindow*>(w);
        return f && f->entryOf(QLatin1String(field));
    };
}
bool isLookup(QWidget* w) { return w->findChild<BrowseWindow*>() && !qobject_cast<FormWindow*>(w); }

// The offscreen platform leaves a window inactive when a window it opened
// closes (a window manager would activate it): key events need it active.
void backTo(QWidget* w)
{
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
}

// Closes a window a failed step left open, so that the test fails instead of
// waiting in that window's loop for its time to run out.
auto closeOnExit(QWidget* w)
{
    return qScopeGuard([p = QPointer<QWidget>(w)] {
        if (p && p->isVisible()) p->close();
    });
}

// Waits until `done` holds and the modal window on top is `outer` again
// (none for a window opened from the frame).
void waitClosed(const bool& done, QWidget* outer = nullptr)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return done && QApplication::activeModalWidget() == outer; }, kWait));
}

// F12 in `entry`: the lookup that opens is answered with Return on the
// record it highlights (the user's pick when it is the first).
void lookUpWithF12(QWidget* form, QLineEdit* entry, std::function<void(BrowseWindow*)> inLookup = {})
{
    whenShown(isLookup, [inLookup](QWidget* d) {
        const auto close = closeOnExit(d);
        auto* b = d->findChild<BrowseWindow*>();
        ASSERT_TRUE(QTest::qWaitFor([b] { return b->engine().isOpen(); }, kWait));
        test::settle();
        if (inLookup) inLookup(b);
        QTest::keyClick(b->list(), Qt::Key_Return);
    });
    QTest::keyClick(entry, Qt::Key_F12);
    backTo(form);
}

void typeAndTab(FormWindow* form, const char* field, const QString& text)
{
    test::typeInto(form->entryOf(QLatin1String(field)), text);
    test::tab();
}

void showTab(QTabWidget* sheet, const QString& title)
{
    for (int i = 0; i < sheet->count(); ++i)
        if (sheet->tabText(i).remove(u'&').trimmed() == title) QTest::mouseClick(sheet->tabBar(), Qt::LeftButton, {}, sheet->tabBar()->tabRect(i).center());
    test::settle();
}

// The record of a claim, read back through the record layer.
struct StoredClaim {
    long long inv = 0, pat = 0, prv = 0;
    std::string primary, dx1, tfee, tpay, tadj, bdue;
    bool operator==(const StoredClaim&) const = default;
};
// A stored line: its code, charge and adjustment.
using StoredLine = std::tuple<long long, std::string, std::string, std::string>;

class ClaimRoad : public test::FrameTest {
protected:
    void SetUp() override
    {
        // Wired as the executable wires it.
        openFrame(
            [](shell::MainWindow& f) {
                app::connectFrameMenu(f);
                managers::setBackupCommand({"/bin/true", {}});
            },
            QSize(1280, 960));
    }

    // The child window a menu item opens, once it shows.
    QWidget* openFromMenu(MenuItem item)
    {
        const qsizetype before = frame->mdiArea()->subWindowList().size();
        frame->action(item)->trigger();
        QMdiSubWindow* sub = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            const auto subs = frame->mdiArea()->subWindowList();
            sub = subs.size() > before && subs.back()->isVisible() ? subs.back() : nullptr;
            return sub != nullptr;
        }, kWait));
        test::settle();
        return sub ? sub->widget() : nullptr;
    }
    void closeChild(QWidget* w)
    {
        QPointer<QMdiSubWindow> sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
        ASSERT_NE(sub, nullptr);
        sub->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return sub.isNull() || !sub->isVisible(); }, kWait));
    }

    // A manager's record added: Insert on its list, `fill` in the editor, Save.
    void addThroughManager(MenuItem item, std::function<void(FormWindow*)> fill, int expectedRows)
    {
        auto* w = qobject_cast<BrowseWindow*>(openFromMenu(item));
        ASSERT_NE(w, nullptr);
        bool done = false;
        whenShown([](QWidget* m) { return qobject_cast<FormWindow*>(m) != nullptr; }, [&](QWidget* m) {
            auto* form = qobject_cast<FormWindow*>(m);
            const auto close = closeOnExit(form);
            test::settle();
            backTo(form);
            fill(form);
            QTest::mouseClick(form->saveButton(), Qt::LeftButton);
            done = true;
        });
        QTest::keyClick(w->list(), Qt::Key_Insert);
        waitClosed(done);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->engine().entryCount() == expectedRows; }, kWait)) << w->windowTitle().toStdString();
        closeChild(w);
    }

    // Saves the report on show as PDF through its File menu and the file
    // dialog, then leaves the preview.
    static void savePreviewAsPdf(const QString& path, int& pages)
    {
        test::whenFound([]() -> QWidget* { return qobject_cast<reports::PreviewWindow*>(QApplication::activeModalWidget()); },
                        [path, &pages](QWidget* w) {
                            auto* preview = static_cast<reports::PreviewWindow*>(w);
                            const auto close = closeOnExit(preview);
                            pages = preview->state().pageCount();
                            whenShown([](QWidget* d) { return qobject_cast<QFileDialog*>(d) != nullptr; }, [path](QWidget* d) {
                                const auto close = closeOnExit(d);
                                auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                                ASSERT_NE(name, nullptr);
                                // The completer's list of the folder's names, filled later
                                // from a thread, would take the Return: the user types on.
                                name->setCompleter(nullptr);
                                backTo(d);
                                test::typeInto(name, path);
                                QTest::keyClick(name, Qt::Key_Return);
                            });
                            for (QAction* a : preview->findChildren<QAction*>())
                                if (a->text() == QLatin1String("Save as P&DF...")) {
                                    a->trigger();
                                    break;
                                }
                            preview->exitAction()->trigger();
                        });
    }

    static std::vector<StoredClaim> storedClaims()
    {
        using data::INV;
        return test::records(file::Invoice, "INV:INVKEY", [] {
            return StoredClaim{INV.INV.asInt(), INV.PAT.asInt(), INV.PRV.asInt(), std::string(INV.PRIMARY.trimmed()),
                               std::string(INV.DX1.trimmed()), INV.TFEE.value().toString(), INV.TPAY.value().toString(),
                               INV.TADJ.value().toString(), INV.BDUE.value().toString()};
        });
    }
    static std::vector<StoredLine> storedLines()
    {
        using data::ITM;
        return test::records(file::Item, "ITM:INVDOSKEY", [] {
            return StoredLine{ITM.INV.asInt(), std::string(ITM.CPT.trimmed()), ITM.FEE.value().toString(),
                              ITM.ADJ.value().toString()};
        });
    }
    // Every patient's stored balance, by number.
    static std::vector<std::pair<long long, std::string>> storedBalances()
    {
        return test::records(file::Patient, "PAT:PATKEY", [] {
            return std::pair{data::PAT.PAT.asInt(), data::PAT.NOWBALAN.value().toString()};
        });
    }
    // The list's first column on its highlighted row.
    static QString highlightedName(BrowseWindow* w)
    {
        auto* m = w->list()->model();
        return m->data(m->index(w->engine().highlighted() - 1, 0)).toString().trimmed();
    }
    // The patient list of a menu item with the patient who owes highlighted
    // as a user finds it: by the first letter of the name.
    BrowseWindow* patientList(MenuItem item)
    {
        auto* w = qobject_cast<BrowseWindow*>(openFromMenu(item));
        EXPECT_NE(w, nullptr);
        if (!w) return nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->engine().entryCount() == 2; }, kWait));
        EXPECT_EQ(highlightedName(w), "ADAMS, ALAN");
        QTest::keyClick(w->list(), Qt::Key_G);
        EXPECT_TRUE(QTest::qWaitFor([&] { return highlightedName(w) == QString::fromUtf8(kPatient); }, kWait));
        return w;
    }
};

TEST_F(ClaimRoad, AClaimFromEmptyFilesToItsOutstandingStatement)
{
    // 1. The practice's records, each through its manager.
    addThroughManager(MenuItem::ProviderManager, [](FormWindow* f) {
        typeAndTab(f, "PRV:PNAME", "WELBY, MARCUS MD");
        typeAndTab(f, "PRV:PADD1", "400 OAK AVE");
        typeAndTab(f, "PRV:PADD2", "SPRINGFIELD IL 62704");
        typeAndTab(f, "PRV:EIN", "37-1234567");
        typeAndTab(f, "PRV:F33A", "1234567893");
    }, 1);
    addThroughManager(MenuItem::PatientManager, [](FormWindow* f) {
        typeAndTab(f, "PAT:LNAME", QString::fromUtf8(kPatient));
        QTest::mouseClick(f->findChildren<QRadioButton*>().at(1), Qt::LeftButton);  // Female
        typeAndTab(f, "PAT:BDATE", "07/14/1961");
        typeAndTab(f, "PAT:ADD1", "12 MAIN ST");
        typeAndTab(f, "PAT:ADD2", "SPRINGFIELD");
        typeAndTab(f, "PAT:ADD3", "IL");
        typeAndTab(f, "PAT:ADD4", "62701");
    }, 1);
    addThroughManager(MenuItem::PatientManager, [](FormWindow* f) { typeAndTab(f, "PAT:LNAME", "ADAMS, ALAN"); }, 2);
    addThroughManager(MenuItem::InsuranceNameManager, [](FormWindow* f) {
        typeAndTab(f, "HIC:HICNAME", kPlan);
        typeAndTab(f, "HIC:HICADD1", "PO BOX 1364");
        typeAndTab(f, "HIC:HICADD3", "CHICAGO IL 60690");
    }, 1);
    const char* codes[][2] = {{"99213", "OFFICE VISIT EST PT LEVEL 3"}, {"99214", "OFFICE VISIT EST PT LEVEL 4"}};
    for (int k = 0; k < 2; ++k)
        addThroughManager(MenuItem::CptManager, [&](FormWindow* f) {
            typeAndTab(f, "CPT:CPTCODE", codes[k][0]);
            typeAndTab(f, "CPT:CPTDESCRIPTION", codes[k][1]);
        }, k + 1);
    addThroughManager(MenuItem::IcdManager, [](FormWindow* f) {
        typeAndTab(f, "ICD:ICDCODE", "J06.9");
        typeAndTab(f, "ICD:ICDDES", "ACUTE UPPER RESPIRATORY INFECTION");
    }, 1);
    ASSERT_TRUE(messages.shown().empty()) << messages.shown().front().text.toStdString();

    // 2. The claim, from the invoice browser's patient.
    BrowseWindow* invoices = patientList(MenuItem::InvoiceBrowser);
    ASSERT_NE(invoices, nullptr);
    const QString pdf = dir.file("claim.pdf");
    int claimPages = 0;
    QString accountShown;
    bool accountDone = false;
    whenShown(titled("Patient Account Browser"), [&](QWidget* d) {
        auto* account = qobject_cast<FormWindow*>(d);
        const auto close = closeOnExit(account);
        auto* claims = account->findChild<shell::BrowseList*>();
        ASSERT_TRUE(QTest::qWaitFor([&] { return claims->engine().isOpen(); }, kWait));
        test::settle();
        EXPECT_EQ(account->entryOf("PAT:LNAME")->text().trimmed(), QString::fromUtf8(kPatient));
        bool claimDone = false;
        whenShown(isLookup, [](QWidget* l) {  // the new claim's provider, asked for at once
            auto* b = l->findChild<BrowseWindow*>();
            ASSERT_TRUE(QTest::qWaitFor([b] { return b->engine().entryCount() == 1; }, kWait));
            test::settle();
            QTest::keyClick(b->list(), Qt::Key_Return);
        });
        whenShown(formWith("INV:PRV"), [&](QWidget* c) {
            auto* form = qobject_cast<FormWindow*>(c);
            const auto close = closeOnExit(form);
            ASSERT_TRUE(QTest::qWaitFor([&] { return form->entryOf("INV:PRV")->text() == "001"; }, kWait));
            backTo(form);
            EXPECT_EQ(form->entryOf("INV:INV")->text(), "0000001");
            typeAndTab(form, "INV:F25TIN", "");  // box 25 from the provider's EIN
            EXPECT_EQ(form->entryOf("INV:F25TIN")->text().trimmed(), "37-1234567");
            typeAndTab(form, "INV:DATE", "03/04/2024");
            test::typeInto(form->entryOf("INV:DX1"), "");
            lookUpWithF12(form, form->entryOf("INV:DX1"));
            EXPECT_EQ(form->entryOf("INV:DX1")->text().trimmed(), "J06.9");

            // Box 1a: the insured, added from the insured lookup, the plan by F12 in its editor.
            showTab(form->sheet(), "Insurance Plan or Program Name");
            lookUpWithF12(form, form->entryOf("INV:PRIMARY"), [](BrowseWindow* insureds) {
                bool added = false;
                whenShown(formWith("IN1:INS1ID"), [&added](QWidget* e) {
                    auto* editor = qobject_cast<FormWindow*>(e);
                    const auto close = closeOnExit(editor);
                    test::settle();
                    backTo(editor);
                    typeAndTab(editor, "IN1:INS1ID", "32145698701");
                    for (QRadioButton* r : editor->findChildren<QRadioButton*>())
                        if (r->text() == " GROUP HEALTH PLAN" || r->text() == " Self") QTest::mouseClick(r, Qt::LeftButton);
                    typeAndTab(editor, "IN1:INS1IDNO", "XGP321456987");
                    typeAndTab(editor, "IN1:INS1NAME", QString::fromUtf8(kPatient));
                    typeAndTab(editor, "IN1:INS1POLICY", "GRP-55021");
                    test::typeInto(editor->entryOf("IN1:INS1CARNAME"), "");
                    lookUpWithF12(editor, editor->entryOf("IN1:INS1CARNAME"));
                    EXPECT_EQ(editor->entryOf("IN1:INS1CARNAME")->text().trimmed(), kPlan);
                    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
                    added = true;
                });
                QTest::mouseClick(insureds->button(BrowseRole::Add), Qt::LeftButton);
                EXPECT_TRUE(QTest::qWaitFor([&] { return added && insureds->engine().entryCount() == 1; }, kWait));
                backTo(insureds->window());
            });
            EXPECT_EQ(form->entryOf("INV:PRIMARY")->text(), "321456987-01");

            // Box 24: two service lines, the second code chosen with F12.
            showTab(form->sheet(), "Services");
            auto* lines = form->sheet()->currentWidget()->findChild<shell::BrowseList*>();
            ASSERT_NE(lines, nullptr);
            struct Service { const char* code; const char* fee; bool byF12; };
            for (const Service& s : {Service{"99213", "125.00", false}, Service{"", "85.50", true}}) {
                bool saved = false;
                whenShown(formWith("ITM:CPT"), [&](QWidget* e) {
                    auto* editor = qobject_cast<FormWindow*>(e);
                    const auto close = closeOnExit(editor);
                    test::settle();
                    backTo(editor);
                    typeAndTab(editor, "ITM:DOSF", "03/04/2024");
                    test::typeInto(editor->entryOf("ITM:CPT"), s.code);
                    if (s.byF12)
                        lookUpWithF12(editor, editor->entryOf("ITM:CPT"), [](BrowseWindow* b) {
                            QTest::keyClick(b->list(), Qt::Key_Down);  // 99214, below 99213
                            test::settle();
                        });
                    typeAndTab(editor, "ITM:DXL", "A");
                    typeAndTab(editor, "ITM:FEE", s.fee);
                    QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
                    saved = true;
                });
                QTest::mouseClick(lines->button(BrowseRole::Add), Qt::LeftButton);
                waitClosed(saved, form);
                backTo(form);
            }
            EXPECT_EQ(lines->engine().entryCount(), 2);
            EXPECT_EQ(form->findChild<QLabel*>("claimTotal")->text(), "210.50");
            form->grab().save(QDir::tempPath() + "/e2e-claimform.png");
            QTest::mouseClick(form->saveButton(), Qt::LeftButton);
            claimDone = true;
        });
        QTest::mouseClick(claims->button(BrowseRole::Add), Qt::LeftButton);
        waitClosed(claimDone, account);
        backTo(account);
        EXPECT_EQ(claims->engine().entryCount(), 1);

        // 3. The plan's claim form (cms1), from the preview to a PDF.
        savePreviewAsPdf(pdf, claimPages);
        for (QPushButton* b : account->findChildren<QPushButton*>())
            if (b->text() == "Print plan claim/blank form") QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(pdf) && QApplication::activeModalWidget() == account; }, kWait));
        backTo(account);
        accountShown = account->findChild<QLabel*>("accountBalance")->text();
        QTest::mouseClick(account->button("&Close"), Qt::LeftButton);
        accountDone = true;
    });
    QTest::keyClick(invoices->list(), Qt::Key_Return, Qt::ControlModifier);  // &Open on the highlighted patient
    waitClosed(accountDone);
    closeChild(invoices);
    ASSERT_TRUE(messages.shown().empty()) << messages.shown().front().text.toStdString();
    EXPECT_EQ(accountShown, "210.50");
    EXPECT_EQ(storedClaims(), (std::vector<StoredClaim>{{1, 1, 1, "32145698701", "J06.9", "210.50", "0.00", "0.00", "210.50"}}));
    EXPECT_EQ(storedBalances(), (std::vector<std::pair<long long, std::string>>{{1, "210.50"}, {2, "0.00"}}));

    const auto claimText = test::readPdfText(pdf);
    ASSERT_TRUE(claimText.has_value());
    EXPECT_EQ(claimPages, 1);
    ASSERT_EQ(claimText->pages.size(), 1u);
    // For blank paper: the form's own image is printed with the claim.
    EXPECT_TRUE(claimText->pageShows(0, "HEALTH INSURANCE CLAIM FORM"));
    // Boxes 1a, 2, 4, 11, 11c, 21, 24 (code, charge), 25, 26, 28, 33 and the carrier block.
    for (const char* shown : {"BLUE CROSS OF ILLINOIS", "XGP321456987", "GARCÍA, MARÍA", "GRP-55021", "J06.9", "99213",
                              "125.00", "99214", "85.50", "37-1234567", "00001", "00000001", "210.50", "WELBY, MARCUS MD",
                              "1234567893"})
        EXPECT_TRUE(claimText->pageShows(0, QString::fromUtf8(shown))) << shown << "\n" << claimText->all().toStdString();

    // 4. A payment of 70.00 with an adjustment of 10.00 posted from the payment browser.
    BrowseWindow* payments = patientList(MenuItem::PaymentBrowser);
    ASSERT_NE(payments, nullptr);
    bool paymentsDone = false;
    QString balanceAfter;
    whenShown(titled("Payment Browser"), [&](QWidget* d) {
        auto* browser = qobject_cast<FormWindow*>(d);
        const auto close = closeOnExit(browser);
        auto* claims = browser->findChild<shell::BrowseList*>();
        ASSERT_TRUE(QTest::qWaitFor([&] { return claims->engine().entryCount() == 1; }, kWait));
        test::settle();
        bool receivablesDone = false;
        whenShown(titled("Receivables Browser"), [&](QWidget* r) {
            auto* receivables = qobject_cast<FormWindow*>(r);
            const auto close = closeOnExit(receivables);
            auto* transactions = receivables->findChild<shell::BrowseList*>();
            ASSERT_TRUE(QTest::qWaitFor([&] { return transactions->engine().isOpen(); }, kWait));
            test::settle();
            backTo(receivables);
            bool posted = false;
            whenShown(formWith("ITM:EXP"), [&posted](QWidget* e) {
                auto* editor = qobject_cast<FormWindow*>(e);
                const auto close = closeOnExit(editor);
                test::settle();
                backTo(editor);
                QTest::mouseClick(editor->findChildren<QRadioButton*>().at(0), Qt::LeftButton);  // 00001 primary payment
                typeAndTab(editor, "ITM:DOSF", "04/02/2024");
                typeAndTab(editor, "ITM:FEE", "70.00");
                typeAndTab(editor, "ITM:EXP", "EFT 88123");
                typeAndTab(editor, "ITM:ADJ", "10.00");
                QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
                posted = true;
            });
            QTest::mouseClick(transactions->button(BrowseRole::Add), Qt::LeftButton);
            waitClosed(posted, receivables);
            backTo(receivables);
            EXPECT_EQ(transactions->engine().entryCount(), 1);
            EXPECT_EQ(receivables->findChild<QLabel*>("paymentSum")->text(), "-70.00");
            QTest::mouseClick(receivables->saveButton(), Qt::LeftButton);
            receivablesDone = true;
        });
        QTest::keyClick(claims->list(), Qt::Key_Return, Qt::ControlModifier);  // Change: the claim's receivables
        waitClosed(receivablesDone, browser);
        backTo(browser);
        EXPECT_TRUE(QTest::qWaitFor([&] { return browser->findChild<QLabel*>("accountBalance")->text() == "130.50"; }, kWait));
        balanceAfter = browser->findChild<QLabel*>("accountBalance")->text();
        QTest::mouseClick(browser->saveButton(), Qt::LeftButton);
        paymentsDone = true;
    });
    QTest::keyClick(payments->list(), Qt::Key_Return, Qt::ControlModifier);
    waitClosed(paymentsDone);
    closeChild(payments);
    ASSERT_TRUE(messages.shown().empty()) << messages.shown().front().text.toStdString();
    EXPECT_EQ(balanceAfter, "130.50");
    EXPECT_EQ(storedClaims(),
              (std::vector<StoredClaim>{{1, 1, 1, "32145698701", "J06.9", "210.50", "-70.00", "-10.00", "130.50"}}));
    EXPECT_EQ(storedLines(), (std::vector<StoredLine>{{1, "99213", "125.00", "0.00"},
                                                      {1, "99214", "85.50", "0.00"},
                                                      {1, "00001", "-70.00", "-10.00"}}));
    EXPECT_EQ(storedBalances(), (std::vector<std::pair<long long, std::string>>{{1, "130.50"}, {2, "0.00"}}));

    // 5. The status browsers show the stored claim and the sums of its lines.
    for (MenuItem item : {MenuItem::CurrentAccountStatus, MenuItem::CurrentCarrierStatus}) {
        auto* status = qobject_cast<receivables::AccountStatusWindow*>(openFromMenu(item));
        ASSERT_NE(status, nullptr);
        SCOPED_TRACE(status->windowTitle().toStdString());
        EXPECT_TRUE(QTest::qWaitFor([&] { return status->claims()->engine().entryCount() == 1 && status->shown("TOTAL1") == "130.50"; }, kWait));
        EXPECT_EQ(status->shown("PAT:LNAME"), QString::fromUtf8(kPatient));
        EXPECT_EQ(status->shown("IN1:INS1CARNAME"), kPlan);
        EXPECT_EQ(status->shown("INV:DX1"), "J06.9");
        EXPECT_EQ(status->services()->engine().entryCount(), 2);
        EXPECT_EQ(status->shown("TOTAL2"), "210.50");
        EXPECT_EQ(status->payments()->engine().entryCount(), 1);
        EXPECT_EQ(status->shown("TOTAL3"), "-70.00");
        status->grab().save(QDir::tempPath() + QStringLiteral("/e2e-status-%1.png").arg(int(item)));
        closeChild(status);
    }

    // 6. The outstanding statement: the patient who owes, the claim's lines and what is due.
    const QString statement = dir.file("outstanding.pdf");
    int statementPages = 0;
    savePreviewAsPdf(statement, statementPages);
    frame->action(MenuItem::AccountStatement)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(statement) && !QApplication::activeModalWidget(); }, kWait));
    EXPECT_EQ(statementPages, 1);
    const auto statementText = test::readPdfText(statement);
    ASSERT_TRUE(statementText.has_value());
    // The patient's head, the claim's three lines, their sums and the balance;
    // the patient who owes nothing is not there.
    EXPECT_FALSE(statementText->all().contains("ADAMS"));
    for (const char* shown : {"GARCÍA, MARÍA", "SPRINGFIELD, IL 62701", "Outstanding Statement", "99213", "125.00", "99214",
                              "85.50", "04-02-2024", "00001", "-70.00", "-10.00", "140.50", "130.50"})
        EXPECT_TRUE(statementText->pageShows(0, QString::fromUtf8(shown))) << shown << "\n" << statementText->all().toStdString();
    EXPECT_TRUE(messages.shown().empty());
}

} // namespace
