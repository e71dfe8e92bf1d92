// The frame's menu as the executable wires it (app/frame.h): every item opens
// the window or starts the report its row here names. Booklet is the one
// item that does nothing; an item in neither table fails, so a new item
// cannot stay silent unnoticed. A library that connects items adds its rows.
#include "frame.h"

#include "receivables/accountstatus.h"
#include "data/file_access.h"
#include "data/records.h"
#include "managers/backupwindows.h"
#include "platform/rootdir.h"
#include "shell/browseengine.h"
#include "shell/browselist.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/mainwindow.h"
#include "shell/menus.h"
#include "shell/printersettings.h"
#include "support/guiactions.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

namespace {

using namespace kestrel;
using shell::MenuItem;

// What each connected item opens: the child window's title and the file it
// browses (two browsers share the title "Insurance Plan or Program Name
// Browser"; only one of them is the plan names'), or with no file a modal
// window, which the test cancels.
struct Opens {
    MenuItem item;
    const char* title;
    std::string_view file;
};

constexpr Opens kMenu[] = {
    {MenuItem::ProviderManager, "Provider of Service Browser", "Provider"},
    {MenuItem::PatientManager, "Patient screen", "Patient"},
    {MenuItem::CptManager, "CPT/HCPCS Code Browser", "CPT48"},
    {MenuItem::IcdManager, "Diagnostic Code Browser", "ICD48"},
    {MenuItem::InsuranceNameManager, "Insurance Plan or Program Name Browser", "Payer"},
    {MenuItem::CurrentAccountStatus, "Accounts Current Status Browser", "Invoice"},
    {MenuItem::CurrentCarrierStatus, "Account Status Browser", "Invoice"},
    {MenuItem::InvoiceBrowser, "Patient Account Browser", "Patient"},
    {MenuItem::PaymentBrowser, "Payment Account Browser", "Patient"},
    {MenuItem::BackupFiles, "Confirm Backup", ""},
    {MenuItem::ReloadBackupFiles, "Confirm Reload", ""},
};

// Items that start a report: it renders behind "Generating Report" (with no
// records it ends there, without a preview).
constexpr MenuItem kReports[] = {MenuItem::ClaimInBlankForm, MenuItem::ClaimInCms1500Form, MenuItem::AccountStatement};

bool startsReport(MenuItem item) { return std::find(std::begin(kReports), std::end(kReports), item) != std::end(kReports); }

bool generating()
{
    const auto windows = QApplication::allWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
        return w->isVisible() && w->windowTitle() == QLatin1String("Generating Report");
    });
}

const Opens* expected(MenuItem item)
{
    const auto* it = std::find_if(std::begin(kMenu), std::end(kMenu), [item](const Opens& o) { return o.item == item; });
    return it == std::end(kMenu) ? nullptr : it;
}

TEST(FrameMenu, EveryConnectedItemOpensItsOwnWindow)
{
    test::TempDir dir;
    test::ScriptedMessages messages;
    platform::RootDir root{dir.path()};
    ASSERT_TRUE(root.ensureExists());
    ASSERT_TRUE(data::setDataDirectory(root.dataDir()));
    data::clearAllBuffers();
    shell::clearCallProtocol();
    shell::PrinterSettings printer;
    shell::MainWindow frame(root, printer);
    app::connectFrameMenu(frame);
    // Nothing here presses OK; were it pressed, nothing would run.
    managers::setBackupCommand({"/bin/true", {}});
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    int opened = 0;
    for (const shell::MenuEntry& e : shell::menuBarDeclaration()) {
        // The frame's own items (a system dialog, closing the frame) are
        // the frame's tests' business.
        if (e.kind != shell::MenuEntry::Item || e.id == MenuItem::PrinterSetup || e.id == MenuItem::Exit) continue;
        SCOPED_TRACE(e.text);
        const Opens* want = expected(e.id);
        QString modalTitle;
        if (want && want->file.empty())
            test::whenModal([&modalTitle](QWidget* w) {
                modalTitle = w->windowTitle();
                QTest::keyClick(w, Qt::Key_Escape);
            });
        frame.action(e.id)->trigger();
        const auto subs = frame.mdiArea()->subWindowList();
        if (want && want->file.empty()) {
            EXPECT_EQ(modalTitle, QString::fromLatin1(want->title));
            EXPECT_TRUE(subs.isEmpty());
            ++opened;
        } else if (startsReport(e.id)) {
            EXPECT_TRUE(generating());
            EXPECT_TRUE(subs.isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(!generating(), 30000);
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no records: no preview
            ++opened;
        } else if (e.id == MenuItem::Booklet) {
            test::settle();
            EXPECT_TRUE(subs.isEmpty()) << "opened " << subs.value(0)->windowTitle().toStdString();
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        } else if (!want) {
            ADD_FAILURE() << "an item in neither table: it must open a window or start a report, and have its row here";
        } else if (subs.size() != 1) {
            ADD_FAILURE() << subs.size() << " windows opened";
        } else {
            // A browse window, or a window whose first list browses the file.
            QWidget* child = subs.front()->widget();
            auto* browse = qobject_cast<shell::BrowseWindow*>(child);
            auto* status = qobject_cast<receivables::AccountStatusWindow*>(child);
            ASSERT_TRUE(browse || status);
            EXPECT_EQ(subs.front()->windowTitle(), QString::fromLatin1(want->title));
            EXPECT_EQ(browse ? browse->engine().file().label : status->claims()->engine().file().label, want->file);
            ++opened;
        }
        frame.mdiArea()->closeAllSubWindows();
        QTRY_VERIFY(frame.mdiArea()->subWindowList().isEmpty());
    }
    EXPECT_EQ(opened, int(std::size(kMenu) + std::size(kReports)));  // every row is an item of the bar
    for (const auto& fb : data::allFiles()) EXPECT_EQ(data::openCount(*fb.def), 0) << fb.def->label;
    EXPECT_TRUE(messages.shown().empty());
}

} // namespace
