// The provider manager without windows, on real record files: the record
// editor's numbering and rules, the browse's entries and its Delete, and
// the MDN lookup's step locator and keys.
#include "managers/providerbrowse.h"
#include "managers/patientbrowse.h"
#include "managers/patientform.h"
#include "managers/providerform.h"

#include "shell/browsetesting.h"
#include "shell/formtesting.h"
#include "shell/helpviewer.h"

using namespace kestrel;
using namespace kestrel::shell;
using namespace kestrel::managers;
using data::Button;
using test::UserForm;
using test::addProvider;
namespace file = data::file;

namespace {

class ProviderTest : public test::FormTest {
protected:
    void TearDown() override
    {
        if (engine) engine->close();
        engine.reset();
        FormTest::TearDown();
    }

    std::vector<long long> numbers()
    {
        return records(file::Provider, "PRV:PRVKEY", [] { return data::PRV.PRV.asInt(); });
    }
    // The stored provider with that number, read into PRV.
    void readBack(long long number)
    {
        data::FileUse use{&file::Provider};
        platform::clearRecord(file::Provider, data::bytesOf(data::PRV));
        data::PRV.PRV.set(number);
        ASSERT_EQ(data::recordFile(file::Provider).get(file::Provider.keyIndex("PRV:PRVKEY")), 0);
    }

    // A browse over the Provider file, headless.
    void openBrowse(const BrowseDefinition& def, Request request = Request::None)
    {
        engine = std::make_unique<BrowseEngine>(def);
        host.engine = engine.get();
        engine->attach(&host);
        CallRequest = request;
        engine->open();
        engine->windowOpened();
        host.deliver();
    }
    long long highlightedNumber() const
    {
        const int field = engine->queueFieldIndex("BRW1::PRV:PRV");
        return std::get<platform::Decimal>(engine->value(engine->highlighted(), field)).truncated();
    }
    void highlightNumber(long long number)
    {
        for (int r = 1; r <= engine->entryCount(); ++r) {
            host.row = r;
            engine->newSelection();
            host.deliver();
            if (highlightedNumber() == number) return;
        }
        FAIL() << "provider " << number << " is not on the page";
    }

