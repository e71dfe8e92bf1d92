// `kestrel load` and `kestrel seed` run as a user runs them: the executable,
// a root on disk, its exit status and what it prints.
#include "data/records.h"
#include "support/kestrelprocess.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace kestrel;

namespace {

using test::kCannotDropOverride;
using test::kestrelBinary;
using test::Outcome;
using test::Permissions;
using test::runKestrel;

int mode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool chmod(const QString& path, int mode) { return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0; }

class LoadCommand : public ::testing::Test {
protected:
    test::TempDir dir;
    QString root() const { return dir.file("practice"); }
    QString data() const { return root() + "/DATA"; }

    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    }
    // Loads `csv` into the file `label` of the root.
    Outcome load(const char* label, const QByteArray& csv, Permissions permissions = Permissions::AsTheTests)
    {
        QFile f(dir.file("in.csv"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(csv);
        f.close();
        return runKestrel({"--root", root(), "load", label, f.fileName()}, permissions);
    }
    QStringList dataFiles() const { return QDir(data()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }
};

} // namespace

TEST_F(LoadCommand, NumberedFilesTakeOnlyNumbersFromOneAndAFailedLoadLeavesNoFile)
{
    struct Case {
        const char* label;
        QByteArray csv;
        const char* says;
    };
    const Case cases[] = {
        {"Patient", "PAT:PAT,PAT:LNAME\n1,A\n0,B\n", "line 3: PAT:PAT: \"0\" is not a record number"},
        {"Patient", "PAT:PAT,PAT:LNAME\n-4,B\n", "line 2: PAT:PAT: \"-4\" is not a record number"},
        {"Patient", "PAT:PAT,PAT:LNAME\n1,A\n,B\n", "line 3: PAT:PAT is blank"},
        {"Patient", "PAT:LNAME\nB\n", "line 1: PAT:PAT is not named"},
        {"Provider", "PRV:PRV,PRV:PNAME\n0,DR X\n", "line 2: PRV:PRV: \"0\" is not a record number"},
        {"Invoice", "INV:INV\n-1\n", "line 2: INV:INV: \"-1\" is not a record number"},
        // A duplicate within the text is found only as the rows are added.
        {"Patient", "PAT:PAT,PAT:LNAME\n7,A\n7,B\n", "line 3: PAT:PATKEY: PAT:PAT = \"7\" is already held"},
    };
    for (const Case& c : cases) {
        const Outcome r = load(c.label, c.csv);
        EXPECT_EQ(r.status, 1) << c.csv.toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("nothing was loaded")) << r.err.toStdString();
        EXPECT_TRUE(dataFiles().isEmpty()) << "left behind: " << dataFiles().join(' ').toStdString();
    }
    // The same rows, numbered as the program numbers them, load into a file
    // of the owner's only (the child runs under umask 022); the record
    // number's key finds them all.
    ASSERT_EQ(load("Patient", "PAT:PAT,PAT:LNAME\n1,A\n2,B\n").status, 0);
    EXPECT_EQ(mode(data() + "/Patient.db"), 0600);
    EXPECT_EQ(mode(root()), 0700);
    const Outcome dump = runKestrel({"--root", root(), "dump", "Patient", "--key", "PAT:PATKEY"});
    EXPECT_TRUE(dump.out.startsWith("PAT:PAT,")) << dump.out.toStdString();
    EXPECT_EQ(dump.out.count("\r\n"), 3) << dump.out.toStdString();
}

TEST_F(LoadCommand, AnOverlongCellIsQuotedCutInTheMessage)
{
    const QByteArray cell(4 * 1024 * 1024, 'X');
    const Outcome r = load("Patient", "PAT:PAT,PAT:LNAME\n1," + cell + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("PAT:LNAME: \"" + QString(60, 'X') + "\u2026\" is longer than")) << r.err.left(400).toStdString();
    EXPECT_LT(r.err.size(), 1000);
}

TEST_F(LoadCommand, FilesOutOfReachAreErrorsOfOpeningNotOfCreating)
{
    ASSERT_EQ(load("Patient", "PAT:PAT\n1\n").status, 0);
    const QString patient = QDir::toNativeSeparators(data() + "/Patient.db");

    // A link that loops binds root like anyone.
    ASSERT_TRUE(QFile::link(data() + "/Payer.db", data() + "/Payer.db"));
    Outcome r = load("Payer", "HIC:HICNAME\nMEDICARE\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("unable to open " + QDir::toNativeSeparators(data() + "/Payer.db") + ": ")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("creating")) << r.err.toStdString();
    ASSERT_TRUE(QFile::remove(data() + "/Payer.db"));

    // Permission bits, with the data folder closed and with the file closed.
    ASSERT_TRUE(chmod(data(), 0));
    r = load("Patient", "PAT:PAT\n2\n", Permissions::Bound);
    if (r.status == kCannotDropOverride) GTEST_SKIP() << "running as root without the right to give up its override";
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("unable to open " + patient + ": Permission denied")) << r.err.toStdString();
    ASSERT_TRUE(chmod(data(), 0700));
    ASSERT_TRUE(chmod(data() + "/Patient.db", 0400));
    r = load("Patient", "PAT:PAT\n2\n", Permissions::Bound);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("unable to open " + patient + ": Permission denied")) << r.err.toStdString();
    ASSERT_TRUE(chmod(data() + "/Patient.db", 0600));

    // seed: an unreadable table is named; a table that cannot be created
    // is reported without buttons to press.
    ASSERT_TRUE(QFile::link(data() + "/ICD.db", data() + "/ICD.db"));
    r = runKestrel({"--root", root(), "seed"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("unable to open " + QDir::toNativeSeparators(data() + "/ICD.db"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("nothing was added")) << r.err.toStdString();
    ASSERT_TRUE(QFile::remove(data() + "/ICD.db"));
    ASSERT_TRUE(chmod(data(), 0500));
    r = runKestrel({"--root", root(), "seed"}, Permissions::Bound);
    ASSERT_TRUE(chmod(data(), 0700));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("creating " + QDir::toNativeSeparators(data() + "/ICD.db"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("Press OK")) << r.err.toStdString();
    EXPECT_EQ(dataFiles(), QStringList{"Patient.db"});
}
