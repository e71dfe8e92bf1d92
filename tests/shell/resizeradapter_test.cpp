// The resizer on real widgets: what is recorded, and what a resize does.
#include "shell/resizeradapter.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using kestrel::shell::ControlKind;
using kestrel::shell::ResizerAdapter;

namespace {

// A browse window placed by hand, the way every browse and form is designed.
struct BrowseWindow {
    QWidget window;
    QTableView* list = new QTableView(&window);
    QPushButton* insert = new QPushButton("&Insert", &window);
    QPushButton* close = new QPushButton("Close", &window);
    QLineEdit* locator = new QLineEdit(&window);
    QSpinBox* spin = new QSpinBox(&window);
    QLabel* tiny = new QLabel("Records shown", &window);
    QGroupBox* group = new QGroupBox("Options", &window);
    QCheckBox* check = new QCheckBox("All", group);
    QMenuBar* menu = new QMenuBar(&window);
    QWidget* laidOut = new QWidget(&window);  // a container that uses a layout
    QLineEdit* inLayout = new QLineEdit(laidOut);
    QLabel* inNestedLayout = new QLabel("row", laidOut);  // in a row box inside its layout

    BrowseWindow()
    {
        window.resize(600, 400);
        list->setGeometry(10, 40, 480, 300);
        insert->setGeometry(500, 40, 80, 24);
        close->setGeometry(500, 360, 80, 24);
        locator->setGeometry(10, 10, 200, 22);
        spin->setGeometry(220, 10, 60, 22);
        tiny->setGeometry(300, 12, 1, 16);
        group->setGeometry(10, 345, 200, 50);
        check->setGeometry(10, 20, 80, 20);  // window coordinates: (20, 365)
        menu->setGeometry(0, 0, 600, 8);
        laidOut->setGeometry(300, 345, 150, 40);
        auto* column = new QVBoxLayout(laidOut);
        column->addWidget(inLayout);
        auto* row = new QHBoxLayout;
        column->addLayout(row);
        row->addWidget(inNestedLayout);
    }
};

} // namespace

TEST(ResizerAdapter, RecordsHandPlacedControlsButNotPartsOfCompoundWidgetsMenusOrLayouts)
{
    BrowseWindow b;
    const ResizerAdapter* adapter = ResizerAdapter::attach(&b.window);
    const std::vector<QWidget*> recorded = adapter->widgets();
    const std::vector<QWidget*> expected{b.list, b.insert, b.close, b.locator, b.spin, b.tiny,
                                         b.group, b.check, b.laidOut};
    EXPECT_EQ(recorded, expected);

    const auto& controls = adapter->resizer().controls();
    ASSERT_EQ(controls.size(), expected.size());
    EXPECT_EQ(controls[1].kind, ControlKind::Button);
    EXPECT_EQ(controls[3].kind, ControlKind::Entry);
    EXPECT_EQ(controls[4].kind, ControlKind::SpinBox);
    EXPECT_EQ(controls[5].kind, ControlKind::DisplayText);
    EXPECT_EQ(controls[7].kind, ControlKind::CheckBox);
    EXPECT_EQ(controls[7].initial, QRect(20, 365, 80, 20));  // in window coordinates
}

TEST(ResizerAdapter, WiderWindowStretchesTheListAndKeepsButtons)
{
    BrowseWindow b;
    ResizerAdapter::attach(&b.window);
    b.window.show();
    b.window.resize(900, 400);

    EXPECT_EQ(b.list->geometry(), QRect(15, 40, 720, 300));
    EXPECT_EQ(b.insert->geometry(), QRect(800, 40, 80, 24));
    EXPECT_EQ(b.window.width() - b.insert->geometry().right() - 1, 20);
    EXPECT_EQ(b.locator->geometry(), QRect(15, 10, 300, 22));
    // The label designed 1 wide shows its whole text.
    EXPECT_EQ(b.tiny->width(), b.tiny->sizeHint().width());
    EXPECT_GT(b.tiny->width(), 1);
    // The check box inside the group: window position 20 * 1.5 = 30, group now at 15.
    EXPECT_EQ(b.check->geometry(), QRect(15, 20, 80, 20));
    EXPECT_EQ(b.check->mapTo(&b.window, QPoint(0, 0)), QPoint(30, 365));
    // The laid-out container scales as one control; its layout fills it.
    EXPECT_EQ(b.laidOut->geometry(), QRect(450, 345, 225, 40));
}

