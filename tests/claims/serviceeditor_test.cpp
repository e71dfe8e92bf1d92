// The service line editor: a line entered field by field, its closing
// rules, and the code and rendering lookups through the real windows.
#include "claims/serviceeditor.h"

#include "claimtesting.h"
#include "managers/insurtesting.h"
#include "support/guiactions.h"
#include "shell/browsewindow.h"
#include "shell/formwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using data::INV;
using data::ITM;
namespace file = data::file;

namespace {

class ServiceEditorTest : public test::ClaimTest {
protected:
    void SetUp() override
    {
        ClaimTest::SetUp();
        addCpt("99213", "OFFICE VISIT EST PT");
        addCpt("99214", "OFFICE VISIT EST PT 25 MIN");
        addRendering("1234567890", "RENDER, RITA");
        // The claim the claim form has open, with three of its diagnoses.
        data::clearRecord(file::Invoice, data::bytesOf(INV));
        INV.PRV.set(1);
        INV.PAT.set(7);
        INV.INV.set(3);
        INV.DX1.set("J45.909");
        INV.DX2.set("E11.9");
        INV.DX12.set("Z00.00");
    }
    // The line buffer as the claim form's Add leaves it; the provider and
    // patient it still holds from an earlier line are the editor's to set.
    void newLine()
    {
        data::clearRecord(file::Item, data::bytesOf(ITM));
        ITM.PRV.set(9);
        ITM.PAT.set(9);
        ITM.INV.set(3);
    }
    struct Stored {
        long long prv, pat, inv;
        std::string dosf, dost, cpt, des, fee, qty, f24j;
        bool operator==(const Stored&) const = default;
    };
    std::vector<Stored> stored()
    {
        return records(file::Item, "ITM:INVDOSKEY", [] {
            return Stored{ITM.PRV.asInt(), ITM.PAT.asInt(), ITM.INV.asInt(), std::string(ITM.DOSF.trimmed()),
                          std::string(ITM.DOST.trimmed()), std::string(ITM.CPT.trimmed()),
                          std::string(ITM.DES.trimmed()), ITM.FEE.value().toString(),
                          std::string(ITM.QTY.trimmed()), std::string(ITM.F24J.trimmed())};
        });
    }
};

} // namespace

TEST_F(ServiceEditorTest, ALineIsEnteredFieldByFieldAndStoredForTheClaimsOwners)
{
    newLine();
    test::CalledForm f(claims::serviceEditor(), Request::Insert);
    ASSERT_FALSE(f.engine.isClosed());
    EXPECT_EQ(f.engine.windowTitle(), "Record will be added");
    // The claim's diagnoses, upper row A, C, E ... before lower row B, D ...
    EXPECT_EQ(f.shown("INV:DX1"), "J45.909");
    EXPECT_EQ(f.shown("INV:DX12"), "Z00.00");
    EXPECT_LT(f.at("INV:DX11"), f.at("INV:DX2"));
    EXPECT_EQ(f.engine.control(f.at("INV:DX2")).prompt, "B.");

    ASSERT_TRUE(f.type("ITM:DOSF", "1/5/2024"));
    f.enter("ITM:DOST");  // an empty to-date takes the from-date
    EXPECT_EQ(f.shown("ITM:DOST"), "01/05/2024");
    ASSERT_TRUE(f.type("ITM:CPT", "99213"));  // on file: no browse
    f.enter("ITM:DES");
    EXPECT_EQ(f.shown("ITM:DES"), "OFFICE VISIT EST PT");
    ASSERT_TRUE(f.type("ITM:FEE", "0.00"));
    ASSERT_TRUE(f.type("ITM:QTY", "10"));  // units are text; the charge is not multiplied
    ASSERT_TRUE(f.type("ITM:F24J", "1234567890"));
    EXPECT_EQ(f.shown("REN:F24JNAME"), "RENDER, RITA");
    f.engine.save();
    EXPECT_EQ(f.engine.response(), Response::Completed);
    EXPECT_EQ(stored(), (std::vector<Stored>{{1, 7, 3, "20240105", "20240105", "99213", "OFFICE VISIT EST PT",
                                              "0.00", "10", "1234567890"}}));

    // Changing it: a to-date already there stays; the owners are the
    // claim's again on every opening.
    ITM.DOST.set("20240110");
    ITM.PRV.set(5);
    test::CalledForm change(claims::serviceEditor(), Request::Change);
    EXPECT_EQ(ITM.PRV.asInt(), 1);
    change.enter("ITM:DOST");
    EXPECT_EQ(change.shown("ITM:DOST"), "01/10/2024");
}

TEST_F(ServiceEditorTest, ALineWithoutDateOrCodeIsNotWritten)
{
    newLine();
    {
        // Save with no date of service: the accept-all pass ends the editor.
        test::CalledForm f(claims::serviceEditor(), Request::Insert);
        ASSERT_TRUE(f.type("ITM:CPT", "99213"));
        f.engine.save();
        EXPECT_TRUE(f.engine.isClosed());
        EXPECT_EQ(f.engine.response(), Response::Cancelled);
    }
    newLine();
    {
        // A description accepted while there is no code.
        test::CalledForm f(claims::serviceEditor(), Request::Insert);
        ASSERT_TRUE(f.type("ITM:DOSF", "01/05/2024"));
        EXPECT_FALSE(f.type("ITM:DES", "SOMETHING DONE"));
        EXPECT_EQ(f.engine.response(), Response::Cancelled);
    }
    EXPECT_TRUE(stored().empty());
    EXPECT_TRUE(messages.shown().empty());
}

