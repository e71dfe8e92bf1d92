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

namespace {

int runKestrel(const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(kestrelBinary(), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return -2;
    }
    if (out) *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

TEST(Commands, DemoFillsAnEmptyRootOnceWithFiguresThatAddUp)
{
    test::TempDir dir;
    const app::CommandContext ctx{platform::RootDir(dir.path()), {}};
    ASSERT_EQ(app::cmdDemo(ctx), 0);
    ASSERT_TRUE(data::setDataDirectory(ctx.root.dataDir()));
    const std::pair<const platform::FileDef*, int> counts[] = {
        {&data::file::Provider, 2},  {&data::file::Patient, 20},  {&data::file::Insured1, 20},
        {&data::file::Insured2, 5},  {&data::file::Payer, 5},     {&data::file::Auth, 20},
        {&data::file::Facility, 2},  {&data::file::Referring, 4}, {&data::file::Rendering, 3},
        {&data::file::Invoice, 39},  {&data::file::Item, 121},      {&data::file::ICD, 2},
        {&data::file::CIQL, 2},      {&data::file::OIQL, 9},      {&data::file::CPT48, 218},
        {&data::file::ICD48, 152},
    };
    for (const auto& [def, n] : counts) EXPECT_EQ(recordCount(*def), n) << def->label;

    // Claim 2: 99203 at 140.00, 80053 at 39.00 and 87880 at 22.00; the plan
    // allowed 85% (170.85), paid 80% of that (136.68) and adjusted the rest
    // of the charge (30.15); the patient owes 34.17.
    using platform::Decimal;
    Decimal billed = Decimal::fromUnits(0, 2), owed = Decimal::fromUnits(0, 2);
    {
        data::FileUse use{&data::file::Invoice, &data::file::Patient};
        platform::RecordFile& inv = data::recordFile(data::file::Invoice);
        bool seen = false;
        int err = inv.setFileOrder();
        while (err == 0 && (err = inv.next()) == 0) {
            billed = billed + data::INV.BDUE.value();
            if (data::INV.INV.asInt() != 2) continue;
            seen = true;
            EXPECT_EQ(data::INV.TFEE.value(), Decimal::fromUnits(20100, 2));
            EXPECT_EQ(data::INV.TPAY.value(), Decimal::fromUnits(-13668, 2));
            EXPECT_EQ(data::INV.TADJ.value(), Decimal::fromUnits(-3015, 2));
            EXPECT_EQ(data::INV.BDUE.value(), Decimal::fromUnits(3417, 2));
        }
        EXPECT_TRUE(seen);
        platform::RecordFile& pat = data::recordFile(data::file::Patient);
        err = pat.setFileOrder();
        while (err == 0 && (err = pat.next()) == 0) {
            owed = owed + data::PAT.NOWBALAN.value();
            if (data::PAT.PAT.asInt() == 1) EXPECT_EQ(data::PAT.LNAME.toQString(), QStringLiteral("Müller, Jürgen"));
        }
    }
    EXPECT_EQ(owed, billed);
    EXPECT_GT(billed, Decimal::fromUnits(0, 2));

    // A root holding records is refused and left as it was.
    EXPECT_EQ(app::cmdDemo(ctx), 1);
    EXPECT_EQ(recordCount(data::file::Invoice), 39);

    EXPECT_EQ(runKestrel({"--root", dir.path(), "check"}), 0);
    // The same practice every time.
    test::TempDir again;
    QByteArray first, second;
    ASSERT_EQ(runKestrel({"--root", again.path(), "demo"}), 0);
    ASSERT_EQ(runKestrel({"--root", dir.path(), "dump", "Item"}, &first), 0);
    ASSERT_EQ(runKestrel({"--root", again.path(), "dump", "Item"}, &second), 0);
    EXPECT_EQ(first, second);
}
