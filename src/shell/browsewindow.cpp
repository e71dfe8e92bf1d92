#include "shell/browsewindow.h"

#include "platform/cp1252.h"
#include "platform/listformat.h"
#include "shell/dialogunits.h"
#include "shell/geometry.h"
#include "shell/helpviewer.h"
#include "shell/resizeradapter.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace kestrel::shell {

// ------------------------------------------------------------------ model

// The page as a table: the engine's queue, one row per entry, column i
// showing queue field i through the column's picture.
class BrowseListModel final : public QAbstractTableModel {
public:
    BrowseListModel(BrowseEngine& engine, platform::ListFormat format, QObject* parent)
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
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : format_.count();
    }
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

// Draws a cell's text indented as its column format says.
class IndentDelegate final : public QStyledItemDelegate {
public:
    IndentDelegate(const platform::ListFormat& format, QObject* parent)
        : QStyledItemDelegate(parent), format_(format)
    {
    }
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const platform::ListColumn& c = format_[index.column()];
        const int indent = dialogUnitsToPixelsX(c.indent, option->font);
        if (c.align == platform::ListColumn::Align::Left) option->rect.adjust(indent, 0, 0, 0);
        else if (c.align != platform::ListColumn::Align::Center) option->rect.adjust(0, 0, -indent, 0);
    }

private:
    const platform::ListFormat& format_;
};

// The width a column needs to show what its picture shows, in the list's
// font and with the margins the style puts around a cell's text. The
// format's widths leave no room for those margins, which would otherwise cut
// a two-letter qualifier or a ten-digit number to an ellipsis.
//
// A column drawn about as wide as its picture, in average characters, is
// meant to show a whole value: it gets room for a full run of digits and
// capitals (capitals of average width, with room for one of the widest).
// A column drawn narrower than its picture (a long description) shows the
// start of the value by design and keeps its width. The format's width
// stands when it is the larger.
int columnPixels(const platform::ListColumn& c, const QTableView& list)
{
    const QFont& font = list.font();
    int width = dialogUnitsToPixelsX(c.width, font);

    const int chars = c.picture.width();
    if (chars > 0 && c.width >= 4 * (chars - 1)) {
        const QFontMetrics fm(font);
        static const QString digits = QStringLiteral("0123456789");
        static const QString capitals = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        int widest = 0;
        for (QChar ch : digits + capitals) widest = std::max(widest, fm.horizontalAdvance(ch));
        // Capitals run wider than digits: a run of average capitals holds
        // any number, and a code of capitals and digits.
        const double average = std::max(double(fm.horizontalAdvance(capitals)) / double(capitals.size()),
                                        double(fm.horizontalAdvance(digits)) / double(digits.size()));
        const int text = int(std::ceil(average * (chars - 1))) + widest;

        // The style's own margins around an item's text, measured as the
        // style sizes an item rather than assumed.
        QStyleOptionViewItem item;
        item.initFrom(&list);
        item.font = font;
        item.fontMetrics = fm;
        item.features = QStyleOptionViewItem::HasDisplay;
        item.text = QStringLiteral("0");
        item.displayAlignment = c.cellAlignment() | Qt::AlignVCenter;
        const QSize itemSize = list.style()->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), &list);
        const int margins = std::max(0, itemSize.width() - fm.horizontalAdvance(item.text));

        // The indent the delegate takes off the cell (centred text has none).
        const int indent = c.align == platform::ListColumn::Align::Center
                               ? 0
                               : dialogUnitsToPixelsX(c.indent, font);
        width = std::max(width, text + margins + indent);
    }
    return width;
}

constexpr int kMargin = 8;
constexpr int kButtonWidth = 76;
constexpr int kButtonHeight = 26;
constexpr int kButtonGap = 6;
constexpr int kListRows = 12;   // rows the list is designed to show
constexpr int kMinListWidth = 420;

} // namespace

// ----------------------------------------------------------------- window

BrowseWindow::BrowseWindow(const BrowseDefinition& def, QWidget* parent, BrowsePanel panel)
    : QWidget(parent), def_(def), engine_(std::make_unique<BrowseEngine>(def)), panel_(std::move(panel))
{
    setWindowTitle(def.title);
    engine_->attach(this);
    build();
    engine_->open();
}

BrowseWindow::~BrowseWindow()
{
    while (waitCursors_ > 0) setWaitCursor(false);
    engine_->attach(nullptr);
}

void BrowseWindow::build()
{
    buildHeading();
    buildTabs();
    const int columnsWidth = buildList();
    buildThumb();
    buildButtons();
    placeControls(columnsWidth);
    ResizerAdapter::attach(this);
}

