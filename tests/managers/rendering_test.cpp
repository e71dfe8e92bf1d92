// The rendering provider browser: the file in the order its records were
// stored, no step locator, the thumb of a browse without a key, and the
// window's place and size kept in the INI file between runs.
#include "managers/rendering.h"

#include "insurtesting.h"
#include "platform/inifile.h"
#include "shell/browsewindow.h"
#include "shell/formtesting.h"
#include "shell/formwindow.h"

#include <QLineEdit>

#include <QDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
namespace file = data::file;

namespace {

class RenderingTest : public test::FormTest {
protected:
    // Stored in this order, which is neither the name nor the number order.
    void seed(std::initializer_list<const char*> names)
    {
        int n = 0;
        for (const char* name : names)
            addRecord(file::Rendering, [&] {
                data::REN.F24JNAME.set(name);
                data::REN.F24J.set(std::to_string(1000000000 + 7919 * (int(names.size()) - n++)));
            });
    }
};

TEST_F(RenderingTest, TheListIsInStoredOrderAndTypingALetterDoesNothing)
{
    seed({"ZHIVAGO, YURI", "ADAMS, PATCH", "MOREAU, ANN"});
    test::HeadlessBrowse b(managers::renderingBrowse());
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"ZHIVAGO, YURI", "ADAMS, PATCH", "MOREAU, ANN"}));
    EXPECT_EQ(b.engine.highlighted(), 1);
    for (char c : {'A', 'm', 'Z'}) b.type(c);
    EXPECT_EQ(b.engine.highlighted(), 1);
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"ZHIVAGO, YURI", "ADAMS, PATCH", "MOREAU, ANN"}));
    EXPECT_EQ(data::REN.F24JNAME.trimmed(), "ZHIVAGO, YURI");

    // A record added later comes last, wherever its name sorts.
    test::whenOpened([](QWidget* dialog) {
        auto* form = qobject_cast<FormWindow*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->windowTitle(), "Record Will Be Added");
        EXPECT_EQ(form->cancelButton()->text(), "&Close");
        QTest::keyClicks(form->entryOf("REN:F24J"), "1111111111");
        QTest::keyClicks(form->entryOf("REN:F24JNAME"), "BAKER, BEN");
        form->saveButton()->click();
    });
    b.host.pressButton(b.engine.buttonIndex(BrowseRole::Add));
    b.host.deliver();
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"ZHIVAGO, YURI", "ADAMS, PATCH", "MOREAU, ANN", "BAKER, BEN"}));
    EXPECT_EQ(data::REN.F24JNAME.trimmed(), "BAKER, BEN");  // the new record is highlighted
}

TEST_F(RenderingTest, TheThumbTellsTopMiddleOrBottomAndOnlyTheEndsOfADragAct)
{
    seed({"P1", "P2", "P3", "P4", "P5", "P6", "P7"});
    test::HeadlessBrowse b(managers::renderingBrowse(), 3);
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"P1", "P2", "P3"}));

    b.scroll(ScrollEvent::PageDown);  // three read: in the middle
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"P4", "P5", "P6"}));
    EXPECT_EQ(b.engine.thumb(), 50);
    b.scroll(ScrollEvent::PageDown);  // one of three: the end of the file
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"P5", "P6", "P7"}));
    EXPECT_EQ(b.engine.thumb(), 100);
    b.scroll(ScrollEvent::RowUp);
    b.scroll(ScrollEvent::RowUp);
    b.scroll(ScrollEvent::RowUp);  // the page moves up one: all read
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"P4", "P5", "P6"}));
    EXPECT_EQ(b.engine.thumb(), 50);
    b.scroll(ScrollEvent::Top);
    b.scroll(ScrollEvent::RowUp);  // nothing above the first record
    EXPECT_EQ(b.engine.thumb(), 0);
    EXPECT_EQ(b.host.thumbPosition, 0);

    // A drag to the middle does nothing; the very bottom and top act.
    b.engine.thumbDragged(50);
    b.host.deliver();
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"P1", "P2", "P3"}));
    b.engine.thumbDragged(100);
    b.host.deliver();
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"P5", "P6", "P7"}));
    EXPECT_EQ(b.engine.highlighted(), 3);
    b.engine.thumbDragged(1);
    b.host.deliver();
    EXPECT_EQ(b.column(0), (std::vector<std::string>{"P1", "P2", "P3"}));
    EXPECT_EQ(b.engine.highlighted(), 1);
}

TEST_F(RenderingTest, AListThatIsNotFullShowsTheThumbAtTheTop)
{
    seed({"ONLY, ONE", "ONLY, TWO"});
    test::HeadlessBrowse b(managers::renderingBrowse(), 5);
    b.scroll(ScrollEvent::RowDown);
    b.scroll(ScrollEvent::PageDown);
    EXPECT_EQ(b.engine.thumb(), 0);
    EXPECT_FALSE(b.engine.scrollBarVisible());
}

// The lookup remembers where the user left it and at what size, in section
// "F24jEditor"; a fresh start of the program finds it there again.
TEST_F(RenderingTest, TheBrowsersPlaceAndSizeSurviveARestart)
{
    seed({"HOUSE, GREG"});
    const QString ini = dir.path() + "/KESTRI~1.INI";
    QRect designed, left;
    test::whenOpened([&](QWidget* dialog) {
        test::settle();
        designed = dialog->geometry();
        dialog->setGeometry(QRect(dialog->x() + 37, dialog->y() + 23, designed.width() + 120, designed.height() + 60));
        test::settle();
        left = dialog->geometry();
        dialog->findChild<BrowseWindow*>()->button(BrowseRole::Close)->click();
    });
    CallRequest = Request::Select;
    EXPECT_EQ(managers::selectRendering(ini), Response::Cancelled);
    {
        const platform::IniFile saved(ini);
        EXPECT_EQ(saved.value("F24jEditor", "Maximize"), "No");
        EXPECT_EQ(saved.intValue("F24jEditor", "XPosit"), left.x());
        EXPECT_EQ(saved.intValue("F24jEditor", "YPosit"), left.y());
        EXPECT_EQ(saved.intValue("F24jEditor", "Width"), left.width());
        EXPECT_EQ(saved.intValue("F24jEditor", "Height"), left.height());
    }

    QRect reopened;
    bool selectDefault = false;
    test::whenOpened([&](QWidget* dialog) {
        test::settle();
        reopened = dialog->geometry();
        auto* w = dialog->findChild<BrowseWindow*>();
        selectDefault = w->button(BrowseRole::Select)->isDefault();
        w->button(BrowseRole::Select)->click();
    });
    CallRequest = Request::Select;
    EXPECT_EQ(managers::selectRendering(ini), Response::Completed);
    EXPECT_EQ(reopened, left);
    EXPECT_TRUE(selectDefault);
    EXPECT_EQ(data::REN.F24JNAME.trimmed(), "HOUSE, GREG");
}

TEST_F(RenderingTest, Picture)
{
    seed({"ZHIVAGO, YURI", "ADAMS, PATCH", "MOREAU, ANN"});
    BrowseWindow window(managers::renderingBrowse());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    test::settle();
    EXPECT_EQ(window.windowTitle(), "Browse the Rendering File");
    EXPECT_EQ(window.list()->toolTip(), "Browsing Records");
    const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/renderingbrowse.png";
    EXPECT_TRUE(window.grab().save(path));
    window.engine().close();
}

} // namespace
