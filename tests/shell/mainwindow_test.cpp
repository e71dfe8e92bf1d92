// The frame: what it is made of, start-up, and the closing steps.
#include "platform/inifile.h"
#include "platform/privatefiles.h"
#include "platform/rootdir.h"
#include "shell/callprotocol.h"
#include "shell/helpviewer.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "shell/runtimelog.h"
#include "shell/startup.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include <map>

using namespace kestrel;

namespace {

platform::RootDir makeRoot(const test::TempDir& dir)
{
    platform::RootDir root(dir.path());
    EXPECT_TRUE(root.ensureExists());
    return root;
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A child window that will not close, like a form with unsaved changes.
class StubbornWindow : public QWidget {
protected:
    void closeEvent(QCloseEvent* e) override { e->ignore(); }
};

} // namespace

TEST(MainWindow, IsATitledFrameOfChildWindowsWithoutToolbar)
{
    test::TempDir dir;
    shell::PrinterSettings printer;
    shell::MainWindow w(makeRoot(dir), printer);
    EXPECT_EQ(w.windowTitle(), "KESTREL [CMS 1500 - 02/2012]");
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_TRUE(w.findChildren<QToolBar*>().isEmpty());
    EXPECT_EQ(w.centralWidget(), w.mdiArea());
    EXPECT_NE(w.statusBar(), nullptr);

    w.show();
    QWidget* child = new QWidget;
    child->setWindowTitle("Browse");
    child->resize(300, 200);
    QMdiSubWindow* sub = w.addChildWindow(child);
    EXPECT_EQ(w.mdiArea()->subWindowList().size(), 1);
    EXPECT_TRUE(sub->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(child->size(), QSize(300, 200));  // opens at its designed size

    // The background picture covers the client area.
    const QImage shot = w.mdiArea()->viewport()->grab().toImage();
    EXPECT_NE(shot.pixelColor(2, 2), shot.pixelColor(shot.width() / 2, shot.height() / 2));
}

TEST(MainWindow, StartUpClearsCallCodesAndBuffersOpensNoFileAndRestoresGeometry)
{
    test::TempDir dir;
    const platform::RootDir root = makeRoot(dir);
    {
        platform::IniFile ini(root.iniFile());
        ini.setValue("Main", "Maximize", "No");
        ini.setValue("Main", "XPosit", 44);
        ini.setValue("Main", "YPosit", 33);
        ini.setValue("Main", "Width", 500);
        ini.setValue("Main", "Height", 360);
    }
    shell::CallRequest = shell::Request::Change;
    shell::CallResponse = shell::Response::Completed;
    bool buffersCleared = false;
    shell::PrinterSettings printer;
    const auto frame = shell::startUp(root, printer, {[&] { buffersCleared = true; }});

    EXPECT_TRUE(buffersCleared);
    EXPECT_EQ(shell::CallRequest, shell::Request::None);
    EXPECT_EQ(shell::CallResponse, shell::Response::None);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(frame->geometry(), QRect(44, 33, 500, 360));
    EXPECT_TRUE(QDir(root.dataDir()).entryList(QDir::Files).isEmpty());
    frame->close();
}

TEST(MainWindow, ExitDeletesTheLogAndSavesTheGeometryToMain)
{
    test::TempDir dir;
    const platform::RootDir root = makeRoot(dir);
    shell::runtimelog::start(root.logFile());
    qWarning("a line for the log");
    ASSERT_TRUE(QFile::exists(root.logFile()));
    EXPECT_EQ(QFileInfo(root.logFile()).permissions(), platform::kPrivateFile) << "the log may quote patient data";

    shell::PrinterSettings printer;
    shell::MainWindow w(root, printer);
    w.setGeometry(120, 90, 640, 420);
    w.show();
    w.action(shell::MenuItem::Exit)->trigger();

    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(QFile::exists(root.logFile()));
    EXPECT_FALSE(shell::runtimelog::isActive());
    const QString ini = readFile(root.iniFile());
    for (const char* line : {"[Main]", "Maximize=No", "XPosit=120", "YPosit=90", "Width=640", "Height=420"})
        EXPECT_TRUE(ini.contains(QString(line) + '\n')) << line << " in\n" << ini.toStdString();
}

TEST(MainWindow, ClosedMaximizedReopensMaximizedAtItsFormerPlace)
{
    test::TempDir dir;
    const platform::RootDir root = makeRoot(dir);
    shell::PrinterSettings printer;
    const QRect normal(50, 40, 600, 400);
    {
        shell::MainWindow first(root, printer);
        first.setGeometry(normal);
        first.show();
        first.showMaximized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return first.geometry() != normal; }, 2000));
        first.close();
    }
    const auto second = shell::startUp(root, printer, {});
    EXPECT_TRUE(second->isMaximized());
    second->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return second->geometry() == normal; }, 2000));
    second->close();
}

