#pragma once
// The window side of a browse, as the browse engine sees it: the list
// control, the scroll bar, the buttons and the window. Kept apart from the
// engine so that the Qt window and the tests' headless host implement the
// same small surface.

#include <QString>

namespace kestrel::shell {

class BrowseHost {
public:
    virtual ~BrowseHost() = default;

    // Rows the list control can show now (the page size); read each time it
    // is needed, so a resized window gets pages of its new size.
    virtual int pageSize() const = 0;
    // The list's highlighted row, 1-based; 0 when it has none.
    virtual int currentRow() const = 0;
    // Moves the list's highlight to a row without reporting a new selection.
    virtual void setCurrentRow(int row) = 0;

    virtual void setScrollBarVisible(bool visible) = 0;
    // The scroll thumb, 0 (top) .. 100 (bottom).
    virtual void setThumb(int position) = 0;

    // &Change and &Delete are enabled exactly when the queue has entries.
    virtual void setChangeDeleteEnabled(bool enabled) = 0;
    // &Select: shown and enabled in Select mode, hidden and disabled
    // otherwise; `isDefault` makes it the default button.
    virtual void setSelectButton(bool shown, bool isDefault) = 0;
    // Presses button `index` of the definition: posts an accepted event to
    // it, as keys and menu choices do, so that every path runs the button's
    // own code (a disabled or hidden button does nothing).
    virtual void pressButton(int index) = 0;

    // The queue or the record buffers changed: show them again.
    virtual void redisplay() = 0;
    // Queues a new-selection event; the host later calls
    // BrowseEngine::newSelection() from its event loop.
    virtual void postNewSelection() = 0;
    // Shows the right-button menu (popup syntax: items separated by '|', "-"
    // a separator, '~' a disabled item) and returns the 1-based number of the
    // item chosen, separators not counted; 0 when nothing was chosen.
    virtual int popupMenu(const QString& menuText) = 0;
    virtual void focusList() = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual void showHelp(const QString& topic) = 0;
    // The browse has ended: take the window down.
    virtual void closeWindow() = 0;
};

} // namespace kestrel::shell
