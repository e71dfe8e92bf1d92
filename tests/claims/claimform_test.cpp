// The claim data form, called as the patient claims browser calls it.
#include "claims/claimform.h"

#include "claimtesting.h"
#include "data/integrity.h"
#include "managers/insurtesting.h"
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

BrowseWindow* serviceList(FormWindow* form) { return form->sheet()->widget(2)->findChild<BrowseWindow*>(); }
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
    EXPECT_EQ(claims::runClaimForm(ini), RequestCompleted);
    EXPECT_EQ(storedClaims(), (std::vector<Claim>{{1, 7, 2, "20240115", "J45.909", "E11.9", "30.30", "30.30"}}));
    EXPECT_EQ(storedLines(), (std::vector<Line>{{1, "99213", "10.10"}, {1, "99214", "20.20"}}));
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "DOE, JANE");  // the browser's patient as it left it
    EXPECT_TRUE(messages.shown().empty());
}
