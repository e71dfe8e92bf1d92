#include "reports/previewwindow.h"

#include "reports/pagesink.h"
#include "shell/callprotocol.h"
#include "shell/printersettings.h"

#include <QActionGroup>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kestrel::reports {

// The pages as thumbnails or one zoomed page; clicks go back to the window.
class PageView : public QWidget {
public:
    explicit PageView(PreviewWindow* window) : window_(window) {}
    ThumbnailGrid grid;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const PreviewState& s = window_->state_;
        if (s.zoom() != Zoom::None) {
            paintOne(painter, s.current(), rect());
            return;
        }
        for (int k = 1; k <= s.shown() && s.current() + k - 1 <= s.pageCount(); ++k)
            paintOne(painter, s.current() + k - 1, grid.cell(k));
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            window_->pageClicked(e->position().toPoint());
    }

private:
    void paintOne(QPainter& painter, int page, const QRect& box)
    {
        painter.save();
        painter.fillRect(box, Qt::white);
        painter.setPen(Qt::gray);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setClipRect(box);
        painter.translate(box.topLeft());
        painter.scale(double(box.width()) / PageWidth, double(box.height()) / PageHeight);
        paintPage(window_->pages_[size_t(page - 1)], painter);
        painter.restore();
    }
    PreviewWindow* window_;
};

namespace {
constexpr Zoom AllZooms[ZoomCount] = {Zoom::None,       Zoom::PageWidth,  Zoom::Percent50, Zoom::Percent75,
                                      Zoom::Percent100, Zoom::Percent200, Zoom::Percent300};
constexpr const char* ZoomItems[ZoomCount] = {"No &Zoom",     "Page &Width",  "&50 Percent", "&75 Percent",
                                              "&100 Percent", "&200 Percent", "&300 Percent"};
constexpr const char* ZoomPopup[ZoomCount] = {"No Zoom", "Page Width", "50%", "75%", "100%", "200%", "300%"};

QSpinBox* spinBox(int digits, int maximum, const QString& tip)
{
    auto* spin = new QSpinBox;
    spin->setRange(1, maximum);
    spin->setToolTip(tip);
    spin->setMinimumWidth(spin->fontMetrics().horizontalAdvance(QString(digits + 3, QLatin1Char('0'))) + 20);
    return spin;
}
} // namespace

PreviewWindow::PreviewWindow(const std::vector<Page>& pages, QWidget* parent)
    : QDialog(parent),
      pages_(pages),
      state_(int(pages.size())),
      view_(new PageView(this)),
      scroll_(new QScrollArea),
      pageSpin_(spinBox(4, 9999, {})),
      acrossSpin_(spinBox(2, PreviewState::MaxGrid, QStringLiteral("Select the number of thumbnails in a row"))),
      downSpin_(spinBox(2, PreviewState::MaxGrid, QStringLiteral("Select the number of thumbnails in a column"))),
      status1_(new QLabel),
      status2_(new QLabel),
      status3_(new QLabel)
{
    setWindowTitle(QStringLiteral("Report Preview"));
    // Page 1's natural size: the page at the screen's resolution.
    natural_ = QSize(PageWidth * logicalDpiX() / MilsPerInch, PageHeight * logicalDpiY() / MilsPerInch);
    ratio_ = double(natural_.height()) / natural_.width();
    auto* menuBar = new QMenuBar;
    auto* toolBar = new QToolBar;
    auto* statusBar = new QStatusBar;
    buildMenus(menuBar);
    buildToolBar(toolBar);
    statusBar->addWidget(status1_, 1);
    statusBar->addWidget(status2_, 1);
    statusBar->addWidget(status3_, 1);
    scroll_->setWidget(view_);
    scroll_->viewport()->installEventFilter(this);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll_->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(toolBar);
    layout->addWidget(scroll_, 1);
    layout->addWidget(statusBar);
    if (state_.singlePage()) {
        for (QSpinBox* s : {pageSpin_, acrossSpin_, downSpin_})
            s->setEnabled(false);
        viewMenu_->setEnabled(false);
        for (QAction* a : viewMenu_->actions())
            a->setEnabled(false);
    } else {
        pageSpin_->setToolTip(QStringLiteral("Enter a page number from 1 to %1").arg(state_.pageCount()));
    }
    resize(760, 680);
    refresh();
}

