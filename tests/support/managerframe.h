#pragma once
// The program's frame on a fresh data folder, with one manager connected to
// its menu item as the executable connects it: the fixture of the window
// tests that open a manager from the menu.
#include "data/file_access.h"
#include "data/records.h"
#include "platform/rootdir.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/formwindow.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "support/frametest.h"
#include "support/guiactions.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kestrel::test {

class ManagerFrameTest : public FrameTest {
protected:
    ManagerFrameTest(shell::MenuItem item, std::function<QMdiSubWindow*(QMdiArea*)> open)
        : item_(item), open_(std::move(open))
    {
    }

    void SetUp() override
    {
        openFrame([this](shell::MainWindow& f) { f.setProcedure(item_, [this] { open_(frame->mdiArea()); }); });
    }

    // Lets pending events through and time pass for what runs on a timer.
    static void settle(int ms = 20) { QTest::qWait(ms); }

    // Chooses the manager's menu item; its browse window, made the active
    // one, or null when none opened.
    shell::BrowseWindow* openFromMenu()
    {
        const qsizetype before = frame->mdiArea()->subWindowList().size();
        frame->action(item_)->trigger();
        QMdiSubWindow* sub = nullptr;
        QTest::qWaitFor([&] {
            const auto subs = frame->mdiArea()->subWindowList();
            sub = subs.size() > before && subs.back()->isVisible() ? subs.back() : nullptr;
            return sub != nullptr;
        });
        test::settle();
        if (!sub) return nullptr;
        auto* w = qobject_cast<shell::BrowseWindow*>(sub->widget());
        if (w) w->activateWindow();
        return w;
    }
    // Runs `act` on the record editor that opens next, once it has settled
    // (from inside its loop); fails the test when what opens is no editor.
    static void whenFormOpens(std::function<void(shell::FormWindow*)> act)
    {
        whenModal([act](QWidget* modal) {
            auto* form = qobject_cast<shell::FormWindow*>(modal);
            ASSERT_NE(form, nullptr);
            test::settle();  // the form's own opening step, posted when it was shown
            act(form);
        });
    }
    // The list's text at a 1-based row.
    static QString cell(shell::BrowseWindow* w, int row, int column)
    {
        auto* m = w->list()->model();
        return m->data(m->index(row - 1, column)).toString();
    }

private:
    shell::MenuItem item_;
    std::function<QMdiSubWindow*(QMdiArea*)> open_;
};

} // namespace kestrel::test