    test::HeadlessBrowseHost host;
    std::unique_ptr<BrowseEngine> engine;
};

// ------------------------------------------------------------------ editor

TEST_F(ProviderTest, TheFirstProviderIsNumberOneAndTheNextTwo)
{
    {
        UserForm form(providerForm(), Request::Insert);
        ASSERT_FALSE(form.ended());
        EXPECT_EQ(form.engine.windowTitle(), "Record will be added");
        EXPECT_EQ(data::PRV.PRV.asInt(), 1);
        ASSERT_TRUE(form.type("PRV:PNAME", "ADAMS, JOHN MD"));
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    {
        UserForm form(providerForm(), Request::Insert);
        EXPECT_EQ(data::PRV.PRV.asInt(), 2);
        ASSERT_TRUE(form.type("PRV:PNAME", "BAKER, ANN MD"));
        form.engine.save();
    }
    EXPECT_EQ(numbers(), (std::vector<long long>{1, 2}));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(ProviderTest, EmptyBillingFieldsTakeThePhysicalOnesOneByOneAndTypedOnesStay)
{
    UserForm form(providerForm(), Request::Insert);
    ASSERT_TRUE(form.type("PRV:PNAME", "ADAMS, JOHN MD"));
    ASSERT_TRUE(form.type("PRV:PADD1", "12 MAIN ST"));
    ASSERT_TRUE(form.type("PRV:PADD2", "SPRINGFIELD IL 62701"));
    ASSERT_TRUE(form.type("PRV:PAREACODE", "217"));
    ASSERT_TRUE(form.type("PRV:PHONE", "555-0101"));
    ASSERT_TRUE(form.type("PRV:FAREACODE", "217"));
    // No physical fax number: the billing fax stays empty.

    // Entering a billing field shows its counterpart at once, field by field:
    // the second line is untouched until it is entered itself.
    form.engine.enter(form.at("PRV:BADD1"));
    EXPECT_EQ(form.shown("PRV:BADD1"), "12 MAIN ST");
    EXPECT_TRUE(data::PRV.BADD2.isBlank());
    // The user types over the copy; coming back leaves it alone.
    form.engine.type(form.at("PRV:BADD1"), "PO BOX 9");
    ASSERT_TRUE(form.engine.leave(form.at("PRV:BADD1")));
    form.engine.enter(form.at("PRV:BADD2"));
    form.engine.enter(form.at("PRV:BADD1"));
    EXPECT_EQ(form.shown("PRV:BADD1"), "PO BOX 9");
    for (const char* f : {"PRV:BPAREACODE", "PRV:BPHONE", "PRV:BFAREACODE", "PRV:BFAX"}) form.engine.enter(form.at(f));
    form.engine.save();
    ASSERT_EQ(CallResponse, Response::Completed);

    readBack(1);
    EXPECT_EQ(data::PRV.BADD1.trimmed(), "PO BOX 9");
    EXPECT_EQ(data::PRV.BADD2.trimmed(), "SPRINGFIELD IL 62701");
    EXPECT_EQ(data::PRV.BPAREACODE.trimmed(), "217");
    EXPECT_EQ(data::PRV.BPHONE.trimmed(), "555-0101");
    EXPECT_EQ(data::PRV.BFAREACODE.trimmed(), "217");
    EXPECT_TRUE(data::PRV.BFAX.isBlank());
}

TEST_F(ProviderTest, ABillingFieldThatHoldsAValueIsNotOverwritten)
{
    addProvider(3, "CLARK, EVE MD", [] {
        data::PRV.PHONE.set("555-0101");
        data::PRV.BPHONE.set("555-9999");
    });
    readForChange(file::Provider, "PRV:PRVKEY");
    UserForm form(providerForm(), Request::Change);
    EXPECT_EQ(form.engine.windowTitle(), "Record will be changed");
    form.engine.enter(form.at("PRV:BPHONE"));
    EXPECT_EQ(form.shown("PRV:BPHONE"), "555-9999");
    EXPECT_EQ(data::PRV.BPHONE.trimmed(), "555-9999");
}

TEST_F(ProviderTest, CheckBoxesStoreTheirLettersAndClearingNeverStoresABlank)
{
    UserForm form(providerForm(), Request::Insert);
    ASSERT_TRUE(form.type("PRV:PNAME", "ADAMS, JOHN MD"));
    const int tax = form.at("PRV:TIDX");
    const int group = form.at("PRV:GIDX");
    form.engine.check(tax, true);
    form.engine.check(group, true);
    EXPECT_EQ(data::PRV.TIDX.view(), "S");
    EXPECT_EQ(data::PRV.GIDX.view(), "G");
    EXPECT_TRUE(form.engine.isChecked(tax));
    form.engine.check(tax, false);
    form.engine.check(group, false);
    EXPECT_EQ(data::PRV.TIDX.view(), "E");
    EXPECT_EQ(data::PRV.GIDX.view(), "I");
    EXPECT_FALSE(form.engine.isChecked(group));
    form.engine.save();
    readBack(1);
    EXPECT_EQ(data::PRV.TIDX.view(), "E");
    EXPECT_EQ(data::PRV.GIDX.view(), "I");
}

// ------------------------------------------------------------------ browse

TEST_F(ProviderTest, TheBillingBlockIsHeadedByTheGroupOnlyWhenBillingUnderIt)
{
    data::FileUse use{&file::Provider};
    addProvider(1, "ADAMS, JOHN MD", [] {
        data::PRV.GNAME.set("ADAMS FAMILY PRACTICE");
        data::PRV.GIDX.set("G");
    });
    // Marked once and cleared again: the editor leaves "I".
    addProvider(2, "BAKER, ANN MD", [] {
        data::PRV.GNAME.set("BAKER CLINIC");
        data::PRV.GIDX.set("I");
    });
    addProvider(3, "CLARK, EVE MD", [] { data::PRV.GNAME.set("CLARK GROUP"); });

    openBrowse(providerBrowse());
    ASSERT_EQ(engine->entryCount(), 3);
    const int mailTo = engine->queueFieldIndex("BRW1::MAILTO");
    ASSERT_GE(mailTo, 0);
    auto mailToOf = [&](int row) {
        return std::string(std::get<std::string>(engine->value(row, mailTo)));
    };
    EXPECT_EQ(mailToOf(1).substr(0, 21), "ADAMS FAMILY PRACTICE");
    EXPECT_EQ(mailToOf(2).substr(0, 13), "BAKER, ANN MD");
    EXPECT_EQ(mailToOf(3).substr(0, 13), "CLARK, EVE MD");

    // The highlighted entry's copy-back puts the whole record into PRV.
    host.row = 2;
    engine->newSelection();
    EXPECT_EQ(data::PRV.GNAME.trimmed(), "BAKER CLINIC");
    EXPECT_EQ(data::PRV.GIDX.view(), "I");
    EXPECT_EQ(providerMailTo().substr(0, 13), "BAKER, ANN MD");
}

TEST_F(ProviderTest, DeleteDoesNothingByButtonKeyOrMenu)
{
    data::FileUse use{&file::Provider};
    addProvider(1, "ADAMS, JOHN MD");
    addProvider(2, "BAKER, ANN MD");
    BrowseDefinition def = providerBrowse();
    int formCalls = 0;
    def.updateForm = [&] {
        ++formCalls;
        CallState::takeOver().giveBack();
    };
    openBrowse(def);
    highlightNumber(2);

    const int del = engine->buttonIndex(BrowseRole::Delete);
    ASSERT_GE(del, 0);
    EXPECT_TRUE(engine->buttonEnabled(del));  // shown and enabled, but idle
    engine->buttonPressed(del);
    engine->keyPressed(ListKey::Delete);
    host.popupChoice = 3;  // &Add|&Change|&Delete|-|~&Select: Delete
    engine->rightClick();
    EXPECT_EQ(host.lastPopup, "&Add|&Change|&Delete|-|~&Select");
    host.deliver();

    EXPECT_EQ(formCalls, 0);
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(numbers(), (std::vector<long long>{1, 2}));
    EXPECT_EQ(engine->entryCount(), 2);
    EXPECT_EQ(highlightedNumber(), 2);

    // Add and Change still call the editor.
    engine->keyPressed(ListKey::Insert);
    engine->keyPressed(ListKey::CtrlEnter);
    EXPECT_EQ(formCalls, 2);
}

// ------------------------------------------------------------------ lookup

TEST_F(ProviderTest, TheLookupStepsByTheNumbersFirstDigit)
{
    data::FileUse use{&file::Provider};
    for (long long n : {3, 10, 11, 20}) addProvider(n, "DOCTOR");
    openBrowse(providerLookup(), Request::Select);
    highlightNumber(10);
    // 10 begins with 1: one row down, and 11 begins with 1 too.
    engine->characterTyped('1');
    host.deliver();
    EXPECT_EQ(highlightedNumber(), 11);
    // 11 begins with 1, the next (20) does not: locate at or after 1.
    engine->characterTyped('1');
    host.deliver();
    EXPECT_EQ(highlightedNumber(), 3);
    // A letter counts as 0: the first provider.
    engine->characterTyped('x');
    host.deliver();
    EXPECT_EQ(highlightedNumber(), 3);
    // The digit's value, not its text: 4 lands on 10.
    engine->characterTyped('4');
    host.deliver();
    EXPECT_EQ(highlightedNumber(), 10);
}

TEST_F(ProviderTest, WithoutElevenTypingOneOnTenLocatesAtOrAfterOne)
{
    data::FileUse use{&file::Provider};
    for (long long n : {3, 10, 20}) addProvider(n, "DOCTOR");
    openBrowse(providerLookup(), Request::Select);
    highlightNumber(10);
    engine->characterTyped('1');
    host.deliver();
    EXPECT_EQ(highlightedNumber(), 3);
}

TEST_F(ProviderTest, TheLookupOnlySelects)
{
    data::FileUse use{&file::Provider};
    for (long long n : {1, 2, 40}) addProvider(n, "DOCTOR");

    // Opened from the menu (not a lookup): nothing can be pressed on the list.
    openBrowse(providerLookup());
    EXPECT_EQ(engine->popupText(), "~&Select");
    for (ListKey k : {ListKey::Insert, ListKey::Delete, ListKey::CtrlEnter, ListKey::DoubleClick})
        engine->keyPressed(k);
    EXPECT_TRUE(host.pressed.empty());
    engine->close();

    // Primed with 2 in Select mode: the list opens on provider 2, and a
    // double click hands it back.
    host = test::HeadlessBrowseHost{};
    data::PRV.PRV.set(2);
    openBrowse(providerLookup(), Request::Select);
    EXPECT_EQ(engine->popupText(), "&Select");
    EXPECT_EQ(highlightedNumber(), 2);
    // The thumb table interpolates the numbers 1..40.
    EXPECT_EQ(std::get<platform::Decimal>(engine->thumbTable().entry(1)), platform::Decimal(1));
    EXPECT_EQ(std::get<platform::Decimal>(engine->thumbTable().entry(100)), platform::Decimal(40));
    engine->keyPressed(ListKey::Insert);
    engine->keyPressed(ListKey::Delete);
    EXPECT_TRUE(host.pressed.empty());
    engine->keyPressed(ListKey::DoubleClick);
    EXPECT_TRUE(engine->closed());
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_EQ(data::PRV.PRV.asInt(), 2);
}

// --------------------------------------------------------------- help pages

TEST(ProviderAndPatientHelp, EveryWindowHasItsPage)
{
    for (const QString& topic : {providerBrowse().helpTopic, providerForm().helpTopic, providerLookup().helpTopic,
                                 patientBrowse().helpTopic, patientForm().helpTopic}) {
        EXPECT_FALSE(topic.isEmpty());
        EXPECT_FALSE(help::findPage(topic).isEmpty()) << topic.toStdString();
    }
}

} // namespace
