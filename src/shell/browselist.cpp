#include "shell/browselist.h"

#include "platform/cp1252.h"
#include "platform/listformat.h"
#include "shell/dialogunits.h"
#include "shell/helpviewer.h"
#include "shell/popupmenu.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QWheelEvent>

namespace kestrel::shell {

// The page as a table: the engine's queue, one row per entry, column i
// showing queue field i through the column's picture.
class BrowsePageModel final : public QAbstractTableModel {
public:
    BrowsePageModel(BrowseEngine& engine, platform::ListFormat format, QObject* parent)
        : QAbstractTableModel(parent), engine_(engine), format_(std::move(format))
    {
    }

    const platform::ListFormat& format() const { return format_; }
    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : engine_.entryCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : format_.count(); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= engine_.entryCount()) return {};
        const platform::ListColumn& c = format_[index.column()];
        if (role == Qt::DisplayRole) {
            if (index.column() >= int(engine_.definition().queue.size())) return {};
            return c.picture.format(engine_.value(index.row() + 1, index.column()));
        }
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.cellAlignment() | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || section < 0 || section >= format_.count()) return {};
        const platform::ListColumn& c = format_[section];
        if (role == Qt::DisplayRole) return c.header;
        if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.headerAlignment() | Qt::AlignVCenter);
        return {};
    }

private:
    BrowseEngine& engine_;
    platform::ListFormat format_;
};

namespace {

constexpr int kButtonWidth = 76;
constexpr int kButtonHeight = 26;
constexpr int kGap = 6;
constexpr int kCellMargins = 14;  // the style's text margins in a cell, with the column's indent

} // namespace

