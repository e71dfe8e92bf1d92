// Saving and restoring window geometry: the algorithm on a scripted window,
// then on real top-level widgets.
#include "platform/inifile.h"
#include "shell/geometry.h"
#include "support/tempdir.h"

#include <QFile>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using kestrel::platform::IniFile;
using kestrel::shell::GeometryWindow;
using kestrel::shell::WidgetGeometry;
using kestrel::test::TempDir;

namespace {

// A window without a display: it only records what is done to it.
struct ScriptedWindow final : GeometryWindow {
    QRect normal{100, 80, 640, 480};
    bool maximized = false;
    bool minimized = false;
    bool resizable = true;
    int rectChanges = 0;

    bool isMaximized() const override { return maximized; }
    bool isMinimized() const override { return minimized; }
    QRect normalRect() const override { return normal; }
    bool canResize() const override { return resizable; }
    QSize size() const override { return normal.size(); }
    void setNormalRect(const QRect& r) override
    {
        normal = r;
        ++rectChanges;
    }
    void setMaximized(bool m) override { maximized = m; }
};

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(Geometry, NormalWindowRoundTripsThroughTheFile)
{
    TempDir t;
    const QString path = t.file("KESTRI~1.INI");
    ScriptedWindow closing;
    closing.normal = QRect(130, 95, 700, 510);
    {
        IniFile ini(path);
        kestrel::shell::saveGeometry(closing, ini, "Main");
        ASSERT_TRUE(ini.sync());
    }
    const QString text = readFile(path);
    for (const char* line : {"[Main]", "Maximize=No", "XPosit=130", "YPosit=95", "Width=700", "Height=510"})
        EXPECT_TRUE(text.contains(QString(line) + '\n')) << line << " in\n" << text.toStdString();

    ScriptedWindow opening;
    kestrel::shell::restoreGeometry(opening, IniFile(path), "Main");
    EXPECT_EQ(opening.normal, QRect(130, 95, 700, 510));
    EXPECT_FALSE(opening.maximized);
}

TEST(Geometry, MaximizedWindowReopensMaximizedOverItsNormalRectangle)
{
    TempDir t;
    const QString path = t.file("KESTRI~1.INI");
    ScriptedWindow closing;
    closing.normal = QRect(60, 40, 500, 300);
    closing.maximized = true;
    {
        IniFile ini(path);
        kestrel::shell::saveGeometry(closing, ini, "Main");
    }
    IniFile ini(path);
    EXPECT_EQ(ini.value("Main", "Maximize"), "Yes");
    EXPECT_EQ(ini.intValue("Main", "Width"), 500);

    ScriptedWindow opening;
    kestrel::shell::restoreGeometry(opening, ini, "Main");
    EXPECT_TRUE(opening.maximized);
    EXPECT_EQ(opening.normal, QRect(60, 40, 500, 300));
}

TEST(Geometry, MinimizedWindowWritesNothing)
{
    TempDir t;
    const QString path = t.file("KESTRI~1.INI");
    writeFile(path, "[Main]\nMaximize=No\nXPosit=10\nYPosit=20\nWidth=300\nHeight=200\n");
    ScriptedWindow closing;
    closing.minimized = true;
    closing.maximized = true;  // minimized from maximized
    {
        IniFile ini(path);
        kestrel::shell::saveGeometry(closing, ini, "Main");
        ASSERT_TRUE(ini.sync());
    }
    IniFile ini(path);
    EXPECT_EQ(ini.value("Main", "Maximize"), "No");
    EXPECT_EQ(ini.intValue("Main", "XPosit"), 10);
    EXPECT_EQ(ini.intValue("Main", "Width"), 300);
}

TEST(Geometry, ZeroOrMissingPositionMeansNothingSaved)
{
    TempDir t;
    struct Case {
        const char* file;
        const char* why;
    } cases[] = {
        {"", "no file"},
        {"[Other]\nXPosit=10\nYPosit=10\nWidth=300\nHeight=200\n", "other section only"},
        {"[Main]\nMaximize=Yes\nXPosit=0\nYPosit=30\nWidth=300\nHeight=200\n", "left edge 0"},
        {"[Main]\nMaximize=Yes\nXPosit=25\nYPosit=0\nWidth=300\nHeight=200\n", "top edge 0"},
        {"[Main]\nMaximize=Yes\nXPosit=left\nYPosit=30\nWidth=300\nHeight=200\n", "damaged left edge"},
    };
    for (const Case& c : cases) {
        const QString path = t.file(QString("case%1.ini").arg(&c - cases));
        if (*c.file)
            writeFile(path, c.file);
        ScriptedWindow w;
        const QRect before = w.normal;
        kestrel::shell::restoreGeometry(w, IniFile(path), "Main");
        EXPECT_EQ(w.normal, before) << c.why;
        EXPECT_EQ(w.rectChanges, 0) << c.why;
        EXPECT_FALSE(w.maximized) << c.why;
    }
}

TEST(Geometry, SavedSizeOfZeroKeepsTheDefaultRectangleButStillMaximizes)
{
    TempDir t;
    const QString path = t.file("x.ini");
    for (const char* size : {"Width=300\nHeight=0\n", "Width=0\nHeight=200\n", "Width=-40\nHeight=200\n"}) {
        writeFile(path, QByteArray("[Main]\nMaximize=Yes\nXPosit=25\nYPosit=30\n") + size);
        ScriptedWindow w;
        kestrel::shell::restoreGeometry(w, IniFile(path), "Main");
        EXPECT_EQ(w.rectChanges, 0) << size;
        EXPECT_TRUE(w.maximized) << size;
    }
}

TEST(Geometry, FixedSizeWindowOnlyMoves)
{
    TempDir t;
    const QString path = t.file("x.ini");
    writeFile(path, "[F24jEditor]\nMaximize=No\nXPosit=33\nYPosit=44\nWidth=900\nHeight=700\n");
    ScriptedWindow w;
    w.resizable = false;
    w.normal = QRect(0, 0, 320, 240);
    kestrel::shell::restoreGeometry(w, IniFile(path), "F24jEditor");
    EXPECT_EQ(w.normal, QRect(33, 44, 320, 240));
}

// The same on real windows of the offscreen platform.

TEST(WidgetGeometry, MaximizedWidgetReopensMaximizedWithItsNormalGeometryUnderneath)
{
    TempDir t;
    const QString path = t.file("KESTRI~1.INI");
    const QRect normal(70, 60, 420, 300);
    {
        QWidget w;
        w.setGeometry(normal);
        w.show();
        w.showMaximized();
        ASSERT_TRUE(w.isMaximized());
        // The platform applies the state asynchronously.
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.geometry() != normal; }, 2000));
        IniFile ini(path);
        kestrel::shell::saveGeometry(WidgetGeometry(&w), ini, "Main");
    }
    IniFile ini(path);
    EXPECT_EQ(ini.value("Main", "Maximize"), "Yes");
    EXPECT_EQ(QRect(ini.intValue("Main", "XPosit"), ini.intValue("Main", "YPosit"), ini.intValue("Main", "Width"),
                    ini.intValue("Main", "Height")),
              normal);

    QWidget again;
    again.setGeometry(10, 10, 200, 150);
    WidgetGeometry g(&again);
    kestrel::shell::restoreGeometry(g, ini, "Main");
    again.show();
    EXPECT_TRUE(again.isMaximized());
    EXPECT_TRUE(QTest::qWaitFor([&] { return again.geometry() != normal; }, 2000));
    again.showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return again.geometry() == normal; }, 2000))
        << again.geometry().x() << "," << again.geometry().y() << " " << again.geometry().width() << "x"
        << again.geometry().height();
}

