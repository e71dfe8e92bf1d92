// The code table managers: the five forms' own rules, the duplicate-key
// paths, the lookups in Select mode and the browse calling its form, on real
// files (headless engines, and the real form window where the user's view
// matters).
#include "managers/codetables.h"
#include "data/standardcodes.h"

#include "platform/listformat.h"
#include "shell/browsetesting.h"
#include "shell/formtesting.h"
#include "shell/formwindow.h"
#include "support/guiactions.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kestrel;
using namespace kestrel::shell;
using data::Button;
using test::UserForm;
namespace file = data::file;

namespace {

class CodeTablesTest : public test::FormTest {
protected:
    void addCode(const platform::FileDef& def, const char* code, const char* description)
    {
        addRecord(def, [&] {
            auto* bytes = data::fileByLabel(def.label)->bytes;
            platform::writeField(def.fields[0], bytes, std::string(code));
            platform::writeField(def.fields[1], bytes, std::string(description));
        });
    }
    // "code=description" of every record in the first key's order.
    std::vector<std::string> table(const platform::FileDef& def)
    {
        return records(def, std::string(def.keys[0].label).c_str(), [&] {
            auto* bytes = data::fileByLabel(def.label)->bytes;
            return data::fieldText(def.fields[0], bytes).toStdString() + "=" +
                   data::fieldText(def.fields[1], bytes).toStdString();
        });
    }
    // Puts a code into the buffer and reads that record for change.
    void choose(const platform::FileDef& def, const char* code)
    {
        auto* bytes = data::fileByLabel(def.label)->bytes;
        platform::clearRecord(def, bytes);
        platform::writeField(def.fields[0], bytes, std::string(code));
        readForChange(def, std::string(def.keys[0].label).c_str());
    }

    // A browse opened as a lookup would be, over a headless window.
    struct Browse {
        explicit Browse(const BrowseDefinition& def) : engine(def)
        {
            host.engine = &engine;
            engine.attach(&host);
            engine.open();
            engine.windowOpened();
            host.deliver();
        }
        std::string highlighted() const
        {
            if (engine.highlighted() < 1) return {};
            return std::get<std::string>(engine.value(engine.highlighted(), 0));
        }
        std::vector<std::string> page() const
        {
            std::vector<std::string> out;
            for (int r = 1; r <= engine.entryCount(); ++r)
                out.push_back(std::get<std::string>(engine.value(r, 0)));
            return out;
        }
        test::HeadlessBrowseHost host;
        BrowseEngine engine;
    };
};

// ------------------------------------------------------------ duplicate keys

TEST_F(CodeTablesTest, AddingACptCodeThatExistsShowsTheDuplicateKeyErrorAndKeepsTheFormAsTyped)
{
    addCode(file::CPT48, "99213", "OFFICE VISIT");
    data::clearAllBuffers();
    test::whenModal([](QWidget* modal) {
        auto* w = qobject_cast<FormWindow*>(modal);
        ASSERT_NE(w, nullptr);
        QTest::keyClicks(w->entryOf("CPT:CPTCODE"), "99213");
        QTest::keyClick(w->entryOf("CPT:CPTCODE"), Qt::Key_Tab);
        QTest::keyClicks(w->entryOf("CPT:CPTDESCRIPTION"), "SECOND VISIT");
        QTest::mouseClick(w->saveButton(), Qt::LeftButton);
        // Still open, with everything typed, the focus back on the code.
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(w->entryOf("CPT:CPTCODE")->text(), "99213");
        EXPECT_EQ(w->entryOf("CPT:CPTDESCRIPTION")->text(), "SECOND VISIT");
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == w->entryOf("CPT:CPTCODE"); }));
        QTest::mouseClick(w->cancelButton(), Qt::LeftButton);
    });
    CallRequest = Request::Insert;
    EXPECT_EQ(runForm(managers::cptForm()), Response::Cancelled);
    ASSERT_EQ(messages.numbers(), std::vector<int>{24});
    EXPECT_EQ(messages.shown()[0].title, "Duplicate Key Error");
    EXPECT_EQ(messages.shown()[0].text, "Adding this record creates a duplicate entry for the key:CPT:CPTCODEkey");
    EXPECT_EQ(table(file::CPT48), std::vector<std::string>{"99213=OFFICE VISIT"});
}

