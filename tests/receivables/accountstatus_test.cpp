// The account status browsers over a small practice: which claims and lines
// each list shows, the three totals over whole lists (more claims than one
// page), the line lists and claim fields following the claim highlight, the
// print buttons on the highlighted claim, growing with the window, F1.
#include "../claims/claimtesting.h"

#include "claims/accountreports.h"
#include "receivables/accountstatus.h"
#include "reports/previewwindow.h"
#include "shell/browselist.h"
#include "shell/helpviewer.h"
#include "support/previewexit.h"
#include "support/guiactions.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>

#include <algorithm>
#include <memory>

using namespace kestrel;
using receivables::AccountStatusWindow;
using receivables::StatusKind;
using data::INV;
using data::ITM;

namespace {

constexpr const char* kPrimary = "12345678901";
constexpr int kFillers = 30;  // claims of patient 103: more than a page

class AccountStatus : public test::ClaimTest {
protected:
    void SetUp() override
    {
        ClaimTest::SetUp();
        addProvider(1, "WELBY");
        addPatient(101, "SMITH");
        addPatient(102, "JONES");
        addRecord(data::file::Insured1, [] {
            data::IN1.INS1ID.set(kPrimary);
            data::IN1.INS1CARNAME.set("BLUE CROSS");
        });
        addClaim(1, 101, "20240105", "150.00", "-30.00", kPrimary);
        addClaim(2, 102, "20240106", "40.00", "0", "");
        addClaim(3, 101, "20240102", "60.00", "-60.00", kPrimary);  // paid: in neither list
        addClaim(4, 101, "20240103", "10.00", "-15.00", kPrimary);  // overpaid: in neither list
        for (int i = 0; i < kFillers; ++i) addClaim(10 + i, 103, "20240201", "1.00", "0", kPrimary);
        addLine(1, 101, 1, "20240105", "99213", "100.00");
        addLine(1, 101, 1, "20240105", "99214", "0.00");    // no charge: a payments line
        addLine(1, 101, 1, "20240110", "00004", "25.00");   // refund: a payments line
        addRecord(data::file::Item, [] {
            ITM.PRV.set(1);
            ITM.PAT.set(101);
            ITM.INV.set(1);
            ITM.DOSF.set("20240120");
            ITM.CPT.set("00001");
            ITM.FEE.set(test::money("-30.00"));
            ITM.ALW.set(test::money("80.00"));
            ITM.DED.set(test::money("20.00"));
        });
        addLine(1, 102, 2, "20240106", "99212", "40.00");
    }
    void addClaim(long long inv, long long pat, const char* date, const char* fee, const char* pay, const char* primary)
    {
        addRecord(data::file::Invoice, [&] {
            INV.INV.set(inv);
            INV.PAT.set(pat);
            INV.PRV.set(1);
            INV.DATE.set(date);
            INV.TFEE.set(test::money(fee));
            INV.TPAY.set(test::money(pay));
            INV.BDUE.set(test::money(fee) + test::money(pay));
            INV.PRIMARY.set(primary);
            INV.DX1.set("J06.9");
        });
    }
    static bool generating()
    {
        const auto windows = QApplication::allWidgets();
        return std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
            return w->isVisible() && w->windowTitle() == QLatin1String("Generating Report");
        });
    }
    static long long claimAt(const AccountStatusWindow& w, int row)
    {
        return std::get<platform::Decimal>(w.claims()->engine().value(row, 2)).truncated();
    }
};

