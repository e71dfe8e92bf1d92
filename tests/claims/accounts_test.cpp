// A patient's account: the claims window over the patient's claims, and the
// patient list that opens it.
#include "claims/accountbrowser.h"
#include "claims/patientclaims.h"
#include "managers/backupwindows.h"
#include "reports/previewwindow.h"

#include "claimtesting.h"
#include "shell/browselist.h"
#include "shell/browsewindow.h"
#include "shell/detailpanel.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "support/previewexit.h"
#include "support/guiactions.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTimer>


using namespace kestrel;
using namespace kestrel::shell;
using data::INV;
using data::PAT;
namespace file = data::file;

namespace {

class AccountTest : public test::ClaimTest {
protected:
    void SetUp() override
    {
        ClaimTest::SetUp();
        addProvider(1, "WELBY, MARCUS");
        addProvider(2, "KILDARE, JAMES");
    }
    void addAccount(long long pat, const char* name, const char* stored = "0")
    {
        addRecord(file::Patient, [&] {
            PAT.PAT.set(pat);
            PAT.LNAME.set(name);
            PAT.ADD1.set("12 MAIN ST");
            PAT.ADD2.set("SPRINGFIELD");
            PAT.ADD3.set("IL");
            PAT.ADD4.set("62701");
            PAT.HAREA.set("217");
            PAT.HPHON.set("555-0101");
            PAT.NOWBALAN.set(test::money(stored));
        });
    }
    void addClaim(long long prv, long long pat, long long inv, const char* bdue, long long primary = 0)
    {
        addRecord(file::Invoice, [&] {
            INV.PRV.set(prv);
            INV.PAT.set(pat);
            INV.INV.set(inv);
            INV.DATE.set("20240110");
            INV.TFEE.set(test::money(bdue));
            INV.BDUE.set(test::money(bdue));
            if (primary) INV.PRIMARY.set(std::to_string(primary));
        });
    }
    void addPlan(long long id, const char* plan)
    {
        addRecord(file::Insured1, [&] {
            data::IN1.INS1ID.set(std::to_string(id));
            data::IN1.INS1CARNAME.set(plan);
        });
    }
    std::string storedBalance(long long pat)
    {
        std::string out;
        for (const auto& [n, b] : records(file::Patient, "PAT:PATKEY", [] { return std::pair{PAT.PAT.asInt(), PAT.NOWBALAN.value().toString()}; }))
            if (n == pat) out = b;
        return out;
    }
    void setStoredBalance(long long pat, const char* balance)
    {
        data::FileUse use{&file::Patient};
        PAT.PAT.set(pat);
        auto& patients = data::recordFile(file::Patient);
        ASSERT_EQ(patients.get(file::Patient.keyIndex("PAT:PATKEY")), platform::errc::Ok);
        PAT.NOWBALAN.set(test::money(balance));
        ASSERT_EQ(patients.put(), platform::errc::Ok);
    }
    std::vector<long long> storedClaims()
    {
        return records(file::Invoice, "INV:INVKEY", [] { return INV.INV.asInt(); });
    }

