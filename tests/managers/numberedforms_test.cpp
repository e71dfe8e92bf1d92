// The record editors of the numbered files, patients and providers, share
// two rules: a record without a name or a number is never written, and
// numbers end at the last one the field holds instead of wrapping. Both
// editors are driven through each rule.
#include "managers/patientform.h"
#include "managers/providerform.h"

#include "shell/formtesting.h"

using namespace kestrel;
using namespace kestrel::shell;
using data::Button;
using test::UserForm;
namespace file = data::file;

namespace {

struct NumberedEditor {
    const FormDefinition& (*form)();
    const platform::FileDef& def;
    const char* numberKey;
    const char* nameField;
    const char* otherField;  // typed into a new record whose name stays blank
    long long last;          // the last number the field holds
    void (*add)(long long, std::string_view, const test::Fill&);
    long long (*number)();   // the number in the file's buffer
};

const NumberedEditor kEditors[] = {
    {managers::patientForm, file::Patient, "PAT:PATKEY", "PAT:LNAME", "PAT:ADD1", 99999, test::addPatient,
     [] { return data::PAT.PAT.asInt(); }},
    {managers::providerForm, file::Provider, "PRV:PRVKEY", "PRV:PNAME", "PRV:PADD1", 999, test::addProvider,
     [] { return data::PRV.PRV.asInt(); }},
};

class NumberedEditors : public test::FormTest {
protected:
    std::vector<long long> numbers(const NumberedEditor& e) { return records(e.def, e.numberKey, e.number); }
};

TEST_F(NumberedEditors, ABlankNameOrAMissingNumberClosesTheEditorWithoutWriting)
{
    for (const NumberedEditor& e : kEditors) {
        SCOPED_TRACE(e.def.label);
        {
            // A new record whose name is left blank: nothing stays behind.
            UserForm form(e.form(), Request::Insert);
            ASSERT_TRUE(form.type(e.otherField, "1 ELM ST"));
            form.engine.save();
            EXPECT_TRUE(form.engine.isClosed());
            EXPECT_EQ(CallResponse, Response::Cancelled);
        }
        EXPECT_TRUE(numbers(e).empty());

        // A damaged record with a negative number cannot be edited: the form
        // closes as soon as its name field is entered, writing nothing.
        e.add(-1, "NOBODY", {});
        readForChange(e.def, e.numberKey);
        UserForm form(e.form(), Request::Change);
        form.engine.enter(form.at(e.nameField));
        EXPECT_TRUE(form.engine.isClosed());
        EXPECT_EQ(CallResponse, Response::Cancelled);
        releaseHeld();
        EXPECT_EQ(numbers(e), (std::vector<long long>{-1}));
    }
}

TEST_F(NumberedEditors, NumbersEndAtTheLastTheFieldHoldsAndAreNeverWrapped)
{
    for (const NumberedEditor& e : kEditors) {
        SCOPED_TRACE(e.def.label);
        const std::size_t before = messages.shown().size();
        e.add(e.last, "LAST, ONE", {});
        messages.answer(Button::Cancel);
        UserForm form(e.form(), Request::Insert);
        EXPECT_TRUE(form.ended());
        EXPECT_EQ(CallResponse, Response::Cancelled);
        ASSERT_EQ(messages.shown().size(), before + 1);
        const auto& shown = messages.shown().back();
        EXPECT_EQ(shown.number, 25);
        EXPECT_EQ(shown.title, "Auto Increment Error");
        EXPECT_TRUE(shown.text.contains("used up")) << shown.text.toStdString();
        EXPECT_EQ(numbers(e), (std::vector<long long>{e.last}));
    }
}

} // namespace