TEST(MainWindow, AChildWindowThatRefusesToCloseKeepsTheFrameOpen)
{
    test::TempDir dir;
    const platform::RootDir root = makeRoot(dir);
    shell::PrinterSettings printer;
    shell::MainWindow w(root, printer);
    w.show();
    QMdiSubWindow* sub = w.addChildWindow(new StubbornWindow);
    w.addChildWindow(new QWidget);

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.mdiArea()->subWindowList(), QList<QMdiSubWindow*>{sub});
    EXPECT_FALSE(QFile::exists(root.iniFile()));
}

TEST(MainWindow, PrinterSetupShowsTheDialogOnTheKeptPrinter)
{
    test::TempDir dir;
    shell::PrinterSettings printer;
    shell::MainWindow w(makeRoot(dir), printer);
    w.show();
    QString title;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            title = dialog->windowTitle();
            dialog->reject();
        }
    });
    w.action(shell::MenuItem::PrinterSetup)->trigger();
    EXPECT_EQ(title, "Printer Setup");

    // The dialog works on the kept printer itself, so what the user confirms stays with it.
    QPrinter* shown = nullptr;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            shown = dialog->printer();
            for (auto* b : dialog->findChildren<QPushButton*>())
                buttons << b->text();
            dialog->accept();
        }
    });
    EXPECT_TRUE(printer.setUp(&w));
    EXPECT_EQ(shown, &printer.printer());
    EXPECT_TRUE(buttons.contains("OK")) << buttons.join('|').toStdString();
    EXPECT_FALSE(buttons.contains("&Print")) << buttons.join('|').toStdString();
}

// F1 is the help key: in the frame it shows the page of the main window,
// and a child window that has a page of its own keeps F1 for that page.
TEST(MainWindow, F1ShowsTheMainWindowsHelpPage)
{
    test::TempDir dir;
    shell::PrinterSettings printer;
    shell::MainWindow w(makeRoot(dir), printer);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::keyClick(&w, Qt::Key_F1);
    auto* viewer = w.findChild<shell::HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->topic(), "Main");
    EXPECT_FALSE(shell::help::findPage("Main").isEmpty());
}

// Alt+A is "&Account Menu", "&Account Status" and a child's "&Add" at once:
// the child with the focus gets it; the menus keep F10, and Alt+A from the
// frame itself. Two buttons sharing a letter take the focus in turn.
TEST(MainWindow, AChildsButtonMnemonicsWinOverTheMenuTitles)
{
    test::TempDir dir;
    shell::PrinterSettings printer;
    shell::MainWindow w(makeRoot(dir), printer);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* child = new QWidget;
    auto* entry = new QLineEdit(child);
    std::map<QString, int> clicks;
    int x = 0;
    for (const char* text : {"&Add", "&Change", "&Close"}) {
        auto* b = new QPushButton(text, child);
        b->setGeometry(x += 80, 40, 76, 26);
        QObject::connect(b, &QPushButton::clicked, [&clicks, text] { ++clicks[text]; });
    }
    child->resize(400, 120);
    QMdiSubWindow* sub = w.addChildWindow(child);
    w.mdiArea()->setActiveSubWindow(sub);
    entry->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return entry->hasFocus(); }, 2000));

    QTest::keyClick(entry, Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks["&Add"] == 1; }, 2000));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    QTest::keyClick(entry, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget()->property("text").toString(), "&Change");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget()->property("text").toString(), "&Close");
    QTest::qWait(300);  // longer than a shortcut's animated click
    EXPECT_EQ(clicks["&Change"] + clicks["&Close"], 0);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
    QMenu* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->title(), w.menuBar()->actions().front()->text());
    open->close();

    sub->close();
    QTest::keyClick(&w, Qt::Key_A, Qt::AltModifier);
    open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->title().contains("&Account")) << open->title().toStdString();
    open->close();
    EXPECT_EQ(clicks["&Add"], 1);
}

// A frame 800 pixels wide: children open wholly inside its visible area at
// their designed size, one wider than the area at its left edge with the
// scroll bar showing what is hidden.
TEST(MainWindow, ChildWindowsOpenInsideTheVisibleArea)
{
    test::TempDir dir;
    shell::PrinterSettings printer;
    shell::MainWindow w(makeRoot(dir), printer);
    w.resize(800, 600);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QRect visible = w.mdiArea()->viewport()->rect();
    for (int i = 0; i < 6; ++i) {
        auto* child = new QWidget;
        child->resize(460 + 20 * i, 300);
        QMdiSubWindow* sub = w.addChildWindow(child);
        EXPECT_EQ(child->size(), QSize(460 + 20 * i, 300));
        EXPECT_TRUE(visible.contains(sub->geometry())) << i;
    }
    auto* wide = new QWidget;
    wide->resize(visible.width() + 100, 200);
    QMdiSubWindow* sub = w.addChildWindow(wide);
    EXPECT_EQ(wide->width(), visible.width() + 100);
    EXPECT_EQ(sub->x(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.mdiArea()->horizontalScrollBar()->maximum() > 0; }, 2000));
}
