#pragma once
// The Qt browse window: built from a BrowseDefinition and driven by its
// BrowseEngine. It shows the heading, the sheet of tabs that chooses the
// order, the list (one page: the engine's queue is the model), the thumb
// scroll bar beside it, an optional detail panel of the owning window (beside
// or below the list), and the buttons; the resizer relays the controls when the window is resized.
//
// The list, its thumb and the buttons, with their keys and mouse, are the
// browse controls every browse shows (browsecontrols.h).
//
// A browse opened from the menu sits in an MDI child window
// (openInMdi); a lookup runs in a modal dialog (runModal) and returns the
// response the engine hands back in CallResponse.

#include "shell/browsedefinition.h"
#include "shell/browseengine.h"
#include "shell/browsehost.h"
#include "shell/waitcursor.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QScrollBar;
class QTabBar;
class QTableView;

namespace kestrel::shell {

class BrowseControls;

// A panel of the owning window shown with the list (placed by hand, at its
// own size), and what refreshes it from the record buffers after every
// copy-back and redisplay. Beside: to the right of the list's scroll bar,
// level with the list's top. Below: under the list, at its left edge, above
// the buttons. Either way the resizer moves and stretches it with the window.
struct BrowsePanel {
    enum class Placement { Beside, Below };
    QWidget* widget = nullptr;
    std::function<void()> fill;
    Placement placement = Placement::Beside;
};

class BrowseWindow final : public QWidget, public BrowseHost {
    Q_OBJECT
public:
    // Takes over CallRequest (open) at once: construct it immediately after
    // setting the request. The definition must outlive the window.
    explicit BrowseWindow(const BrowseDefinition& def, QWidget* parent = nullptr, BrowsePanel panel = {});
    ~BrowseWindow() override;

    // A child window of the frame's MDI area, deleted when closed.
    static QMdiSubWindow* openInMdi(const BrowseDefinition& def, QMdiArea* area, BrowsePanel panel = {});
    // A modal lookup: runs until Select or Close and returns CallResponse.
    static Response runModal(const BrowseDefinition& def, QWidget* parent = nullptr, BrowsePanel panel = {});

    BrowseEngine& engine() { return *engine_; }
    QTableView* list() const { return list_; }
    QTabBar* tabBar() const { return tabs_; }
    QScrollBar* thumbBar() const { return thumb_; }
    QLabel* heading() const { return heading_; }
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

signals:
    // The browse has ended (Select, Close, a failure, the window closed).
    void finished(kestrel::shell::Response response);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The window's controls, one factory per kind, then their designed places.
    void build();
    void buildHeading();
    void buildTabs();
    void placeControls(int columnsWidth);
    int contentWidth(int listAndBar) const;
    int placePanel(QPoint beside, int below);
    int rowHeight() const;
    int designedListHeight() const;

    const BrowseDefinition& def_;
    std::unique_ptr<BrowseEngine> engine_;
    BrowsePanel panel_;
    QLabel* heading_ = nullptr;
    QTabBar* tabs_ = nullptr;
    BrowseControls* controls_ = nullptr;
    QTableView* list_ = nullptr;
    QScrollBar* thumb_ = nullptr;
    bool shownOnce_ = false;
    bool resizePending_ = false;  // a refresh for the new size is on its way
    WaitCursor waitCursor_;
    bool finishedSent_ = false;
};

} // namespace kestrel::shell