void BrowseWindow::buildHeading()
{
    if (def_.heading.isEmpty()) return;
    heading_ = new QLabel(def_.heading, this);
    QFont f = heading_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    heading_->setFont(f);
    heading_->setObjectName(QStringLiteral("heading"));
}

void BrowseWindow::buildTabs()
{
    if (def_.tabs.empty()) return;
    tabs_ = new QTabBar(this);
    tabs_->setDrawBase(false);
    tabs_->setExpanding(false);
    for (const BrowseTab& t : def_.tabs) tabs_->addTab(t.text);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int i) { engine_->tabChanged(i + 1); });
    connect(tabs_, &QTabBar::tabBarClicked, this, [this](int i) {
        // Selecting the tab that is already current refreshes as well.
        if (i == tabs_->currentIndex()) engine_->tabChanged(i + 1);
    });
}

int BrowseWindow::buildList()
{
    list_ = new QTableView(this);
    model_ = new BrowseListModel(*engine_, platform::ListFormat::from(def_.format), this);
    list_->setModel(model_);
    list_->setItemDelegate(new IndentDelegate(model_->format(), list_));
    list_->setToolTip(def_.listTip);
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
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (!settingRow_) engine_->newSelection();
    });
    // Delete, Change and the popup act on the highlighted record: a list
    // with entries never shows none (a Ctrl+click would take it away).
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!settingRow_ && !list_->selectionModel()->hasSelection()) showHighlight();
    });
    return sizeColumns();
}

