// The update form engine without a window, on real record files: numbering,
// Insert, Change (with a station changing the record meanwhile), Delete, the
// ditto key, the accept-all pass and refused input.
#include "shell/formtesting.h"

#include "data/integrity.h"
#include "platform/transaction.h"

using namespace kestrel;
using namespace kestrel::shell;
using data::Button;
using test::UserForm;
using test::addPatient;
namespace file = data::file;
namespace errc = platform::errc;

namespace {

FieldRule closeIfBlank()
{
    return [](FormContext& f) { return f.isBlank(f.currentField()) ? Verdict::CloseCancelled : Verdict::Go; };
}

// A numbered form on Patient, shaped like the patient editor.
FormDefinition patientForm()
{
    return FormDefinition{
        .file = "Patient",
        .title = "Patient record editor",
        .insertTitle = "Record will be added",
        .changeTitle = "Record will be changed",
        .helpTopic = "UpdatePatient",
        .buttons = {"Help", "&Save", "&Cancel"},
        .tabs = {{"Patient", {
            entry("Last name, First, MI", "PAT:LNAME", "@s29").ditto().accepting(closeIfBlank()),
            radios("Sex", "PAT:SEX", {{"Male", "M", {}}, {"Female", "F", {}}}),
            entry("Date of Birth", "PAT:BDATE", "@D2").ditto(),
            entry("Social Security number", "PAT:SSN", "@P###-##-####P").ditto(),
            entry("Address", "PAT:ADD1", "@s29").ditto(),
        }}},
        .duplicateKey = DuplicateKey{"PAT:PATKEY", "PAT:PATkey"},
        .numbering = Numbering{"PAT:PAT", "PAT:PATKEY"},
    };
}

// A plain form on the CPT file that names no duplicate key.
FormDefinition codeFormWithoutLiteral()
{
    return FormDefinition{
        .file = "CPT48",
        .title = "Code",
        .insertTitle = "Adding",
        .changeTitle = "Changing",
        .buttons = {"&Save", "&Cancel"},
        .tabs = {{"", {
            entry("Code", "CPT:CPTCODE", "@s7").ditto(),
            entry("Description", "CPT:CPTDESCRIPTION", "@s48").ditto(),
        }}},
    };
}

class FormEngineTest : public test::FormTest {
protected:
    std::vector<std::pair<long long, std::string>> patients()
    {
        return records(file::Patient, "PAT:PATKEY", [] {
            return std::pair{data::PAT.PAT.asInt(), std::string(data::PAT.LNAME.trimmed())};
        });
    }
    // Puts the patient into the buffer, read for change as a browse does.
    void choosePatient(long long number)
    {
        platform::clearRecord(file::Patient, data::bytesOf(data::PAT));
        data::PAT.PAT.set(number);
        readForChange(file::Patient, "PAT:PATKEY");
    }
};

// ----------------------------------------------------------------- numbering

TEST_F(FormEngineTest, NumberingStartsAtOneAndACancelledInsertLeavesNothingBehind)
{
    const FormDefinition def = patientForm();
    {
        UserForm form(def, Request::Insert);
        ASSERT_FALSE(form.ended());
        EXPECT_EQ(data::PAT.PAT.asInt(), 1);
        // The number is reserved in the file while the form is open.
        EXPECT_EQ(patients().size(), 1u);
        form.engine.cancel();
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    EXPECT_TRUE(patients().empty());

    // The next Insert takes the same number again, and saves over its
    // reserved record rather than adding a second one.
    UserForm form(def, Request::Insert);
    EXPECT_EQ(data::PAT.PAT.asInt(), 1);
    ASSERT_TRUE(form.type("PAT:LNAME", "SMITH, ANN"));
    form.engine.save();
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{1, "SMITH, ANN"}}));

    UserForm third(def, Request::Insert);
    EXPECT_EQ(data::PAT.PAT.asInt(), 2);
    third.engine.cancel();
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(FormEngineTest, ClosingByARuleOrTheWindowAlsoRemovesTheReservedRecord)
{
    addPatient(4, "JONES");
    const FormDefinition def = patientForm();
    {
        UserForm form(def, Request::Insert);
        EXPECT_EQ(data::PAT.PAT.asInt(), 5);
        form.engine.save();  // the name is blank: its rule closes the form
        EXPECT_TRUE(form.engine.isClosed());
        EXPECT_TRUE(form.host.closed);
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        UserForm form(def, Request::Insert);
        ASSERT_TRUE(form.type("PAT:LNAME", "BROWN"));
        // The window is closed without Save: the destructor of UserForm
        // closes the engine as the window's close button does.
    }
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{4, "JONES"}}));
}