BrowseList::BrowseList(const BrowseDefinition& def, QWidget* parent)
    : QWidget(parent), engine_(std::make_unique<BrowseEngine>(def))
{
    engine_->attach(this);

    list_ = new QTableView(this);
    model_ = new BrowsePageModel(*engine_, platform::ListFormat::from(def.format), this);
    list_->setModel(model_);
    list_->setToolTip(def.listTip);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setWordWrap(false);
    list_->setShowGrid(false);
    list_->setTabKeyNavigation(false);
    list_->setContextMenuPolicy(Qt::NoContextMenu);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(rowHeight());
    list_->horizontalHeader()->setVisible(model_->format().hasHeaders());
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setStretchLastSection(true);
    int columnsWidth = 0;
    for (int i = 0; i < model_->format().count(); ++i) {
        const platform::ListColumn& c = model_->format()[i];
        int w = dialogUnitsToPixelsX(c.width, list_->font());
        if (c.hasHeader) w = std::max(w, list_->horizontalHeader()->sectionSizeHint(i));
        const int designed = w;
        // A column drawn about as wide as its picture is meant to show whole
        // values (a date, an amount): room for them and the cell's margins.
        const int chars = c.picture.width();
        if (chars > 0 && c.width >= 4 * (chars - 1))
            w = std::max(w, list_->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + kCellMargins);
        // Text may give that room back when the list is too narrow (fitColumns).
        columns_.push_back({designed, w, c.picture.kind() == platform::Picture::Kind::Text});
        list_->setColumnWidth(i, w);
        columnsWidth += w;
    }
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (!settingRow_ && started_) engine_->newSelection();
    });

    thumb_ = new QScrollBar(Qt::Vertical, this);
    thumb_->setRange(0, 100);
    thumb_->setPageStep(10);
    thumb_->setTracking(false);
    thumb_->setFocusPolicy(Qt::NoFocus);
    thumb_->hide();
    connect(thumb_, &QAbstractSlider::actionTriggered, this, &BrowseList::thumbAction);
    connect(thumb_, &QAbstractSlider::sliderReleased, this,
            [this] { engine_->thumbDragged(thumb_->sliderPosition()); });

    for (std::size_t i = 0; i < def.buttons.size(); ++i) {
        auto* b = new QPushButton(def.buttons[i].text, this);
        b->setAutoDefault(false);
        const int index = int(i);
        connect(b, &QPushButton::clicked, this, [this, index] { engine_->buttonPressed(index); });
        buttons_.push_back(b);
    }
    if (QPushButton* s = button(BrowseRole::Select)) s->hide();

    // Designed size: the columns side by side over six rows, the buttons below.
    const int header = model_->format().hasHeaders() ? list_->horizontalHeader()->sizeHint().height() : 0;
    const int buttonsWidth = int(buttons_.size()) * (kButtonWidth + kGap);
    resize(std::max(columnsWidth + 2 * list_->frameWidth() + thumb_->sizeHint().width(), buttonsWidth),
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

int BrowseList::rowHeight() const { return list_->fontMetrics().height() + 6; }

int BrowseList::buttonRowHeight() const { return buttons_.empty() ? 0 : kButtonHeight + kGap; }

// The list takes the width less the thumb and the height less the buttons'
// row; the buttons sit under it at the right.
void BrowseList::place()
{
    const int bar = thumb_->sizeHint().width();
    const int listHeight = std::max(rowHeight(), height() - buttonRowHeight());
    list_->setGeometry(0, 0, std::max(1, width() - bar), listHeight);
    thumb_->setGeometry(width() - bar, 0, bar, listHeight);
    fitColumns(list_->width() - 2 * list_->frameWidth());
    int x = width() - int(buttons_.size()) * (kButtonWidth + kGap) + kGap;
    for (QPushButton* b : buttons_) {
        b->setGeometry(x, listHeight + kGap, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kGap;
    }
}

// Columns wider than the list would push the last ones (the amounts, as a
// rule) out of sight, with no scroll bar to reach them: text columns
// widened to their picture give that width back first, right to left, down
// to their designed width, and show their values cut short instead.
void BrowseList::fitColumns(int room)
{
    int excess = -room;
    for (const Column& c : columns_) excess += c.full;
    for (int i = int(columns_.size()) - 1; i >= 0; --i) {
        const Column& c = columns_[std::size_t(i)];
        const int give = c.text ? std::clamp(excess, 0, c.full - c.designed) : 0;
        list_->setColumnWidth(i, c.full - give);
        excess -= give;
    }
}

QPushButton* BrowseList::button(int index) const
{
    return index >= 0 && index < int(buttons_.size()) ? buttons_[std::size_t(index)] : nullptr;
}

QPushButton* BrowseList::button(BrowseRole role) const { return button(engine_->buttonIndex(role)); }

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

int BrowseList::currentRow() const
{
    const QModelIndex i = list_->currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void BrowseList::setCurrentRow(int row)
{
    settingRow_ = true;
    model_->reload();
    if (row >= 1 && row <= model_->rowCount()) list_->setCurrentIndex(model_->index(row - 1, 0));
    else list_->selectionModel()->clear();
    settingRow_ = false;
}

void BrowseList::setScrollBarVisible(bool visible) { thumb_->setVisible(visible); }

void BrowseList::setThumb(int position)
{
    const QSignalBlocker block(thumb_);
    thumb_->setValue(position);
    thumb_->setSliderPosition(position);
}

void BrowseList::setChangeDeleteEnabled(bool enabled)
{
    for (BrowseRole r : {BrowseRole::Change, BrowseRole::Delete})
        if (QPushButton* b = button(r)) b->setEnabled(enabled);
}

void BrowseList::setSelectButton(bool shown, bool isDefault)
{
    if (QPushButton* b = button(BrowseRole::Select)) {
        b->setVisible(shown);
        b->setEnabled(shown);
        b->setDefault(isDefault);
    }
}

void BrowseList::pressButton(int index)
{
    if (QPushButton* b = button(index)) QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
}

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

void BrowseList::thumbAction(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: engine_->scroll(ScrollEvent::RowDown); break;
    case QAbstractSlider::SliderSingleStepSub: engine_->scroll(ScrollEvent::RowUp); break;
    case QAbstractSlider::SliderPageStepAdd: engine_->scroll(ScrollEvent::PageDown); break;
    case QAbstractSlider::SliderPageStepSub: engine_->scroll(ScrollEvent::PageUp); break;
    case QAbstractSlider::SliderToMinimum: engine_->scroll(ScrollEvent::Top); break;
    case QAbstractSlider::SliderToMaximum: engine_->scroll(ScrollEvent::Bottom); break;
    default: return;  // a drag is a thumb locate when the thumb is let go
    }
    thumb_->setSliderPosition(engine_->thumb());
}

bool BrowseList::eventFilter(QObject* watched, QEvent* event)
{
    if (!started_) return QWidget::eventFilter(watched, event);
    if (watched == list_ && event->type() == QEvent::KeyPress) return listKey(static_cast<QKeyEvent*>(event));
    if (watched == list_->viewport()) return listMouse(event);
    return QWidget::eventFilter(watched, event);
}

bool BrowseList::listKey(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
    case Qt::Key_Up: engine_->scroll(ScrollEvent::RowUp); return true;
    case Qt::Key_Down: engine_->scroll(ScrollEvent::RowDown); return true;
    case Qt::Key_PageUp: engine_->scroll(ctrl ? ScrollEvent::Top : ScrollEvent::PageUp); return true;
    case Qt::Key_PageDown: engine_->scroll(ctrl ? ScrollEvent::Bottom : ScrollEvent::PageDown); return true;
    case Qt::Key_Home: engine_->scroll(ScrollEvent::Top); return true;
    case Qt::Key_End: engine_->scroll(ScrollEvent::Bottom); return true;
    case Qt::Key_Insert: engine_->keyPressed(ListKey::Insert); return true;
    case Qt::Key_Delete: engine_->keyPressed(ListKey::Delete); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!ctrl) return false;
        engine_->keyPressed(ListKey::CtrlEnter);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right: return true;
    default: break;
    }
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    const QString text = e->text();
    if (text.size() != 1 || !text.at(0).isPrint()) return false;
    if (auto bytes = platform::cp1252::fromQString(text); bytes && bytes->size() == 1) {
        engine_->characterTyped((*bytes)[0]);
        return true;
    }
    return false;
}

bool BrowseList::listMouse(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::RightButton) return false;
        const QModelIndex at = list_->indexAt(m->position().toPoint());
        if (at.isValid()) setCurrentRow(at.row() + 1);
        list_->setFocus();
        engine_->rightClick();
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::LeftButton && list_->indexAt(m->position().toPoint()).isValid())
            engine_->keyPressed(ListKey::DoubleClick);
        return true;
    }
    case QEvent::Wheel: {
        const int notches = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
        const int rows = std::abs(notches) * QApplication::wheelScrollLines();
        for (int i = 0; i < rows && !engine_->closed(); ++i)
            engine_->scroll(notches > 0 ? ScrollEvent::RowUp : ScrollEvent::RowDown);
        return true;
    }
    default: return false;
    }
}

} // namespace kestrel::shell