void PreviewWindow::buildMenus(QMenuBar* bar)
{
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    print_ = file->addAction(QStringLiteral("&Print"), this, [this] { done(static_cast<int>(shell::Response::Completed)); });
    print_->setStatusTip(QStringLiteral("Print the report"));
    QAction* pdf = file->addAction(QStringLiteral("Save as P&DF..."), this, &PreviewWindow::saveAsPdf);
    pdf->setStatusTip(QStringLiteral("Save the report as a PDF file"));
    exit_ = file->addAction(QStringLiteral("E&xit"), this, &PreviewWindow::reject);
    exit_->setStatusTip(QStringLiteral("Exit without printing the report"));

    viewMenu_ = bar->addMenu(QStringLiteral("&View"));
    next_ = viewMenu_->addAction(QStringLiteral("&Next Page(s)"), this, [this] { state_.next(); refresh(); });
    next_->setStatusTip(QStringLiteral("View the next page or pages of the report"));
    previous_ = viewMenu_->addAction(QStringLiteral("&Previous Page(s)"), this, [this] { state_.previous(); refresh(); });
    QAction* jump = viewMenu_->addAction(QStringLiteral("&Jump to a page"), this, &PreviewWindow::openJumpWindow);
    jump->setStatusTip(QStringLiteral("Jump to a specific page of the report"));
    QAction* display = viewMenu_->addAction(QStringLiteral("&Change Display"), this, &PreviewWindow::openDisplayWindow);
    display->setStatusTip(QStringLiteral("Change the number of pages displayed"));

    QMenu* zoom = bar->addMenu(QStringLiteral("&Zoom"));
    auto* group = new QActionGroup(this);
    for (int i = 0; i < ZoomCount; ++i) {
        zoomActions_[i] = zoom->addAction(QString::fromLatin1(ZoomItems[i]), this, [this, i] { setZoom(AllZooms[i]); });
        zoomActions_[i]->setCheckable(true);
        group->addAction(zoomActions_[i]);
    }
}

void PreviewWindow::buildToolBar(QToolBar* bar)
{
    QAction* print = bar->addAction(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("Print"),
                                    print_, &QAction::trigger);
    print->setToolTip(QStringLiteral("Print this report"));
    QAction* exit = bar->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Exit"),
                                   exit_, &QAction::trigger);
    exit->setToolTip(QStringLiteral("Exit without printing the report"));
    QAction* pdf = bar->addAction(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("PDF"), this,
                                  &PreviewWindow::saveAsPdf);
    pdf->setToolTip(QStringLiteral("Save the report as a PDF file"));
    auto* zoomButton = new QToolButton;
    zoomButton->setText(QStringLiteral("Zoom"));
    zoomButton->setToolTip(QStringLiteral("Zoom in on a page of the report"));
    zoomButton->setPopupMode(QToolButton::InstantPopup);
    auto* popup = new QMenu(zoomButton);
    for (int i = 0; i < ZoomCount; ++i) {
        QAction* a = popup->addAction(QString::fromLatin1(ZoomPopup[i]), this, [this, i] { setZoom(AllZooms[i]); });
        a->setCheckable(true);
        if (i == 0)
            popup->addSeparator();
    }
    connect(popup, &QMenu::aboutToShow, this, [this, popup] {
        int i = 0;
        for (QAction* a : popup->actions())
            if (!a->isSeparator())
                a->setChecked(AllZooms[i++] == state_.zoom());
    });
    zoomButton->setMenu(popup);
    bar->addWidget(zoomButton);
    auto addSpin = [bar](const QString& caption, QSpinBox* spin) {
        auto* label = new QLabel(caption);
        label->setBuddy(spin);
        bar->addWidget(label);
        bar->addWidget(spin);
    };
    addSpin(QStringLiteral("&Page:"), pageSpin_);
    addSpin(QStringLiteral("&Across:"), acrossSpin_);
    addSpin(QStringLiteral("&Down:"), downSpin_);
    connect(pageSpin_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!refreshing_)
            jumpTo(v);
    });
    auto grid = [this](int) {
        if (!refreshing_)
            setGrid(acrossSpin_->value(), downSpin_->value());
    };
    connect(acrossSpin_, &QSpinBox::valueChanged, this, grid);
    connect(downSpin_, &QSpinBox::valueChanged, this, grid);
}