TEST_F(FormEngineTest, TwoStationsNumberingAtOnceGetDifferentNumbers)
{
    constexpr int kEach = 12;
    { data::FileUse create{&file::Patient}; }  // the file exists before both start

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    auto station = [&](const char* name) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            char go;
            (void)!::read(ready[0], &go, 1);
            // On a busy machine three collisions in a row can happen; the
            // user then answers Retry, and that must still end in distinct numbers.
            test::ScriptedMessages quiet;
            for (int k = 0; k < 3 * kEach; ++k) quiet.answer(data::Button::Retry);
            const FormDefinition def = patientForm();
            for (int i = 0; i < kEach; ++i) {
                UserForm form(def, Request::Insert);
                if (form.ended()) ::_exit(10);
                form.type("PAT:LNAME", QString::fromLatin1(name));
                form.engine.save();
                if (CallResponse != Response::Completed) ::_exit(11);
            }
            for (const auto& m : quiet.shown())
                if (m.number != 25) ::_exit(12);
            ::_exit(0);
        }
        return pid;
    };
    const pid_t a = station("A");
    const pid_t b = station("B");
    // Both stations start at the same moment.
    (void)!::write(ready[1], "gg", 2);
    for (pid_t pid : {a, b}) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "station exit " << status;
    }
    ::close(ready[0]);
    ::close(ready[1]);

    const auto all = patients();
    ASSERT_EQ(all.size(), std::size_t(2 * kEach));
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].first, long(i) + 1);  // 1..24, each once
        EXPECT_TRUE(all[i].second == "A" || all[i].second == "B");
    }
}

TEST_F(FormEngineTest, NumbersThatNoLongerFitTheFieldAreUsedUpAndNothingIsCreated)
{
    addPatient(99999, "LAST");
    const FormDefinition def = patientForm();
    messages.answer(Button::Retry).answer(Button::Cancel);
    UserForm form(def, Request::Insert);
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(CallResponse, Response::Cancelled);
    ASSERT_EQ(messages.numbers(), (std::vector<int>{25, 25}));
    EXPECT_EQ(messages.shown()[0].title, "Auto Increment Error");
    EXPECT_TRUE(messages.shown()[0].text.contains("used up")) << messages.shown()[0].text.toStdString();
    EXPECT_TRUE(messages.shown()[1].text.contains("used up"));
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{99999, "LAST"}}));
}

TEST_F(FormEngineTest, AFailedReservationIsRetriedWithTheNextAttempt)
{
    addPatient(1, "ONE");
    platform::faults::failOn(platform::faults::Operation::Add, "Patient", 1, errc::DuplicateKey);
    const FormDefinition def = patientForm();
    UserForm form(def, Request::Insert);
    ASSERT_FALSE(form.ended());
    EXPECT_EQ(data::PAT.PAT.asInt(), 2);
    EXPECT_TRUE(messages.shown().empty());
    form.engine.cancel();
}

TEST_F(FormEngineTest, AnUnreadableHighestNumberEndsTheFormWithARetrievalError)
{
    addPatient(1, "ONE");
    platform::faults::failOn(platform::faults::Operation::Read, "Patient", 1, errc::DriverError);
    const FormDefinition def = patientForm();
    UserForm form(def, Request::Insert);
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(CallResponse, Response::Cancelled);
    EXPECT_EQ(messages.numbers(), std::vector<int>{35});
    EXPECT_TRUE(messages.shown()[0].text.contains("Patient"));
    EXPECT_EQ(patients().size(), 1u);
}

