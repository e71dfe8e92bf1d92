#include "shell/browsewindow.h"

#include "shell/browsecontrols.h"
#include "shell/geometry.h"
#include "shell/helpviewer.h"
#include "shell/popupmenu.h"
#include "shell/resizeradapter.h"

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
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

namespace kestrel::shell {

namespace {

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
    engine_->attach(nullptr);
}

void BrowseWindow::build()
{
    buildHeading();
    buildTabs();
    controls_ = new BrowseControls(*engine_, def_, this);
    controls_->setLive(true);
    list_ = controls_->list();
    thumb_ = controls_->thumb();
    placeControls(controls_->columnsWidth());
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

// The designed rectangles, top to bottom: heading, tabs, the list with the
// thumb beside it, the panel (beside the list or under it), then the row of
// buttons at the bottom right. The window takes the size they need.
void BrowseWindow::placeControls(int columnsWidth)
{
    const int listWidth = std::max(kMinListWidth, columnsWidth + 2 * list_->frameWidth());
    const int barWidth = thumb_->sizeHint().width();
    const std::vector<QPushButton*>& buttons = controls_->buttons();
    const int buttonsWidth = int(buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
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
    for (QPushButton* b : buttons) {
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

int BrowseWindow::rowHeight() const { return controls_->rowHeight(); }

QPushButton* BrowseWindow::button(int index) const { return controls_->button(index); }

QPushButton* BrowseWindow::button(BrowseRole role) const { return controls_->button(role); }

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

int BrowseWindow::currentRow() const { return controls_->currentRow(); }

void BrowseWindow::setCurrentRow(int row) { controls_->setCurrentRow(row); }

void BrowseWindow::setScrollBarVisible(bool visible) { controls_->setScrollBarVisible(visible); }

void BrowseWindow::setThumb(int position) { controls_->setThumb(position); }

void BrowseWindow::setChangeDeleteEnabled(bool enabled) { controls_->setChangeDeleteEnabled(enabled); }

void BrowseWindow::setSelectButton(bool shown, bool isDefault) { controls_->setSelectButton(shown, isDefault); }

void BrowseWindow::pressButton(int index) { controls_->pressButton(index); }

void BrowseWindow::redisplay()
{
    setCurrentRow(engine_->highlighted());
    if (panel_.fill) panel_.fill();
}

void BrowseWindow::postNewSelection()
{
    QMetaObject::invokeMethod(this, [this] { engine_->newSelection(); }, Qt::QueuedConnection);
}

int BrowseWindow::popupMenu(const QString& menuText) { return shell::popupMenu(this, menuText); }

void BrowseWindow::focusList() { list_->setFocus(); }

void BrowseWindow::setWaitCursor(bool on) { waitCursor_.set(on); }

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

} // namespace kestrel::shell