void PreviewWindow::setZoom(Zoom zoom)
{
    state_.setZoom(zoom);
    refresh();
}

void PreviewWindow::setGrid(int across, int down)
{
    state_.setGrid(across, down);
    refresh();
}

void PreviewWindow::jumpTo(int page)
{
    state_.setPage(page);
    refresh();
}

void PreviewWindow::pageClicked(QPoint at)
{
    if (state_.zoom() != Zoom::None)
        state_.setZoom(Zoom::None);
    else
        state_.openCell(view_->grid.cellAt(at));
    refresh();
}

void PreviewWindow::refresh()
{
    refreshing_ = true;
    const Zoom zoom = state_.zoom();
    scroll_->setHorizontalScrollBarPolicy(zoom == Zoom::PageWidth || zoom == Zoom::None ? Qt::ScrollBarAlwaysOff
                                                                                          : Qt::ScrollBarAsNeeded);
    const int clientWidth = scroll_->viewport()->width();
    if (zoom == Zoom::None) {
        scroll_->setWidgetResizable(true);
        view_->grid = ThumbnailGrid::fit(scroll_->viewport()->size(), state_.across(), state_.down(), ratio_);
    } else {
        scroll_->setWidgetResizable(false);
        const double factor = zoom == Zoom::PageWidth ? double(clientWidth) / natural_.width() : zoomFactor(zoom);
        view_->resize(int(natural_.width() * factor), int(natural_.height() * factor));
    }
    pageSpin_->setValue(state_.current());
    acrossSpin_->setValue(state_.across());
    downSpin_->setValue(state_.down());
    if (!state_.singlePage()) {
        next_->setEnabled(state_.nextEnabled());
        previous_->setEnabled(state_.previousEnabled());
    }
    for (int i = 0; i < ZoomCount; ++i)
        zoomActions_[i]->setChecked(AllZooms[i] == zoom);
    status2_->setText(state_.pageText());
    status3_->setText(zoomCaption(zoom));
    view_->update();
    refreshing_ = false;
}

void PreviewWindow::reject()
{
    done(static_cast<int>(shell::Response::Cancelled));
}

void PreviewWindow::keyPressEvent(QKeyEvent* event)
{
    if (!state_.singlePage() && event->key() == Qt::Key_PageDown) {
        if (next_->isEnabled())
            next_->trigger();
    } else if (!state_.singlePage() && event->key() == Qt::Key_PageUp) {
        if (previous_->isEnabled())
            previous_->trigger();
    } else {
        QDialog::keyPressEvent(event);
    }
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Thumbnails and Page Width follow the window's size.
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize && !refreshing_)
        refresh();
    return QDialog::eventFilter(watched, event);
}