// --------------------------------------------------------------------- insert

TEST_F(FormEngineTest, AFormWithoutADuplicateLiteralReportsADuplicateAsAnInsertError)
{
    addRecord(file::CPT48, [] { data::CPT.CPTCODE.set("99213"); });
    const FormDefinition def = codeFormWithoutLiteral();
    UserForm form(def, Request::Insert);
    form.type("CPT:CPTCODE", "99213");
    form.type("CPT:CPTDESCRIPTION", "OFFICE VISIT");
    form.engine.save();
    EXPECT_EQ(messages.numbers(), std::vector<int>{14});
    EXPECT_FALSE(form.engine.isClosed());
    EXPECT_EQ(form.host.focused, form.at("CPT:CPTCODE"));
    EXPECT_EQ(form.shown("CPT:CPTDESCRIPTION"), "OFFICE VISIT");
}

TEST_F(FormEngineTest, AnAddThatFailsOtherwiseShowsTheInsertErrorWithTheDriversError)
{
    platform::faults::failOn(platform::faults::Operation::Add, "CPT48", 1, errc::DriverError);
    const FormDefinition def = codeFormWithoutLiteral();
    UserForm form(def, Request::Insert);
    form.type("CPT:CPTCODE", "11111");
    form.engine.save();
    ASSERT_EQ(messages.numbers(), std::vector<int>{14});
    EXPECT_EQ(messages.shown()[0].title, "Record Insert Error");
    EXPECT_FALSE(form.engine.isClosed());
    // Saving again (the fault was a one-off) adds the record.
    form.engine.save();
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_EQ(records(file::CPT48, "CPT:CPTCODEKEY", [] { return std::string(data::CPT.CPTCODE.trimmed()); }),
              std::vector<std::string>{"11111"});
}

// ---------------------------------------------------------------------- change

TEST_F(FormEngineTest, SaveInAChangeFormWithoutEditsWritesNothingAndCompletes)
{
    addPatient(3, "GREEN");
    choosePatient(3);
    // Any write would fail and say so.
    platform::faults::failOn(platform::faults::Operation::Put, "Patient", 1, errc::DriverError);
    const FormDefinition def = patientForm();
    UserForm form(def, Request::Change);
    EXPECT_EQ(form.engine.windowTitle(), "Record will be changed");
    EXPECT_EQ(form.shown("PAT:LNAME"), "GREEN");
    form.engine.save();
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(FormEngineTest, AChangeIsWrittenThroughTheUpdateOperation)
{
    addPatient(3, "GREEN");
    choosePatient(3);
    const FormDefinition def = patientForm();
    UserForm form(def, Request::Change);
    ASSERT_TRUE(form.type("PAT:BDATE", "7/4/1961"));
    EXPECT_EQ(form.shown("PAT:BDATE"), "07/04/1961");
    ASSERT_TRUE(form.type("PAT:SSN", "123-45-6789"));
    form.engine.save();
    EXPECT_EQ(CallResponse, Response::Completed);
    auto stored = records(file::Patient, "PAT:PATKEY", [] {
        return std::string(data::PAT.BDATE.view()) + "|" + std::string(data::PAT.SSN.view());
    });
    EXPECT_EQ(stored, std::vector<std::string>{"19610704|123456789"});
}

// The form's file is shared: a lookup or another window may read other
// records through it while the form is open. Save and Delete still act on
// the record the form read, never on the one read last.
TEST_F(FormEngineTest, SaveAndDeleteActOnTheFormsRecordWhateverWasReadSince)
{
    addPatient(1, "ONE");
    addPatient(2, "TWO");
    const FormDefinition def = patientForm();
    // Reads patient 2 through the program's file, keeping the buffer as a
    // lookup that puts it back would.
    const auto readOtherPatient = [] {
        const data::PatientRecord kept = data::PAT;
        data::PAT.PAT.set(2);
        EXPECT_EQ(data::recordFile(file::Patient).get(file::Patient.keyIndex("PAT:PATKEY")), 0);
        data::PAT = kept;
    };

    choosePatient(1);
    {
        UserForm form(def, Request::Change);
        ASSERT_TRUE(form.type("PAT:ADD1", "1 FIRST STREET"));
        readOtherPatient();
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    EXPECT_EQ(records(file::Patient, "PAT:PATKEY",
                      [] { return std::string(data::PAT.LNAME.trimmed()) + "|" + std::string(data::PAT.ADD1.trimmed()); }),
              (std::vector<std::string>{"ONE|1 FIRST STREET", "TWO|"}));

    // The read happens while the delete is being confirmed.
    struct ReadWhileAsked : test::ScriptedMessages {
        std::function<void()> read;
        data::Button present(const data::Message& m) override
        {
            read();
            return ScriptedMessages::present(m);
        }
    } asked;
    asked.read = readOtherPatient;
    asked.answer(Button::Ok);
    choosePatient(1);
    UserForm gone(def, Request::Delete);
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{2, "TWO"}}));
}