    // Opens the claims window as the patient list's &Open does and runs
    // `user` in it; returns the window's response.
    Response openAccount(long long pat, std::function<void(FormWindow*)> user)
    {
        data::FileUse use{&file::Patient};
        PAT.PAT.set(pat);
        auto& patients = data::recordFile(file::Patient);
        patients.watch();
        EXPECT_EQ(patients.get(file::Patient.keyIndex("PAT:PATKEY")), platform::errc::Ok);
        CallRequest = Request::Change;
        // Its own timer, gone with the call: a window that closed before it
        // was ever seen leaves nothing waiting for the next one.
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&timer, &user] {
            auto* form = qobject_cast<FormWindow*>(QApplication::activeModalWidget());
            if (!form || !isAccount(form)) return;
            timer.stop();
            const auto close = qScopeGuard([form] { if (form->isVisible()) form->close(); });
            ASSERT_TRUE(QTest::qWaitFor([form] { return claimsOf(form)->engine().isOpen() || !form->isVisible(); }));
            test::settle();
            if (form->isVisible()) user(form);
        });
        timer.start();
        return claims::runPatientClaims(place, &frame);
    }
    static bool isAccount(QWidget* w)
    {
        auto* f = qobject_cast<FormWindow*>(w);
        return f && f->windowTitle() == "Patient Account Browser";
    }
    static BrowseList* claimsOf(FormWindow* form) { return form->findChild<BrowseList*>(); }
    static QString balanceOf(FormWindow* form) { return form->findChild<QLabel*>("accountBalance")->text(); }
    // The list's rows as shown: "PRV Account Invoice $ Balance".
    static std::vector<QString> rowsOf(FormWindow* form)
    {
        BrowseList* list = claimsOf(form);
        QAbstractItemModel* m = list->list()->model();
        std::vector<QString> rows;
        for (int r = 0; r < list->engine().entryCount(); ++r)
            rows.push_back(QStringList{m->index(r, 0).data().toString(), m->index(r, 1).data().toString(),
                                       m->index(r, 2).data().toString(), m->index(r, 7).data().toString().trimmed()}
                               .join(' '));
        return rows;
    }
    static QString shownField(FormWindow* form, const char* field)
    {
        auto* l = qobject_cast<QLabel*>(form->controlWidget(form->engine().indexOf(QLatin1String(field))));
        return l ? l->text().trimmed() : QString();
    }

    PrinterSettings printer;
    claims::Workplace place{platform::RootDir(dir.path())};
    MainWindow frame{place.root, printer};  // what the windows open over, never shown
};

// Claims of two providers, another patient's claim among them: the list
// groups by provider in claim order, the plan name follows the highlight,
// a print button starts its report for the highlighted claim, a deleted
// claim goes with its lines and the balance drops at once, while the stored
// balance only follows on Close.
TEST_F(AccountTest, TheClaimsWindowListsSumsDeletesAndStoresTheBalance)
{
    addAccount(7, "DOE, JANE", "99.99");
    addAccount(8, "ROE, RICHARD");
    addPlan(11111111101, "BLUE PLAN");
    addClaim(2, 7, 5, "120.00");
    addClaim(1, 7, 9, "-15.50", 11111111101);
    addClaim(1, 7, 3, "0.00");
    addClaim(1, 8, 4, "500.00");
    addLine(1, 7, 9, "20240110", "99213", "10.00");
    addLine(1, 7, 9, "20240111", "00001", "-25.50");
    addLine(1, 8, 4, "20240110", "99213", "500.00");

    messages.answer(data::Button::Ok);  // the delete confirmation
    const Response response = openAccount(7, [&](FormWindow* form) {
        EXPECT_EQ(rowsOf(form), (std::vector<QString>{"001 00007 00000003 0.00", "001 00007 00000009 -15.50",
                                                     "002 00007 00000005 120.00"}));
        EXPECT_EQ(balanceOf(form), "104.50");
        EXPECT_EQ(shownField(form, "IN1:INS1CARNAME"), "");
        BrowseList* list = claimsOf(form);
        QTest::keyClick(list->list(), Qt::Key_Down);
        EXPECT_TRUE(QTest::qWaitFor([&] { return shownField(form, "IN1:INS1CARNAME") == "BLUE PLAN"; }));
        form->grab().save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/accounts-claims.png");

        // The claim form and the statement of the highlighted claim: their
        // pages reach the preview, which is left with Exit.
        for (const char* button : {"Print plan claim/CMS form", "Print statement"}) {
            SCOPED_TRACE(button);
            QString previewed;
            test::exitNextPreview([&previewed](reports::PreviewWindow& p) { previewed = p.pageStatus(); });
            for (QPushButton* b : form->findChildren<QPushButton*>())
                if (b->text() == button) b->click();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !previewed.isEmpty(); }, 30000));
            EXPECT_TRUE(previewed.contains("1")) << previewed.toStdString();
        }
        // The other plan's form needs another insured, which this claim has
        // not: nothing starts.
        for (QPushButton* b : form->findChildren<QPushButton*>())
            if (b->text() == "Print other plan claim/CMS form") b->click();
        test::settle();
        EXPECT_EQ(QApplication::activeModalWidget(), form);

        list->button(BrowseRole::Delete)->click();
        test::settle();
        EXPECT_EQ(rowsOf(form), (std::vector<QString>{"001 00007 00000003 0.00", "002 00007 00000005 120.00"}));
        EXPECT_EQ(balanceOf(form), "120.00");
        form->button("&Close")->click();
    });
    EXPECT_EQ(response, Response::Completed);
    EXPECT_EQ(messages.numbers(), std::vector<int>{32});
    EXPECT_EQ(storedClaims(), (std::vector<long long>{3, 4, 5}));
    EXPECT_EQ(storedLines(), (std::vector<Line>{{4, "99213", "500.00"}}));
    EXPECT_EQ(storedBalance(7), "120.00");
    EXPECT_EQ(storedBalance(8), "0.00");  // the other patient's is not touched
}

