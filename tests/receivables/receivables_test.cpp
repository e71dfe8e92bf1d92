// The receivables windows: the editor of one transaction line, and the
// browser of a claim's transactions that stores the claim's figures.
#include "receivables/paymentbrowser.h"
#include "receivables/receivablesbrowser.h"
#include "receivables/receivableseditor.h"

#include "../claims/claimtesting.h"
#include "shell/browselist.h"
#include "shell/formwindow.h"
#include "support/guiactions.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using data::INV;
using data::ITM;
namespace file = data::file;

namespace {

class ReceivablesTest : public test::ClaimTest {
protected:
    void SetUp() override
    {
        ClaimTest::SetUp();
        addProvider(1, "WELBY, MARCUS");
        addPatient(7, "DOE, JANE");
    }
    // A claim whose service lines the claim form has totalled.
    void addClaim(long long inv, const char* tfee)
    {
        addRecord(file::Invoice, [&] {
            INV.PRV.set(1);
            INV.PAT.set(7);
            INV.INV.set(inv);
            INV.DATE.set("20240110");
            INV.TFEE.set(test::money(tfee));
            INV.BDUE.set(test::money(tfee));
        });
    }
    // The claim's stored TFEE, TPAY, TADJ, BDUE.
    std::vector<std::string> figures(long long inv)
    {
        std::vector<std::string> out;
        records(file::Invoice, "INV:INVKEY", [&] {
            if (INV.INV.asInt() == inv)
                for (auto* f : {&INV.TFEE, &INV.TPAY, &INV.TADJ, &INV.BDUE}) out.push_back(f->value().toString());
            return 0;
        });
        return out;
    }
    // The claim in the buffer, as the receivables browser holds it, and a
    // cleared line of it, as its Add leaves it.
    void primeNewLine(long long inv)
    {
        INV.PRV.set(1);
        INV.PAT.set(7);
        INV.INV.set(inv);
        data::clearRecord(file::Item, data::bytesOf(ITM));
        ITM.INV.set(inv);
    }
};

// Typing in the editor: credits come out negative whatever sign was typed,
// refunds and write-offs name themselves each time their payer field is
// entered, and a line without a date writes nothing.
TEST_F(ReceivablesTest, TheEditorStoresCreditsNegativeAndNamesRefundsAndWriteOffs)
{
    data::FileUse use{&file::Invoice, &file::Item};
    primeNewLine(3);
    {
        test::CalledForm form(receivables::receivablesEditor(), Request::Insert);
        form.engine.choose(form.at("ITM:CPT"), 0);
        ASSERT_TRUE(form.type("ITM:DOSF", "02/01/2024"));
        ASSERT_TRUE(form.type("ITM:FEE", "50.00"));
        EXPECT_EQ(form.shown("ITM:FEE"), "-50.00");
        ASSERT_TRUE(form.type("ITM:FEE", "-50.00"));
        EXPECT_EQ(ITM.FEE.value().toString(), "-50.00");
        ASSERT_TRUE(form.type("ITM:DES", "ACME HEALTH"));
        form.engine.choose(form.at("ITM:CPT"), 4);  // write off
        form.enter("ITM:DES");
        EXPECT_EQ(form.shown("ITM:DES"), "Write off");
        ASSERT_TRUE(form.type("ITM:DES", "SOMETHING ELSE"));
        form.enter("ITM:DES");
        EXPECT_EQ(ITM.DES.trimmed(), "Write off");
        ASSERT_TRUE(form.type("ITM:ADJ", "10.00"));
        EXPECT_EQ(form.shown("ITM:ADJ"), "-10.00");
        form.engine.save();
        EXPECT_EQ(form.engine.response(), Response::Completed);
    }
    primeNewLine(3);
    {
        test::CalledForm form(receivables::receivablesEditor(), Request::Insert);
        form.engine.choose(form.at("ITM:CPT"), 3);  // refund
        form.enter("ITM:DES");
        EXPECT_EQ(ITM.DES.trimmed(), "Refund");
        ASSERT_TRUE(form.type("ITM:FEE", "20"));
        EXPECT_EQ(ITM.FEE.value().toString(), "-20.00");
        EXPECT_FALSE(form.engine.accept(form.at("ITM:DOSF")));  // no date: closed, nothing written
        EXPECT_EQ(form.engine.response(), Response::Cancelled);
    }
    auto stored = records(file::Item, "ITM:INVDOSKEY", [] {
        return std::vector<std::string>{std::string(ITM.CPT.trimmed()), ITM.FEE.value().toString(),
                                        ITM.ADJ.value().toString(), std::string(ITM.DES.trimmed()),
                                        std::to_string(ITM.PAT.asInt()), std::to_string(ITM.PRV.asInt())};
    });
    EXPECT_EQ(stored, (std::vector<std::vector<std::string>>{{"00005", "-50.00", "-10.00", "Write off", "7", "1"}}));
    EXPECT_TRUE(messages.shown().empty());
}

BrowseList* transactions(FormWindow* w) { return w->findChild<BrowseList*>(); }
QString paymentSum(FormWindow* w) { return w->findChild<QLabel*>("paymentSum")->text(); }

void backTo(QWidget* w)
{
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
}

// A transaction through the editor's window: Add, code, date, amount and
// adjustment typed as a user types them (positive), Save.
void postThroughEditor(FormWindow* browser, int code, const char* amount, const char* adjustment)
{
    test::whenShown(test::isForm("ITM:EXP"), [=](QWidget* d) {
        auto* editor = qobject_cast<FormWindow*>(d);
        backTo(editor);
        editor->findChildren<QRadioButton*>().at(code)->click();
        test::typeInto(editor->entryOf("ITM:DOSF"), "02/01/2024");
        test::typeInto(editor->entryOf("ITM:FEE"), amount);
        test::typeInto(editor->entryOf("ITM:EXP"), "CHK 1001");
        test::typeInto(editor->entryOf("ITM:ADJ"), adjustment);
        test::tab();
        editor->grab().save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/receivables-editor.png");
        editor->saveButton()->click();
    });
    transactions(browser)->button(BrowseRole::Add)->click();
    test::settle();
    backTo(browser);
}

// The claim of 80.00 + 20.00 in services: a primary payment of 70.00 with an
// adjustment of 10.00, then a refund of 5.00, posted in the window; the
// service lines never show among the transactions; Save stores the claim's
// figures.
TEST_F(ReceivablesTest, PostingPaymentsAndARefundStoresTheClaimsFigures)
{
    addClaim(3, "100.00");
    addLine(1, 7, 3, "20240110", "99213", "80.00");
    addLine(1, 7, 3, "20240110", "99214", "20.00");
    addClaim(4, "40.00");
    addRecord(file::Item, [] {  // another claim's payment: not this claim's
        ITM.PRV.set(1), ITM.PAT.set(7), ITM.INV.set(4), ITM.DOSF.set("20240111"), ITM.CPT.set("00001");
        ITM.FEE.set(test::money("-40.00"));
    });
    test::ClaimsBrowserCall payments;
    payments.forChange(3);
    test::whenShown(test::isForm("INV:INV"), [&](QWidget* d) {
        auto* w = qobject_cast<FormWindow*>(d);
        const auto close = qScopeGuard([w] { if (w->isVisible()) w->close(); });
        EXPECT_EQ(w->windowTitle(), "Receivables Browser");
        ASSERT_TRUE(QTest::qWaitFor([&] { return transactions(w)->engine().entryCount() == 0; }));
        EXPECT_EQ(paymentSum(w), "0.00");
        postThroughEditor(w, 0, "70.00", "10.00");
        EXPECT_EQ(paymentSum(w), "-70.00");
        postThroughEditor(w, 3, "5.00", "");
        EXPECT_EQ(transactions(w)->engine().entryCount(), 2);
        EXPECT_EQ(paymentSum(w), "-75.00");
        QTest::keyClick(w, Qt::Key_Escape);  // Esc does not close it
        test::settle();
        EXPECT_TRUE(w->isVisible());
        const QString png = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/receivables-browser.png";
        EXPECT_TRUE(w->grab().save(png));
        w->saveButton()->click();
    });
    EXPECT_EQ(receivables::runReceivablesBrowser(), Response::Completed);
    EXPECT_EQ(figures(3), (std::vector<std::string>{"100.00", "-75.00", "-10.00", "15.00"}));
    EXPECT_EQ(figures(4), (std::vector<std::string>{"40.00", "0.00", "0.00", "40.00"}));
    EXPECT_TRUE(messages.shown().empty());
}

// The whole round: the payment browser of a patient with two claims (one
// of 80.00 + 20.00 in services, one owing 20.00); &Add and &Delete do
// nothing; &Change on the first claim opens its receivables browser, where a
// payment of 70.00 with an adjustment of 10.00 and a refund of 5.00 are
// posted and the window closed with &Close; the claim's row and the account
// balance follow at once, and &Close of the payment browser stores 35.00.
TEST_F(ReceivablesTest, PaymentsPostedFromThePaymentBrowserReachTheAccountBalance)
{
    addClaim(3, "100.00");
    addLine(1, 7, 3, "20240110", "99213", "80.00");
    addLine(1, 7, 3, "20240110", "99214", "20.00");
    addClaim(4, "20.00");
    data::FileUse use{&file::Patient};
    data::PAT.PAT.set(7);
    auto& patients = data::recordFile(file::Patient);
    patients.watch();
    ASSERT_EQ(patients.get(file::Patient.keyIndex("PAT:PATKEY")), platform::errc::Ok);
    CallRequest = Request::Change;
    QString payment, balance;
    test::whenShown(test::isForm("PAT:LNAME"), [&](QWidget* d) {
        auto* w = qobject_cast<FormWindow*>(d);
        const auto close = qScopeGuard([w] { if (w->isVisible()) w->close(); });
        EXPECT_EQ(w->windowTitle(), "Payment Browser");
        BrowseList* claims = w->findChild<BrowseList*>();
        auto balanceShown = [w] { return w->findChild<QLabel*>("accountBalance")->text(); };
        ASSERT_TRUE(QTest::qWaitFor([&] { return claims->engine().entryCount() == 2; }));
        EXPECT_EQ(balanceShown(), "120.00");
        EXPECT_TRUE(w->findChildren<QPushButton*>().size() == 6);  // no print buttons
        claims->button(BrowseRole::Add)->click();
        QTest::keyClick(claims->list(), Qt::Key_Delete);
        test::settle();
        EXPECT_EQ(QApplication::activeModalWidget(), w);
        EXPECT_EQ(claims->engine().entryCount(), 2);

        test::whenShown(test::isForm("INV:INV"), [](QWidget* r) {
            auto* receivables = qobject_cast<FormWindow*>(r);
            backTo(receivables);
            postThroughEditor(receivables, 0, "70.00", "10.00");
            postThroughEditor(receivables, 3, "5.00", "");
            receivables->button("&Close")->click();
        });
        claims->button(BrowseRole::Change)->click();
        test::settle();
        backTo(w);
        const QModelIndex row = claims->list()->model()->index(0, 5);
        payment = row.data().toString().trimmed();
        balance = balanceShown();
        const QString png = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/payment-browser.png";
        EXPECT_TRUE(w->grab().save(png));
        w->button("&Close")->click();
    });
    EXPECT_EQ(receivables::paymentBrowser().run(claims::Workplace{platform::RootDir(dir.path())}),
              Response::Completed);
    EXPECT_EQ(payment, "-75.00");
    EXPECT_EQ(balance, "35.00");
    EXPECT_EQ(figures(3), (std::vector<std::string>{"100.00", "-75.00", "-10.00", "15.00"}));
    data::PAT.PAT.set(7);
    ASSERT_EQ(patients.get(file::Patient.keyIndex("PAT:PATKEY")), platform::errc::Ok);
    EXPECT_EQ(data::PAT.NOWBALAN.value().toString(), "35.00");
    EXPECT_TRUE(messages.shown().empty());
}

} // namespace
