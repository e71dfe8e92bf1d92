// The runtime root and the INI file under it.
#include "platform/inifile.h"
#include "platform/rootdir.h"
#include "support/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>

using kestrel::platform::IniFile;
using kestrel::platform::RootDir;
using kestrel::test::TempDir;

namespace {

// Sets an environment variable for one test and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(RootDir, ExplicitPathBeatsEnvironmentWhichBeatsDefault)
{
    TempDir a, b;
    {
        ScopedEnv env("KESTREL_ROOT", b.path().toUtf8());
        EXPECT_EQ(RootDir::resolve(a.path()).path(), a.path());
        EXPECT_EQ(RootDir::resolve().path(), b.path());
        EXPECT_EQ(RootDir::resolve("  ").path(), b.path());
    }
    {
        ScopedEnv env("KESTREL_ROOT", QByteArray());
        EXPECT_EQ(RootDir::resolve().path(), RootDir::defaultPath());
        EXPECT_TRUE(RootDir::defaultPath().endsWith("/kestrel"));
    }
}

TEST(RootDir, PathsLiveUnderTheRootAndFoldersAreCreated)
{
    TempDir t;
    const RootDir root(t.path() + "/sub/../practice/");
    EXPECT_EQ(root.path(), t.path() + "/practice");
    EXPECT_EQ(root.dataDir(), t.path() + "/practice/DATA");
    EXPECT_EQ(root.backupDir(), t.path() + "/practice/Backup");
    EXPECT_EQ(root.iniFile(), t.path() + "/practice/KESTRI~1.INI");
    EXPECT_EQ(root.logFile(), t.path() + "/practice/kestrel.log");

    QString error;
    ASSERT_TRUE(root.ensureExists(&error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(root.dataDir()).isDir());
    EXPECT_TRUE(QFileInfo(root.backupDir()).isDir());
    EXPECT_TRUE(root.ensureExists(&error));  // a second time is fine
}

TEST(RootDir, AFileInTheWayIsReportedByItsPath)
{
    TempDir t;
    QFile blocker(t.file("DATA"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QString error;
    EXPECT_FALSE(RootDir(t.path()).ensureExists(&error));
    EXPECT_TRUE(error.contains(RootDir::nativePath(t.file("DATA")))) << error.toStdString();
}

TEST(IniFile, WritesSectionAndKeyNamesExactlyAndKeepsOtherSections)
{
    TempDir t;
    const QString path = t.file("KESTRI~1.INI");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[F24jEditor]\nMaximize=No\nXPosit=12\n");
    }
    {
        IniFile ini(path);
        ini.setValue("Main", "Maximize", "Yes");
        ini.setValue("Main", "XPosit", 140);
        ASSERT_TRUE(ini.sync());
    }
    const QString text = readAll(path);
    EXPECT_TRUE(text.contains("[Main]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("Maximize=Yes\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("XPosit=140\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("[F24jEditor]\n")) << text.toStdString();

    IniFile again(path);
    EXPECT_EQ(again.value("F24jEditor", "XPosit"), "12");
    EXPECT_EQ(again.intValue("Main", "XPosit"), 140);
    EXPECT_EQ(again.value("Main", "Maximize"), "Yes");
}

TEST(IniFile, MissingOrDamagedNumbersGiveTheFallback)
{
    TempDir t;
    const QString path = t.file("x.ini");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Main]\nXPosit=12abc\nYPosit= 7 \nWidth=99999999999\nTitle=a,b\n");
    }
    IniFile ini(path);
    EXPECT_EQ(ini.intValue("Main", "XPosit", -1), -1);
    EXPECT_EQ(ini.intValue("Main", "YPosit", -1), 7);
    EXPECT_EQ(ini.intValue("Main", "Width", -1), -1);  // too big for a whole number
    EXPECT_EQ(ini.intValue("Main", "Height", -1), -1);
    EXPECT_FALSE(ini.contains("Main", "Height"));
    EXPECT_EQ(ini.value("Main", "Title"), "a,b");
}

TEST(IniFile, AnUnwritableFileIsReported)
{
    TempDir t;
    // The INI path is a folder: nothing can be written there.
    ASSERT_TRUE(QDir(t.path()).mkdir("KESTRI~1.INI"));
    IniFile ini(t.file("KESTRI~1.INI"));
    ini.setValue("Main", "XPosit", 5);
    QString error;
    EXPECT_FALSE(ini.sync(&error));
    EXPECT_FALSE(error.isEmpty());
}
