#include "shell/popupmenu.h"

#include <QCursor>
#include <QMenu>

#include <vector>

namespace kestrel::shell {

int popupMenu(QWidget* parent, const QString& menuText)
{
    QMenu menu(parent);
    std::vector<QAction*> items;
    for (const QString& part : menuText.split(QLatin1Char('|'))) {
        if (part == QLatin1String("-")) {
            menu.addSeparator();
            continue;
        }
        const bool disabled = part.startsWith(QLatin1Char('~'));
        QAction* a = menu.addAction(disabled ? part.mid(1) : part);
        a->setEnabled(!disabled);
        items.push_back(a);
    }
    QAction* chosen = menu.exec(QCursor::pos());
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i] == chosen) return int(i) + 1;
    return 0;
}

} // namespace kestrel::shell
