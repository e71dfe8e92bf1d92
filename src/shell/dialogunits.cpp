#include "shell/dialogunits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <algorithm>

namespace kestrel::shell {

namespace {
// The average character width as dialog units define it: the width of the
// 52 letters, divided by 52 and rounded.
int averageCharWidth(const QFont& font)
{
    QFontMetrics fm(font);
    int total = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return std::max(1, (total + 26) / 52);
}
} // namespace

int dialogUnitsToPixelsX(int units, const QFont& font)
{
    return (units * averageCharWidth(font) + 2) / 4;
}

int dialogUnitsToPixelsY(int units, const QFont& font)
{
    return (units * QFontMetrics(font).height() + 4) / 8;
}

} // namespace kestrel::shell