// Each column as wide as its picture needs (columnPixels) and its header's
// label; returns their total.
int BrowseWindow::sizeColumns()
{
    QHeaderView* header = list_->horizontalHeader();
    int total = 0;
    for (int i = 0; i < model_->format().count(); ++i) {
        const platform::ListColumn& c = model_->format()[i];
        int w = columnPixels(c, *list_);
        // A header's label reads whole, with the header's own margins.
        if (c.hasHeader) w = std::max(w, header->sectionSizeHint(i));
        list_->setColumnWidth(i, w);
        total += w;
        header->setSectionResizeMode(i, c.resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
    }
    return total;
}

void BrowseWindow::buildThumb()
{
    thumb_ = new QScrollBar(Qt::Vertical, this);
    thumb_->setRange(0, 100);
    thumb_->setSingleStep(1);
    thumb_->setPageStep(10);
    thumb_->setTracking(false);
    thumb_->setFocusPolicy(Qt::NoFocus);
    thumb_->hide();
    connect(thumb_, &QAbstractSlider::actionTriggered, this, &BrowseWindow::thumbAction);
    connect(thumb_, &QAbstractSlider::sliderReleased, this,
            [this] { engine_->thumbDragged(thumb_->sliderPosition()); });
}

void BrowseWindow::buildButtons()
{
    for (std::size_t i = 0; i < def_.buttons.size(); ++i) {
        auto* b = new QPushButton(def_.buttons[i].text, this);
        b->setAutoDefault(false);
        const int index = int(i);
        connect(b, &QPushButton::clicked, this, [this, index] { engine_->buttonPressed(index); });
        buttons_.push_back(b);
    }
    if (int s = engine_->buttonIndex(BrowseRole::Select); s >= 0) buttons_[std::size_t(s)]->hide();
}

// The designed rectangles, top to bottom: heading, tabs, the list with the
// thumb beside it, the panel (beside the list or under it), then the row of
// buttons at the bottom right. The window takes the size they need.
void BrowseWindow::placeControls(int columnsWidth)
{
    const int listWidth = std::max(kMinListWidth, columnsWidth + 2 * list_->frameWidth());
    const int barWidth = thumb_->sizeHint().width();
    const int buttonsWidth = int(buttons_.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
    const int width = std::max(contentWidth(listWidth + barWidth), buttonsWidth) + 2 * kMargin;

    int y = kMargin;
    if (heading_) {
        heading_->setGeometry(kMargin, y, width - 2 * kMargin, heading_->sizeHint().height());
        y += heading_->height() + 4;
    }
    if (tabs_) {
        tabs_->setGeometry(kMargin, y, listWidth + barWidth, tabs_->sizeHint().height());
        y += tabs_->height();
    }
    const int listHeight = designedListHeight();
    list_->setGeometry(kMargin, y, listWidth, listHeight);
    thumb_->setGeometry(kMargin + listWidth, y, barWidth, listHeight);
    const int bottom = placePanel(QPoint(kMargin + listWidth + barWidth + kMargin, y), y + listHeight + kMargin);

    int x = width - kMargin - buttonsWidth;
    for (QPushButton* b : buttons_) {
        b->setGeometry(x, bottom, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kButtonGap;
    }
    resize(width, bottom + kButtonHeight + kMargin);
}

// The width of the list with its thumb and the panel beside or under it.
int BrowseWindow::contentWidth(int listAndBar) const
{
    if (!panel_.widget) return listAndBar;
    const int panelWidth = panel_.widget->width();
    if (panel_.placement == BrowsePanel::Placement::Below) return std::max(listAndBar, panelWidth);
    return listAndBar + kMargin + panelWidth;
}

// Places the panel beside the list (at `beside`) or under it (at `below`,
// the list's bottom); returns where the buttons go.
int BrowseWindow::placePanel(QPoint beside, int below)
{
    if (!panel_.widget) return below;
    panel_.widget->setParent(this);
    // The panel's lines are the window's controls: a panel of its own
    // class would otherwise move as one block while its lines kept their
    // designed places and sizes inside it.
    ResizerAdapter::holdsControls(panel_.widget);
    if (panel_.placement == BrowsePanel::Placement::Below) {
        panel_.widget->move(kMargin, below);
        return below + panel_.widget->height() + kMargin;
    }
    panel_.widget->move(beside);
    return std::max(below, beside.y() + panel_.widget->height() + kMargin);
}

// Twelve rows under the header, if there is one, as the list will lay it
// out: polished first (the style gives it its font and margins), and at
// least its minimum height, as the list itself takes it. The header is
// asked whether it is hidden, not whether it is visible: the window is not
// shown yet.
int BrowseWindow::designedListHeight() const
{
    QHeaderView* header = list_->horizontalHeader();
    int headerHeight = 0;
    if (!header->isHidden()) {
        header->ensurePolished();
        headerHeight = std::max(header->minimumHeight(), header->sizeHint().height());
    }
    return kListRows * rowHeight() + headerHeight + 2 * list_->frameWidth();
}

int BrowseWindow::rowHeight() const
{
    return list_->fontMetrics().height() + 6;
}

QPushButton* BrowseWindow::button(int index) const
{
    return index >= 0 && index < int(buttons_.size()) ? buttons_[std::size_t(index)] : nullptr;
}

QPushButton* BrowseWindow::button(BrowseRole role) const { return button(engine_->buttonIndex(role)); }

QMdiSubWindow* BrowseWindow::openInMdi(const BrowseDefinition& def, QMdiArea* area, BrowsePanel panel)
{
    clearCallProtocol();  // opened from the menu: request 0
    auto* w = new BrowseWindow(def, nullptr, std::move(panel));
    QMdiSubWindow* sub = showChildWindow(area, w);
    connect(area, &QMdiArea::subWindowActivated, w, [w, sub](QMdiSubWindow* active) {
        if (active == sub) w->engine().windowActivated();
    });
    return sub;
}

Response BrowseWindow::runModal(const BrowseDefinition& def, QWidget* parent, BrowsePanel panel)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(def.title);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* w = new BrowseWindow(def, &dialog, std::move(panel));
    layout->addWidget(w);
    dialog.resize(w->size());
    // Esc or the close box: the window is closed by other means.
    connect(&dialog, &QDialog::finished, w, [w] { w->engine().close(); });
    dialog.exec();
    w->engine().close();
    return CallResponse;
}

// ------------------------------------------------------------------ host

int BrowseWindow::pageSize() const
{
    const int h = list_->viewport()->height();
    return std::max(1, h / rowHeight());
}

int BrowseWindow::currentRow() const
{
    const QModelIndex i = list_->currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void BrowseWindow::setCurrentRow(int row)
{
    settingRow_ = true;
    // The engine has just changed the page (a scroll, a rebuild): show it.
    model_->reload();
    if (row >= 1 && row <= model_->rowCount()) {
        list_->setCurrentIndex(model_->index(row - 1, 0));
    } else {
        list_->selectionModel()->clear();
    }
    settingRow_ = false;
}

void BrowseWindow::setScrollBarVisible(bool visible) { thumb_->setVisible(visible); }

void BrowseWindow::setThumb(int position)
{
    const QSignalBlocker block(thumb_);
    thumb_->setValue(position);
    thumb_->setSliderPosition(position);
}

void BrowseWindow::setChangeDeleteEnabled(bool enabled)
{
    for (BrowseRole r : {BrowseRole::Change, BrowseRole::Delete})
        if (QPushButton* b = button(r)) b->setEnabled(enabled);
}

void BrowseWindow::setSelectButton(bool shown, bool isDefault)
{
    if (QPushButton* b = button(BrowseRole::Select)) {
        b->setVisible(shown);
        b->setEnabled(shown);
        b->setDefault(isDefault);
    }
}

void BrowseWindow::pressButton(int index)
{
    if (QPushButton* b = button(index))
        QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
}

void BrowseWindow::redisplay()
{
    setCurrentRow(engine_->highlighted());
    if (panel_.fill) panel_.fill();
}

void BrowseWindow::postNewSelection()
{
    QMetaObject::invokeMethod(this, [this] { engine_->newSelection(); }, Qt::QueuedConnection);
}

int BrowseWindow::popupMenu(const QString& menuText)
{
    QMenu menu(this);
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

void BrowseWindow::focusList() { list_->setFocus(); }

void BrowseWindow::setWaitCursor(bool on)
{
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++waitCursors_;
    } else if (waitCursors_ > 0) {
        QApplication::restoreOverrideCursor();
        --waitCursors_;
    }
}

void BrowseWindow::showHelp(const QString& topic) { help::show(topic, this); }

void BrowseWindow::closeWindow()
{
    if (!finishedSent_) {
        finishedSent_ = true;
        emit finished(CallResponse);
    }
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        sub->close();
    } else if (auto* dialog = qobject_cast<QDialog*>(window())) {
        dialog->done(static_cast<int>(CallResponse));
    } else {
        close();
    }
}

// ---------------------------------------------------------------- events

void BrowseWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The window reports that it is open once its geometry has settled.
    QMetaObject::invokeMethod(this, [this] { engine_->windowOpened(); }, Qt::QueuedConnection);
}

void BrowseWindow::keyPressEvent(QKeyEvent* event)
{
    // F1, the help key, is the Help button's key (a posted press, like the
    // list's keys); a window without that button has no page to show.
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (int help = engine_->buttonIndex(BrowseRole::Help); help >= 0) {
            pressButton(help);
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void BrowseWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The page is read for the list's new height, which the list knows only
    // once it has been placed: a window resized while hidden (maximized in
    // the frame) places its list when shown again. So the refresh follows
    // the event, once for a run of resizes.
    if (resizePending_) return;
    resizePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            resizePending_ = false;
            engine_->windowResized();
        },
        Qt::QueuedConnection);
}

void BrowseWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // An MDI child learns of its activation from the area (openInMdi).
    if (event->type() == QEvent::ActivationChange && isActiveWindow()
        && !qobject_cast<QMdiSubWindow*>(parentWidget()))
        engine_->windowActivated();
}

void BrowseWindow::closeEvent(QCloseEvent* event)
{
    engine_->close();
    QWidget::closeEvent(event);
}

void BrowseWindow::thumbAction(int action)
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
    // The thumb shows what the engine says, not where the step would put it.
    thumb_->setSliderPosition(engine_->thumb());
}

bool BrowseWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) return listKey(static_cast<QKeyEvent*>(event));
    if (watched == list_->viewport()) return listMouse(event);
    return QWidget::eventFilter(watched, event);
}

bool BrowseWindow::listKey(QKeyEvent* e)
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
        if (ctrl) {
            engine_->keyPressed(ListKey::CtrlEnter);
            return true;
        }
        return false;  // Enter presses the default button of a lookup
    case Qt::Key_Left:
    case Qt::Key_Right: return true;  // the page has no columns to move through
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

void BrowseWindow::showHighlight()
{
    const int row = engine_->highlighted();
    if (row < 1 || row > model_->rowCount()) return;
    settingRow_ = true;
    list_->selectionModel()->setCurrentIndex(model_->index(row - 1, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    settingRow_ = false;
}

bool BrowseWindow::listMouse(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
        auto* m = static_cast<QMouseEvent*>(event);
        // The empty area below the last row holds no record: a press or a
        // drag there keeps the highlight where it is.
        if (m->button() != Qt::RightButton && !list_->indexAt(m->position().toPoint()).isValid()) {
            if (event->type() == QEvent::MouseButtonPress) list_->setFocus(Qt::MouseFocusReason);
            return m->button() == Qt::LeftButton || (m->buttons() & Qt::LeftButton);
        }
        if (event->type() != QEvent::MouseButtonPress || m->button() != Qt::RightButton) return false;
        // The right button moves the highlight to the row under it and opens
        // the menu instead of a new selection.
        const QModelIndex at = list_->indexAt(m->position().toPoint());
        if (at.isValid()) setCurrentRow(at.row() + 1);
        list_->setFocus();
        engine_->rightClick();
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::LeftButton) return true;
        if (list_->indexAt(m->position().toPoint()).isValid()) engine_->keyPressed(ListKey::DoubleClick);
        return true;
    }
    case QEvent::Wheel: {
        auto* w = static_cast<QWheelEvent*>(event);
        const int notches = w->angleDelta().y() / 120;
        const int rows = std::abs(notches) * QApplication::wheelScrollLines();
        for (int i = 0; i < rows && !engine_->closed(); ++i)
            engine_->scroll(notches > 0 ? ScrollEvent::RowUp : ScrollEvent::RowDown);
        return true;
    }
    default: return false;
    }
}

} // namespace kestrel::shell
