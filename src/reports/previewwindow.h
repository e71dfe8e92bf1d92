#pragma once
// "Report Preview": the rendered pages as thumbnails or one zoomed page,
// paged through, then printed or left. exec() answers the call response:
// 1 when the user chose Print, 2 on Exit or closing.

#include "shell/callprotocol.h"
#include "reports/page.h"
#include "reports/previewstate.h"
#include "reports/reportrunner.h"

#include <QDialog>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QToolBar;
class QPrinter;
class QScrollArea;
class QSpinBox;

namespace kestrel::shell {
class PrinterSettings;
}

namespace kestrel::reports {

class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    explicit PreviewWindow(const std::vector<Page>& pages, QWidget* parent = nullptr);

    const PreviewState& state() const { return state_; }
    QSpinBox* pageSpin() const { return pageSpin_; }
    QSpinBox* acrossSpin() const { return acrossSpin_; }
    QSpinBox* downSpin() const { return downSpin_; }
    QMenu* viewMenu() const { return viewMenu_; }
    QAction* nextAction() const { return next_; }
    QAction* previousAction() const { return previous_; }
    QAction* printAction() const { return print_; }
    QAction* exitAction() const { return exit_; }
    QString pageStatus() const;
    QString zoomStatus() const;
    QWidget* pageView() const;
    // Where thumbnail cell k lies in pageView(), and whether it is shown.
    QRect cellRect(int k) const;
    bool cellShown(int k) const;

    void setZoom(Zoom zoom);
    void setGrid(int across, int down);
    void jumpTo(int page);

protected:
    void reject() override;  // Exit, Esc and closing: done with 2
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;  // the viewport's resizes

private:
    friend class PageView;
    void buildMenus(QMenuBar* bar);
    void buildToolBar(QToolBar* bar);
    void refresh();
    void openJumpWindow();
    void openDisplayWindow();
    void saveAsPdf();
    void pageClicked(QPoint at);

    const std::vector<Page>& pages_;
    PreviewState state_;
    double ratio_;
    QSize natural_;
    class PageView* view_;
    QScrollArea* scroll_;
    QSpinBox *pageSpin_, *acrossSpin_, *downSpin_;
    QMenu* viewMenu_ = nullptr;
    QAction *print_ = nullptr, *exit_ = nullptr, *next_ = nullptr, *previous_ = nullptr;
    QAction* zoomActions_[ZoomCount] = {};
    QLabel *status1_, *status2_, *status3_;
    bool refreshing_ = false;
};

// Shows the preview modally; 1 (Print) or 2 (Exit), also set as CallResponse.
shell::Response previewReport(const std::vector<Page>& pages, QWidget* parent = nullptr);

// Prints the pages through the system print dialog on `printer` (the one
// chosen in "&Printer Setup ..."), full page from the paper's corner. False
// when the user cancelled the dialog or printing failed.
bool printReport(const std::vector<Page>& pages, QPrinter& printer, QWidget* parent = nullptr);

// The whole life of a report from a window: the body runs on a worker behind
// "Generating Report"; its pages, if any, go to the preview, and to the printer
// chosen in "&Printer Setup ..." when the user picks Print. Cancel, no pages
// or Exit print nothing. Returns at once; `settings` must outlive the run.
ReportRunner* runReport(ReportBody body, shell::PrinterSettings& settings, QWidget* parent = nullptr);

} // namespace kestrel::reports
