// The CPT/HCPCS browse as the user meets it: the real window over a real
// CPT48 file, driven by key and mouse events (offscreen).
#include "managers/cptbrowse.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/formwindow.h"
#include "shell/helpviewer.h"
#include "support/guiactions.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrel;
using shell::BrowseRole;
using shell::BrowseWindow;

namespace {

using test::settle;
using test::whenOpened;

class CptBrowseWindow : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScriptedMessages messages;
    std::unique_ptr<data::FileUse> use;
    shell::BrowseDefinition def = managers::cptBrowse();
    int formCalls = 0;
    shell::Request lastRequest = shell::Request::None;
    std::unique_ptr<BrowseWindow> window;

    void SetUp() override
    {
        ASSERT_TRUE(data::setDataDirectory(dir.path()));
        data::clearAllBuffers();
        shell::clearCallProtocol();
        use = std::make_unique<data::FileUse>(std::initializer_list<const platform::FileDef*>{&data::file::CPT48});
        // 30 codes; descriptions run the other way, so the orders differ.
        for (int i = 1; i <= 30; ++i) {
            data::CPT.CPTCODE.set(QStringLiteral("%1").arg(99200 + i).toStdString());
            data::CPT.CPTDESCRIPTION.set(QStringLiteral("VISIT %1").arg(31 - i, 2, 10, QLatin1Char('0')).toStdString());
            ASSERT_EQ(data::recordFile(data::file::CPT48).add(), 0);
        }
        def.updateForm = [this] {
            ++formCalls;
            shell::CallState s = shell::CallState::takeOver();
            lastRequest = s.localRequest;
            s.giveBack();
        };
    }
    void TearDown() override
    {
        window.reset();
        use.reset();
    }

    void open()
    {
        window = std::make_unique<BrowseWindow>(def);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        settle();
    }
    shell::BrowseEngine& engine() { return window->engine(); }
    QString cell(int row, int column) const
    {
        auto* m = window->list()->model();
        return m->data(m->index(row - 1, column)).toString();
    }
    QString highlightedCode() const { return cell(window->engine().highlighted(), 0); }
};

TEST_F(CptBrowseWindow, BuiltFromTheDefinition)
{
    open();
    EXPECT_EQ(window->windowTitle(), "CPT/HCPCS Code Browser");
    EXPECT_EQ(window->heading()->text(), "CPT/HCPCS PROCEDURE CODE MANAGER");
    EXPECT_EQ(window->list()->toolTip(), "CPT/HCPCS Code Browser ...");
    ASSERT_EQ(window->tabBar()->count(), 2);
    EXPECT_EQ(window->tabBar()->tabText(0), "CPT/HCPCS");
    EXPECT_EQ(window->tabBar()->tabText(1), "  Description");
    EXPECT_FALSE(window->list()->horizontalHeader()->isVisible());
    QStringList texts;
    for (int i = 0; window->button(i); ++i) texts << window->button(i)->text();
    EXPECT_EQ(texts, (QStringList{"&Select", "&Add", "&Delete", "&Change", "Help", "&Close"}));
    EXPECT_FALSE(window->button(BrowseRole::Select)->isVisible());  // not a lookup

    // One page: as many entries as the list shows rows, in code order.
    const int page = window->pageSize();
    EXPECT_GE(page, 5);
    EXPECT_EQ(engine().entryCount(), page);
    EXPECT_EQ(window->list()->model()->rowCount(), page);
    EXPECT_EQ(cell(1, 0), "99201");
    EXPECT_EQ(cell(1, 1), "VISIT 30");
    EXPECT_TRUE(window->thumbBar()->isVisible());
    EXPECT_EQ(window->minimumSize(), window->size());  // the resizer holds the designed size
}