void PreviewWindow::openJumpWindow()
{
    QDialog jump(this);
    jump.setWindowTitle(QStringLiteral("Jump to a Report Page"));
    auto* spin = spinBox(5, state_.pageCount(), QStringLiteral("Select a page of the report"));
    spin->setValue(state_.current());
    auto* label = new QLabel(QStringLiteral("&Page:"));
    label->setBuddy(spin);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("Jump to the selected page"));
    buttons->button(QDialogButtonBox::Cancel)->setToolTip(QStringLiteral("Cancel this selection"));
    connect(buttons, &QDialogButtonBox::accepted, &jump, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &jump, &QDialog::reject);
    auto* layout = new QHBoxLayout(&jump);
    layout->addWidget(label);
    layout->addWidget(spin);
    layout->addWidget(buttons);
    if (jump.exec() == QDialog::Accepted)
        jumpTo(spin->value());
}

void PreviewWindow::openDisplayWindow()
{
    QDialog display(this);
    display.setWindowTitle(QStringLiteral("Change the Report Display"));
    auto* group = new QGroupBox(QStringLiteral("Pages Displayed"));
    auto* across = spinBox(2, PreviewState::MaxGrid, {});
    auto* down = spinBox(2, PreviewState::MaxGrid, {});
    across->setValue(state_.across());
    down->setValue(state_.down());
    auto* row = new QHBoxLayout(group);
    row->addWidget(new QLabel(QStringLiteral("Across")));
    row->addWidget(across);
    row->addWidget(new QLabel(QStringLiteral("Down")));
    row->addWidget(down);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, &display, &QDialog::accept);
    // The spin boxes edit the preview's values directly.
    auto apply = [this, across, down](int) { setGrid(across->value(), down->value()); };
    connect(across, &QSpinBox::valueChanged, this, apply);
    connect(down, &QSpinBox::valueChanged, this, apply);
    auto* layout = new QVBoxLayout(&display);
    layout->addWidget(group);
    layout->addWidget(buttons);
    display.exec();
}

void PreviewWindow::saveAsPdf()
{
    const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save as PDF"), {},
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!savePdf(pages_, name, &error))
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The report was not saved: %1.").arg(error));
}

QString PreviewWindow::pageStatus() const { return status2_->text(); }
QString PreviewWindow::zoomStatus() const { return status3_->text(); }
QWidget* PreviewWindow::pageView() const { return view_; }
QRect PreviewWindow::cellRect(int k) const { return view_->grid.cell(k); }
bool PreviewWindow::cellShown(int k) const
{
    return state_.zoom() == Zoom::None && k <= state_.shown() && state_.current() + k - 1 <= state_.pageCount();
}

shell::Response previewReport(const std::vector<Page>& pages, QWidget* parent)
{
    PreviewWindow window(pages, parent);
    const shell::Response response = window.exec() == static_cast<int>(shell::Response::Completed)
        ? shell::Response::Completed : shell::Response::Cancelled;
    shell::CallResponse = response;
    return response;
}

ReportRunner* runReport(ReportBody body, shell::PrinterSettings& settings, QWidget* parent)
{
    ReportRunner* runner = ReportRunner::start(std::move(body), parent);
    QPointer<QWidget> owner = parent;
    QObject::connect(runner, &ReportRunner::finished, runner, [runner, &settings, owner](ReportRunner::Outcome o) {
        if (o != ReportRunner::Outcome::Pages)
            return;
        const std::vector<Page> pages = std::move(runner->pages());
        if (previewReport(pages, owner) == shell::Response::Completed)
            printReport(pages, settings.printer(), owner);
    });
    return runner;
}

bool printReport(const std::vector<Page>& pages, QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, int(pages.size()));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    printer.setFullPage(true);  // coordinates from the paper's corner, not the printable area
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int from = printer.fromPage() > 0 ? printer.fromPage() : 1;
    const int to = printer.toPage() > 0 ? printer.toPage() : int(pages.size());
    for (int p = from; p <= to; ++p) {
        if (p > from && !printer.newPage())
            return false;
        painter.save();
        scaleToMils(painter, printer);
        paintPage(pages[size_t(p - 1)], painter);
        painter.restore();
    }
    return painter.end();
}

} // namespace kestrel::reports
