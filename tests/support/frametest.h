#pragma once
// The program's frame on a fresh, empty data folder: the fixture of the
// window tests that drive the frame's menu. Tear-down closes every window
// and checks that no record file was left open.
#include "data/file_access.h"
#include "data/records.h"
#include "platform/rootdir.h"
#include "shell/callprotocol.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kestrel::test {

class FrameTest : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedMessages messages;
    platform::RootDir root{dir.path()};
    shell::PrinterSettings printer;
    std::unique_ptr<shell::MainWindow> frame;

    // Opens the frame with its menu items wired by `wire`, at `size` if
    // one is given, and waits until it shows.
    void openFrame(const std::function<void(shell::MainWindow&)>& wire, QSize size = {})
    {
        ASSERT_TRUE(root.ensureExists());
        ASSERT_TRUE(data::setDataDirectory(root.dataDir()));
        data::clearAllBuffers();
        shell::clearCallProtocol();
        frame = std::make_unique<shell::MainWindow>(root, printer);
        wire(*frame);
        if (size.isValid()) frame->resize(size);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }

    void TearDown() override
    {
        if (!frame) return;
        frame->mdiArea()->closeAllSubWindows();
        EXPECT_TRUE(QTest::qWaitFor([this] { return frame->mdiArea()->subWindowList().isEmpty(); }, 20000))
            << "a window refused to close";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frame.reset();
        for (const auto& fb : data::allFiles()) EXPECT_EQ(data::openCount(*fb.def), 0) << fb.def->label;
    }
};

} // namespace kestrel::test
