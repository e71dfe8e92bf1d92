// The provider windows as the user meets them (offscreen, real files): the
// Provider Manager opened from the frame's menu, the record editor filled
// with key strokes, the detail panel, and the MDN lookup.
#include "managers/providerbrowse.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/rootdir.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/detailpanel.h"
#include "shell/formwindow.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "support/guiactions.h"
#include "support/managerframe.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrel;
using shell::DetailPanel;
using shell::BrowseWindow;
using shell::FormWindow;
namespace file = data::file;

namespace {

using test::addProvider;
using test::tab;
using test::typeInto;
using test::whenModal;

class ProviderWindows : public test::ManagerFrameTest {
protected:
    ProviderWindows() : ManagerFrameTest(shell::MenuItem::ProviderManager, managers::openProviderManager) {}

    long long storedCount()
    {
        data::ProviderRecord rec;
        platform::RecordFile f(file::Provider, data::bytesOf(rec));
        f.setDirectory(root.dataDir());
        if (f.open() != 0) return -1;
        long long n = 0;
        f.setFileOrder();
        while (f.next() == 0) ++n;
        f.close();
        return n;
    }
};

TEST_F(ProviderWindows, AddingAProviderWithTheKeyboardCopiesTheAddressIntoTheBillingBlock)
{
    BrowseWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Provider of Service Browser");
    EXPECT_EQ(w->heading()->text(), "PROVIDER MANAGER");
    EXPECT_EQ(w->list()->toolTip(), "Provider browser ...");

    bool formSeen = false;
    whenFormOpens([&](FormWindow* form) {
        formSeen = true;
        EXPECT_EQ(form->windowTitle(), "Record will be added");
        // Second address lines have no prompt: they line up under the first.
        EXPECT_EQ(form->entryOf("PRV:PADD2")->x(), form->entryOf("PRV:PADD1")->x());
        EXPECT_EQ(form->entryOf("PRV:BADD2")->x(), form->entryOf("PRV:BADD1")->x());
        QTest::keyClicks(QApplication::focusWidget(), "ADAMS, JOHN MD");
        tab();
        QTest::keyClicks(QApplication::focusWidget(), "ADAMS FAMILY PRACTICE");
        tab();
        QTest::keyClicks(QApplication::focusWidget(), "12 MAIN ST");
        tab();
        QTest::keyClicks(QApplication::focusWidget(), "SPRINGFIELD IL 62701");
        tab();
        QTest::keyClicks(QApplication::focusWidget(), "217");
        tab();
        QTest::keyClicks(QApplication::focusWidget(), "555-0101");
        tab();
        tab();  // no fax
        tab();
        // Tabbing on: each billing field shows its physical counterpart.
        EXPECT_EQ(QApplication::focusWidget(), form->entryOf("PRV:BADD1"));
        EXPECT_EQ(form->entryOf("PRV:BADD1")->text(), "12 MAIN ST");
        EXPECT_EQ(form->entryOf("PRV:BADD2")->text(), "");
        tab();
        EXPECT_EQ(form->entryOf("PRV:BADD2")->text(), "SPRINGFIELD IL 62701");
        tab();
        tab();
        EXPECT_EQ(form->entryOf("PRV:BPAREACODE")->text(), "217");
        EXPECT_EQ(form->entryOf("PRV:BPHONE")->text(), "555-0101");
        typeInto(form->entryOf("PRV:F33A"), "1234567890");
        // Billing under the group name.
        QCheckBox* group = nullptr;
        for (auto* box : form->findChildren<QCheckBox*>())
            if (box->text() == " Mark, if billing under the group name.") group = box;
        ASSERT_NE(group, nullptr);
        QTest::mouseClick(group, Qt::LeftButton);
        QTest::mouseClick(form->saveButton(), Qt::LeftButton);
    });
    QTest::keyClick(w->list(), Qt::Key_Insert);
    settle(100);
    ASSERT_TRUE(formSeen);

    ASSERT_EQ(w->engine().entryCount(), 1);
    EXPECT_EQ(cell(w, 1, 0), "ADAMS, JOHN MD");
    EXPECT_EQ(cell(w, 1, 1), "001");
    auto* panel = w->findChild<DetailPanel*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->shownText("BRW1::MAILTO"), "ADAMS FAMILY PRACTICE");
    EXPECT_EQ(panel->shownText("PRV:BADD1"), "12 MAIN ST");
    EXPECT_EQ(panel->shownText("PRV:BPAREACODE"), "(217)");
    EXPECT_EQ(panel->shownText("PRV:F33A"), "1234567890");
    EXPECT_TRUE(panel->mark("PRV:GIDX")->isChecked());
    EXPECT_FALSE(panel->mark("PRV:TIDX")->isChecked());

