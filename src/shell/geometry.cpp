#include "shell/geometry.h"

#include "platform/inifile.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace kestrel::shell {

namespace {
const QString kMaximize = QStringLiteral("Maximize");
const QString kXPosit = QStringLiteral("XPosit");
const QString kYPosit = QStringLiteral("YPosit");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
} // namespace

void saveGeometry(const GeometryWindow& window, platform::IniFile& ini, const QString& section)
{
    const bool maximized = window.isMaximized();
    // A minimized window has no rectangle worth keeping; what was saved before stays.
    if (window.isMinimized())
        return;
    // The normal rectangle even when maximized, so that the window reopens
    // maximized with its own size underneath.
    const QRect r = window.normalRect();
    ini.setValue(section, kMaximize, maximized ? QStringLiteral("Yes") : QStringLiteral("No"));
    ini.setValue(section, kXPosit, r.x());
    ini.setValue(section, kYPosit, r.y());
    ini.setValue(section, kWidth, r.width());
    ini.setValue(section, kHeight, r.height());
}

void restoreGeometry(GeometryWindow& window, const platform::IniFile& ini, const QString& section)
{
    // Missing, 0 or unreadable: nothing saved, the window keeps its default place.
    if (ini.intValue(section, kXPosit) == 0)
        return;
    if (!window.isMaximized()) {
        const int x = ini.intValue(section, kXPosit);
        const int y = ini.intValue(section, kYPosit);
        if (y == 0)
            return;
        if (window.canResize()) {
            const int width = ini.intValue(section, kWidth);
            const int height = ini.intValue(section, kHeight);
            // A size of zero or less can only come from a damaged file; a
            // window that small could not be found again, so keep the default.
            if (width > 0 && height > 0)
                window.setNormalRect(QRect(x, y, width, height));
        } else {
            window.setNormalRect(QRect(QPoint(x, y), window.size()));
        }
    }
    window.setMaximized(ini.value(section, kMaximize) == QLatin1String("Yes"));
}

bool WidgetGeometry::isMaximized() const
{
    return w_->windowState() & Qt::WindowMaximized;
}

bool WidgetGeometry::isMinimized() const
{
    return w_->windowState() & Qt::WindowMinimized;
}

QRect WidgetGeometry::normalRect() const
{
    if (w_->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        const QRect normal = w_->normalGeometry();
        if (normal.isValid())
            return normal;
    }
    return w_->geometry();
}

bool WidgetGeometry::canResize() const
{
    return w_->minimumSize() != w_->maximumSize();
}

QSize WidgetGeometry::size() const
{
    return w_->size();
}

void WidgetGeometry::setNormalRect(const QRect& rect)
{
    const auto screens = QGuiApplication::screens();
    const bool onScreen = screens.isEmpty()
        || std::any_of(screens.begin(), screens.end(),
                       [&](const QScreen* s) { return s->availableGeometry().intersects(rect); });
    if (!onScreen)
        return;
    if (canResize())
        w_->setGeometry(rect);
    else
        w_->setGeometry(QRect(rect.topLeft(), w_->size()));
}

void WidgetGeometry::setMaximized(bool maximized)
{
    const Qt::WindowStates state = w_->windowState();
    w_->setWindowState(maximized ? (state | Qt::WindowMaximized) : (state & ~Qt::WindowMaximized));
}

QRect placedInside(const QRect& window, const QRect& area)
{
    auto axis = [](int at, int length, int first, int room) {
        return std::max(first, std::min(at, first + room - length));
    };
    return QRect(QPoint(axis(window.x(), window.width(), area.x(), area.width()),
                        axis(window.y(), window.height(), area.y(), area.height())),
                 window.size());
}

QMdiSubWindow* showChildWindow(QMdiArea* area, QWidget* window)
{
    const QSize designed = window->testAttribute(Qt::WA_Resized) ? window->size() : QSize();
    QMdiSubWindow* sub = area->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->show();
    if (designed.isValid()) sub->resize(sub->size() - window->size() + designed);
    // The area placed the child for the size it had before it was given its
    // own: it may now reach past the area's edges.
    if (!sub->isMaximized()) sub->setGeometry(placedInside(sub->geometry(), area->viewport()->rect()));
    return sub;
}

} // namespace kestrel::shell
