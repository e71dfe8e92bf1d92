// The plan browser and plan editor: the editor's closing rule and duplicate
// name, and the browser as the menu opens it (a child window of the frame
// with the plan's address under the list and the right-button menu), on
// real files.
#include "managers/payer.h"

#include "insurtesting.h"
#include "shell/browsewindow.h"
#include "shell/formtesting.h"
#include "shell/formwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using test::UserForm;
namespace file = data::file;

namespace {

class PayerTest : public test::FormTest {
protected:
    void addPlan(const char* name, const char* add1 = "", const char* phone = "")
    {
        addRecord(file::Payer, [&] {
            data::HIC.HICNAME.set(name);
            data::HIC.HICADD1.set(add1);
            data::HIC.HICPHONE.set(phone);
        });
    }
    std::vector<std::string> plans()
    {
        return records(file::Payer, "HIC:NAMEKEY", [] { return std::string(data::HIC.HICNAME.trimmed()); });
    }
};

TEST_F(PayerTest, ABlankPlanNameClosesTheEditorAndANameOnFileIsRefusedByItsKeyName)
{
    addPlan("MEDICARE PART B");
    {
        UserForm f(managers::payerForm(), Request::Insert);
        ASSERT_TRUE(f.type("HIC:HICADD1", "PO BOX 1"));
        f.engine.save();  // no name
        EXPECT_TRUE(f.engine.isClosed());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        UserForm f(managers::payerForm(), Request::Insert);
        ASSERT_TRUE(f.type("HIC:HICNAME", "Medicare Part B"));  // the key ignores letter case
        ASSERT_TRUE(f.type("HIC:HICPHONE", "800-555-0100"));
        f.engine.save();
        EXPECT_FALSE(f.engine.isClosed());
        ASSERT_EQ(messages.numbers(), std::vector<int>{24});
        EXPECT_EQ(messages.shown()[0].title, "Duplicate Key Error");
        EXPECT_TRUE(messages.shown()[0].text.contains("HIC:NameKey"));
        EXPECT_EQ(f.host.focused, f.at("HIC:HICNAME"));
        EXPECT_EQ(f.shown("HIC:HICPHONE"), "800-555-0100");

        ASSERT_TRUE(f.type("HIC:HICNAME", "MEDICAID OF OHIO"));
        f.engine.save();
        EXPECT_EQ(f.engine.response(), Response::Completed);
    }
    EXPECT_EQ(plans(), (std::vector<std::string>{"MEDICAID OF OHIO", "MEDICARE PART B"}));
}

TEST_F(PayerTest, TheMenusPlanManagerListsThePlansWithTheHighlightedPlansAddressAndAddsThroughTheEditor)
{
    addPlan("AETNA", "PO BOX 981106", "800-555-0111");
    addPlan("CIGNA", "PO BOX 188061", "800-555-0122");

    QMdiArea area;
    area.resize(1000, 700);
    area.show();
    CallRequest = Request::Select;  // whatever was left: the menu opens a plain window
    QMdiSubWindow* sub = managers::openPayerManager(&area);
    test::settle();
    auto* w = qobject_cast<BrowseWindow*>(sub->widget());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Insurance Plan or Program Name Browser");
    EXPECT_EQ(w->heading()->text(), "INSURANCE PLAN or PROGRAM NAME MANAGER");
    EXPECT_EQ(w->list()->toolTip(), "Healthcare Carrier Browser ...");
    EXPECT_FALSE(w->engine().selectMode());
    EXPECT_FALSE(w->button(BrowseRole::Select)->isVisible());
    EXPECT_EQ(w->engine().popupText(), "&Add|&Change|&Delete|-|~&Select");

    auto panelText = [&](const char* prompt) {
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->accessibleName() == QLatin1String(prompt)) return l->text();
        return QStringLiteral("<none>");
    };
    EXPECT_EQ(panelText("Address 1"), "PO BOX 981106");
    EXPECT_EQ(panelText("Telephone number"), "800-555-0111");
    QTest::keyClick(w->list(), Qt::Key_Down);
    test::settle();
    EXPECT_EQ(panelText("Address 1"), "PO BOX 188061");

    test::whenOpened([](QWidget* dialog) {
        auto* form = qobject_cast<FormWindow*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), "Record Will Be Added");
        QTest::keyClicks(form->entryOf("HIC:HICNAME"), "BLUE SHIELD");
        QTest::keyClicks(form->entryOf("HIC:HICADD1"), "PO BOX 272540");
        form->saveButton()->click();
    });
    w->button(BrowseRole::Add)->click();
    test::settle();
    EXPECT_EQ(data::HIC.HICNAME.trimmed(), "BLUE SHIELD");  // the new plan is highlighted
    EXPECT_EQ(panelText("Address 1"), "PO BOX 272540");
    EXPECT_TRUE(messages.shown().empty());

    const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/payerbrowse.png";
    EXPECT_TRUE(w->grab().save(path));
    w->button(BrowseRole::Close)->click();
    test::settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area.subWindowList().isEmpty());
    EXPECT_EQ(plans(), (std::vector<std::string>{"AETNA", "BLUE SHIELD", "CIGNA"}));
}

TEST_F(PayerTest, AFailedReadNamesThePayerFile)
{
    addPlan("AETNA");
    addPlan("CIGNA");
    platform::faults::failOn(platform::faults::Operation::Read, "Payer", 1, platform::errc::DriverError);
    test::HeadlessBrowse b(managers::payerBrowse());
    EXPECT_TRUE(b.engine.closed());
    ASSERT_FALSE(messages.shown().empty());
    EXPECT_EQ(messages.shown()[0].number, 35);
    EXPECT_TRUE(messages.shown()[0].text.contains("Payer"));
}

} // namespace