// A patient without claims: an empty list, 0.00. Esc leaves the window
// open, its close box writes nothing, Close stores 0.00 over a stale
// balance; Save stores what was typed with the balance.
TEST_F(AccountTest, CloseStoresTheBalanceAndTheCloseBoxWritesNothing)
{
    addAccount(7, "DOE, JANE", "42.00");
    EXPECT_EQ(openAccount(7, [](FormWindow* form) {
        EXPECT_EQ(claimsOf(form)->engine().entryCount(), 0);
        EXPECT_EQ(balanceOf(form), "0.00");
        QTest::keyClick(form, Qt::Key_Escape);
        EXPECT_TRUE(form->isVisible());
        form->close();
    }), Response::Cancelled);
    EXPECT_EQ(storedBalance(7), "42.00");

    EXPECT_EQ(openAccount(7, [](FormWindow* form) { form->button("&Close")->click(); }), Response::Completed);
    EXPECT_EQ(storedBalance(7), "0.00");

    addClaim(1, 7, 1, "30.00");
    EXPECT_EQ(openAccount(7, [](FormWindow* form) {
        test::typeInto(form->entryOf("PAT:HPHON"), "555-0199");
        form->saveButton()->click();
    }), Response::Completed);
    EXPECT_EQ(storedBalance(7), "30.00");
    EXPECT_EQ(records(file::Patient, "PAT:PATKEY", [] { return std::string(PAT.HPHON.trimmed()); }),
              std::vector<std::string>{"555-0199"});
    EXPECT_TRUE(messages.shown().empty());
}