    // The next provider gets 2; Ctrl+grave, the editor's own ditto key, and
    // Ctrl+apostrophe, the one message 38 names, bring back the last name
    // saved through the editor.
    formSeen = false;
    whenFormOpens([&](FormWindow* form) {
        formSeen = true;
        QLineEdit* name = form->entryOf("PRV:PNAME");
        QTest::keyClick(name, Qt::Key_Apostrophe, Qt::ControlModifier);
        EXPECT_EQ(name->text(), "ADAMS, JOHN MD");
        name->clear();
        QTest::keyClick(name, Qt::Key_QuoteLeft, Qt::ControlModifier);
        EXPECT_EQ(name->text(), "ADAMS, JOHN MD");
        EXPECT_EQ(data::PRV.PRV.asInt(), 2);
        typeInto(name, "BAKER, ANN MD");
        QTest::mouseClick(form->saveButton(), Qt::LeftButton);
    });
    QTest::keyClick(w->list(), Qt::Key_Insert);
    settle(100);
    ASSERT_TRUE(formSeen);
    ASSERT_EQ(w->engine().entryCount(), 2);
    EXPECT_EQ(cell(w, 2, 0), "BAKER, ANN MD");
    EXPECT_EQ(cell(w, 2, 1), "002");
    // Not billing under a group: headed by the provider's own name.
    EXPECT_EQ(panel->shownText("BRW1::MAILTO"), "BAKER, ANN MD");
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(ProviderWindows, TheDetailPanelLinesFollowTheWindowWhenItGrows)
{
    addProvider(1, "ADAMS, JOHN MD", [] { data::PRV.BADD1.set("PO BOX 44"); });
    BrowseWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    auto* panel = w->findChild<DetailPanel*>();
    ASSERT_NE(panel, nullptr);
    QLabel* street = nullptr;
    for (QLabel* l : panel->findChildren<QLabel*>())
        if (l->accessibleName() == "PRV:BADD1") street = l;
    ASSERT_NE(street, nullptr);
    const QRect designed(street->mapTo(w, QPoint(0, 0)), street->size());

    auto* sub = frame->mdiArea()->subWindowList().back();
    sub->resize(sub->size() + QSize(300, 200));
    settle(50);
    const QRect grown(street->mapTo(w, QPoint(0, 0)), street->size());
    // Stretched and moved with the window, as every other line of it is,
    // instead of keeping its designed size inside a moved panel.
    EXPECT_GT(grown.width(), designed.width() * 5 / 4);
    EXPECT_EQ(grown.height(), designed.height());  // a one-line box keeps one line's height
    EXPECT_GT(grown.left(), designed.left() * 5 / 4);
    EXPECT_LE(grown.right(), w->width());
    EXPECT_EQ(street->text(), "PO BOX 44");
}

TEST_F(ProviderWindows, TheDeleteKeyAndButtonLeaveTheProviderAlone)
{
    addProvider(1, "ADAMS, JOHN MD");
    BrowseWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    // Were Delete wired to the editor, its confirmation (message 32) would
    // be asked; the scripted answer would then be Cancel.
    QTest::keyClick(w->list(), Qt::Key_Delete);
    settle(50);
    QTest::mouseClick(w->button(shell::BrowseRole::Delete), Qt::LeftButton);
    settle(50);
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(w->engine().entryCount(), 1);
    EXPECT_EQ(storedCount(), 1);
}

TEST_F(ProviderWindows, TheLookupSelectsTheProviderStepsOnTheTypedDigit)
{
    for (long long n : {1, 10, 11, 25}) addProvider(n, n == 11 ? "CLARK, EVE MD" : "DOCTOR");
    data::FileUse use{&file::Provider};
    whenModal([&](QWidget* modal) {
        settle(50);
        auto* w = modal->findChild<BrowseWindow*>();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(modal->windowTitle(), "MDN Browser");
        EXPECT_TRUE(w->button(shell::BrowseRole::Select)->isVisible());
        EXPECT_EQ(w->button(shell::BrowseRole::Add), nullptr);
        EXPECT_EQ(cell(w, w->engine().highlighted(), 1), "010");  // primed at 10
        QTest::keyClick(w->list(), Qt::Key_1);
        settle();
        EXPECT_EQ(cell(w, w->engine().highlighted(), 1), "011");
        QTest::keyClick(w->list(), Qt::Key_Return);  // &Select is the default button

    });
    platform::clearRecord(file::Provider, data::bytesOf(data::PRV));
    data::PRV.PRV.set(10);
    shell::CallRequest = shell::Request::Select;
    EXPECT_EQ(managers::selectProvider(frame.get()), shell::Response::Completed);
    EXPECT_EQ(data::PRV.PRV.asInt(), 11);
    EXPECT_EQ(data::PRV.PNAME.trimmed(), "CLARK, EVE MD");
}

} // namespace