TEST_F(FormEngineTest, AChangeCollidingWithAnotherStationShowsTheirVersionAndDittoRecallsWhatWasTyped)
{
    addPatient(7, "WHITE");
    choosePatient(7);
    const FormDefinition def = patientForm();
    UserForm form(def, Request::Change);
    ASSERT_TRUE(form.type("PAT:ADD1", "12 ELM STREET"));

    const QString folder = dir.path();
    EXPECT_EQ(test::otherStation([&] {
                  data::PatientRecord mine;
                  platform::RecordFile other(file::Patient, data::bytesOf(mine));
                  other.setDirectory(folder);
                  if (other.open() != 0) return 1;
                  platform::clearRecord(file::Patient, data::bytesOf(mine));
                  mine.PAT.set(7);
                  if (other.get(file::Patient.keyIndex("PAT:PATKEY")) != 0) return 2;
                  mine.ADD1.set("99 OAK AVENUE");
                  return other.put() == 0 ? 0 : 3;
              }),
              0);

    form.engine.save();
    EXPECT_EQ(messages.numbers(), std::vector<int>{38});
    EXPECT_FALSE(form.engine.isClosed());
    EXPECT_EQ(form.shown("PAT:ADD1"), "99 OAK AVENUE");
    EXPECT_EQ(form.host.focused, form.at("PAT:LNAME"));

    // The ditto key brings back the value typed; other fields stay as the
    // other station left them.
    form.ditto("PAT:ADD1");
    EXPECT_EQ(form.shown("PAT:ADD1"), "12 ELM STREET");
    EXPECT_EQ(form.shown("PAT:LNAME"), "WHITE");
    form.engine.save();
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_EQ(records(file::Patient, "PAT:PATKEY", [] { return std::string(data::PAT.ADD1.trimmed()); }),
              std::vector<std::string>{"12 ELM STREET"});
}

