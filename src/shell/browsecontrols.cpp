#include "shell/browsecontrols.h"

#include "platform/cp1252.h"
#include "platform/listformat.h"
#include "shell/dialogunits.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QWheelEvent>

#include <cmath>

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

} // namespace

BrowseControls::BrowseControls(BrowseEngine& engine, const BrowseDefinition& def, QWidget* parent)
    : QObject(parent), engine_(engine)
{
    buildList(def, parent);
    buildThumb(parent);
    buildButtons(def, parent);
}

void BrowseControls::buildList(const BrowseDefinition& def, QWidget* parent)
{
    list_ = new QTableView(parent);
    model_ = new BrowsePageModel(engine_, platform::ListFormat::from(def.format), this);
    list_->setModel(model_);
    list_->setItemDelegate(new IndentDelegate(model_->format(), list_));
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
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (live_ && !settingRow_) engine_.newSelection();
    });
    // Delete, Change and the popup act on the highlighted record: a list
    // with entries never shows none (a Ctrl+click would take it away).
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!settingRow_ && !list_->selectionModel()->hasSelection()) showHighlight();
    });
    columnsWidth_ = sizeColumns();
}

// Each column as wide as its picture needs (columnPixels) and its header's
// label; returns their total.
int BrowseControls::sizeColumns()
{
    QHeaderView* header = list_->horizontalHeader();
    int total = 0;
    for (int i = 0; i < model_->format().count(); ++i) {
        const platform::ListColumn& c = model_->format()[i];
        // A header's label reads whole, with the header's own margins.
        const int label = c.hasHeader ? header->sectionSizeHint(i) : 0;
        const int w = std::max(columnPixels(c, *list_), label);
        columns_.push_back({std::max(dialogUnitsToPixelsX(c.width, list_->font()), label), w,
                            c.picture.kind() == platform::Picture::Kind::Text});
        list_->setColumnWidth(i, w);
        total += w;
        header->setSectionResizeMode(i, c.resizable ? QHeaderView::Interactive : QHeaderView::Fixed);
    }
    return total;
}

void BrowseControls::fitColumns(int room)
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

void BrowseControls::buildThumb(QWidget* parent)
{
    thumb_ = new QScrollBar(Qt::Vertical, parent);
    thumb_->setRange(0, 100);
    thumb_->setSingleStep(1);
    thumb_->setPageStep(10);
    thumb_->setTracking(false);
    thumb_->setFocusPolicy(Qt::NoFocus);
    thumb_->hide();
    connect(thumb_, &QAbstractSlider::actionTriggered, this, &BrowseControls::thumbAction);
    connect(thumb_, &QAbstractSlider::sliderReleased, this,
            [this] { engine_.thumbDragged(thumb_->sliderPosition()); });
}

void BrowseControls::buildButtons(const BrowseDefinition& def, QWidget* parent)
{
    for (std::size_t i = 0; i < def.buttons.size(); ++i) {
        auto* b = new QPushButton(def.buttons[i].text, parent);
        b->setAutoDefault(false);
        const int index = int(i);
        connect(b, &QPushButton::clicked, this, [this, index] { engine_.buttonPressed(index); });
        buttons_.push_back(b);
    }
    if (QPushButton* s = button(BrowseRole::Select)) s->hide();
}

int BrowseControls::rowHeight() const { return list_->fontMetrics().height() + 6; }

QPushButton* BrowseControls::button(int index) const
{
    return index >= 0 && index < int(buttons_.size()) ? buttons_[std::size_t(index)] : nullptr;
}

QPushButton* BrowseControls::button(BrowseRole role) const { return button(engine_.buttonIndex(role)); }

// ------------------------------------------------------------------ host

int BrowseControls::currentRow() const
{
    const QModelIndex i = list_->currentIndex();
    return i.isValid() ? i.row() + 1 : 0;
}

void BrowseControls::setCurrentRow(int row)
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

void BrowseControls::setScrollBarVisible(bool visible) { thumb_->setVisible(visible); }

