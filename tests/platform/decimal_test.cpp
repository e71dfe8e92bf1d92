#include "platform/decimal.h"
#include <gtest/gtest.h>

using kestrel::platform::Decimal;

TEST(Decimal, ParsesAndPrintsExactly)
{
    auto d = Decimal::parse("-15.50");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->toString(), "-15.50");
}