TEST_F(FormEngineTest, AFailedUpdateAsksWhetherToTryAgain)
{
    addPatient(3, "GREEN");
    const FormDefinition def = patientForm();

    // Yes: the second try writes.
    choosePatient(3);
    platform::faults::failOn(platform::faults::Operation::Put, "Patient", 1, errc::DriverError);
    messages.answer(Button::Ok).answer(Button::Yes);
    {
        UserForm form(def, Request::Change);
        form.type("PAT:ADD1", "FIRST");
        form.engine.save();
        EXPECT_EQ(messages.numbers(), (std::vector<int>{15, 16}));
        EXPECT_EQ(CallResponse, Response::Completed);
    }

    // Cancel: the form stays open; No: it closes cancelled, nothing written.
    choosePatient(3);
    platform::faults::failOn(platform::faults::Operation::Put, "Patient", 1, errc::DriverError);
    messages.answer(Button::Ok).answer(Button::Cancel);
    {
        UserForm form(def, Request::Change);
        form.type("PAT:ADD1", "SECOND");
        form.engine.save();
        EXPECT_FALSE(form.engine.isClosed());
        platform::faults::failOn(platform::faults::Operation::Put, "Patient", 1, errc::DriverError);
        messages.answer(Button::Ok).answer(Button::No);
        form.engine.save();
        EXPECT_TRUE(form.engine.isClosed());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    EXPECT_EQ(messages.numbers(), (std::vector<int>{15, 16, 15, 16, 15, 16}));
    EXPECT_EQ(records(file::Patient, "PAT:PATKEY", [] { return std::string(data::PAT.ADD1.trimmed()); }),
              std::vector<std::string>{"FIRST"});
}

// ---------------------------------------------------------------------- delete

TEST_F(FormEngineTest, DeleteAsksFirstAndRunsWithoutAWindow)
{
    addPatient(1, "ONE");
    addPatient(2, "TWO");
    const FormDefinition def = patientForm();

    choosePatient(1);
    messages.answer(Button::Cancel);
    {
        UserForm form(def, Request::Delete);
        EXPECT_TRUE(form.ended());
        EXPECT_EQ(form.host.refreshes, 0);
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    EXPECT_EQ(patients().size(), 2u);

    choosePatient(1);
    messages.answer(Button::Ok);
    {
        UserForm form(def, Request::Delete);
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{2, "TWO"}}));
    EXPECT_EQ(messages.numbers(), (std::vector<int>{32, 32}));
    EXPECT_EQ(messages.shown()[0].title, "Confirm Delete");
}

TEST_F(FormEngineTest, AFailedDeleteCanBeTriedAgain)
{
    addPatient(1, "ONE");
    const FormDefinition def = patientForm();
    choosePatient(1);
    platform::faults::failOn(platform::faults::Operation::Remove, "Patient", 1, errc::DriverError);
    // Confirm, the delete operation's own message, then Yes to try again.
    messages.answer(Button::Ok).answer(Button::Ok).answer(Button::Yes);
    {
        UserForm form(def, Request::Delete);
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    EXPECT_EQ(messages.numbers(), (std::vector<int>{32, 17, 18}));
    EXPECT_TRUE(patients().empty());

    addPatient(2, "TWO");
    choosePatient(2);
    platform::faults::failOn(platform::faults::Operation::Remove, "Patient", 1, errc::DriverError);
    messages.answer(Button::Ok).answer(Button::Ok).answer(Button::No);
    {
        UserForm form(def, Request::Delete);
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    EXPECT_EQ(patients().size(), 1u);
}

// ------------------------------------------------------------- fields, ditto

TEST_F(FormEngineTest, DittoFillsTheFocusedFieldFromTheLastRecordSavedThroughThatForm)
{
    const FormDefinition def = patientForm();
    {
        UserForm form(def, Request::Insert);
        // Nothing saved yet in this run: the history record is blank.
        form.ditto("PAT:ADD1");
        EXPECT_EQ(form.shown("PAT:ADD1"), "");
        form.type("PAT:LNAME", "SMITH");
        form.type("PAT:ADD1", "1 MAIN ST");
        form.type("PAT:BDATE", "02/29/1960");
        form.engine.save();
        ASSERT_EQ(CallResponse, Response::Completed);
    }
    UserForm form(def, Request::Insert);
    EXPECT_EQ(form.shown("PAT:ADD1"), "");
    form.ditto("PAT:ADD1");
    form.ditto("PAT:BDATE");
    EXPECT_EQ(form.shown("PAT:ADD1"), "1 MAIN ST");
    EXPECT_EQ(form.shown("PAT:BDATE"), "02/29/1960");
    EXPECT_EQ(std::string(data::PAT.BDATE.view()), "19600229");
    // Only the fields asked for; the number stays this record's own.
    EXPECT_EQ(form.shown("PAT:LNAME"), "");
    EXPECT_EQ(data::PAT.PAT.asInt(), 2);

    // Another form procedure has a history of its own.
    const FormDefinition other = patientForm();
    form.engine.cancel();
    UserForm fresh(other, Request::Insert);
    fresh.ditto("PAT:ADD1");
    EXPECT_EQ(fresh.shown("PAT:ADD1"), "");
}

TEST_F(FormEngineTest, RefusedInputBeepsKeepsTheFocusAndStoresNothing)
{
    const FormDefinition def = patientForm();
    UserForm form(def, Request::Insert);
    const QByteArray before(reinterpret_cast<const char*>(data::bytesOf(data::PAT)), file::Patient.recordLength);

    EXPECT_FALSE(form.type("PAT:BDATE", "02/30/2020"));
    ASSERT_EQ(form.host.refusals.size(), 1u);
    EXPECT_EQ(form.host.refusals[0].index, form.at("PAT:BDATE"));
    EXPECT_FALSE(form.host.refusals[0].why.isEmpty());
    EXPECT_EQ(form.host.focused, form.at("PAT:BDATE"));
    EXPECT_FALSE(form.type("PAT:SSN", "123-45-67890"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data::bytesOf(data::PAT)), file::Patient.recordLength),
              before);
    // The typed text stays in the control so that it can be corrected.
    EXPECT_EQ(form.shown("PAT:BDATE"), "02/30/2020");

    // Save's accept-all pass stops at the first field that fails, after the
    // fields before it have run their checks; nothing is written.
    form.type("PAT:LNAME", "SMITH");
    form.host.refusals.clear();
    form.engine.save();
    EXPECT_FALSE(form.engine.isClosed());
    ASSERT_EQ(form.host.refusals.size(), 1u);
    EXPECT_EQ(form.host.refusals[0].index, form.at("PAT:BDATE"));
    EXPECT_EQ(form.host.focused, form.at("PAT:BDATE"));
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{1, ""}}));

    // Corrected, it saves.
    EXPECT_TRUE(form.type("PAT:BDATE", "02/28/2020"));
    EXPECT_TRUE(form.type("PAT:SSN", "123456789"));
    form.engine.save();
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{1, "SMITH"}}));
}