TEST_F(CptBrowseWindow, ListKeysScrollThroughTheEngine)
{
    open();
    QTableView* list = window->list();
    const int page = window->pageSize();
    QTest::keyClick(list, Qt::Key_Down);
    settle();
    EXPECT_EQ(engine().highlighted(), 2);
    EXPECT_EQ(list->currentIndex().row(), 1);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "99202");

    QTest::keyClick(list, Qt::Key_PageDown);
    settle();
    EXPECT_EQ(cell(1, 0), QString::number(99201 + page));
    EXPECT_EQ(highlightedCode(), QString::number(99202 + page));

    QTest::keyClick(list, Qt::Key_End);
    settle();
    EXPECT_EQ(highlightedCode(), "99230");
    EXPECT_EQ(window->thumbBar()->value(), 100);
    QTest::keyClick(list, Qt::Key_Down);  // the last entry of the last page
    settle();
    EXPECT_EQ(highlightedCode(), "99230");

    QTest::keyClick(list, Qt::Key_Home);
    settle();
    EXPECT_EQ(highlightedCode(), "99201");
    EXPECT_EQ(window->thumbBar()->value(), 0);

    // The scroll bar's own actions are the same events.
    window->thumbBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    settle();
    EXPECT_EQ(highlightedCode(), "99230");
    window->thumbBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    settle();
    EXPECT_EQ(highlightedCode(), "99229");

    // Characters are the step locator: "9" steps from one 9... code to the next.
    QTest::keyClick(list, Qt::Key_9);
    settle();
    EXPECT_EQ(highlightedCode(), "99230");
}

TEST_F(CptBrowseWindow, KeysPressTheUpdateButtons)
{
    open();
    QTableView* list = window->list();
    QTest::keyClick(list, Qt::Key_Insert);
    settle();
    EXPECT_EQ(lastRequest, shell::Request::Insert);
    QTest::keyClick(list, Qt::Key_Delete);
    settle();
    EXPECT_EQ(lastRequest, shell::Request::Delete);
    QTest::keyClick(list, Qt::Key_Return, Qt::ControlModifier);
    settle();
    EXPECT_EQ(lastRequest, shell::Request::Change);
    EXPECT_EQ(formCalls, 3);

    // Outside Select mode a double click is Change.
    lastRequest = shell::Request::None;
    const QRect r = list->visualRect(list->model()->index(2, 0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    settle();
    EXPECT_EQ(lastRequest, shell::Request::Change);
    EXPECT_EQ(formCalls, 4);
}

TEST_F(CptBrowseWindow, RightButtonShowsThePopupAndItsChoicePressesTheButton)
{
    open();
    QTableView* list = window->list();
    QStringList seen;
    std::vector<bool> enabled;
    whenOpened([&](QWidget* w) {
        auto* menu = qobject_cast<QMenu*>(w);
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions()) {
            seen << (a->isSeparator() ? QStringLiteral("-") : a->text());
            enabled.push_back(a->isEnabled());
        }
        QAction* change = menu->actions()[1];
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(change).center());
    });
    const QRect r = list->visualRect(list->model()->index(3, 0));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, r.center());
    settle();
    EXPECT_EQ(seen, (QStringList{"&Add", "&Change", "&Delete", "-", "&Select"}));
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(lastRequest, shell::Request::Change);
    // The form was given the row under the mouse.
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "99204");
}

TEST_F(CptBrowseWindow, TabChangeKeepsTheHighlightedRecord)
{
    open();
    QTableView* list = window->list();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    settle();
    ASSERT_EQ(highlightedCode(), "99203");
    window->tabBar()->setCurrentIndex(1);
    settle();
    EXPECT_EQ(engine().activeOrder(), 1);  // by description
    EXPECT_EQ(highlightedCode(), "99203");
    EXPECT_EQ(cell(engine().highlighted(), 1), "VISIT 28");
    EXPECT_LT(cell(1, 1), cell(2, 1));
    window->tabBar()->setCurrentIndex(0);
    settle();
    EXPECT_EQ(engine().activeOrder(), 2);
    EXPECT_EQ(highlightedCode(), "99203");
}

TEST_F(CptBrowseWindow, LookupSelectsWithDoubleClickAndReturnsTheRecord)
{
    data::CPT.CPTCODE.set("99215");
    shell::CallRequest = shell::Request::Select;
    shell::Response response = shell::Response::None;
    whenOpened([&](QWidget* dialog) {
        auto* w = dialog->findChild<BrowseWindow*>();
        ASSERT_NE(w, nullptr);
        settle();
        EXPECT_TRUE(w->button(BrowseRole::Select)->isVisible());
        EXPECT_TRUE(w->button(BrowseRole::Select)->isDefault());
        QTableView* list = w->list();
        EXPECT_EQ(list->model()->data(list->currentIndex()).toString(), "99215");
        QTest::keyClick(list, Qt::Key_Down);
        settle();
        const QRect r = list->visualRect(list->currentIndex());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    });
    response = managers::selectCpt();
    EXPECT_EQ(response, shell::Response::Completed);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "99216");
    EXPECT_EQ(data::openCount(data::file::CPT48), 1);  // the lookup released its use
}

