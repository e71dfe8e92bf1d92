#pragma once
// A browse list that lives inside another window: the list (one page), its
// thumb scroll bar and the list's own buttons, driven by a BrowseEngine of
// its own. The service lines on a tab of the claim form are one; the owning
// window places it like any control and keeps it in step:
//
//   auto* lines = new BrowseList(serviceListDefinition(), &window);
//   lines->placeOnTab(window.sheet(), 1, rect);  // the list, thumb and buttons follow its size
//   lines->start();            // first fill now, even while its tab is hidden
//   ...in the window's own refresh: lines->refresh();
//
// The definition's hooks do the rest: onReloaded and afterCall recompute the
// window's totals (BrowseEngine::sumView), the update buttons call the list's
// own update form. Like a browse window, the list refreshes itself (forced,
// keeping its record) when its window regains the focus or the list is
// resized. It takes no part in the calling protocol of its window
// (BrowseEngine::openEmbedded). A read error while filling or summing closes
// the list and then the window it lives in.
//
// Keys and mouse are those of every browse (browsecontrols.h).

#include "shell/browsedefinition.h"
#include "shell/browseengine.h"
#include "shell/browsehost.h"
#include "shell/waitcursor.h"

#include <QWidget>

#include <memory>
#include <vector>

class QPushButton;
class QScrollBar;
class QTabWidget;
class QTableView;

namespace kestrel::shell {

class BrowseControls;

class BrowseList final : public QWidget, public BrowseHost {
    Q_OBJECT
public:
    // The definition must outlive the list.
    explicit BrowseList(const BrowseDefinition& def, QWidget* parent = nullptr);
    ~BrowseList() override;

    // Opens the engine and fills the list for the record its range limits
    // it to (the window's record in the buffers now). Once.
    void start();
    // The window's refresh: follows a changed range, copies the highlighted
    // entry back. Nothing before start() or while the list's form runs.
    void refresh();

    // Places the list on page `tab` of a window's sheet at `rect` (page
    // coordinates). A sheet sized for its own controls before the list was
    // added grows to hold it, and its window with it: the controls under
    // the sheet (a form's buttons) keep their places from its bottom right
    // corner. For FormDefinition::onWindowBuilt, before the window shows.
    void placeOnTab(QTabWidget* sheet, int tab, const QRect& rect);

    BrowseEngine& engine() { return *engine_; }
    QTableView* list() const { return list_; }
    QScrollBar* thumbBar() const { return thumb_; }
    QPushButton* button(int index) const;
    QPushButton* button(BrowseRole role) const;

    // BrowseHost
    int pageSize() const override;
    int currentRow() const override;
    void setCurrentRow(int row) override;
    void setScrollBarVisible(bool visible) override;
    void setThumb(int position) override;
    void setChangeDeleteEnabled(bool enabled) override;
    void setSelectButton(bool shown, bool isDefault) override;
    void pressButton(int index) override;
    void redisplay() override;
    void postNewSelection() override;
    int popupMenu(const QString& menuText) override;
    void focusList() override;
    void setWaitCursor(bool on) override;
    void showHelp(const QString& topic) override;
    void closeWindow() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void place();
    int rowHeight() const;
    int buttonRowHeight() const;

    std::unique_ptr<BrowseEngine> engine_;
    BrowseControls* controls_ = nullptr;
    QTableView* list_ = nullptr;
    QScrollBar* thumb_ = nullptr;
    bool started_ = false;
    bool resizePending_ = false;  // a refresh for the new size is on its way
    WaitCursor waitCursor_;
};

} // namespace kestrel::shell