TEST_F(FormEngineTest, RadioGroupsAndCheckBoxesStoreTheirCodes)
{
    FormDefinition def = patientForm();
    def.numbering.reset();
    def.tabs[0].controls.push_back(
        radios("Plan", "IN1:INS1PLAN", {{" MEDICARE", "1", "MEDICARE"}, {" MEDICAID", "2", "MEDICAID"}})
            .companion("IN1:PLAN"));
    def.tabs[0].controls.push_back(checkBox(" Mark, if SSN is the Federal Tax I.D. Number.", "PRV:TIDX", "X"));
    UserForm form(def, Request::Insert);
    const int sex = form.at("PAT:SEX");
    form.engine.choose(sex, 1);
    EXPECT_EQ(std::string(data::PAT.SEX.trimmed()), "F");
    EXPECT_EQ(form.engine.chosen(sex), 1);

    const int plan = form.at("IN1:INS1PLAN");
    form.engine.choose(plan, 1);
    EXPECT_EQ(std::string(data::IN1.INS1PLAN.trimmed()), "2");
    EXPECT_EQ(std::string(data::IN1.PLAN.trimmed()), "MEDICAID");

    const int mark = form.at("PRV:TIDX");
    form.engine.check(mark, true);
    EXPECT_EQ(std::string(data::PRV.TIDX.trimmed()), "X");
    EXPECT_TRUE(form.engine.isChecked(mark));
    form.engine.check(mark, false);
    EXPECT_FALSE(form.engine.isChecked(mark));
    form.engine.cancel();
}

TEST_F(FormEngineTest, EnteringAndLookupRulesRunWithTheTypedText)
{
    FormDefinition def = patientForm();
    def.numbering.reset();
    QString typedAtLookup;
    int entered = 0;
    def.tabs[0].controls[4] = def.tabs[0].controls[4]
                                  .entering([&](FormContext& f) {
                                      ++entered;
                                      // Fill a blank address from elsewhere when entered.
                                      if (f.isBlank("PAT:ADD1")) f.set("PAT:ADD1", "FROM RULE");
                                      return Verdict::Go;
                                  })
                                  .lookup([&](FormContext& f) {
                                      typedAtLookup = f.typedText();
                                      f.set("PAT:ADD1", "CHOSEN");
                                  });
    UserForm form(def, Request::Insert);
    const int add1 = form.at("PAT:ADD1");
    form.engine.enter(add1);
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(form.shown("PAT:ADD1"), "FROM RULE");
    form.engine.type(add1, "PART");
    form.engine.lookup(add1);
    EXPECT_EQ(typedAtLookup, "PART");
    EXPECT_EQ(form.shown("PAT:ADD1"), "CHOSEN");
    form.engine.cancel();
}