TEST_F(CptBrowseWindow, LookupClosedWithEscapeIsCancelled)
{
    data::CPT.CPTCODE.set("99999");
    shell::CallRequest = shell::Request::Select;
    whenOpened([](QWidget* dialog) {
        settle();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    EXPECT_EQ(managers::selectCpt(), shell::Response::Cancelled);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "99230");  // the last record was highlighted
}

TEST_F(CptBrowseWindow, AddThroughTheRealFormHighlightsTheNewCode)
{
    def = managers::cptBrowse();  // the real CPT/HCPCS Code Editor
    open();
    whenOpened([](QWidget* w) {
        auto* form = qobject_cast<shell::FormWindow*>(w);
        ASSERT_NE(form, nullptr);
        QTest::keyClicks(form->entryOf("CPT:CPTCODE"), "99215A");
        QTest::keyClicks(form->entryOf("CPT:CPTDESCRIPTION"), "NEW VISIT");
        form->saveButton()->click();
    });
    window->button(BrowseRole::Add)->click();
    settle();
    EXPECT_EQ(highlightedCode(), "99215A");
    EXPECT_EQ(cell(engine().highlighted(), 1), "NEW VISIT");
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(CptBrowseWindow, OpensFromTheMenuAsAChildWindow)
{
    QMdiArea area;
    area.resize(900, 700);
    area.show();
    QMdiSubWindow* sub = managers::openCptBrowse(&area);
    settle();
    auto* w = qobject_cast<BrowseWindow*>(sub->widget());
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->engine().selectMode());
    EXPECT_EQ(w->engine().entryCount(), w->pageSize());
    EXPECT_EQ(data::openCount(data::file::CPT48), 2);
    w->button(BrowseRole::Close)->click();
    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area.subWindowList().isEmpty());
    EXPECT_EQ(data::openCount(data::file::CPT48), 1);

    // Closed by its close box: the browse ends all the same.
    sub = managers::openCptBrowse(&area);
    settle();
    EXPECT_EQ(data::openCount(data::file::CPT48), 2);
    sub->close();
    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area.subWindowList().isEmpty());
    EXPECT_EQ(data::openCount(data::file::CPT48), 1);
}

TEST_F(CptBrowseWindow, HelpShowsTheBrowsersOwnPage)
{
    open();
    window->button(BrowseRole::Help)->click();
    settle();
    auto* viewer = window->findChild<shell::HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->topic(), "CPT/HCPCSCodeBrowser");
    EXPECT_FALSE(shell::help::findPage("CPT/HCPCSCodeBrowser").isEmpty());
    EXPECT_TRUE(viewer->browser()->toPlainText().contains("CPT/HCPCS Code Browser"));
    EXPECT_FALSE(engine().closed());
}

TEST_F(CptBrowseWindow, F1InTheListPressesHelp)
{
    open();
    QTest::keyClick(window->list(), Qt::Key_F1);
    settle();
    auto* viewer = window->findChild<shell::HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->topic(), "CPT/HCPCSCodeBrowser");
    EXPECT_FALSE(engine().closed());
}

// A window made much taller in one step (maximized) fills the taller list:
// the page is read for the list's new size, not the one it had.
TEST_F(CptBrowseWindow, AWindowMadeTallerInOneStepFillsItsLongerList)
{
    QMdiArea area;
    area.resize(1000, 900);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    QMdiSubWindow* sub = BrowseWindow::openInMdi(def, &area);
    settle();
    auto* browse = qobject_cast<BrowseWindow*>(sub->widget());
    ASSERT_NE(browse, nullptr);
    const int before = browse->pageSize();
    ASSERT_EQ(browse->engine().entryCount(), before);
    sub->showMaximized();
    settle();
    EXPECT_GT(browse->pageSize(), before);
    EXPECT_GT(browse->engine().entryCount(), before);
    EXPECT_EQ(browse->engine().entryCount(), std::min(browse->pageSize(), 30));  // 30 codes in all
    area.closeAllSubWindows();
    settle();
}

TEST_F(CptBrowseWindow, Picture)
{
    open();
    QTest::keyClick(window->list(), Qt::Key_Down);
    settle();
    const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/cptbrowse.png";
    EXPECT_TRUE(window->grab().save(path));
}

} // namespace
