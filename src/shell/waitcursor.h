#pragma once
// The wait cursors one window has set over the application: set and lifted
// in pairs, and every one still set is lifted when the window goes, so a
// window closed in the middle of a long read leaves no hourglass behind.

#include <QApplication>

namespace kestrel::shell {

class WaitCursor {
public:
    WaitCursor() = default;
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor()
    {
        while (count_ > 0) set(false);
    }

    void set(bool on)
    {
        if (on) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            ++count_;
        } else if (count_ > 0) {
            QApplication::restoreOverrideCursor();
            --count_;
        }
    }

private:
    int count_ = 0;
};

} // namespace kestrel::shell
