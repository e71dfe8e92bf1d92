#include "shell/browselist.h"

#include "shell/browsecontrols.h"
#include "shell/helpviewer.h"
#include "shell/popupmenu.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

namespace kestrel::shell {

namespace {

constexpr int kButtonWidth = 76;
constexpr int kButtonHeight = 26;
constexpr int kGap = 6;

} // namespace

BrowseList::BrowseList(const BrowseDefinition& def, QWidget* parent)
    : QWidget(parent), engine_(std::make_unique<BrowseEngine>(def))
{
    engine_->attach(this);

    controls_ = new BrowseControls(*engine_, def, this);
    list_ = controls_->list();
    thumb_ = controls_->thumb();

    // Designed size: the columns side by side over six rows, the buttons below.
    const int header = list_->horizontalHeader()->isHidden() ? 0 : list_->horizontalHeader()->sizeHint().height();
    const int buttonsWidth = int(controls_->buttons().size()) * (kButtonWidth + kGap);
    resize(std::max(controls_->columnsWidth() + 2 * list_->frameWidth() + thumb_->sizeHint().width(), buttonsWidth),
           6 * rowHeight() + header + 2 * list_->frameWidth() + buttonRowHeight());
    place();
}

BrowseList::~BrowseList()
{
    engine_->attach(nullptr);
    engine_->close();
}

void BrowseList::start()
{
    if (started_) return;
    started_ = true;
    controls_->setLive(true);
    engine_->openEmbedded();
    engine_->windowOpened();
}

void BrowseList::refresh()
{
    if (started_) engine_->refresh();
}

void BrowseList::placeOnTab(QTabWidget* sheet, int tab, const QRect& rect)
{
    QWidget* page = sheet->widget(tab);
    setParent(page);
    setGeometry(rect);
    const QSize wanted(rect.right() + 1 + kGap, rect.bottom() + 1 + kGap);
    // A page not yet shown has no size of its own; a form's pages carry
    // the size they were built for as their minimum.
    QSize held = page->minimumSize();
    if (held.isEmpty()) held = sheet->size() - QSize(0, sheet->tabBar()->sizeHint().height());
    const int dw = std::max(0, wanted.width() - held.width());
    const int dh = std::max(0, wanted.height() - held.height());
    if (dw == 0 && dh == 0) return;
    const QRect before = sheet->geometry();
    for (int i = 0; i < sheet->count(); ++i)
        sheet->widget(i)->setMinimumSize(held + QSize(dw, dh));
    sheet->resize(before.size() + QSize(dw, dh));
    if (QWidget* window = sheet->parentWidget()) {
        for (QObject* o : window->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (!w || w == sheet || w->isWindow() || w->y() <= before.bottom()) continue;
            w->move(w->pos() + QPoint(w->x() >= before.left() + before.width() / 2 ? dw : 0, dh));
        }
        window->resize(window->size() + QSize(dw, dh));
    }
}

int BrowseList::rowHeight() const { return controls_->rowHeight(); }

int BrowseList::buttonRowHeight() const { return controls_->buttons().empty() ? 0 : kButtonHeight + kGap; }

// The list takes the width less the thumb and the height less the buttons'
// row; the buttons sit under it at the right.
void BrowseList::place()
{
    const int bar = thumb_->sizeHint().width();
    const int listHeight = std::max(rowHeight(), height() - buttonRowHeight());
    list_->setGeometry(0, 0, std::max(1, width() - bar), listHeight);
    thumb_->setGeometry(width() - bar, 0, bar, listHeight);
    // No horizontal scroll bar here: what does not fit must give way.
    controls_->fitColumns(list_->width() - 2 * list_->frameWidth());
    const std::vector<QPushButton*>& buttons = controls_->buttons();
    int x = width() - int(buttons.size()) * (kButtonWidth + kGap) + kGap;
    for (QPushButton* b : buttons) {
        b->setGeometry(x, listHeight + kGap, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kGap;
    }
}

QPushButton* BrowseList::button(int index) const { return controls_->button(index); }

QPushButton* BrowseList::button(BrowseRole role) const { return controls_->button(role); }

// ------------------------------------------------------------------ host

// Worked out from the size the list is given, not from its viewport: a list
// on a tab that has never been shown is filled before it is laid out (a
// hidden widget hears of its new size only when it is shown).
int BrowseList::pageSize() const
{
    const int header = list_->horizontalHeader()->isVisibleTo(list_)
                           ? list_->horizontalHeader()->sizeHint().height()
                           : 0;
    const int listHeight = std::max(rowHeight(), height() - buttonRowHeight());
    const int rows = listHeight - header - 2 * list_->frameWidth();
    return std::max(1, rows / rowHeight());
}

int BrowseList::currentRow() const { return controls_->currentRow(); }

void BrowseList::setCurrentRow(int row) { controls_->setCurrentRow(row); }

void BrowseList::setScrollBarVisible(bool visible) { controls_->setScrollBarVisible(visible); }

void BrowseList::setThumb(int position) { controls_->setThumb(position); }

void BrowseList::setChangeDeleteEnabled(bool enabled) { controls_->setChangeDeleteEnabled(enabled); }

void BrowseList::setSelectButton(bool shown, bool isDefault) { controls_->setSelectButton(shown, isDefault); }

void BrowseList::pressButton(int index) { controls_->pressButton(index); }

void BrowseList::redisplay() { setCurrentRow(engine_->highlighted()); }

void BrowseList::postNewSelection()
{
    QMetaObject::invokeMethod(this, [this] { engine_->newSelection(); }, Qt::QueuedConnection);
}

int BrowseList::popupMenu(const QString& menuText) { return shell::popupMenu(this, menuText); }

void BrowseList::focusList() { list_->setFocus(); }

void BrowseList::setWaitCursor(bool on) { waitCursor_.set(on); }

void BrowseList::showHelp(const QString& topic) { help::show(topic, this); }

// The list can no longer be read: the window it belongs to cannot go on
// without it. (Its own closing, at the window's end, has no host.)
void BrowseList::closeWindow()
{
    QWidget* w = window();
    if (w != this) QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- events

void BrowseList::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
    if (!started_ || resizePending_) return;
    resizePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            resizePending_ = false;
            engine_->windowResized();
        },
        Qt::QueuedConnection);
}

void BrowseList::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && started_) engine_->windowActivated();
}

} // namespace kestrel::shell
