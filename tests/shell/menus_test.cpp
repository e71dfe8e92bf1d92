// The frame's menu bar, as the user sees it: titles, items, tips and
// separators, text for text.
#include "platform/rootdir.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "support/tempdir.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

using namespace kestrel;

namespace {

// One line per menu title, item or separator ("-"), with its tip.
struct Line {
    const char* text;
    const char* tip;
};

const std::vector<std::vector<Line>> kExpected = {
    {{"   &Account Menu    |", "Open and Close file "},
     {"&Invoice Browser ...", "Open Invoice Account Browser ..."},
     {"&Payment Browser ...", "Open Invoice Payment Browser"},
     {"-", ""},
     {"&Printer Setup ...", "Do a Printer Setup ..."},
     {"-", ""},
     {"E&xit", "Exit this application"}},
    {{"&Account Status    |", "View Account Status"},
     {"&Current Account Status ...", "Current Account Outstanding Status."},
     {"-", ""},
     {"&Cuurent Carrier Status", "Current Account Carrier Status."}},
    {{"&Managers    |", ""},
     {"Provider Manager", "Add, Change or Delete a Provider Record."},
     {"Patient Manager", "Add, Change or Delete a Patient Record."},
     {"CPT/HCPCS Procedure Code Manager", "Add, Change or Delete a CPT/HCPCS Record."},
     {"ICD-M Diagnostic Code Manager", "Add, Change or Delete a ICD-M Record."},
     {"Insurance or Program name Manager", "Add, Change or Delete a Insurance or Program Record."}},
    {{"&Print Outstanding    |", "Make a Print"},
     {"&Account Statement ......", "Print Account Statement"},
     {"&Claim in Blank Form", "Print Claim in Blank Form"},
     {"&Claim in CMS 1500 Form", "Print Claim in CMS 1500 Form"}},
    {{"&Backup/Reload Utilities    |", ""},
     {"Backup files", "Make backup copy of all files"},
     {"Reload backup files", "Reload all backup files"}},
    {{"&Booklet     |", ""}, {"Open KESbooklet.pdf icon desktop shortcut ...", ""}},
};

struct Frame {
    test::TempDir dir;
    shell::PrinterSettings printer;
    shell::MainWindow window{platform::RootDir(dir.path()), printer};
};

} // namespace

TEST(MenuBar, TitlesItemsTipsAndSeparatorsAreExactlyTheDesignedOnes)
{
    Frame f;
    const QList<QAction*> titles = f.window.menuBar()->actions();
    ASSERT_EQ(titles.size(), qsizetype(kExpected.size()));
    for (std::size_t m = 0; m < kExpected.size(); ++m) {
        const std::vector<Line>& expect = kExpected[m];
        QAction* title = titles[qsizetype(m)];
        EXPECT_EQ(title->text().toStdString(), expect[0].text);
        EXPECT_EQ(title->statusTip().toStdString(), expect[0].tip) << expect[0].text;
        if (*expect[0].tip)
            EXPECT_EQ(title->toolTip().toStdString(), expect[0].tip) << expect[0].text;

        QMenu* menu = title->menu();
        ASSERT_NE(menu, nullptr) << expect[0].text;
        EXPECT_TRUE(menu->toolTipsVisible());
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), qsizetype(expect.size() - 1)) << expect[0].text;
        for (std::size_t i = 1; i < expect.size(); ++i) {
            QAction* a = items[qsizetype(i - 1)];
            if (std::string(expect[i].text) == "-") {
                EXPECT_TRUE(a->isSeparator()) << expect[0].text << " item " << i;
                continue;
            }
            EXPECT_FALSE(a->isSeparator());
            EXPECT_EQ(a->text().toStdString(), expect[i].text);
            EXPECT_EQ(a->statusTip().toStdString(), expect[i].tip) << expect[i].text;
            if (*expect[i].tip)
                EXPECT_EQ(a->toolTip().toStdString(), expect[i].tip) << expect[i].text;
        }
    }
}

TEST(MenuBar, ItemsRunTheirConnectedProceduresAndUnconnectedOnesDoNothing)
{
    Frame f;
    using shell::MenuItem;
    std::vector<MenuItem> ran;
    for (MenuItem id : {MenuItem::ProviderManager, MenuItem::PatientManager, MenuItem::ClaimInBlankForm})
        f.window.setProcedure(id, [&ran, id] { ran.push_back(id); });

    f.window.action(MenuItem::PatientManager)->trigger();
    f.window.action(MenuItem::ClaimInBlankForm)->trigger();
    f.window.action(MenuItem::PatientManager)->trigger();  // a second window, a second call
    f.window.action(MenuItem::Booklet)->trigger();
    f.window.action(MenuItem::InvoiceBrowser)->trigger();
    EXPECT_EQ(ran, (std::vector<MenuItem>{MenuItem::PatientManager, MenuItem::ClaimInBlankForm,
                                         MenuItem::PatientManager}));

    // Every item of the bar has its own action.
    for (int id = int(MenuItem::InvoiceBrowser); id <= int(MenuItem::Booklet); ++id)
        EXPECT_NE(f.window.action(MenuItem(id)), nullptr) << id;
}
