#pragma once
// Remembering a window's place, size and maximized state between runs, in one
// INI section per window with the keys "Maximize" ("Yes"/"No"), "XPosit",
// "YPosit", "Width" and "Height". An "XPosit" or "YPosit" of 0 means "nothing
// saved": the window then opens at its default place.
//
// The algorithms work on the small GeometryWindow interface so they can be
// driven without a display; WidgetGeometry binds it to a real top-level QWidget.

#include <QPoint>
#include <QRect>
#include <QString>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace kestrel::platform {
class IniFile;
}

namespace kestrel::shell {

class GeometryWindow {
public:
    virtual ~GeometryWindow() = default;
    virtual bool isMaximized() const = 0;
    virtual bool isMinimized() const = 0;
    // The rectangle the window has (or will have again) in the normal state,
    // even while maximized.
    virtual QRect normalRect() const = 0;
    // False for a window of fixed size: only its place is restored.
    virtual bool canResize() const = 0;
    virtual QSize size() const = 0;
    virtual void setNormalRect(const QRect& rect) = 0;
    virtual void setMaximized(bool maximized) = 0;
};

// Writes the window's state to `section`; a minimized window writes nothing.
// The caller syncs the file.
void saveGeometry(const GeometryWindow& window, platform::IniFile& ini, const QString& section);

// Applies what `section` holds; a section with nothing saved changes nothing.
void restoreGeometry(GeometryWindow& window, const platform::IniFile& ini, const QString& section);

// GeometryWindow over a top-level QWidget, shown or not yet shown. A rectangle
// that would put the window wholly off every screen (a monitor since removed)
// leaves the window where it is.
class WidgetGeometry final : public GeometryWindow {
public:
    explicit WidgetGeometry(QWidget* window) : w_(window) {}
    bool isMaximized() const override;
    bool isMinimized() const override;
    QRect normalRect() const override;
    bool canResize() const override;
    QSize size() const override;
    void setNormalRect(const QRect& rect) override;
    void setMaximized(bool maximized) override;

private:
    QWidget* w_;
};

// Where a child window with the rectangle `window` goes so that it lies
// wholly inside `area` (the frame's visible client area): moved the least
// distance, never resized. One larger than the area sits at its left (or
// top) edge, its far side hidden where the area's scroll bar reaches it.
QRect placedInside(const QRect& window, const QRect& area);

// Shows `window` as a child window of `area`, deleted when closed: at its
// designed size if it was given one (a window placed by hand has no size
// hint) and wholly inside the visible area (placedInside).
QMdiSubWindow* showChildWindow(QMdiArea* area, QWidget* window);

} // namespace kestrel::shell
