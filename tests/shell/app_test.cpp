// The kestrel executable's command line.
#include "support/kestrelprocess.h"
#include "support/tempdir.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using kestrel::test::Outcome;

Outcome runKestrel(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    return kestrel::test::runKestrel(args, kestrel::test::Permissions::AsTheTests, env);
}

} // namespace

TEST(Executable, HelpListsOptionsAndCommands)
{
    const Outcome r = runKestrel({"--help"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("--root DIR")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\n  paths ")) << r.out.toStdString();
}

TEST(Executable, RootComesFromTheOptionElseTheEnvironment)
{
    kestrel::test::TempDir a, b;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KESTREL_ROOT", b.path());

    Outcome r = runKestrel({"--root", a.path(), "paths"}, env);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("data     " + a.path() + "/DATA\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("ini      " + a.path() + "/KESTRI~1.INI\n")) << r.out.toStdString();

    r = runKestrel({"paths", "--root=" + a.path()}, env);
    EXPECT_TRUE(r.out.contains("root     " + a.path() + "\n")) << r.out.toStdString();

    r = runKestrel({"paths"}, env);
    EXPECT_TRUE(r.out.contains("root     " + b.path() + "\n")) << r.out.toStdString();
}

TEST(Executable, BadCommandLinesFailWithAMessage)
{
    for (const QStringList& args : {QStringList{"nosuchcommand"}, QStringList{"--root"}, QStringList{"--bogus"},
                                    QStringList{"paths", "extra"}}) {
        const Outcome r = runKestrel(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << args.join(' ').toStdString();
    }
}

// Logout and shutdown send SIGTERM: the program closes as by E&xit, so the
// closing steps run (the log deleted, the frame's place saved) and it ends
// normally.
TEST(Executable, TerminationSignalClosesTheFrameWithItsClosingSteps)
{
    kestrel::test::TempDir root;
    const QString dir = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QCoreApplication::applicationDirPath() + "/..");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(dir + "/kestrel", {"--root", root.path(), "--log"});
    ASSERT_TRUE(p.waitForStarted(20000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QFile log(root.path() + "/kestrel.log");
            return log.open(QIODevice::ReadOnly) && log.readAll().contains("frame open");
        },
        20000))
        << "the frame did not open";

    p.terminate();  // SIGTERM
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(root.path() + "/kestrel.log"));
    QFile ini(root.path() + "/KESTRI~1.INI");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("[Main]"));
}
