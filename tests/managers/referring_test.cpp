// The referring provider browser and editor, and what the three files
// without a unique key have in common: a failed add is an insert error.
#include "managers/referring.h"
#include "managers/auth.h"
#include "managers/rendering.h"

#include "insurtesting.h"
#include "shell/formtesting.h"
#include "shell/formwindow.h"

#include <QLineEdit>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using test::UserForm;
namespace file = data::file;

namespace {

class ReferringTest : public test::FormTest {
protected:
    std::vector<std::string> referring()
    {
        return records(file::Referring, "REF:F17RNAME", [] {
            return std::string(data::REF.F17ID.trimmed()) + " " + std::string(data::REF.F17R.trimmed());
        });
    }
};

TEST_F(ReferringTest, TwoProvidersWithOneIdentifierAreBothStored)
{
    for (const char* name : {"WELBY, MARCUS", "KILDARE, JAMES"}) {
        UserForm f(managers::referringForm(), Request::Insert);
        EXPECT_EQ(f.engine.windowTitle(), "Record Will Be Added");
        ASSERT_TRUE(f.type("REF:F17ID", "1234567"));
        ASSERT_TRUE(f.type("REF:F17Q", "DN"));
        ASSERT_TRUE(f.type("REF:F17R", name));
        ASSERT_TRUE(f.type("REF:F17B", "1992753880"));
        f.engine.save();
        EXPECT_EQ(f.engine.response(), Response::Completed) << name;
    }
    EXPECT_EQ(referring(), (std::vector<std::string>{"1234567 KILDARE, JAMES", "1234567 WELBY, MARCUS"}));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(ReferringTest, AnIdentifierWithNumberZeroClosesTheForm)
{
    for (const char* id : {"0", "REF", "00"}) {
        UserForm f(managers::referringForm(), Request::Insert);
        EXPECT_FALSE(f.type("REF:F17ID", id)) << id;
        EXPECT_EQ(CallResponse, Response::Cancelled) << id;
    }
    EXPECT_TRUE(referring().empty());
}

TEST_F(ReferringTest, InSelectModeSelectIsShownButIsNotTheDefaultButton)
{
    addRecord(file::Referring, [] {
        data::REF.F17ID.set("1");
        data::REF.F17R.set("WELBY, MARCUS");
    });
    {
        CallRequest = Request::Select;
        test::HeadlessBrowse b(managers::referringBrowse());
        EXPECT_TRUE(b.host.selectShown);
        EXPECT_FALSE(b.host.selectDefault);
        EXPECT_EQ(b.column(0), std::vector<std::string>{"WELBY, MARCUS"});
        EXPECT_EQ(b.engine.popupText(), "&Add|&Change|&Delete|-|&Select");
    }
    {
        CallRequest = Request::None;
        test::HeadlessBrowse b(managers::referringBrowse());
        EXPECT_FALSE(b.host.selectShown);
    }
}

// The name's picture is wider than the 24 characters the record holds, and
// 17b's wider than its 10: the boxes stop at what the record holds, so the
// user is not refused later for characters already typed. A date box is not
// held to the 8 characters its field stores.
TEST_F(ReferringTest, EntryBoxesTakeNoMoreThanTheRecordHolds)
{
    const QString thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    {
        CallRequest = Request::Insert;
        FormEngine engine(managers::referringForm());
        ASSERT_EQ(engine.open(), FormEngine::Opening::ShowWindow);
        FormWindow window(engine);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        test::settle();
        QLineEdit* id = window.entryOf("REF:F17ID");
        QLineEdit* name = window.entryOf("REF:F17R");
        QLineEdit* npi = window.entryOf("REF:F17B");
        ASSERT_TRUE(id && name && npi);
        id->setFocus();
        QTest::keyClicks(id, "4455");
        name->setFocus();
        QTest::keyClicks(name, thirty);
        EXPECT_EQ(name->text(), thirty.left(24));
        npi->setFocus();
        QTest::keyClicks(npi, "19927538801234");
        EXPECT_EQ(npi->text(), "1992753880");
        id->setFocus();
        test::settle();
        EXPECT_TRUE(messages.shown().empty());
        engine.save();
        EXPECT_EQ(engine.response(), Response::Completed);
    }
    EXPECT_EQ(referring(), std::vector<std::string>{"4455 " + thirty.left(24).toStdString()});

    data::INV.PAT.set(platform::Decimal(4));
    CallRequest = Request::Insert;
    FormEngine engine(managers::authForm());
    ASSERT_EQ(engine.open(), FormEngine::Opening::ShowWindow);
    FormWindow window(engine);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    test::settle();
    QLineEdit* date = window.entryOf("AUT:AUTHDATE");
    ASSERT_NE(date, nullptr);
    date->setFocus();
    QTest::keyClicks(date, "03/01/2024");
    EXPECT_EQ(date->text(), "03/01/2024");
    engine.cancel();
}

// Referring, Rendering and Auth allow duplicate keys: whatever makes an add
// fail is reported as "Record Insert Error", and the form stays open.
TEST_F(ReferringTest, AFailedAddOfAFileWithoutAUniqueKeyIsAnInsertError)
{
    data::INV.PAT.set(platform::Decimal(4));
    struct Case {
        const FormDefinition& form;
        const char* file;
        std::vector<std::pair<const char*, const char*>> typed;
    };
    const Case cases[] = {
        {managers::referringForm(), "Referring", {{"REF:F17ID", "77"}, {"REF:F17R", "CASEY, BEN"}}},
        {managers::renderingForm(), "Rendering", {{"REN:F24J", "1992753880"}, {"REN:F24JNAME", "HOUSE, GREG"}}},
        {managers::authForm(), "Auth", {{"AUT:AUTHDATE", "03/01/2024"}, {"AUT:AUTHSIGN", "SELF"}}},
    };
    for (const Case& c : cases) {
        UserForm f(c.form, Request::Insert);
        for (auto [field, text] : c.typed) ASSERT_TRUE(f.type(field, text)) << field;
        platform::faults::failOn(platform::faults::Operation::Add, c.file, 1, platform::errc::DriverError);
        f.engine.save();
        platform::faults::clear();
        EXPECT_FALSE(f.engine.isClosed()) << c.file;
        ASSERT_FALSE(messages.shown().empty()) << c.file;
        EXPECT_EQ(messages.shown().back().number, 14) << c.file;
        EXPECT_EQ(messages.shown().back().title, "Record Insert Error") << c.file;
        EXPECT_EQ(f.host.focused, f.at(c.typed[0].first)) << c.file;
        // Nothing was lost: saving again stores the record.
        f.engine.save();
        EXPECT_EQ(f.engine.response(), Response::Completed) << c.file;
    }
}

} // namespace
