// The subcommands need no window library and no display. This executable
// links them with the window-free libraries alone (a command reaching for a
// window fails to link here) and runs under a QCoreApplication.
#include "commands.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kestrel;

namespace {

int recordCount(const platform::FileDef& def)
{
    data::FileUse use{&def};
    platform::RecordFile& rf = data::recordFile(def);
    int n = 0;
    int err = rf.setFileOrder();
    while (err == 0 && (err = rf.next()) == 0) ++n;
    EXPECT_EQ(err, platform::errc::NoRecord) << def.label;
    return n;
}

QString kestrelBinary()
{
    return qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QCoreApplication::applicationDirPath() + "/..") +
           "/kestrel";
}

} // namespace

TEST(Commands, SeedFillsTheStandardTablesOnceWithoutAWindowLibrary)
{
    test::TempDir dir;
    const app::CommandContext ctx{platform::RootDir(dir.path()), {}};
    ASSERT_EQ(app::cmdSeed(ctx), 0);
    ASSERT_TRUE(data::setDataDirectory(ctx.root.dataDir()));
    EXPECT_EQ(recordCount(data::file::ICD), 2);
    EXPECT_EQ(recordCount(data::file::CIQL), 2);
    EXPECT_EQ(recordCount(data::file::OIQL), 9);

    ASSERT_EQ(app::cmdSeed(ctx), 0);
    EXPECT_EQ(recordCount(data::file::OIQL), 9) << "a second seed added codes again";
    EXPECT_EQ(app::cmdSeed({ctx.root, {"extra"}}), 2);
}

TEST(Commands, RunWhereNoDisplayCanBeOpened)
{
    test::TempDir dir;
    // A platform that does not exist and no display: anything that opens a
    // window system connection aborts here, as the program itself does.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "no-such-platform");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(kestrelBinary(), QStringList{"--root", dir.path()} + args);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -2;
        }
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    EXPECT_EQ(run({"seed"}), 0);
    EXPECT_EQ(run({"check"}), 0);
    EXPECT_EQ(run({"dump", "OIQL"}), 0);
    EXPECT_EQ(run({"paths"}), 0);
    EXPECT_NE(run({}), 0) << "the program started its windows without a display";
}
