// The claim data form, called as the patient claims browser calls it.
#include "claims/claimform.h"

#include "claimtesting.h"
#include "data/integrity.h"
#include "managers/insurtesting.h"
#include "shell/browselist.h"
#include "support/guiactions.h"

#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using data::INV;
using data::ITM;
namespace file = data::file;

namespace {

class ClaimFormTest : public test::ClaimTest {
protected:
    void SetUp() override
    {
        ClaimTest::SetUp();
        addProvider(1, "WELBY, MARCUS", "E");
        addProvider(2, "KILDARE, JAMES", "S");
        addPatient(7, "DOE, JANE");
        addCpt("99213", "OFFICE VISIT EST PT");
        addCpt("99214", "OFFICE VISIT EST PT 25 MIN");
        addIcd("E11.9", "TYPE 2 DIABETES");
        addIcd("J45.909", "ASTHMA");
    }
    void addClaim(long long inv, long long pat, const char* tpay = "0", const char* tadj = "0")
    {
        addRecord(file::Invoice, [&] {
            INV.PRV.set(1);
            INV.PAT.set(pat);
            INV.INV.set(inv);
            INV.DATE.set("20240110");
            INV.TPAY.set(test::money(tpay));
            INV.TADJ.set(test::money(tadj));
        });
    }
    struct Claim {
        long long inv, pat, prv;
        std::string date, dx1, dx2, tfee, bdue;
        bool operator==(const Claim&) const = default;
    };
    std::vector<Claim> storedClaims()
    {
        return records(file::Invoice, "INV:INVKEY", [] {
            return Claim{INV.INV.asInt(), INV.PAT.asInt(), INV.PRV.asInt(), std::string(INV.DATE.trimmed()),
                         std::string(INV.DX1.trimmed()), std::string(INV.DX2.trimmed()),
                         INV.TFEE.value().toString(), INV.BDUE.value().toString()};
        });
    }
    const QString ini = dir.file("KESTRI~1.INI");
};

BrowseList* serviceList(FormWindow* form) { return form->sheet()->widget(2)->findChild<BrowseList*>(); }
// After a lookup or editor closes, the offscreen platform leaves the form
// inactive (a window manager would activate it): focus events need it active.
void backTo(QWidget* form)
{
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form));
}

QString claimTotal(FormWindow* form) { return form->findChild<QLabel*>("claimTotal")->text(); }

// A line through the service line editor: Add, then date, code, charge, Save.
void addLineThroughEditor(FormWindow* form, const char* code, const char* fee, bool codeByF12)
{
    test::whenShown(test::isForm("ITM:CPT"), [=](QWidget* d) {
        auto* editor = qobject_cast<FormWindow*>(d);
        backTo(editor);
        test::typeInto(editor->entryOf("ITM:CPT"), code);
        if (codeByF12) {
            test::selectInNextLookup();
            QTest::keyClick(editor->entryOf("ITM:CPT"), Qt::Key_F12);
            backTo(editor);
        }
        test::typeInto(editor->entryOf("ITM:DOSF"), "01/15/2024");
        test::typeInto(editor->entryOf("ITM:FEE"), fee);
        editor->saveButton()->click();
    });
    serviceList(form)->button(BrowseRole::Add)->click();
    test::settle();
    backTo(form);
}

} // namespace

