// Dictionary names: a literal is resolved while compiling (a misspelt one
// does not build), a label known only at run time by named(), and both
// arrive at the same place.
#include "data/names.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace kestrel::data;

static_assert(FieldName("cpt:cptcode").label() == "CPT:CPTCODE");
static_assert(FieldName("ICDM:ICDV").file() == FileName("ICD"));
static_assert(KeyName("PAT:LNAMEKEY").def().parts[0] == "PAT:LNAME");
static_assert(KeyName("PAT:LNAMEKEY").file().def().fileName == "Patient.db");
static_assert(FieldName().isEmpty() && FieldName().label().empty());

TEST(DictionaryNames, RunTimeLookupsMeetTheLiteralsAndRefuseWhatIsNotThere)
{
    EXPECT_EQ(FieldName::named(" in2:ins2name "), FieldName("IN2:INS2NAME"));
    EXPECT_EQ(KeyName::named("IN1:INS1LNAMEKEY"), KeyName("IN1:INS1LNAMEKEY"));
    EXPECT_EQ(FileName::named("insured2"), FileName("Insured2"));

    const FieldRef ref = FieldName("INV:BDUE").ref();
    EXPECT_EQ(ref.record(), bytesOf(INV));
    EXPECT_EQ(ref.field->label, "INV:BDUE");
    EXPECT_EQ(ref.file->def, &file::Invoice);
    EXPECT_EQ(FieldName("PAT:LNAME").text(), QStringLiteral("PAT:LNAME"));
    EXPECT_EQ(KeyName("PAT:LNAMEKEY").index(), 1);

    // A prefix names a file; the rest must be one of its own labels.
    EXPECT_THROW(FieldName::named("PAT:INS1NAME"), std::invalid_argument);
    EXPECT_THROW(FieldName::named("LNAME"), std::invalid_argument);
    EXPECT_THROW(KeyName::named("PAT:LNAME"), std::invalid_argument);
    EXPECT_THROW(KeyName::named("XYZ:LNAMEKEY"), std::invalid_argument);
    EXPECT_THROW(FileName::named("Patients"), std::invalid_argument);
}

} // namespace
