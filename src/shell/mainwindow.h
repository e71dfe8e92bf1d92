#pragma once
// The application frame: title "KESTREL [CMS 1500 - 02/2012]", the product
// icon, child windows in an MDI area over the background picture, the menu
// bar of menus.h, a status bar for the tips, no toolbar.
//
// Menu items start procedures of the libraries above the shell; the
// executable connects them with setProcedure. An item with no procedure does
// nothing. "&Printer Setup ..." and "E&xit" are the frame's own.
//
// While a child window has the focus, Alt+letter presses that window's own
// button with the letter, ahead of a menu title sharing it ("&Add" against
// "&Account Menu"); with no such button the menus get the key, and F10 opens
// the first menu from anywhere in the frame. Several buttons of the window
// sharing a letter keep the platform's rule: each press moves the focus to
// the next of them and presses none.
//
// Closing the frame (E&xit or the window's close button): the open child
// windows are closed first (one that refuses keeps the frame open), then the
// runtime log is deleted, then the frame's geometry is saved to section "Main"
// of the INI file.

#include "platform/rootdir.h"
#include "shell/menus.h"

#include <QMainWindow>
#include <functional>
#include <map>

class QAction;
class QKeyEvent;
class QMdiArea;
class QMdiSubWindow;

namespace kestrel::shell {

class PrinterSettings;

inline constexpr const char* kFrameTitle = "KESTREL [CMS 1500 - 02/2012]";
inline constexpr const char* kFrameSection = "Main";

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const platform::RootDir& root, PrinterSettings& printer, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Connects a menu item to the procedure it starts (replacing any before).
    void setProcedure(MenuItem item, std::function<void()> procedure);
    QAction* action(MenuItem item) const;

    QMdiArea* mdiArea() const { return mdi_; }
    // Shows `window` as a child window of the frame; it is deleted when closed.
    QMdiSubWindow* addChildWindow(QWidget* window);

    // Start-up: place, size and maximized state from section "Main".
    void restoreSavedGeometry();

    const platform::RootDir& root() const { return root_; }
    PrinterSettings& printerSettings() { return printer_; }

protected:
    // Alt+letter and F10 while a child window has the focus (see mainwindow.cpp).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // F1 that no child window took: the main window's help page.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildMenuBar();
    void run(MenuItem item);
    bool childMnemonic(QWidget* target, QKeyEvent* key, bool press);

    platform::RootDir root_;
    PrinterSettings& printer_;
    QMdiArea* mdi_;
    std::map<MenuItem, QAction*> actions_;
    std::map<MenuItem, std::function<void()>> procedures_;
};

// The frame `w` lives in, or nullptr for a window outside any frame.
MainWindow* frameOf(QWidget* w);
// The printer `w` prints on: its frame's, or for a window outside a frame
// (a test, a command) one of the process's own, freed with the application.
PrinterSettings& printerSettingsFor(QWidget* w);

} // namespace kestrel::shell
