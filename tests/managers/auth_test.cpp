// The signature-on-file browser and editor: only the claim's patient's
// signatures, in date order; an empty list that offers only Add; a
// signature added there belonging to the claim's patient; the closing
// rules, on real files.
#include "managers/auth.h"

#include "insurtesting.h"
#include "shell/formtesting.h"
#include "shell/formwindow.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using test::UserForm;
namespace file = data::file;

namespace {

class AuthTest : public test::FormTest {
protected:
    void addSignature(int patient, const char* date, const char* signedBy)
    {
        addRecord(file::Auth, [&] {
            data::AUT.PAT.set(platform::Decimal(patient));
            data::AUT.AUTHDATE.set(date);
            data::AUT.AUTHSIGN.set(signedBy);
        });
    }
    // The claim in the Invoice buffer is the patient's.
    void claimOf(int patient)
    {
        data::clearRecord(file::Invoice, data::bytesOf(data::INV));
        data::INV.PAT.set(platform::Decimal(patient));
        data::INV.INV.set(platform::Decimal(501));
    }
    std::vector<std::string> signatures()
    {
        return records(file::Auth, "AUT:PATAUTHDATEKEY", [] {
            return std::to_string(data::AUT.PAT.asInt()) + " " + std::string(data::AUT.AUTHDATE.trimmed()) + " " +
                   std::string(data::AUT.AUTHSIGN.trimmed());
        });
    }
};

TEST_F(AuthTest, TheBrowserShowsOnlyTheClaimsPatientInDateOrder)
{
    addSignature(3, "20230615", "SELF");
    addSignature(5, "20200101", "OTHER PATIENT");
    addSignature(3, "20190210", "MOTHER");
    addSignature(3, "20210930", "GUARDIAN");
    addSignature(2, "20240101", "BEFORE");
    claimOf(3);
    CallRequest = Request::Select;
    data::clearRecord(file::Auth, data::bytesOf(data::AUT));
    test::HeadlessBrowse b(managers::authBrowse());
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"20190210", "20210930", "20230615"}));
    EXPECT_EQ(b.column(1), (std::vector<std::string>{"MOTHER", "GUARDIAN", "SELF"}));
    EXPECT_TRUE(b.host.selectShown);
    EXPECT_TRUE(b.host.selectDefault);
    // While it runs it keeps the signatures, the claims and the patients open.
    EXPECT_EQ(data::openCount(file::Auth), 1);
    EXPECT_EQ(data::openCount(file::Invoice), 1);
    EXPECT_EQ(data::openCount(file::Patient), 1);
    // Its thumb table is numeric, on the patient number.
    const auto& low = b.engine.thumbTable().entry(1);
    ASSERT_TRUE(std::holds_alternative<platform::Decimal>(low));
    EXPECT_EQ(std::get<platform::Decimal>(low), platform::Decimal(3));

    b.scroll(ScrollEvent::RowDown);
    b.host.pressButton(b.engine.buttonIndex(BrowseRole::Select));
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_EQ(data::AUT.AUTHSIGN.trimmed(), "GUARDIAN");
    EXPECT_EQ(data::AUT.PAT.asInt(), 3);
}

TEST_F(AuthTest, APatientWithoutSignaturesGetsAnEmptyListThatOffersOnlyAddAndTheNewSignatureIsTheirs)
{
    addSignature(3, "20230615", "SELF");
    claimOf(8);
    CallRequest = Request::Select;
    test::HeadlessBrowse b(managers::authBrowse());
    EXPECT_EQ(b.engine.entryCount(), 0);
    EXPECT_FALSE(b.host.changeDelete);
    EXPECT_EQ(b.engine.popupText(), "&Add|~&Change|~&Delete|-|~&Select");
    // Only the Insert key does anything.
    b.engine.keyPressed(ListKey::Delete);
    b.engine.keyPressed(ListKey::CtrlEnter);
    EXPECT_TRUE(b.host.pressed.empty());

    test::whenOpened([](QWidget* dialog) {
        auto* form = qobject_cast<FormWindow*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), "Record Will Be Added");
        QTest::keyClicks(form->entryOf("AUT:AUTHDATE"), "4/2/2024");
        QTest::keyClicks(form->entryOf("AUT:AUTHSIGN"), "DAUGHTER");
        const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/authform.png";
        EXPECT_TRUE(form->grab().save(path));
        form->saveButton()->click();
    });
    b.engine.keyPressed(ListKey::Insert);
    b.host.deliver();
    EXPECT_EQ(b.column(1), std::vector<std::string>{"DAUGHTER"});
    EXPECT_TRUE(b.host.changeDelete);
    EXPECT_EQ(signatures(), (std::vector<std::string>{"3 20230615 SELF", "8 20240402 DAUGHTER"}));
}

TEST_F(AuthTest, TheEditorTakesTheClaimsPatientForEveryRequestAndShowsIt)
{
    addSignature(3, "20230615", "SELF");
    claimOf(3);
    data::clearRecord(file::Auth, data::bytesOf(data::AUT));
    data::AUT.PAT.set(platform::Decimal(3));
    readForChange(file::Auth, "AUT:PATKEY");  // as the browse re-reads it
    UserForm c(managers::authForm(), Request::Change);
    EXPECT_EQ(c.engine.windowTitle(), "Record Will Be Changed");
    EXPECT_EQ(c.shown("AUT:PAT"), "00003");
    ASSERT_TRUE(c.type("AUT:AUTHSIGN", "SELF (SIGNED AGAIN)"));
    c.engine.save();
    EXPECT_EQ(c.engine.response(), Response::Completed);
    EXPECT_EQ(signatures(), std::vector<std::string>{"3 20230615 SELF (SIGNED AGAIN)"});

    claimOf(12);
    UserForm a(managers::authForm(), Request::Insert);
    EXPECT_EQ(a.shown("AUT:PAT"), "00012");
}

TEST_F(AuthTest, ABlankDateOrABlankNameClosesTheEditor)
{
    claimOf(3);
    {
        UserForm f(managers::authForm(), Request::Insert);
        ASSERT_TRUE(f.type("AUT:AUTHDATE", "01/02/2024"));
        EXPECT_FALSE(f.type("AUT:AUTHDATE", ""));  // cleared: closes
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        UserForm f(managers::authForm(), Request::Insert);
        ASSERT_TRUE(f.type("AUT:AUTHDATE", "01/02/2024"));
        f.engine.save();  // nobody signed
        EXPECT_EQ(f.engine.response(), Response::Cancelled);
    }
    {
        UserForm f(managers::authForm(), Request::Insert);
        EXPECT_FALSE(f.type("AUT:AUTHDATE", "13/45/2024"));  // not a date: refused, the form stays
        EXPECT_FALSE(f.engine.isClosed());
        EXPECT_EQ(f.host.refusals.size(), 1u);
    }
    EXPECT_TRUE(signatures().empty());
}

} // namespace