TEST(ResizerAdapter, WindowCannotBeMadeSmallerThanItsDesign)
{
    BrowseWindow b;
    ResizerAdapter::attach(&b.window);
    EXPECT_EQ(b.window.minimumSize(), QSize(600, 400));
    b.window.show();
    b.window.resize(300, 200);
    EXPECT_EQ(b.window.size(), QSize(600, 400));
    EXPECT_EQ(b.list->geometry(), QRect(10, 40, 480, 300));
}

TEST(ResizerAdapter, MovingTheWindowLeavesControlsAlone)
{
    BrowseWindow b;
    ResizerAdapter::attach(&b.window);
    b.window.show();
    b.window.resize(800, 500);
    // Something else moves a control; a move of the window must not undo it.
    b.list->setGeometry(1, 2, 3, 4);
    b.window.move(b.window.pos() + QPoint(30, 30));
    QCoreApplication::processEvents();
    EXPECT_EQ(b.list->geometry(), QRect(1, 2, 3, 4));
}

TEST(ResizerAdapter, ControlsOnTabPagesAreRecordedAndADeletedControlIsSkipped)
{
    QWidget window;
    window.resize(400, 300);
    auto* tabs = new QTabWidget(&window);
    tabs->setGeometry(0, 0, 400, 260);
    auto* page = new QWidget;
    tabs->addTab(page, "General");
    auto* ok = new QPushButton("OK", &window);
    ok->setGeometry(300, 266, 80, 24);
    auto* field = new QLineEdit(page);
    field->setGeometry(10, 10, 100, 22);

    const ResizerAdapter* adapter = ResizerAdapter::attach(&window);
    const auto recorded = adapter->widgets();
    EXPECT_NE(std::find(recorded.begin(), recorded.end(), field), recorded.end());

    delete field;
    window.show();
    window.resize(800, 300);
    EXPECT_EQ(tabs->geometry(), QRect(0, 0, 800, 260));
    EXPECT_EQ(ok->geometry(), QRect(700, 266, 80, 24));
}

// A maximized form: one-line boxed values keep one line's height (moving
// with the window), a boxed text of several lines and a prompt still grow.
TEST(ResizerAdapter, OneLineDisplayFieldsKeepTheirHeight)
{
    QWidget window;
    window.resize(400, 200);
    auto boxed = [&](const QRect& r, bool wrap) {
        auto* l = new QLabel("SMITH", &window);
        l->setFrameShape(QFrame::Panel);
        l->setWordWrap(wrap);
        l->setGeometry(r);
        return l;
    };
    const int line = window.fontMetrics().height() + 6;
    QLabel* field = boxed(QRect(100, 40, 200, line), false);
    QLabel* notes = boxed(QRect(100, 80, 200, 4 * line), true);
    auto* prompt = new QLabel("Name", &window);
    prompt->setGeometry(10, 40, 80, line);
    const ResizerAdapter* adapter = ResizerAdapter::attach(&window);
    EXPECT_EQ(adapter->resizer().controls()[0].kind, ControlKind::DisplayField);
    EXPECT_EQ(adapter->resizer().controls()[1].kind, ControlKind::DisplayText);
    window.show();
    window.resize(800, 400);

    EXPECT_EQ(field->geometry(), QRect(200, 80, 400, line));
    EXPECT_EQ(notes->geometry(), QRect(200, 160, 400, 8 * line));
    EXPECT_EQ(prompt->geometry(), QRect(20, 80, 160, 2 * line));
}