TEST(WidgetGeometry, NormalWidgetRoundTripsAndFixedSizeWidgetOnlyMoves)
{
    TempDir t;
    const QString path = t.file("KESTRI~1.INI");
    {
        QWidget w;
        w.setGeometry(90, 75, 380, 260);
        w.show();
        IniFile ini(path);
        kestrel::shell::saveGeometry(WidgetGeometry(&w), ini, "Main");
    }
    IniFile ini(path);

    QWidget resizable;
    WidgetGeometry rg(&resizable);
    kestrel::shell::restoreGeometry(rg, ini, "Main");
    resizable.show();
    EXPECT_FALSE(resizable.isMaximized());
    EXPECT_EQ(resizable.geometry(), QRect(90, 75, 380, 260));

    QWidget fixed;
    fixed.setFixedSize(150, 120);
    WidgetGeometry fg(&fixed);
    EXPECT_FALSE(fg.canResize());
    kestrel::shell::restoreGeometry(fg, ini, "Main");
    fixed.show();
    EXPECT_EQ(fixed.geometry(), QRect(90, 75, 150, 120));
}

TEST(WidgetGeometry, RectangleOffEveryScreenIsNotApplied)
{
    QWidget w;
    w.setGeometry(40, 40, 200, 100);
    WidgetGeometry g(&w);
    g.setNormalRect(QRect(50000, 50000, 300, 200));
    EXPECT_EQ(w.geometry(), QRect(40, 40, 200, 100));
    g.setNormalRect(QRect(60, 50, 300, 200));
    EXPECT_EQ(w.geometry(), QRect(60, 50, 300, 200));
}

TEST(Geometry, AChildWindowIsMovedTheLeastIntoTheAreaAndNeverShrunk)
{
    const QRect area(0, 0, 800, 500);
    EXPECT_EQ(kestrel::shell::placedInside(QRect(100, 50, 300, 200), area), QRect(100, 50, 300, 200));   // fits
    EXPECT_EQ(kestrel::shell::placedInside(QRect(650, 420, 300, 200), area), QRect(500, 300, 300, 200)); // past the right and bottom
    EXPECT_EQ(kestrel::shell::placedInside(QRect(-120, -8, 300, 200), area), QRect(0, 0, 300, 200));     // past the left and top
    EXPECT_EQ(kestrel::shell::placedInside(QRect(-60, 40, 900, 200), area), QRect(0, 40, 900, 200));     // wider: at the left edge
    EXPECT_EQ(kestrel::shell::placedInside(QRect(20, 300, 300, 640), QRect(10, 10, 800, 500)), QRect(20, 10, 300, 640));
}