TEST_F(AccountStatus, ListsFollowTheClaimHighlightAndTotalWholeLists)
{
    AccountStatusWindow w(StatusKind::CurrentAccounts);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto& claims = w.claims()->engine();
    ASSERT_GT(claims.entryCount(), 2);
    ASSERT_LT(claims.entryCount(), 2 + kFillers);  // the total reaches past the page
    EXPECT_EQ(claimAt(w, 1), 1);
    EXPECT_EQ(claimAt(w, 2), 2);  // 3 and 4 owe nothing
    EXPECT_EQ(w.shown("TOTAL1"), QString("190.00"));
    // Claim 1: one service line; the free line and the refund are payments.
    EXPECT_EQ(w.services()->engine().entryCount(), 1);
    EXPECT_EQ(w.payments()->engine().entryCount(), 3);
    EXPECT_EQ(w.shown("TOTAL2"), QString("100.00"));
    EXPECT_EQ(w.shown("TOTAL3"), QString("-5.00"));
    EXPECT_EQ(w.shown("PAT:LNAME"), QString("SMITH"));
    EXPECT_EQ(w.shown("CITY"), QString("SPRINGFIELD, IL 62701"));
    EXPECT_EQ(w.shown("IN1:INS1CARNAME"), QString("BLUE CROSS"));
    EXPECT_EQ(w.shown("ITM:INV"), QString("0000001"));
    EXPECT_EQ(w.shown("INV:DX1"), QString("J06.9"));
    // The payment highlight shows its line's benefits.
    QTest::keyClick(w.payments()->list(), Qt::Key_End);
    QTRY_COMPARE(w.shown("ITM:ALW"), QString("80.00"));
    EXPECT_EQ(w.shown("ITM:DED"), QString("20.00"));

    w.sheet()->setCurrentIndex(0);
    QTest::keyClick(w.claims()->list(), Qt::Key_Down);
    QTRY_COMPARE(w.shown("PAT:LNAME"), QString("JONES"));
    EXPECT_EQ(w.shown("TOTAL2"), QString("40.00"));
    EXPECT_EQ(w.payments()->engine().entryCount(), 0);
    EXPECT_EQ(w.shown("TOTAL3"), QString("0.00"));
    EXPECT_EQ(w.shown("ITM:ALW"), QString());
    EXPECT_EQ(w.shown("IN1:INS1CARNAME"), QString());
    EXPECT_EQ(w.shown("TOTAL1"), QString("190.00"));
    w.grab().save("/tmp/status-accounts.png");
    w.sheet()->setCurrentIndex(2);
    w.grab().save("/tmp/status-payments.png");
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(AccountStatus, CarrierBrowserLeavesOutClaimsWithoutPrimary)
{
    AccountStatusWindow w(StatusKind::Carrier);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.windowTitle(), QString("Account Status Browser"));
    EXPECT_EQ(claimAt(w, 1), 1);
    EXPECT_EQ(claimAt(w, 2), 10);
    EXPECT_EQ(w.shown("TOTAL1"), QString("150.00"));
    EXPECT_EQ(w.printButton(claims::kStatement), nullptr);
    EXPECT_NE(w.printButton(claims::kPlanClaimCmsForm), nullptr);
    EXPECT_TRUE(messages.shown().empty());
}

// Claim 1 (highlighted first) has a primary insured, claim 2 none: the plan
// form prints for the first only, the statement for the second; the window
// opens at its designed size and grows with its lists, not smaller; F1 shows
// its page.
TEST_F(AccountStatus, PrintsTheHighlightedClaimGrowsAndShowsItsHelp)
{
    AccountStatusWindow w(StatusKind::CurrentAccounts);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // True when the report started and its pages reached the preview; false
    // when it ended at entry.
    const auto printed = [&](const char* report) {
        w.printButton(report)->click();
        if (!generating()) return false;
        auto pages = std::make_shared<QString>();
        test::exitNextPreview([pages](reports::PreviewWindow& p) { *pages = p.pageStatus(); });
        return QTest::qWaitFor([&] { return !pages->isEmpty(); }, 30000);
    };
    EXPECT_TRUE(printed(claims::kPlanClaimCmsForm));
    QTest::keyClick(w.claims()->list(), Qt::Key_Down);
    QTRY_COMPARE(w.shown("PAT:LNAME"), QString("JONES"));
    EXPECT_FALSE(printed(claims::kPlanClaimCmsForm));
    EXPECT_TRUE(printed(claims::kStatement));
    EXPECT_EQ(claims::kStatement, QString("invoice"));
    EXPECT_EQ(w.shown("ITM:INV"), QString("0000002"));  // the window stays on its claim

    const QSize designed = w.size();
    const QRect list = w.claims()->geometry();
    const int rows = w.claims()->engine().entryCount();
    QPushButton* print = w.printButton(claims::kPlanClaimBlankForm);
    const QSize button = print->size();
    w.grab().save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/status-designed.png");
    w.resize(designed + QSize(300, 200));
    QTRY_VERIFY(w.claims()->width() > list.width() + 250);
    EXPECT_GT(w.claims()->height(), list.height() + 80);
    EXPECT_GT(w.claims()->list()->width(), list.width() + 200);  // the table inside follows
    QTRY_VERIFY(w.claims()->engine().entryCount() > rows);        // and shows more claims
    EXPECT_EQ(print->size(), button);
    w.sheet()->setCurrentIndex(1);
    EXPECT_GT(w.services()->width(), list.width() + 250);
    w.grab().save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/status-enlarged.png");
    w.resize(designed - QSize(200, 100));
    EXPECT_EQ(w.size(), designed);

    QTest::keyClick(w.services()->list(), Qt::Key_F1);
    auto* viewer = w.findChild<shell::HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->topic(), AccountStatusWindow::helpTopic(StatusKind::CurrentAccounts));
    EXPECT_TRUE(viewer->browser()->toPlainText().contains("Accounts Current Status Browser"));
    EXPECT_TRUE(messages.shown().empty());
}

} // namespace