// ------------------------------------------------------ check boxes on save

TEST_F(FormEngineTest, AnUntouchedCheckBoxIsStoredAsItsOffLetter)
{
    const FormDefinition def{
        .file = "Provider",
        .insertTitle = "Record Will Be Added",
        .buttons = {"&Save", "&Close"},
        .tabs = {{"", {
            entry("Last name", "PRV:PNAME", "@s29"),
            checkBox(" Mark, if SSN is the Federal Tax I.D. Number.", "PRV:TIDX", "S", "E"),
            checkBox(" Mark, if billing under the group name.", "PRV:GIDX", "G", "I"),
        }}},
        .numbering = Numbering{"PRV:PRV", "PRV:PRVKEY"},
        .closeSaves = true,
    };
    auto stored = [&] {
        return records(file::Provider, "PRV:PRVKEY", [] {
            return std::string(data::PRV.PNAME.trimmed()) + ":" + std::string(data::PRV.TIDX.view()) +
                   std::string(data::PRV.GIDX.view());
        });
    };
    {
        UserForm form(def, Request::Insert);
        form.type("PRV:PNAME", "SAVED");
        form.engine.check(form.at("PRV:GIDX"), true);
        form.engine.save();
    }
    {
        // Close saves without the accept-all pass, and writes them too.
        UserForm form(def, Request::Insert);
        form.type("PRV:PNAME", "CLOSED");
        form.engine.close(CloseBy::Button);
    }
    EXPECT_EQ(stored(), (std::vector<std::string>{"SAVED:EG", "CLOSED:EI"}));
}

// ------------------------------------------------- a Close button that saves

// Shaped like the windows whose last button is Close: a hook sets the
// figures the form computes, Esc does not close, and Close saves.
FormDefinition closingPatientForm(int* passes, QString* seen)
{
    FormDefinition def = patientForm();
    def.buttons = {"&Save", "&Close", "Help"};
    def.closeSaves = true;
    def.escapeCloses = false;
    def.onClosing = [](FormContext& f) { return f.isBlank("PAT:LNAME") ? Verdict::CloseCancelled : Verdict::Go; };
    def.onSaving = [seen](FormContext& f) {
        f.set("PAT:NOWBALAN", "12.34");
        *seen += f.acceptingAll() ? "P" : "-";
    };
    def.tabs[0].controls[4] = def.tabs[0].controls[4].accepting([passes, seen](FormContext& f) {
        ++*passes;
        *seen += f.acceptingAll() ? "a" : "l";
        return Verdict::Go;
    });
    return def;
}

