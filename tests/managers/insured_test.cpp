// The insured and other insured editors and browsers: the radio groups and
// their words, the patient's address as default, the reference number, the
// closing rules, the plan lookup and the plan's address lines, on real files
// (headless form engines, and the real windows where the user's view counts).
#include "managers/insured.h"
#include "managers/payer.h"

#include "insurtesting.h"
#include "platform/listformat.h"
#include "shell/browsewindow.h"
#include "shell/formtesting.h"
#include "shell/formwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using test::UserForm;
namespace file = data::file;

namespace {

class InsuredTest : public test::FormTest {
protected:
    void addPlan(const char* name, const char* add1 = "", const char* add2 = "", const char* add3 = "")
    {
        addRecord(file::Payer, [&] {
            data::HIC.HICNAME.set(name);
            data::HIC.HICADD1.set(add1);
            data::HIC.HICADD2.set(add2);
            data::HIC.HICADD3.set(add3);
        });
    }
    void addInsured(const char* id, const char* name, const char* plan = "")
    {
        addRecord(file::Insured1, [&] {
            data::IN1.INS1ID.set(id);
            data::IN1.INS1NAME.set(name);
            data::IN1.INS1CARNAME.set(plan);
        });
    }
    // "id name plan" of every primary coverage, by reference number.
    std::vector<std::string> primaries()
    {
        return records(file::Insured1, "IN1:INS1IDKEY", [] {
            return std::string(data::IN1.INS1ID.trimmed()) + " " + std::string(data::IN1.INS1NAME.trimmed()) +
                   " " + std::string(data::IN1.INS1CARNAME.trimmed());
        });
    }
    std::vector<std::string> others()
    {
        return records(file::Insured2, "IN2:INS2IDKEY", [] {
            return std::string(data::IN2.INS2ID.trimmed()) + " " + std::string(data::IN2.INS2NAME.trimmed());
        });
    }
    // The three display lines under the plan name.
    static std::vector<QString> planLines(const UserForm& f, const char* nameField = "IN1:INS1CARNAME")
    {
        const int name = f.at(nameField);
        return {f.engine.controlText(name + 1), f.engine.controlText(name + 2), f.engine.controlText(name + 3)};
    }
};

TEST_F(InsuredTest, ChoosingAPlanOrRelationshipStoresItsCodeAndWordsAndNothingElse)
{
    UserForm f(managers::otherInsuredForm(), Request::Insert);
    ASSERT_TRUE(f.type("IN2:INS2CARTERM", "12/31/2025"));
    const int plan = f.at("IN2:INS2PLAN");
    ASSERT_EQ(f.engine.control(plan).choices[1].text, " MEDICAID");

    f.engine.choose(plan, 1);
    EXPECT_EQ(data::IN2.INS2PLAN.trimmed(), "2");
    EXPECT_EQ(data::IN2.PLAN.trimmed(), "MEDICAID");
    EXPECT_EQ(data::IN2.INS2CARTERM.trimmed(), "20251231");
    EXPECT_EQ(f.engine.chosen(plan), 1);

    // A shorter word replaces a longer one whole.
    f.engine.choose(plan, 6);
    EXPECT_EQ(data::IN2.INS2PLAN.trimmed(), "7");
    EXPECT_EQ(std::string(data::IN2.PLAN.view()), "OTHER" + std::string(15, ' '));

    f.engine.choose(f.at("IN2:INS2PATREL2INS"), 2);
    EXPECT_EQ(data::IN2.INS2PATREL2INS.trimmed(), "3");
    EXPECT_EQ(data::IN2.RSHIP.trimmed(), "Child");
    f.engine.choose(f.at("IN2:INS2SEX"), 1);
    EXPECT_EQ(data::IN2.INS2SEX.trimmed(), "F");
    EXPECT_EQ(data::IN2.PLAN.trimmed(), "OTHER");

    // The primary editor keeps its words in its own fields.
    UserForm g(managers::insuredForm(), Request::Insert);
    g.engine.choose(g.at("IN1:INS1PLAN"), 4);
    g.engine.choose(g.at("IN1:INS1PATREL2INS"), 0);
    EXPECT_EQ(data::IN1.PLAN.trimmed(), "GROUP HEALTH PLAN");
    EXPECT_EQ(data::IN1.RSHIP.trimmed(), "Self");
}

TEST_F(InsuredTest, EnteringABlankAddressOrPhoneFieldTakesThePatientsAndAFilledOneIsKept)
{
    data::PAT.ADD1.set("12 ELM STREET");
    data::PAT.ADD2.set("SPRINGFIELD HEIGHTS WEST");  // 24: one more than the insured's city holds
    data::PAT.ADD3.set("IL");
    data::PAT.ADD4.set("62704");
    data::PAT.HAREA.set("217");
    data::PAT.HPHON.set("555-0142");

    UserForm f(managers::insuredForm(), Request::Insert);
    ASSERT_TRUE(f.type("IN1:INS1ADD1", "9 OAK LANE"));
    f.engine.enter(f.at("IN1:INS1ADD1"));
    EXPECT_EQ(data::IN1.INS1ADD1.trimmed(), "9 OAK LANE");

    for (const char* field : {"IN1:INS1ADD2", "IN1:INS1ADD3", "IN1:INS1ADD4", "IN1:INS1AREACODE", "IN1:INS1HPHONE"})
        f.engine.enter(f.at(field));
    EXPECT_EQ(std::string(data::IN1.INS1ADD2.view()), "SPRINGFIELD HEIGHTS WES");
    EXPECT_EQ(std::string(data::IN1.INS1ADD3.view()), "IL  ");
    EXPECT_EQ(data::IN1.INS1ADD4.trimmed(), "62704");
    EXPECT_EQ(data::IN1.INS1AREACODE.trimmed(), "217");
    EXPECT_EQ(std::string(data::IN1.INS1HPHONE.view()), "555-0142  ");
    EXPECT_EQ(f.shown("IN1:INS1HPHONE"), "555-0142");  // the window shows what was filled in

    // The other editor copies the street into its own field.
    UserForm g(managers::otherInsuredForm(), Request::Insert);
    g.engine.enter(g.at("IN2:INS2ADD1"));
    EXPECT_EQ(data::IN2.INS2ADD1.trimmed(), "12 ELM STREET");
    EXPECT_TRUE(data::IN2.INS2ADD2.isBlank());  // not entered: not filled
}

TEST_F(InsuredTest, AReferenceNumberOfZeroOrABlankNameClosesWithoutSaving)
{
    {
        UserForm f(managers::insuredForm(), Request::Insert);
        EXPECT_FALSE(f.type("IN1:INS1ID", "000000000-00"));
        EXPECT_TRUE(f.engine.isClosed());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        // Save with no reference number: the accept-all pass closes the form.
        UserForm f(managers::insuredForm(), Request::Insert);
        ASSERT_TRUE(f.type("IN1:INS1NAME", "DOE, JANE"));
        f.engine.save();
        EXPECT_TRUE(f.engine.isClosed());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        UserForm f(managers::otherInsuredForm(), Request::Insert);
        ASSERT_TRUE(f.type("IN2:INS2ID", "123456789-01"));
        f.engine.save();  // the name is blank
        EXPECT_TRUE(f.engine.isClosed());
        EXPECT_EQ(f.engine.response(), Response::Cancelled);
    }
    EXPECT_TRUE(primaries().empty());
    EXPECT_TRUE(others().empty());
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(InsuredTest, TheReferenceNumberIsStoredAsElevenDigitsAndMayBeOnFileOnce)
{
    {
        UserForm f(managers::insuredForm(), Request::Insert);
        EXPECT_FALSE(f.type("IN1:INS1ID", "12345678"));  // too few digits: refused, nothing lost
        ASSERT_EQ(f.host.refusals.size(), 1u);
        EXPECT_FALSE(f.engine.isClosed());
        ASSERT_TRUE(f.type("IN1:INS1ID", "123-45-6789-01"));
        EXPECT_EQ(f.shown("IN1:INS1ID"), "123456789-01");
        ASSERT_TRUE(f.type("IN1:INS1NAME", "DOE, JOHN"));
        f.engine.save();
        EXPECT_EQ(f.engine.response(), Response::Completed);
    }
    EXPECT_EQ(primaries(), std::vector<std::string>{"12345678901 DOE, JOHN "});

    // The list shows it through its column picture.
    auto format = platform::ListFormat::from(managers::insuredBrowse().format);
    ASSERT_EQ(format.count(), 4);
    EXPECT_EQ(format[1].header, "Reference Number");
    EXPECT_EQ(format[1].picture.format(platform::FieldValue(std::string("12345678901"))), "123456789-01");

    {
        UserForm f(managers::insuredForm(), Request::Insert);
        ASSERT_TRUE(f.type("IN1:INS1ID", "123456789-01"));
        ASSERT_TRUE(f.type("IN1:INS1NAME", "DOE, JANE"));
        f.engine.save();
        EXPECT_FALSE(f.engine.isClosed());
        ASSERT_EQ(messages.numbers(), std::vector<int>{24});
        EXPECT_EQ(messages.shown()[0].title, "Duplicate Key Error");
        EXPECT_TRUE(messages.shown()[0].text.contains("IN1:INS1IDkey"));
        EXPECT_EQ(f.host.focused, f.at("IN1:INS1ID"));
        EXPECT_EQ(f.shown("IN1:INS1NAME"), "DOE, JANE");  // what was typed is kept
    }
    EXPECT_EQ(primaries().size(), 1u);

    // The other coverage has its own file: the same number is new there, and
    // its own duplicate names its own key.
    for (int round = 0; round < 2; ++round) {
        UserForm f(managers::otherInsuredForm(), Request::Insert);
        ASSERT_TRUE(f.type("IN2:INS2ID", "12345678901"));
        ASSERT_TRUE(f.type("IN2:INS2NAME", "DOE, JOHN"));
        f.engine.save();
        EXPECT_EQ(f.engine.isClosed(), round == 0);
    }
    ASSERT_EQ(messages.numbers(), (std::vector<int>{24, 24}));
    EXPECT_TRUE(messages.shown()[1].text.contains("IN2:INS2IDkey"));
    EXPECT_EQ(others().size(), 1u);
}

TEST_F(InsuredTest, ThePlansAddressFollowsTheNameAndAPlanNotOnFileShowsBlankLinesAndStillSaves)
{
    addPlan("AETNA", "PO BOX 981106", "", "EL PASO TX 79998");
    data::FileUse payer{&file::Payer};
    UserForm f(managers::insuredForm(), Request::Insert);
    ASSERT_TRUE(f.type("IN1:INS1CARNAME", "aetna"));  // the name key ignores letter case
    EXPECT_EQ(planLines(f), (std::vector<QString>{"PO BOX 981106", "", "EL PASO TX 79998"}));

    ASSERT_TRUE(f.type("IN1:INS1CARNAME", "NO SUCH PLAN"));
    EXPECT_EQ(planLines(f), (std::vector<QString>{"", "", ""}));
    ASSERT_TRUE(f.type("IN1:INS1ID", "987654321-00"));
    ASSERT_TRUE(f.type("IN1:INS1NAME", "ROE, RICHARD"));
    // Typed but not yet left when Save is pressed: the plan name's own
    // redisplay during the save must not lose it.
    f.engine.type(f.at("IN1:INS1CARTERM"), "06/30/2026");
    f.engine.save();
    EXPECT_EQ(f.engine.response(), Response::Completed);
    EXPECT_EQ(primaries(), std::vector<std::string>{"98765432100 ROE, RICHARD NO SUCH PLAN"});
    EXPECT_EQ(records(file::Insured1, "IN1:INS1IDKEY", [] { return std::string(data::IN1.INS1CARTERM.view()); }),
              std::vector<std::string>{"20260630"});
}

// The plan lookup through the real windows: F12 in the plan field opens the
// plan browser at the name typed so far; Select stores the plan's name cut
// to the 28 characters of the field, and its address still shows.
TEST_F(InsuredTest, APlanChosenInThePlanBrowserIsStoredCutTo28AndShowsItsAddress)
{
    const char* longName = "BLUE CROSS AND BLUE SHIELD OF THE MIDWEST";  // 41 characters
    addPlan("AETNA", "PO BOX 981106");
    addPlan(longName, "300 E RANDOLPH ST", "", "CHICAGO IL 60601");
    addPlan("CIGNA", "PO BOX 188061");

    CallRequest = Request::Insert;
    FormEngine engine(managers::insuredForm());
    ASSERT_EQ(engine.open(), FormEngine::Opening::ShowWindow);
    FormWindow window(engine);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    test::settle();

    QLineEdit* plan = window.entryOf("IN1:INS1CARNAME");
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(plan->toolTip(), "Use mouse right button/F12key to browse.");
    plan->setFocus();
    QTest::keyClicks(plan, "BL");
    QString highlightedThere;
    test::whenOpened([&](QWidget* dialog) {
        auto* browse = dialog->findChild<BrowseWindow*>();
        ASSERT_NE(browse, nullptr);
        test::settle();
        highlightedThere = data::HIC.HICNAME.toQString();
        EXPECT_TRUE(browse->button(BrowseRole::Select)->isDefault());
        browse->button(BrowseRole::Select)->click();
    }, &window);
    QTest::keyClick(plan, Qt::Key_F12);
    test::settle();

    EXPECT_EQ(highlightedThere, longName);  // opened at the name typed so far
    EXPECT_EQ(std::string(data::IN1.INS1CARNAME.view()), std::string(longName).substr(0, 28));
    EXPECT_EQ(plan->text(), QString::fromLatin1(longName).left(28));
    // The name was cut to fit, yet its plan's address is shown.
    auto line = [&](int n) {
        return qobject_cast<QLabel*>(window.controlWidget(engine.indexOf("IN1:INS1CARNAME") + n))->text();
    };
    EXPECT_EQ(line(1), "300 E RANDOLPH ST");
    EXPECT_EQ(line(3), "CHICAGO IL 60601");
    EXPECT_EQ(data::openCount(file::Payer), 1);  // the form's own use; the browser released its

    const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/insuredform.png";
    EXPECT_TRUE(window.grab().save(path));
    window.cancelButton()->click();
    test::settle();
    EXPECT_TRUE(primaries().empty());
}

TEST_F(InsuredTest, TheBrowserListsByNameAndShowsTheHighlightedCoverageUnderTheList)
{
    addInsured("11111111101", "SMITH, ANN", "MEDICARE PART B");
    addRecord(file::Insured1, [] {
        data::IN1.INS1ID.set("22222222202");
        data::IN1.INS1NAME.set("BAKER, TOM");
        data::IN1.INS1IDNO.set("XJ4471");
        data::IN1.INS1POLICY.set("GRP 0091");
        data::IN1.INS1CARNAME.set("AETNA");
        data::IN1.INS1CARDATE.set("20240101");
    });

    BrowseWindow window(managers::insuredBrowse(), nullptr, managers::insuredPanel());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    test::settle();
    EXPECT_EQ(window.heading()->text(), "INSURANCE PLAN  or PROGRAM NAME CARRIER");
    EXPECT_EQ(window.list()->toolTip(), "Healthcare Subscriber Browser ...");
    EXPECT_FALSE(window.button(BrowseRole::Select)->isVisible());  // opened with request 0
    auto cell = [&](int row, int column) {
        auto* m = window.list()->model();
        return m->data(m->index(row, column)).toString();
    };
    EXPECT_EQ(cell(0, 0), "BAKER, TOM");
    EXPECT_EQ(cell(0, 1), "222222222-02");
    EXPECT_EQ(cell(0, 2), "01/01/2024");
    EXPECT_EQ(cell(1, 0), "SMITH, ANN");

    auto panelText = [&](const char* prompt) {
        for (QLabel* l : window.findChildren<QLabel*>())
            if (l->accessibleName() == QLatin1String(prompt)) return l->text();
        return QStringLiteral("<none>");
    };
    EXPECT_EQ(panelText("Insured's I.D. number"), "XJ4471");
    EXPECT_EQ(panelText("Policy group or FECA number"), "GRP 0091");
    EXPECT_EQ(panelText("Insurance Plan or Program Name"), "AETNA");
    QTest::keyClick(window.list(), Qt::Key_Down);
    test::settle();
    EXPECT_EQ(panelText("Insured's Name"), "SMITH, ANN");
    EXPECT_EQ(panelText("Insurance Plan or Program Name"), "MEDICARE PART B");

    const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/insuredbrowse.png";
    EXPECT_TRUE(window.grab().save(path));
    window.engine().close();
}

TEST_F(InsuredTest, TheOtherInsuredBrowserIsALookupThatLeavesTheChosenCoverageInItsBuffer)
{
    for (auto [id, name] : {std::pair{"30000000001", "ADAMS, AL"}, {"30000000002", "BROWN, BO"}, {"30000000003", "CLARK, CY"}})
        addRecord(file::Insured2, [&] {
            data::IN2.INS2ID.set(id);
            data::IN2.INS2NAME.set(name);
        });
    data::clearRecord(file::Insured2, data::bytesOf(data::IN2));
    data::IN2.INS2NAME.set("AZ");
    CallRequest = Request::Select;
    test::whenOpened([](QWidget* dialog) {
        auto* browse = dialog->findChild<BrowseWindow*>();
        ASSERT_NE(browse, nullptr);
        test::settle();
        EXPECT_EQ(browse->heading()->text(), "OTHER INSURANCE NAME or PROGRAM NAME CARRIER");
        EXPECT_TRUE(browse->button(BrowseRole::Select)->isDefault());
        browse->button(BrowseRole::Select)->click();
    });
    EXPECT_EQ(managers::selectOtherInsured(), Response::Completed);
    EXPECT_EQ(data::IN2.INS2NAME.trimmed(), "BROWN, BO");
    EXPECT_EQ(data::IN2.INS2ID.trimmed(), "30000000002");
}

} // namespace
