// The patient manager without windows, on real record files: the record
// editor's numbering, pictures, radio and rules, and the city line.
#include "managers/patientbrowse.h"
#include "managers/patientform.h"

#include "shell/formtesting.h"

using namespace kestrel;
using namespace kestrel::shell;
using namespace kestrel::managers;
using data::Button;
using test::UserForm;
using test::addPatient;
namespace file = data::file;

namespace {

class PatientTest : public test::FormTest {
protected:
    std::vector<long long> numbers()
    {
        return records(file::Patient, "PAT:PATKEY", [] { return data::PAT.PAT.asInt(); });
    }
    void readBack(long long number)
    {
        data::FileUse use{&file::Patient};
        platform::clearRecord(file::Patient, data::bytesOf(data::PAT));
        data::PAT.PAT.set(number);
        ASSERT_EQ(data::recordFile(file::Patient).get(file::Patient.keyIndex("PAT:PATKEY")), 0);
    }
};

TEST_F(PatientTest, TheFirstPatientIsOneAndACancelledInsertGivesItsNumberBack)
{
    {
        UserForm form(patientForm(), Request::Insert);
        EXPECT_EQ(form.engine.windowTitle(), "Record will be added");
        EXPECT_EQ(data::PAT.PAT.asInt(), 1);
        ASSERT_TRUE(form.type("PAT:LNAME", "SMITH, JOHN"));
        form.engine.cancel();
    }
    EXPECT_TRUE(numbers().empty());
    {
        UserForm form(patientForm(), Request::Insert);
        EXPECT_EQ(data::PAT.PAT.asInt(), 1);
        ASSERT_TRUE(form.type("PAT:LNAME", "SMITH, JOHN"));
        form.engine.save();
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    {
        UserForm form(patientForm(), Request::Insert);
        EXPECT_EQ(data::PAT.PAT.asInt(), 2);
    }
    EXPECT_EQ(numbers(), (std::vector<long long>{1}));
}

TEST_F(PatientTest, DatesAndSocialSecurityNumbersAreStoredInTheirOwnForm)
{
    {
        UserForm form(patientForm(), Request::Insert);
        ASSERT_TRUE(form.type("PAT:LNAME", "SMITH, JOHN"));
        form.engine.choose(form.at("PAT:SEX"), 1);
        EXPECT_EQ(data::PAT.SEX.view(), "F");
        form.engine.choose(form.at("PAT:SEX"), 0);
        EXPECT_EQ(data::PAT.SEX.view(), "M");
        ASSERT_TRUE(form.type("PAT:BDATE", "1/5/1970"));
        ASSERT_TRUE(form.type("PAT:SSN", "123-45-6789"));
        // Shown again through the pictures.
        EXPECT_EQ(form.shown("PAT:BDATE"), "01/05/1970");
        EXPECT_EQ(form.shown("PAT:SSN"), "123-45-6789");
        // What the pictures refuse is not stored.
        EXPECT_FALSE(form.type("PAT:BDATE", "13/45/1970"));
        EXPECT_EQ(data::PAT.BDATE.view(), "19700105");
        // ...and Save stops on it until it is mended.
        form.engine.save();
        EXPECT_FALSE(form.engine.isClosed());
        ASSERT_TRUE(form.type("PAT:BDATE", "01/05/1970"));
        form.engine.save();
        ASSERT_EQ(CallResponse, Response::Completed);
    }
    readBack(1);
    EXPECT_EQ(data::PAT.BDATE.view(), "19700105");
    EXPECT_EQ(data::PAT.SSN.view(), "123456789");
    EXPECT_EQ(data::PAT.SEX.view(), "M");

    // The next patient recalls the date and the number with the ditto key,
    // in their stored form; other fields stay as they are.
    UserForm next(patientForm(), Request::Insert);
    next.ditto("PAT:BDATE");
    next.ditto("PAT:SSN");
    EXPECT_EQ(data::PAT.BDATE.view(), "19700105");
    EXPECT_EQ(data::PAT.SSN.view(), "123456789");
    EXPECT_EQ(next.shown("PAT:SSN"), "123-45-6789");
    EXPECT_TRUE(data::PAT.LNAME.isBlank());
    EXPECT_EQ(data::PAT.PAT.asInt(), 2);
}

TEST_F(PatientTest, TheCityLineJoinsCityStateAndZipWithSingleSpaces)
{
    data::PAT.ADD2.set("SPRINGFIELD");
    data::PAT.ADD3.set("IL");
    data::PAT.ADD4.set("62701");
    EXPECT_EQ(patientCityLine(), "SPRINGFIELD IL 62701");
    // The longest city, state and zip are cut to the line's 36 characters.
    data::PAT.ADD2.set("ABCDEFGHIJKLMNOPQRSTUVWX");
    data::PAT.ADD3.set("NY");
    data::PAT.ADD4.set("10001-1234");
    EXPECT_EQ(patientCityLine(), "ABCDEFGHIJKLMNOPQRSTUVWX NY 10001-12");
}

} // namespace