TEST_F(FormEngineTest, CloseSavesWithoutThePassAndClosesAsChosen)
{
    int passes = 0;
    QString seen;
    const FormDefinition def = closingPatientForm(&passes, &seen);
    auto stored = [&] {
        return records(file::Patient, "PAT:PATKEY", [] {
            return std::to_string(data::PAT.PAT.asInt()) + " " + std::string(data::PAT.LNAME.trimmed()) + " " +
                   data::PAT.NOWBALAN.value().toString();
        });
    };
    {
        // Save: the hook, then the pass (the rule knows), then the write.
        UserForm form(def, Request::Insert);
        form.type("PAT:LNAME", "SAVED");
        form.type("PAT:ADD1", "1 MAIN");
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    EXPECT_EQ(seen, "l-a");
    {
        // Close: the hook and the write, no pass.
        UserForm form(def, Request::Insert);
        form.type("PAT:LNAME", "CLOSED");
        seen.clear();
        passes = 0;
        form.engine.close(CloseBy::Button);
        EXPECT_EQ(CallResponse, Response::Completed);
        EXPECT_EQ(seen, "-");
        EXPECT_EQ(passes, 0);
    }
    {
        // The closing rule ends a form with nothing worth keeping.
        UserForm form(def, Request::Insert);
        form.engine.close(CloseBy::Button);
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    EXPECT_EQ(stored(), (std::vector<std::string>{"1 SAVED 12.34", "2 CLOSED 12.34"}));

    // A failed save: chosen with Esc the form stays open, number kept;
    // chosen otherwise it closes Cancelled and the number is given back.
    UserForm form(def, Request::Insert);
    form.type("PAT:LNAME", "FAILS");
    platform::faults::failOn(platform::faults::Operation::Put, "Patient", 1, errc::DriverError);
    form.engine.close(CloseBy::Escape);
    EXPECT_FALSE(form.engine.isClosed());
    EXPECT_EQ(stored().size(), 3u);
    platform::faults::failOn(platform::faults::Operation::Put, "Patient", 1, errc::DriverError);
    form.engine.close(CloseBy::Button);
    EXPECT_TRUE(form.engine.isClosed());
    EXPECT_EQ(CallResponse, Response::Cancelled);
    EXPECT_EQ(messages.numbers(), (std::vector<int>{14, 14}));
    EXPECT_EQ(stored().size(), 2u);
}

TEST_F(FormEngineTest, ARuleCanPutTheFocusBackAndStopWithoutABeep)
{
    FormDefinition def = patientForm();
    int asked = 0;
    // As a code lookup the user cancelled: back to the field, nothing said.
    def.tabs[0].controls[4] = def.tabs[0].controls[4].accepting([&](FormContext& f) {
        ++asked;
        return f.text("PAT:ADD1") == "UNKNOWN" ? Verdict::Stay : Verdict::Go;
    });
    UserForm form(def, Request::Insert);
    form.type("PAT:LNAME", "SMITH");
    EXPECT_FALSE(form.type("PAT:ADD1", "UNKNOWN"));
    EXPECT_EQ(form.host.focused, form.at("PAT:ADD1"));
    form.host.focused = -1;
    form.engine.save();  // the pass stops there too
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(form.engine.isClosed());
    EXPECT_EQ(form.host.focused, form.at("PAT:ADD1"));
    EXPECT_TRUE(form.host.refusals.empty());
}

// --------------------------------------------------------- related records

TEST_F(FormEngineTest, APrivateLookupLeavesTheCallersRecordAsItWas)
{
    addPatient(1, "ONE");
    addPatient(2, "TWO");
    // The caller, a patient's window, is editing patient 1.
    choosePatient(1);
    data::PAT.LNAME.set("EDITING");

    const FormDefinition def{
        .file = "Invoice",
        .buttons = {"&Save", "&Close"},
        .tabs = {{"", {
            entry("Patient", "INV:PAT", "@n7"),
            shown("Name", "PAT:LNAME", "@s29"),
        }}},
        .related = {RelatedRecord{"Patient", "PAT:PATKEY", {{"PAT:PAT", "INV:PAT"}}}.keptApart()},
    };
    {
        UserForm form(def, Request::Insert);
        form.type("INV:PAT", "2");
        form.engine.redisplay();
        EXPECT_EQ(form.shown("PAT:LNAME"), "TWO");
        EXPECT_EQ(form.engine.text("PAT:LNAME"), "TWO");
        form.type("INV:PAT", "9");
        form.engine.redisplay();
        EXPECT_EQ(form.shown("PAT:LNAME"), "");
        form.engine.cancel();
    }
    EXPECT_EQ(data::PAT.PAT.asInt(), 1);
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "EDITING");
    // The caller's file still has its own record current and watched.
    EXPECT_EQ(data::updateRecord(file::Patient), data::UpdateDone);
    EXPECT_EQ(patients(), (std::vector<std::pair<long long, std::string>>{{1, "EDITING"}, {2, "TWO"}}));
}

} // namespace