// What a user does: a new claim for the open patient, the provider picked
// from the lookup that opens by itself and changed with F12, the date and two
// diagnoses typed, two service lines added through the editor (one code
// chosen with F12), the total shown, Save; then the claim and its lines are
// in the files with the right figures.
TEST_F(ClaimFormTest, AClaimIsEnteredAsAUserEntersIt)
{
    test::ClaimsBrowserCall browser;
    browser.forInsert(7);
    test::selectInNextLookup();  // the provider lookup of the opening
    test::whenShown(test::isForm("INV:PRV"), [&](QWidget* d) {
        auto* form = qobject_cast<FormWindow*>(d);
        const auto close = qScopeGuard([form] { if (form->isVisible()) form->close(); });
        EXPECT_EQ(form->windowTitle(), "Record will be added");
        QLineEdit* mdn = form->entryOf("INV:PRV");
        ASSERT_TRUE(QTest::qWaitFor([&] { return mdn->text() == "001"; }));
        EXPECT_EQ(mdn->toolTip(), "Use mouse right button/ F12key to browse.");
        EXPECT_EQ(form->entryOf("INV:INV")->text(), "0000001");

        test::whenShown(test::isLookup, [](QWidget* b) {  // F12: the second provider
            test::settle();
            QTest::keyClick(b->findChild<BrowseWindow*>()->list(), Qt::Key_Down);
            test::settle();
            b->findChild<BrowseWindow*>()->button(BrowseRole::Select)->click();
        });
        QTest::keyClick(mdn, Qt::Key_F12);
        test::settle();
        EXPECT_EQ(mdn->text(), "002");
        backTo(form);
        test::typeInto(form->entryOf("INV:F25TIN"), "");  // box 25 from the provider's SSN
        EXPECT_EQ(form->entryOf("INV:F25X")->text(), "SSN");
        test::typeInto(form->entryOf("INV:DATE"), "01/15/2024");
        test::typeInto(form->entryOf("INV:DX1"), "J45.909");
        test::typeInto(form->entryOf("INV:DX2"), "E11.9");
        test::tab();
        test::settle();

        form->sheet()->setCurrentIndex(2);
        test::settle();
        const QString png = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/claimform-%1.png";
        EXPECT_TRUE(form->grab().save(png.arg("header")));
        addLineThroughEditor(form, "99213", "10.10", false);
        addLineThroughEditor(form, "99214", "20.20", true);
        EXPECT_EQ(serviceList(form)->engine().entryCount(), 2);
        EXPECT_EQ(claimTotal(form), "30.30");
        for (int tab = 0; tab < form->sheet()->count(); ++tab) {
            form->sheet()->setCurrentIndex(tab);
            form->repaint();
            test::settle();
            EXPECT_TRUE(form->grab().save(png.arg(tab)));
        }
        form->saveButton()->click();
    });
    EXPECT_EQ(claims::runClaimForm(ini), Response::Completed);
    EXPECT_EQ(storedClaims(), (std::vector<Claim>{{1, 7, 2, "20240115", "J45.909", "E11.9", "30.30", "30.30"}}));
    EXPECT_EQ(storedLines(), (std::vector<Line>{{1, "99213", "10.10"}, {1, "99214", "20.20"}}));
    // Boxes 10b and 12, never touched, store their "not marked" letter.
    EXPECT_EQ(records(file::Invoice, "INV:INVKEY", [] { return std::string(INV.F10B.view()) + std::string(INV.F12.view()); }),
              std::vector<std::string>{"NN"});
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "DOE, JANE");  // the browser's patient as it left it
    EXPECT_TRUE(messages.shown().empty());
}

