#include "shell/dialogunits.h"

#include <QFont>
#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace kestrel::shell;

TEST(DialogUnits, FollowTheFont)
{
    QFont small(QStringLiteral("Sans Serif"));
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(30);
    const int average =
        (QFontMetrics(small).horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) +
         26) / 52;
    // Four horizontal units are one average character.
    EXPECT_EQ(dialogUnitsToPixelsX(4, small), average);
    EXPECT_EQ(dialogUnitsToPixelsX(0, small), 0);
    EXPECT_NEAR(dialogUnitsToPixelsX(400, small), 100 * average, 1);
    EXPECT_GT(dialogUnitsToPixelsX(150, large), 2 * dialogUnitsToPixelsX(150, small));
    // Eight vertical units are one line of text.
    EXPECT_EQ(dialogUnitsToPixelsY(8, large), QFontMetrics(large).height());
}
