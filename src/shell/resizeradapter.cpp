#include "shell/resizeradapter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QWidget>

namespace kestrel::shell {

namespace {

// QLayout::indexOf does not look into nested layouts, and a widget in a row
// box inside a grid is the layout's as much as one in the grid itself: the
// resizer must not place it too, or the two fight and the widget ends up
// wherever the last of them put it.
bool inLayout(const QLayout* layout, const QWidget* w)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w) return true;
        if (const QLayout* nested = item->layout(); nested && inLayout(nested, w)) return true;
    }
    return false;
}

bool managedByLayout(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    return parent && parent->layout() && inLayout(parent->layout(), w);
}

constexpr const char* kHoldsControls = "kestrelHoldsControls";

// Containers whose children are controls of the window in their own right.
// A widget of a class of its own is not known to be one (it may draw its
// children itself) unless its owner says so.
bool isPlainContainer(const QWidget* w)
{
    const QMetaObject* mo = w->metaObject();
    return mo == &QWidget::staticMetaObject || mo == &QFrame::staticMetaObject
        || qobject_cast<const QGroupBox*>(w) || w->property(kHoldsControls).toBool();
}

void collect(QWidget* container, std::vector<QPointer<QWidget>>& out);

void consider(QWidget* w, std::vector<QPointer<QWidget>>& out)
{
    if (w->isWindow() || qobject_cast<QMenu*>(w) || qobject_cast<QMenuBar*>(w) || managedByLayout(w))
        return;
    out.emplace_back(w);
    if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < tabs->count(); ++i)
            collect(tabs->widget(i), out);
    } else if (isPlainContainer(w)) {
        collect(w, out);
    }
}

void collect(QWidget* container, std::vector<QPointer<QWidget>>& out)
{
    for (QObject* child : container->children())
        if (auto* w = qobject_cast<QWidget*>(child))
            consider(w, out);
}

QRect inWindow(const QWidget* w, const QWidget* window)
{
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

} // namespace

ControlKind ResizerAdapter::kindOf(const QWidget* w)
{
    if (qobject_cast<const QPushButton*>(w) || qobject_cast<const QToolButton*>(w))
        return ControlKind::Button;
    if (qobject_cast<const QCheckBox*>(w))
        return ControlKind::CheckBox;
    if (qobject_cast<const QRadioButton*>(w))
        return ControlKind::RadioButton;
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QDateTimeEdit*>(w))
        return ControlKind::Entry;
    if (qobject_cast<const QComboBox*>(w))
        return ControlKind::ComboBox;
    if (qobject_cast<const QAbstractSpinBox*>(w))
        return ControlKind::SpinBox;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        // A boxed value one line high is a field, not text that wraps: a
        // taller window would only make it a tall empty box.
        const bool oneLine = !label->wordWrap() && w->height() < 2 * w->fontMetrics().height();
        return label->frameShape() != QFrame::NoFrame && oneLine ? ControlKind::DisplayField
                                                                 : ControlKind::DisplayText;
    }
    return ControlKind::Other;
}

void ResizerAdapter::holdsControls(QWidget* container) { container->setProperty(kHoldsControls, true); }

ResizerAdapter* ResizerAdapter::attach(QWidget* window)
{
    std::vector<QPointer<QWidget>> widgets;
    collect(window, widgets);

    std::vector<ResizerControl> controls;
    controls.reserve(widgets.size());
    for (std::size_t i = 0; i < widgets.size(); ++i)
        controls.push_back(Resizer::control(int(i) + 1, kindOf(widgets[i]), inWindow(widgets[i], window)));

    // The designed size is the smallest the window may become.
    window->setMinimumSize(window->size());
    return new ResizerAdapter(window, Resizer(QRect(window->pos(), window->size()), std::move(controls)),
                              std::move(widgets));
}

ResizerAdapter::ResizerAdapter(QWidget* window, Resizer resizer, std::vector<QPointer<QWidget>> widgets)
    : QObject(window), window_(window), resizer_(std::move(resizer)), widgets_(std::move(widgets))
{
    window->installEventFilter(this);
}

std::vector<QWidget*> ResizerAdapter::widgets() const
{
    std::vector<QWidget*> out;
    for (const auto& w : widgets_)
        out.push_back(w.data());
    return out;
}

bool ResizerAdapter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Resize)
        layOut();
    return QObject::eventFilter(watched, event);
}

void ResizerAdapter::layOut()
{
    const auto placements = resizer_.resize(window_->size());
    if (!placements)
        return;

    // Place everything before anything is drawn again. Only updates this
    // window had turned off itself stay off: a window nested in another
    // (a list on a form's tab) is laid out while the outer one has turned
    // updates off, and taking that inherited state for its own would leave
    // it undrawn for good.
    const bool updates = !window_->testAttribute(Qt::WA_ForceUpdatesDisabled);
    window_->setUpdatesEnabled(false);
    for (const ControlPlacement& p : *placements) {
        QWidget* w = widgets_[std::size_t(p.number - 1)];
        if (!w)
            continue;  // destroyed since the window opened
        QRect r = p.rect;
        if (p.naturalWidth)
            r.setWidth(w->sizeHint().width());
        // Rectangles are in window coordinates; a control inside a container
        // is placed relative to the container where it now stands.
        const QWidget* parent = w->parentWidget();
        if (parent && parent != window_)
            r.translate(-parent->mapTo(window_, QPoint(0, 0)));
        w->setGeometry(r);
    }
    window_->setUpdatesEnabled(updates);
}

} // namespace kestrel::shell