// Numbers follow the highest claim whoever's it is; a new claim left without
// saving (lookup cancelled, close box) frees its number and leaves no line;
// numbers stop where a line can no longer carry them.
TEST_F(ClaimFormTest, NewClaimsAreNumberedAndAbandonedClaimsLeaveNothing)
{
    {
        data::FileUse use{&file::Invoice};
        data::clearRecord(file::Invoice, data::bytesOf(INV));
        INV.PAT.set(7);
        test::CalledForm first(claims::claimForm(), Request::Insert);
        EXPECT_EQ(INV.INV.asInt(), 1);  // an empty file starts at 1
    }
    EXPECT_TRUE(storedClaims().empty());
    for (long long n = 1; n <= 7; ++n) addClaim(n, n == 3 ? 7 : 100 + n);

    test::ClaimsBrowserCall browser;
    // The provider lookup of the opening cancelled: no claim.
    browser.forInsert(7);
    test::whenShown(test::isLookup, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
    EXPECT_EQ(claims::runClaimForm(ini), Response::Cancelled);
    EXPECT_EQ(storedClaims().size(), 7u);

    // Claim 8 gets a line, then the window is closed by its close box.
    browser.forInsert(7);
    test::selectInNextLookup();
    test::whenShown(test::isForm("INV:PRV"), [&](QWidget* d) {
        auto* form = qobject_cast<FormWindow*>(d);
        const auto close = qScopeGuard([form] { form->close(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->entryOf("INV:PRV")->text() == "001"; }));
        EXPECT_EQ(form->entryOf("INV:INV")->text(), "0000008");
        backTo(form);
        QTest::keyClick(form, Qt::Key_Escape);  // Esc does not close the form
        EXPECT_TRUE(form->isVisible());
        test::typeInto(form->entryOf("INV:DATE"), "02/01/2024");
        form->sheet()->setCurrentIndex(2);
        addLineThroughEditor(form, "99213", "15.00", false);
        EXPECT_EQ(claimTotal(form), "15.00");
        // A number typed over the reserved one: lines added now carry it.
        form->sheet()->setCurrentIndex(0);
        test::typeInto(form->entryOf("INV:INV"), "50");
        form->sheet()->setCurrentIndex(2);
        addLineThroughEditor(form, "99214", "20.00", false);
        EXPECT_EQ(storedLines(), (std::vector<Line>{{8, "99213", "15.00"}, {50, "99214", "20.00"}}));
    });
    EXPECT_EQ(claims::runClaimForm(ini), Response::Cancelled);
    EXPECT_EQ(storedClaims().size(), 7u);
    EXPECT_TRUE(storedLines().empty());

    // The next new claim takes 8 again and inherits nothing.
    browser.forInsert(7);
    test::selectInNextLookup();
    int listed = -1;
    test::whenShown(test::isForm("INV:PRV"), [&](QWidget* d) {
        auto* form = qobject_cast<FormWindow*>(d);
        const auto close = qScopeGuard([form] { form->close(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->entryOf("INV:PRV")->text() == "001"; }));
        EXPECT_EQ(form->entryOf("INV:INV")->text(), "0000008");
        listed = serviceList(form)->engine().entryCount();
    });
    claims::runClaimForm(ini);
    EXPECT_EQ(listed, 0);

    // A claim 9,999,999 on file: message 25, no new claim.
    addClaim(claims::kLastClaimNumber, 7);
    messages.answer(data::Button::Cancel);
    browser.forInsert(7);
    EXPECT_EQ(claims::runClaimForm(ini), Response::Cancelled);
    EXPECT_EQ(messages.numbers(), std::vector<int>{25});
    EXPECT_EQ(storedClaims().size(), 8u);
}

// The rules between boxes, as a user meets them in an open claim.
TEST_F(ClaimFormTest, BoxesFollowOneAnother)
{
    addRecord(file::Invoice, [] {
        INV.PRV.set(2);
        INV.PAT.set(7);
        INV.INV.set(5);
        INV.DATE.set("20240110");
    });
    test::ClaimsBrowserCall browser;
    browser.forChange(5);
    test::CalledForm f(claims::claimForm(), Request::Change);
    ASSERT_FALSE(f.engine.isClosed());

    // Box 25 from the provider: "S" gives the SSN; a typed number stays.
    f.enter("INV:F25TIN");
    EXPECT_EQ(f.shown("INV:F25TIN"), "123456789");
    EXPECT_EQ(f.shown("INV:F25X"), "SSN");
    ASSERT_TRUE(f.type("INV:F25TIN", "11-1111111"));
    f.enter("INV:F25TIN");
    EXPECT_EQ(f.shown("INV:F25TIN"), "11-1111111");
    ASSERT_TRUE(f.type("INV:PRV", "1"));  // any other kind gives the EIN
    ASSERT_TRUE(f.type("INV:F25TIN", ""));
    EXPECT_EQ(f.shown("INV:F25TIN"), "98-7654321");
    EXPECT_EQ(f.shown("INV:F25X"), "EIN");

    // Auto accident: marked without a state turns "N"; unmarking clears it.
    f.engine.check(f.at("INV:F10B"), true);
    ASSERT_TRUE(f.type("INV:F10BPLACE", "NY"));
    ASSERT_TRUE(f.type("INV:F10BPLACE", ""));
    EXPECT_EQ(INV.F10B.trimmed(), "N");
    f.engine.check(f.at("INV:F10B"), true);
    ASSERT_TRUE(f.type("INV:F10BPLACE", "NJ"));
    f.engine.check(f.at("INV:F10B"), false);
    EXPECT_TRUE(INV.F10BPLACE.trimmed().empty());

    // Box 12 follows the signature date.
    ASSERT_TRUE(f.type("INV:AUTHDATE", "02/01/2024"));
    EXPECT_EQ(INV.F12.trimmed(), "Y");
    ASSERT_TRUE(f.type("INV:AUTHDATE", ""));
    EXPECT_EQ(INV.F12.trimmed(), "N");

    // Box 11d follows the primary insured as it is accepted.
    ASSERT_TRUE(f.type("INV:SECONDARY", "222222222-02"));
    ASSERT_TRUE(f.type("INV:PRIMARY", "111111111-01"));
    EXPECT_EQ(std::string(INV.F11DY.view()) + std::string(INV.F11DN.view()), "Y ");
    ASSERT_TRUE(f.type("INV:SECONDARY", "000000000-00"));
    ASSERT_TRUE(f.type("INV:PRIMARY", "111111111-02"));
    EXPECT_EQ(std::string(INV.F11DY.view()) + std::string(INV.F11DN.view()), " N");
    ASSERT_TRUE(f.type("INV:SECONDARY", "222222222-02"));
    ASSERT_TRUE(f.type("INV:PRIMARY", "000000000-00"));
    EXPECT_EQ(std::string(INV.F11DY.view()) + std::string(INV.F11DN.view()), "  ");
    EXPECT_EQ(f.engine.number("INV:SECONDARY"), platform::Decimal(0));
    EXPECT_TRUE(messages.shown().empty());
}

// Only service lines are listed and counted; Save stores the total and the
// balance with the payments the claim holds, and a changed claim number
// takes every line along, payments included.
TEST_F(ClaimFormTest, SaveStoresTheTotalAndBalanceAndAChangedNumberMovesTheLines)
{
    addClaim(1, 7, "-20.00", "-5.00");
    addLine(1, 7, 1, "20240110", "99213", "10.10");
    addLine(1, 7, 1, "20240111", "99214", "20.20");
    addLine(1, 7, 1, "20240112", "99212", "0.00");
    addLine(1, 7, 1, "20240112", "99211", "-3.00");   // never a service
    addLine(1, 7, 1, "20240113", "00003", "-20.00");  // a payment
    test::ClaimsBrowserCall browser;
    browser.forChange(1);
    test::whenShown(test::isForm("INV:PRV"), [&](QWidget* d) {
        auto* form = qobject_cast<FormWindow*>(d);
        const auto close = qScopeGuard([form] { if (form->isVisible()) form->close(); });
        test::settle();
        EXPECT_EQ(form->windowTitle(), "Record will be changed");
        form->sheet()->setCurrentIndex(2);
        test::settle();
        EXPECT_EQ(serviceList(form)->engine().entryCount(), 3);
        // The list on the tab is drawn (the form's layout once left it undrawn).
        EXPECT_TRUE(serviceList(form)->list()->updatesEnabled());
        EXPECT_EQ(claimTotal(form), "30.30");
        form->grab().save("/tmp/claims2-services.png");
        // The browser underneath is part way through editing its patient:
        // the form shows the patient on file and leaves the browser's as it is.
        data::PAT.LNAME.set("HALF TYPED");
        backTo(form);
        test::typeInto(form->entryOf("INV:INV"), "9");
        auto* patient = qobject_cast<QLabel*>(form->controlWidget(form->engine().indexOf("PAT:LNAME")));
        EXPECT_EQ(patient->text(), "DOE, JANE");
        form->saveButton()->click();
    });
    EXPECT_EQ(claims::runClaimForm(ini), Response::Completed);
    EXPECT_EQ(storedClaims(), (std::vector<Claim>{{9, 7, 1, "20240110", "", "", "30.30", "5.30"}}));
    EXPECT_EQ(storedLines().size(), 5u);
    for (const Line& l : storedLines()) EXPECT_EQ(std::get<0>(l), 9);
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "HALF TYPED");
    EXPECT_FALSE(data::ClaimSnapshotHold::active());
}

