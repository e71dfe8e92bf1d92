#pragma once
// Applies the Resizer to a real window. One line per window, when it opens
// (after its controls are placed at their designed rectangles):
//
//     shell::ResizerAdapter::attach(this);
//
// The adapter records the window's controls, makes the designed size the
// window's minimum size, and lays the controls out again on every resize. It
// is a child of the window and goes away with it.
//
// Controls are the window's descendants placed by hand: a widget that a
// layout manages is left to that layout, together with everything inside it;
// the parts of a compound widget (the editor of a spin box, the scroll bars of
// a list) belong to it and are not recorded. Children of plain containers
// (QWidget, QFrame, QGroupBox), of tab pages and of widgets marked with
// holdsControls() are recorded, and placed relative to the window like every
// other control.

#include "shell/resizer.h"

#include <QObject>
#include <QPointer>
#include <vector>

class QWidget;

namespace kestrel::shell {

class ResizerAdapter final : public QObject {
    Q_OBJECT
public:
    static ResizerAdapter* attach(QWidget* window);

    static ControlKind kindOf(const QWidget* widget);

    // Marks a widget of the program's own class (a detail panel) whose
    // hand-placed children are controls of the window like any other, as
    // those of a plain container are. Call before attach().
    static void holdsControls(QWidget* container);

    const Resizer& resizer() const { return resizer_; }
    // The recorded widgets, in control-number order.
    std::vector<QWidget*> widgets() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ResizerAdapter(QWidget* window, Resizer resizer, std::vector<QPointer<QWidget>> widgets);
    void layOut();

    QWidget* window_;
    Resizer resizer_;
    std::vector<QPointer<QWidget>> widgets_;
};

} // namespace kestrel::shell
