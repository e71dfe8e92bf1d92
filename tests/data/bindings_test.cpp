#include "data/bindings.h"
#include "data/records.h"

#include <gtest/gtest.h>

using namespace kestrel;
using platform::Decimal;

namespace {

platform::FilterExpression compiled(std::string_view text, const platform::FilterResolver& local = {})
{
    platform::FilterError error;
    auto e = data::compileBufferFilter(text, local, &error);
    EXPECT_TRUE(e) << text << ": " << error.message;
    return e.value_or(platform::FilterExpression());
}

} // namespace

TEST(BufferBindings, FiltersReadTheLiveBuffersOfAnyFile)
{
    data::clearAllBuffers();
    auto sameAuth = compiled("(AUT:PAT=INV:PAT)");
    data::INV.PAT.set(Decimal(17));
    data::AUT.PAT.set(Decimal(17));
    EXPECT_TRUE(sameAuth.evaluate());
    data::AUT.PAT.set(Decimal(18));
    EXPECT_FALSE(sameAuth.evaluate()) << "a value changed after compiling must be seen";

    auto owing = compiled("pat:nowbalan >0");
    data::PAT.NOWBALAN.set(Decimal::fromUnits(1, 2));
    EXPECT_TRUE(owing.evaluate());
    data::PAT.NOWBALAN.set(Decimal::fromUnits(-1, 2));
    EXPECT_FALSE(owing.evaluate());

    // Digit text against a number compares as numbers; "< >" means "<>".
    auto billable = compiled("(INV:PRIMARY< >0  AND INV:BDUE > 0)");
    data::INV.PRIMARY.set("00012345601");
    data::INV.BDUE.set(Decimal::fromUnits(2500, 2));
    EXPECT_TRUE(billable.evaluate());
    data::INV.PRIMARY.set("");
    EXPECT_FALSE(billable.evaluate());

    auto credit = compiled("(ITM:FEE <= 0 OR ITM:CPT=00004)");
    data::ITM.FEE.set(Decimal(5));
    data::ITM.CPT.set("00004");
    EXPECT_TRUE(credit.evaluate());
    data::ITM.CPT.set("99213");
    EXPECT_FALSE(credit.evaluate());
}

TEST(BufferBindings, LocalNamesComeFirstAndUnknownNamesAreReported)
{
    data::clearAllBuffers();
    platform::FieldValue number = Decimal(42);
    platform::FilterNames local;
    local.bind("NUMBER", platform::FilterBinding::variable(&number));
    // A local name may even shadow a field label.
    platform::FieldValue shadow = Decimal(1);
    local.bind("INV:PRV", platform::FilterBinding::variable(&shadow));

    auto byNumber = compiled("INV:INV = NUMBER AND INV:PRV = 1", local.resolver());
    data::INV.INV.set(Decimal(42));
    EXPECT_TRUE(byNumber.evaluate());
    number = Decimal(43);
    EXPECT_FALSE(byNumber.evaluate());

    platform::FilterError error;
    EXPECT_FALSE(data::compileBufferFilter("INV:PATX = 1", {}, &error));
    EXPECT_NE(error.message.find("INV:PATX"), std::string::npos) << error.message;
    EXPECT_FALSE(data::compileBufferFilter("NUMBER = 1", {}, &error)) << "no local names were given";
    EXPECT_FALSE(data::bufferBinding("BRW2::Sort1:Reset:PAT:PAT"));
}