// F12 in a browse box: the chosen record fills the box and its shown
// fields; a lookup left with Esc changes nothing.
TEST_F(ClaimFormTest, BrowseBoxesTakeWhatTheirLookupChose)
{
    addRecord(file::Invoice, [] {
        INV.PRV.set(1);
        INV.PAT.set(7);
        INV.INV.set(5);
        INV.DATE.set("20240110");
    });
    addRecord(file::Referring, [] {
        data::REF.F17ID.set("00000000042");
        data::REF.F17R.set("CASEY, BEN");
    });
    addRecord(file::Facility, [] {
        data::FAC.FACILITYID.set("00000000017");
        data::FAC.FACILTYNAME.set("MERCY GENERAL");
    });
    addRecord(file::CIQL, [] {
        data::CIQ.CICODE.set("431");
        data::CIQ.CIDESC.set("Onset of Current Symptoms or Illness");
    });
    test::ClaimsBrowserCall browser;
    browser.forChange(5);
    test::CalledForm f(claims::claimForm(), Request::Change);
    ASSERT_FALSE(f.engine.isClosed());
    auto choose = [&](const char* field) {
        test::selectInNextLookup();
        f.engine.lookup(f.at(field));
        test::settle();
    };
    choose("INV:DX1");
    choose("INV:F14Q");
    choose("INV:F17ID");
    choose("INV:F32");
    EXPECT_EQ(INV.DX1.trimmed(), "E11.9");
    EXPECT_EQ(INV.F14Q.trimmed(), "431");
    EXPECT_EQ(INV.F17ID.trimmed(), "00000000042");
    EXPECT_EQ(f.shown("REF:F17R").trimmed(), "CASEY, BEN");
    EXPECT_EQ(INV.F32.trimmed(), "00000000017");

    test::whenShown(test::isLookup, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
    f.engine.lookup(f.at("INV:DX1"));
    test::settle();
    EXPECT_EQ(INV.DX1.trimmed(), "E11.9");
    EXPECT_TRUE(messages.shown().empty());
}

// Save pressed from the keyboard while the focus is still in the date just
// typed: the date is taken first, so the new claim is saved, not dropped.
TEST_F(ClaimFormTest, SaveFromTheKeyboardTakesTheFieldBeingTyped)
{
    test::ClaimsBrowserCall browser;
    browser.forInsert(7);
    test::selectInNextLookup();
    test::whenShown(test::isForm("INV:PRV"), [&](QWidget* d) {
        auto* form = qobject_cast<FormWindow*>(d);
        const auto close = qScopeGuard([form] { if (form->isVisible()) form->close(); });
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->entryOf("INV:PRV")->text() == "001"; }));
        backTo(form);
        QLineEdit* date = form->entryOf("INV:DATE");
        date->setFocus();
        QTest::keyClicks(date, "02/01/2024");
        form->saveButton()->click();  // as its shortcut does: the focus stays in the date
    });
    EXPECT_EQ(claims::runClaimForm(ini), Response::Completed);
    ASSERT_EQ(storedClaims().size(), 1u);
    EXPECT_EQ(storedClaims()[0].date, "20240201");
}
