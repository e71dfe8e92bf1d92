#pragma once
// A browse's popup menu at the mouse: `menuText` lists the items separated by
// "|", "-" for a separator, a leading "~" for a disabled item. Returns the
// number of the chosen item counting items only (1-based), 0 when none.

#include <QString>

class QWidget;

namespace kestrel::shell {

int popupMenu(QWidget* parent, const QString& menuText);

} // namespace kestrel::shell