void BrowseControls::setThumb(int position)
{
    const QSignalBlocker block(thumb_);
    thumb_->setValue(position);
    thumb_->setSliderPosition(position);
}

void BrowseControls::setChangeDeleteEnabled(bool enabled)
{
    for (BrowseRole r : {BrowseRole::Change, BrowseRole::Delete})
        if (QPushButton* b = button(r)) b->setEnabled(enabled);
}

void BrowseControls::setSelectButton(bool shown, bool isDefault)
{
    if (QPushButton* b = button(BrowseRole::Select)) {
        b->setVisible(shown);
        b->setEnabled(shown);
        b->setDefault(isDefault);
    }
}

void BrowseControls::pressButton(int index)
{
    if (QPushButton* b = button(index))
        QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- events

void BrowseControls::thumbAction(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: engine_.scroll(ScrollEvent::RowDown); break;
    case QAbstractSlider::SliderSingleStepSub: engine_.scroll(ScrollEvent::RowUp); break;
    case QAbstractSlider::SliderPageStepAdd: engine_.scroll(ScrollEvent::PageDown); break;
    case QAbstractSlider::SliderPageStepSub: engine_.scroll(ScrollEvent::PageUp); break;
    case QAbstractSlider::SliderToMinimum: engine_.scroll(ScrollEvent::Top); break;
    case QAbstractSlider::SliderToMaximum: engine_.scroll(ScrollEvent::Bottom); break;
    default: return;  // a drag is a thumb locate when the thumb is let go
    }
    // The thumb shows what the engine says, not where the step would put it.
    thumb_->setSliderPosition(engine_.thumb());
}

bool BrowseControls::eventFilter(QObject* watched, QEvent* event)
{
    if (!live_) return false;
    if (watched == list_ && event->type() == QEvent::KeyPress) return listKey(static_cast<QKeyEvent*>(event));
    if (watched == list_->viewport()) return listMouse(event);
    return false;
}

bool BrowseControls::listKey(QKeyEvent* e)
{
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
    case Qt::Key_Up: engine_.scroll(ScrollEvent::RowUp); return true;
    case Qt::Key_Down: engine_.scroll(ScrollEvent::RowDown); return true;
    case Qt::Key_PageUp: engine_.scroll(ctrl ? ScrollEvent::Top : ScrollEvent::PageUp); return true;
    case Qt::Key_PageDown: engine_.scroll(ctrl ? ScrollEvent::Bottom : ScrollEvent::PageDown); return true;
    case Qt::Key_Home: engine_.scroll(ScrollEvent::Top); return true;
    case Qt::Key_End: engine_.scroll(ScrollEvent::Bottom); return true;
    case Qt::Key_Insert: engine_.keyPressed(ListKey::Insert); return true;
    case Qt::Key_Delete: engine_.keyPressed(ListKey::Delete); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ctrl) {
            engine_.keyPressed(ListKey::CtrlEnter);
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
        engine_.characterTyped((*bytes)[0]);
        return true;
    }
    return false;
}

void BrowseControls::showHighlight()
{
    const int row = engine_.highlighted();
    if (row < 1 || row > model_->rowCount()) return;
    settingRow_ = true;
    list_->selectionModel()->setCurrentIndex(model_->index(row - 1, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    settingRow_ = false;
}

bool BrowseControls::listMouse(QEvent* event)
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
        engine_.rightClick();
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() != Qt::LeftButton) return true;
        if (list_->indexAt(m->position().toPoint()).isValid()) engine_.keyPressed(ListKey::DoubleClick);
        return true;
    }
    case QEvent::Wheel: {
        auto* w = static_cast<QWheelEvent*>(event);
        const int notches = w->angleDelta().y() / 120;
        const int rows = std::abs(notches) * QApplication::wheelScrollLines();
        for (int i = 0; i < rows && !engine_.closed(); ++i)
            engine_.scroll(notches > 0 ? ScrollEvent::RowUp : ScrollEvent::RowDown);
        return true;
    }
    default: return false;
    }
}

} // namespace kestrel::shell