TEST_F(CodeTablesTest, TheDiagnosisFormNamesItsOwnKey)
{
    addCode(file::ICD48, "J20.9", "ACUTE BRONCHITIS");
    UserForm form(managers::icdForm(), Request::Insert);
    form.type("ICD:ICDCODE", "j20.9");  // the key ignores letter case
    form.engine.save();
    ASSERT_EQ(messages.numbers(), std::vector<int>{24});
    EXPECT_TRUE(messages.shown()[0].text.endsWith("key:ICD:ICDCODEkey"));
    EXPECT_FALSE(form.engine.isClosed());
}

TEST_F(CodeTablesTest, AQualifierCodeThatExistsIsAddedAgainAndBothShow)
{
    addCode(file::CIQL, "431", "ONSET OF CURRENT SYMPTOMS OR ILLNESS");
    {
        UserForm form(managers::box14QualifierForm(), Request::Insert);
        EXPECT_EQ(form.engine.windowTitle(), "Adding a Qualifier Record");
        form.type("CIQ:CICODE", "431");
        form.type("CIQ:CIDESC", "ONSET AGAIN");
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    EXPECT_TRUE(messages.shown().empty());
    Browse browse(managers::box14QualifierBrowse());
    EXPECT_EQ(browse.page(), (std::vector<std::string>{"431", "431"}));
}

// ------------------------------------------------------------- closing rules

TEST_F(CodeTablesTest, ClearingTheCptCodeOfARecordAndSavingClosesWithoutSaving)
{
    addCode(file::CPT48, "99213", "OFFICE VISIT");
    choose(file::CPT48, "99213");
    {
        UserForm form(managers::cptForm(), Request::Change);
        EXPECT_EQ(form.engine.windowTitle(), "Record Will Be Changed");
        const int code = form.at("CPT:CPTCODE");
        form.engine.type(code, "");
        form.type("CPT:CPTDESCRIPTION", "CHANGED");
        form.engine.save();
        EXPECT_TRUE(form.engine.isClosed());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(table(file::CPT48), std::vector<std::string>{"99213=OFFICE VISIT"});
}

TEST_F(CodeTablesTest, AQualifierCodeOfZeroClosesTheFormAndARealCodeIsAccepted)
{
    for (const FormDefinition* def : {&managers::box14QualifierForm(), &managers::box15QualifierForm()}) {
        const QString field = def->tabs[0].controls[0].field.text();
        for (const char* empty : {"000", "ABC"}) {
            UserForm form(*def, Request::Insert);
            form.type(field, empty);
            EXPECT_TRUE(form.engine.isClosed()) << empty;
            EXPECT_EQ(CallResponse, Response::Cancelled);
        }
        {
            // Left blank, the code is tested by Save.
            UserForm form(*def, Request::Insert);
            form.type(def->tabs[0].controls[1].field.text(), "NO CODE");
            form.engine.save();
            EXPECT_TRUE(form.engine.isClosed());
            EXPECT_EQ(CallResponse, Response::Cancelled);
        }
        UserForm form(*def, Request::Insert);
        EXPECT_TRUE(form.type(field, "431"));
        EXPECT_FALSE(form.engine.isClosed());
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    EXPECT_EQ(table(file::CIQL), std::vector<std::string>{"431="});
    EXPECT_EQ(table(file::OIQL), std::vector<std::string>{"431="});
}

TEST_F(CodeTablesTest, DiagnosisCodesThatBeginWithALetterCanBeAdded)
{
    {
        UserForm form(managers::icdForm(), Request::Insert);
        EXPECT_TRUE(form.type("ICD:ICDCODE", "J20.9"));
        EXPECT_FALSE(form.engine.isClosed());
        form.type("ICD:ICDDES", "ACUTE BRONCHITIS");
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    {
        UserForm form(managers::icdForm(), Request::Insert);
        form.type("ICD:ICDCODE", "V22.0");
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    // Only a blank code closes the form.
    UserForm form(managers::icdForm(), Request::Insert);
    form.engine.save();
    EXPECT_TRUE(form.engine.isClosed());
    EXPECT_EQ(CallResponse, Response::Cancelled);
    EXPECT_EQ(table(file::ICD48), (std::vector<std::string>{"J20.9=ACUTE BRONCHITIS", "V22.0="}));
}

TEST_F(CodeTablesTest, ANewEditionCanBeTypedAfterItsIndicator)
{
    {
        UserForm form(managers::icdEditionForm(), Request::Insert);
        EXPECT_EQ(form.engine.windowTitle(), "Adding a ICD-M Record");
        EXPECT_TRUE(form.type("ICDM:ICDV", "0"));
        EXPECT_FALSE(form.engine.isClosed());
        EXPECT_TRUE(form.type("ICDM:ICDM", "ICD-10-CM"));
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    {
        // A blank edition still closes the form, when the edition is tested.
        UserForm form(managers::icdEditionForm(), Request::Insert);
        form.type("ICDM:ICDV", "9");
        form.engine.save();
        EXPECT_TRUE(form.engine.isClosed());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        UserForm form(managers::icdEditionForm(), Request::Insert);
        form.type("ICDM:ICDV", " ");
        EXPECT_TRUE(form.engine.isClosed());
    }
    EXPECT_EQ(table(file::ICD), std::vector<std::string>{"0=ICD-10-CM"});
}

// ------------------------------------------------------------------ lookups

TEST_F(CodeTablesTest, EachLookupStartsAtTheFirstCodeAtOrAfterWhatWasTyped)
{
    struct Case {
        const BrowseDefinition& browse;
        const platform::FileDef& file;
        std::vector<const char*> codes;
        const char* typed;
        const char* expected;
        bool selectIsDefault;
    };
    const Case cases[] = {
        {managers::icdBrowse(), file::ICD48, {"A09", "J20.9", "J45.20", "M54.5", "Z00.00"}, "J4", "J45.20", true},
        {managers::icdEditionBrowse(), file::ICD, {"0", "9"}, "5", "9", false},
        {managers::box14QualifierBrowse(), file::CIQL, {"431", "484"}, "44", "484", false},
        {managers::box15QualifierBrowse(), file::OIQL,
         {"090", "091", "304", "439", "444", "453", "454", "455", "471"}, "45", "453", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.browse.title.toStdString());
        for (const char* code : c.codes) addCode(c.file, code, "");
        auto* bytes = data::fileByLabel(c.file.label)->bytes;
        platform::clearRecord(c.file, bytes);
        platform::writeField(c.file.fields[0], bytes, std::string(c.typed));
        CallRequest = Request::Select;
        Browse browse(c.browse);
        EXPECT_TRUE(browse.host.selectShown);
        EXPECT_EQ(browse.host.selectDefault, c.selectIsDefault);
        EXPECT_EQ(browse.highlighted(), c.expected);

        // &Select leaves the chosen record in the buffer and returns 1.
        browse.engine.buttonPressed(browse.engine.buttonIndex(BrowseRole::Select));
        EXPECT_EQ(CallResponse, Response::Completed);
        EXPECT_EQ(data::fieldText(c.file.fields[0], bytes).toStdString(), c.expected);
    }
}

TEST_F(CodeTablesTest, ConfirmDeleteAnsweredCancelLeavesTheBrowseAsItWas)
{
    for (const char* code : {"090", "304", "439", "453"}) addCode(file::OIQL, code, "");
    Browse browse(managers::box15QualifierBrowse());
    browse.host.row = 2;
    browse.engine.newSelection();
    browse.host.deliver();
    const auto before = browse.page();
    ASSERT_EQ(browse.highlighted(), "304");

    messages.answer(Button::Cancel);
    browse.engine.buttonPressed(browse.engine.buttonIndex(BrowseRole::Delete));
    browse.host.deliver();
    EXPECT_EQ(messages.numbers(), std::vector<int>{32});
    EXPECT_EQ(browse.engine.localResponse(), Response::Cancelled);
    EXPECT_EQ(browse.page(), before);
    EXPECT_EQ(browse.highlighted(), "304");

    // OK deletes it; the highlight stays on the same row.
    messages.answer(Button::Ok);
    browse.engine.buttonPressed(browse.engine.buttonIndex(BrowseRole::Delete));
    browse.host.deliver();
    EXPECT_EQ(browse.page(), (std::vector<std::string>{"090", "439", "453"}));
    EXPECT_EQ(browse.highlighted(), "439");
}

TEST_F(CodeTablesTest, EveryDefinitionNamesRealFieldsKeysAndColumns)
{
    for (const BrowseDefinition* b : {&managers::icdBrowse(), &managers::icdEditionBrowse(),
                                      &managers::box14QualifierBrowse(), &managers::box15QualifierBrowse()}) {
        SCOPED_TRACE(b->title.toStdString());
        const data::FileBuffer* f = data::fileByLabel(b->file.toStdString());
        ASSERT_NE(f, nullptr);
        for (const BrowseOrder& o : b->orders) EXPECT_GE(f->def->keyIndex(o.key.toStdString()), 0);
        for (const QueueField& q : b->queue) EXPECT_TRUE(data::findField(q.field.toStdString()).has_value());
        QString why;
        auto format = platform::ListFormat::parse(b->format, &why);
        ASSERT_TRUE(format.has_value()) << why.toStdString();
        EXPECT_EQ(format->columns().size(), b->queue.size());
    }
    for (const FormDefinition* d : {&managers::cptForm(), &managers::icdForm(), &managers::icdEditionForm(),
                                    &managers::box14QualifierForm(), &managers::box15QualifierForm()}) {
        SCOPED_TRACE(d->title.toStdString());
        ASSERT_NE(data::fileByLabel(d->file.toStdString()), nullptr);
        for (const FormControl* c : d->inputs()) {
            auto ref = data::findField(c->field.toStdString());
            ASSERT_TRUE(ref.has_value()) << c->field.toStdString();
            EXPECT_EQ(std::string(ref->file->def->label), d->file.toStdString());
            EXPECT_TRUE(c->offersDitto);
        }
        if (d->duplicateKey) EXPECT_TRUE(data::fileByLabel(d->file.toStdString())->def->key(
                                             d->duplicateKey->key.toStdString()) != nullptr);
    }
}

} // namespace

namespace {

TEST_F(CodeTablesTest, SeedingFillsOnlyEmptyTablesAndNeverTwice)
{
    // The practice already keeps its own box 14 qualifier.
    addCode(file::CIQL, "484", "LMP (our wording)");

    auto outcome = data::seedStandardCodes();
    ASSERT_EQ(outcome.size(), 3u);
    EXPECT_EQ(outcome[0].file, "ICD");
    EXPECT_EQ(outcome[0].added, 2);
    EXPECT_EQ(outcome[1].added, 0);
    EXPECT_EQ(outcome[1].kept, 1);
    EXPECT_EQ(outcome[2].added, 9);
    EXPECT_TRUE(messages.shown().empty());

    EXPECT_EQ(table(file::ICD), (std::vector<std::string>{"0=ICD-10-CM", "9=ICD-9-CM"}));
    EXPECT_EQ(table(file::CIQL), std::vector<std::string>{"484=LMP (our wording)"});
    EXPECT_EQ(table(file::OIQL), (std::vector<std::string>{
                                     "090=Report Start (Assumed Care Date)",
                                     "091=Report End (Relinquished Care Date)",
                                     "304=Latest Visit or Consultation",
                                     "439=Accident",
                                     "444=First Visit or Consultation",
                                     "453=Acute Manifestation of a Chronic Condition",
                                     "454=Initial Treatment",
                                     "455=Last X-ray",
                                     "471=Prescription",
                                 }));

    // A second run adds nothing anywhere.
    outcome = data::seedStandardCodes();
    for (const auto& o : outcome) EXPECT_EQ(o.added, 0) << o.file.toStdString();
    EXPECT_EQ(table(file::OIQL).size(), 9u);
    EXPECT_EQ(table(file::ICD).size(), 2u);
}

TEST_F(CodeTablesTest, ASeedThatCannotFinishAddsNothingToThatTable)
{
    platform::faults::failOn(platform::faults::Operation::Add, "OIQL", 5, platform::errc::DriverError);
    const auto outcome = data::seedStandardCodes();
    EXPECT_FALSE(outcome[0].failed);
    EXPECT_TRUE(outcome[2].failed);
    EXPECT_EQ(outcome[2].added, 0);
    EXPECT_EQ(messages.numbers(), std::vector<int>{14});
    EXPECT_TRUE(table(file::OIQL).empty());
    EXPECT_EQ(table(file::CIQL).size(), 2u);
}

} // namespace

// ------------------------------------------------------------ real windows

#include "shell/browsewindow.h"
#include "shell/helpviewer.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>

namespace {

using test::whenModal;

TEST_F(CodeTablesTest, LookupWindowsShowSelectAsTheDefaultOnlyForDiagnosisCodes)
{
    for (const char* code : {"A09", "J20.9", "J45.20"}) addCode(file::ICD48, code, "");
    for (const char* code : {"431", "484"}) addCode(file::CIQL, code, "");

    data::ICD.ICDCODE.set("J3");
    CallRequest = Request::Select;
    whenModal([](QWidget* dialog) {
        auto* w = dialog->findChild<BrowseWindow*>();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->heading()->text(), "ICD-M DIAGNOSIS CODE MANAGER");
        EXPECT_TRUE(w->button(BrowseRole::Select)->isVisible());
        EXPECT_TRUE(w->button(BrowseRole::Select)->isDefault());
        w->button(BrowseRole::Select)->click();
    });
    EXPECT_EQ(managers::selectIcd(), Response::Completed);
    EXPECT_EQ(std::string(data::ICD.ICDCODE.trimmed()), "J45.20");

    data::CIQ.CICODE.set("44");
    CallRequest = Request::Select;
    whenModal([](QWidget* dialog) {
        auto* w = dialog->findChild<BrowseWindow*>();
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->button(BrowseRole::Select)->isVisible());
        EXPECT_FALSE(w->button(BrowseRole::Select)->isDefault());
        EXPECT_EQ(w->list()->toolTip(), "Browsing Records");
        w->button(BrowseRole::Select)->click();
    });
    EXPECT_EQ(managers::selectBox14Qualifier(), Response::Completed);
    EXPECT_EQ(std::string(data::CIQ.CICODE.trimmed()), "484");
}

TEST_F(CodeTablesTest, TheDiagnosisManagerOpensFromTheMenuAndAddsThroughItsForm)
{
    addCode(file::ICD48, "A09", "GASTROENTERITIS");
    QMdiArea area;
    area.resize(900, 700);
    area.show();
    QMdiSubWindow* sub = managers::openIcdBrowse(&area);
    auto* w = qobject_cast<BrowseWindow*>(sub->widget());
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->isVisible() && w->engine().entryCount() == 1; }));
    EXPECT_FALSE(w->engine().selectMode());
    EXPECT_FALSE(w->button(BrowseRole::Select)->isVisible());

    whenModal([](QWidget* dialog) {
        auto* form = qobject_cast<FormWindow*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), "Record Will Be Added");
        QTest::keyClicks(form->entryOf("ICD:ICDCODE"), "R05.9");
        QTest::keyClicks(form->entryOf("ICD:ICDDES"), "COUGH");
        form->saveButton()->click();
    });
    w->button(BrowseRole::Add)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->engine().entryCount() == 2; }));
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(std::get<std::string>(w->engine().value(w->engine().highlighted(), 0)), "R05.9");
    w->button(BrowseRole::Close)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return area.subWindowList().isEmpty(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(table(file::ICD48), (std::vector<std::string>{"A09=GASTROENTERITIS", "R05.9=COUGH"}));
}

TEST_F(CodeTablesTest, EveryHelpTopicOfTheseWindowsHasAPage)
{
    for (const QString& topic : {managers::icdBrowse().helpTopic, managers::cptForm().helpTopic,
                                 managers::icdForm().helpTopic})
        EXPECT_FALSE(help::findPage(topic).isEmpty()) << topic.toStdString();
}

} // namespace