// The patient list: a letter typed steps through the names that begin with
// it; &Open, a claim added, Close: the list shows the balance the claims
// window stored; &Close starts the backup and closes the list.
TEST_F(AccountTest, ThePatientListOpensAnAccountAndBacksUpOnClose)
{
    addAccount(1, "ADAMS, AMY");
    addAccount(2, "SMITH, SAM");
    addAccount(3, "STONE, SUE");
    addAccount(4, "TAYLOR, TOM");
    addClaim(1, 3, 1, "75.25");  // stored balance still 0.00
    // The backup command, run as the program runs its own: it leaves a mark.
    const QString mark = dir.file("backup-started");
    const managers::BackupCommand was = managers::backupCommand();
    managers::setBackupCommand({"/bin/sh", {"-c", "echo \"$0\" > '" + mark + "'"}});
    const auto unhook = qScopeGuard([was] { managers::setBackupCommand(was); });

    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    QMdiSubWindow* sub = claims::openAccountBrowser(&area, place);
    auto* browse = qobject_cast<BrowseWindow*>(sub->widget());
    ASSERT_NE(browse, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return browse->engine().entryCount() == 4; }));
    test::settle();
    auto* panel = browse->findChild<DetailPanel*>();
    QTest::keyClick(browse->list(), Qt::Key_S);
    test::settle();
    EXPECT_EQ(panel->locator()->text().trimmed(), "SMITH, SAM");
    QTest::keyClick(browse->list(), Qt::Key_S);
    test::settle();
    EXPECT_EQ(panel->locator()->text().trimmed(), "STONE, SUE");
    EXPECT_EQ(panel->shownText("PAT:NOWBALAN"), "0.00");
    EXPECT_TRUE(browse->grab().save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/accounts-list.png"));

    test::whenShown(isAccount, [](QWidget* w) {
        auto* form = qobject_cast<FormWindow*>(w);
        ASSERT_TRUE(QTest::qWaitFor([form] { return claimsOf(form)->engine().isOpen(); }));
        test::settle();
        EXPECT_EQ(form->entryOf("PAT:LNAME")->text(), "STONE, SUE");
        test::selectInNextLookup();  // the new claim's provider
        test::whenShown(test::isForm("INV:PRV"), [](QWidget* d) {
            auto* claim = qobject_cast<FormWindow*>(d);
            ASSERT_TRUE(QTest::qWaitFor([&] { return claim->entryOf("INV:PRV")->text() == "001"; }));
            claim->activateWindow();  // the offscreen platform leaves it inactive after the lookup
            ASSERT_TRUE(QTest::qWaitForWindowActive(claim));
            test::typeInto(claim->entryOf("INV:DATE"), "03/01/2024");
            test::tab();
            claim->saveButton()->click();
        });
        claimsOf(form)->button(BrowseRole::Add)->click();
        test::settle();
        EXPECT_EQ(claimsOf(form)->engine().entryCount(), 2);
        EXPECT_EQ(balanceOf(form), "75.25");
        form->button("&Close")->click();
    });
    browse->button(1)->click();  // &Open
    test::settle();
    EXPECT_EQ(panel->shownText("PAT:NOWBALAN"), "75.25");
    EXPECT_EQ(panel->locator()->text().trimmed(), "STONE, SUE");
    EXPECT_EQ(storedClaims(), (std::vector<long long>{1, 2}));

    QPointer<QMdiSubWindow> guard(sub);
    EXPECT_FALSE(QFile::exists(mark));
    browse->button(2)->click();  // &Close
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull() || !guard->isVisible(); }));
    // The command creates the file before it writes to it: wait for the word.
    const auto written = [&] {
        QFile started(mark);
        return started.open(QIODevice::ReadOnly) ? started.readAll().trimmed() : QByteArray();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return written() == "backup"; }, 10000)) << written().toStdString();
    for (auto* running : qApp->findChildren<QProcess*>()) running->waitForFinished(10000);
    EXPECT_TRUE(messages.shown().empty());
}

} // namespace

namespace {

// A claim that cannot be read, at whatever point of the window's reading:
// the window says so (message 35 for "Invoice") and closes without writing,
// or, when the failed read was not one it needed, shows and stores the
// right balance. Never a balance summed over part of the claims.
TEST_F(AccountTest, AClaimThatCannotBeReadClosesTheWindowWritingNothing)
{
    addAccount(7, "DOE, JANE", "99.99");
    addClaim(2, 7, 5, "120.00");
    addClaim(1, 7, 9, "-15.50");
    int closedByError = 0, completed = 0;
    for (int nth = 1; nth <= 20; ++nth) {
        SCOPED_TRACE(nth);
        const std::size_t before = messages.shown().size();
        platform::faults::failOn(platform::faults::Operation::Read, "Invoice", nth, platform::errc::DriverError);
        QString shown;
        const Response response = openAccount(7, [&shown](FormWindow* form) {
            shown = balanceOf(form);
            form->button("&Close")->click();
        });
        platform::faults::clear();
        test::settle();
        if (response == Response::Completed) {
            ++completed;
            EXPECT_EQ(shown, "104.50");
            EXPECT_EQ(storedBalance(7), "104.50");
            EXPECT_EQ(messages.shown().size(), before);
        } else {
            ++closedByError;
            ASSERT_EQ(messages.shown().size(), before + 1);
            EXPECT_EQ(messages.shown().back().number, 35);
            EXPECT_TRUE(messages.shown().back().text.contains("Invoice")) << messages.shown().back().text.toStdString();
            EXPECT_EQ(storedBalance(7), "99.99");
        }
        setStoredBalance(7, "99.99");  // stale again for the next round
    }
    EXPECT_GT(closedByError, 0);
    EXPECT_GT(completed, 0);
}

} // namespace