// Through the real windows: a code not on file opens the code browse and
// cancelling it keeps the code with the focus; F12 chooses a code and
// clears the description, which then takes the chosen code's; the
// rendering browse is chosen with F12 and keeps its geometry in the INI
// file; Esc in the editor cancels.
TEST_F(ServiceEditorTest, TheLookupsWorkAsAUserMeetsThem)
{
    const QString ini = dir.file("KESTRI~1.INI");
    newLine();
    CallRequest = Request::Insert;
    test::whenOpened([&](QWidget* dialog) {
        auto* form = qobject_cast<FormWindow*>(dialog);
        ASSERT_NE(form, nullptr);
        // However the steps go, Esc ends the editor.
        const auto escape = qScopeGuard([form] { QTest::keyClick(form, Qt::Key_Escape); });
        test::settle();
        EXPECT_EQ(form->windowTitle(), "Record will be added");
        QLineEdit* cpt = form->entryOf("ITM:CPT");
        EXPECT_EQ(cpt->toolTip(), "Use mouse right button/F12key to select the procedure code.");
        test::typeInto(form->entryOf("ITM:DOSF"), "01/05/2024");
        test::typeInto(cpt, "99999");
        bool browsed = false;
        test::whenOpened([&](QWidget* browse) {
            browsed = true;
            test::settle();
            QTest::keyClick(browse, Qt::Key_Escape);
        }, form);
        test::typeInto(form->entryOf("ITM:DES"), "");  // leaves the code field
        test::settle();
        EXPECT_TRUE(browsed);
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->focusWidget() == cpt; }));
        EXPECT_EQ(cpt->text(), "99999");

        // F12 opens the browse on the code typed; Select takes 99214.
        test::typeInto(cpt, "99214");
        test::whenOpened([&](QWidget* d) {
            auto* browse = d->findChild<BrowseWindow*>();
            ASSERT_NE(browse, nullptr);
            test::settle();
            browse->button(BrowseRole::Select)->click();
        }, form);
        QTest::keyClick(cpt, Qt::Key_F12);
        test::settle();
        EXPECT_EQ(cpt->text(), "99214");
        EXPECT_EQ(form->entryOf("ITM:DES")->text(), "");
        form->activateWindow();  // the browse that closed gives the editor back its activation
        EXPECT_TRUE(QTest::qWaitForWindowActive(form));
        QTest::mouseClick(form->entryOf("ITM:DES"), Qt::LeftButton);
        test::settle();
        EXPECT_EQ(form->entryOf("ITM:DES")->text(), "OFFICE VISIT EST PT 25 MIN");

        // The rendering provider by F12.
        QLineEdit* f24j = form->entryOf("ITM:F24J");
        test::whenOpened([&](QWidget* d) {
            auto* browse = d->findChild<BrowseWindow*>();
            ASSERT_NE(browse, nullptr);
            test::settle();
            d->move(40, 30);
            browse->button(BrowseRole::Select)->click();
        }, form);
        QTest::mouseClick(f24j, Qt::LeftButton);
        QTest::keyClick(f24j, Qt::Key_F12);
        test::settle();
        EXPECT_EQ(f24j->text(), "1234567890");
        auto* name = qobject_cast<QLabel*>(form->controlWidget(form->engine().indexOf("REN:F24JNAME")));
        EXPECT_EQ(name->text(), "RENDER, RITA");

        const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/serviceeditor.png";
        EXPECT_TRUE(form->grab().save(path));
    });
    EXPECT_EQ(claims::runServiceEditor(ini), Response::Cancelled);
    EXPECT_TRUE(stored().empty());
    EXPECT_TRUE(QFile::exists(ini));
    EXPECT_TRUE(QFile(ini).open(QIODevice::ReadOnly));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("[F24jEditor]"));
}

// Save's pass takes a rendering identifier that is not on file as it
// stands: the rendering browse opens only when the user leaves the field.
TEST_F(ServiceEditorTest, SaveStoresARenderingIdNotOnFileWithoutItsBrowse)
{
    newLine();
    ITM.DOSF.set("20240105");
    ITM.CPT.set("99213");
    ITM.F24J.set("5555555555");
    int lookups = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* w = QApplication::activeModalWidget(); w && test::isLookup(w)) {
            ++lookups;
            QTest::keyClick(w, Qt::Key_Escape);
        }
    });
    watch.start(10);
    test::CalledForm f(claims::serviceEditor(), Request::Insert);
    f.engine.save();
    EXPECT_EQ(lookups, 0);
    EXPECT_EQ(f.engine.response(), Response::Completed);
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].f24j, "5555555555");
}
