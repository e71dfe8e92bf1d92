#pragma once
// Dialog units, the measure of list column widths and indents
// (platform/listformat.h), turned into pixels for the font a window shows.

class QFont;

namespace kestrel::shell {

// A horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height.
int dialogUnitsToPixelsX(int units, const QFont& font);
int dialogUnitsToPixelsY(int units, const QFont& font);

} // namespace kestrel::shell
