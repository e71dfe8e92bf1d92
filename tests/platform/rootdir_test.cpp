// The runtime root and the INI file under it.
#include "platform/inifile.h"
#include "platform/privatefiles.h"
#include "platform/rootdir.h"
#include "platform/transaction.h"
#include "recordfile_fixture.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

using kestrel::platform::IniFile;
using kestrel::platform::makePrivateFile;
using kestrel::platform::PathState;
using kestrel::platform::probeFile;
using kestrel::platform::RecordFile;
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

// The process's umask for one test.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }

private:
    mode_t old_;
};

// The permission bits as a number (0700, 0644 ...), -1 when missing.
int mode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

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

TEST(PrivateFiles, FoldersRecordFilesAndJournalsAreTheOwnersOnlyUnderAUsualUmask)
{
    const ScopedUmask usual(022);
    TempDir t;
    const RootDir root(t.path() + "/home/practice");
    QStringList tightened;
    ASSERT_TRUE(root.ensureExists(nullptr, &tightened));
    EXPECT_TRUE(tightened.isEmpty()) << tightened.join(' ').toStdString();
    for (const QString& dir : {root.path(), root.dataDir(), root.backupDir()})
        EXPECT_EQ(mode(dir), 0700) << dir.toStdString();
    EXPECT_EQ(mode(t.path() + "/home"), 0755) << "a parent above the root is the user's business";

    // A record file, the journal of a write in progress, a rebuilt file.
    kestrel::test::TestFile p(kestrel::test::kPatient, root.dataDir());
    RecordFile& rf = p.file;
    ASSERT_EQ(rf.create(), 0);
    ASSERT_EQ(rf.open(), 0);
    EXPECT_EQ(mode(rf.name()), 0600);
    {
        kestrel::platform::Transaction tx({&rf});
        ASSERT_EQ(tx.start(), 0);
        p.number("PAT:PAT", "1");
        ASSERT_EQ(rf.add(), 0);
        EXPECT_EQ(mode(rf.name() + "-journal"), 0600) << "SQLite gives a journal its database's mode";
        ASSERT_EQ(tx.commit(), 0);
    }
    rf.close();
    ASSERT_EQ(rf.build(), 0);
    EXPECT_EQ(mode(rf.name()), 0600);
    EXPECT_EQ(QDir(root.dataDir()).entryList(QDir::Files), QStringList{"Patient.db"});
}

TEST(PrivateFiles, ARootOthersCanReachIsTightenedAndSaysSo)
{
    TempDir t;
    const RootDir root(t.path());
    ASSERT_TRUE(QDir().mkdir(root.dataDir()));
    ASSERT_EQ(::chmod(QFile::encodeName(t.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(root.dataDir()).constData(), 0777), 0);

    QStringList tightened;
    ASSERT_TRUE(root.ensureExists(nullptr, &tightened));
    EXPECT_EQ(mode(t.path()), 0700);
    EXPECT_EQ(mode(root.dataDir()), 0700);
    ASSERT_EQ(tightened.size(), 2) << tightened.join('\n').toStdString();
    EXPECT_EQ(tightened[0], RootDir::nativePath(t.path()) +
                                " was open to other users; it is now readable by its owner only.");
    EXPECT_TRUE(tightened[1].startsWith(RootDir::nativePath(root.dataDir()) + " was open"));

    tightened.clear();
    ASSERT_TRUE(root.ensureExists(nullptr, &tightened));
    EXPECT_TRUE(tightened.isEmpty()) << "said again of a private root";
}

TEST(PrivateFiles, AFileOutOfReachIsNotMissing)
{
    TempDir t;
    EXPECT_EQ(probeFile(t.file("none")).kind, PathState::Missing);
    ASSERT_TRUE(makePrivateFile(t.file("file")));
    EXPECT_EQ(probeFile(t.file("file")).kind, PathState::File);
    ASSERT_TRUE(QFile::link(t.file("loop"), t.file("loop")));  // a permission denial that binds root too
    EXPECT_EQ(probeFile(t.file("loop")).kind, PathState::Unreachable);
    const PathState folder = probeFile(t.path());
    EXPECT_EQ(folder.kind, PathState::Unreachable);
    EXPECT_EQ(folder.reason, "it is not a file");
    const PathState below = probeFile(t.file("file") + "/Patient.db");
    EXPECT_EQ(below.kind, PathState::Unreachable) << "a path through a file is not missing";
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
