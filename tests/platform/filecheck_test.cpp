// Examination of record files on disk, and the `kestrel check` command.
#include "data/records.h"
#include "platform/filecheck.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "support/sqlitedamage.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <ostream>

// Readable failures for the findings.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << l.join(" | ").toStdString(); }

using namespace kestrel;
using platform::FileCheck;
namespace errc = platform::errc;
namespace file = data::file;

namespace {

class FileCheckTest : public ::testing::Test {
protected:
    // Creates Patient.db in `folder` with `n` patients.
    void makePatients(const QString& folder, int n)
    {
        QDir().mkpath(folder);
        data::PatientRecord buffer{};
        platform::RecordFile f(file::Patient, data::bytesOf(buffer));
        f.setDirectory(folder);
        ASSERT_EQ(f.create(), errc::Ok);
        ASSERT_EQ(f.open(), errc::Ok);
        platform::Transaction t{&f};
        ASSERT_EQ(t.start(), errc::Ok);
        for (int i = 1; i <= n; ++i) {
            data::clearRecord(file::Patient, data::bytesOf(buffer));
            buffer.PAT.set(i);
            buffer.LNAME.set("Name " + std::to_string(1000 - i));
            buffer.BDATE.set("19800101");
            ASSERT_EQ(f.add(), errc::Ok);
        }
        ASSERT_EQ(t.commit(), errc::Ok);
    }
    QString patients() const { return dir.file("Patient.db"); }

    int rebuild(const platform::FileDef& def)
    {
        std::vector<unsigned char> buffer(std::size_t(def.recordLength));
        platform::RecordFile f(def, buffer.data());
        f.setDirectory(dir.path());
        return f.build();
    }

    test::TempDir dir;
};

} // namespace

TEST_F(FileCheckTest, SoundAndMissingFilesPass)
{
    makePatients(dir.path(), 20);
    FileCheck c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::Ok) << c.problems.join("; ").toStdString();
    EXPECT_TRUE(c.problems.isEmpty());

    c = platform::checkRecordFile(file::Invoice, dir.file("Invoice.db"));
    EXPECT_EQ(c.state, FileCheck::State::Missing);
    EXPECT_TRUE(c.sound());
}

TEST_F(FileCheckTest, DamagedIndexIsFoundAndRepairedByRebuild)
{
    makePatients(dir.path(), 300);
    ASSERT_TRUE(test::damagePage(patients(), "PAT:LNAMEKEY"));
    FileCheck c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::KeysDamaged);
    ASSERT_FALSE(c.problems.isEmpty());
    EXPECT_TRUE(c.problems[0].startsWith("keys damaged: ")) << c.problems[0].toStdString();
    EXPECT_FALSE(c.sound());

    ASSERT_EQ(rebuild(file::Patient), errc::Ok);
    c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::Ok) << c.problems.join("; ").toStdString();
}

TEST_F(FileCheckTest, MissingOrAlteredKeyIsFound)
{
    makePatients(dir.path(), 5);
    ASSERT_EQ(test::execSql(patients(), "DROP INDEX \"PAT:LNAMEKEY\"; "
                                        "CREATE INDEX \"PAT:EXTRA\" ON \"Patient\"(\"SEX\")"),
              "");
    FileCheck c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::KeysDamaged);
    EXPECT_EQ(c.problems, (QStringList{"key PAT:LNAMEKEY is missing", "key PAT:EXTRA is not in the dictionary"}));

    // Back under its name, but case-sensitive: the order would be wrong.
    ASSERT_EQ(test::execSql(patients(), "CREATE INDEX \"PAT:LNAMEKEY\" ON \"Patient\"(\"LNAME\", tiebreak) "
                                        "WHERE NOT (\"LNAME\" = '')"),
              "");
    c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.problems,
              (QStringList{"key PAT:LNAMEKEY does not match the dictionary", "key PAT:EXTRA is not in the dictionary"}));

    ASSERT_EQ(rebuild(file::Patient), errc::Ok);
    EXPECT_EQ(platform::checkRecordFile(file::Patient, patients()).state, FileCheck::State::Ok);
}

TEST_F(FileCheckTest, AKeyValueChangedApartFromItsFieldIsFoundAndRebuilt)
{
    // A name changed with another tool: its key still files it under the old one.
    makePatients(dir.path(), 3);
    ASSERT_EQ(test::execSql(patients(), "UPDATE \"Patient\" SET \"LNAME\" = 'Émile' WHERE rid = 2"), "");
    FileCheck c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::KeysDamaged);
    EXPECT_EQ(c.problems, (QStringList{"1 records hold a key value of PAT:LNAME that differs from the field"}));

    ASSERT_EQ(rebuild(file::Patient), errc::Ok);
    c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::Ok) << c.problems.join("; ").toStdString();
    data::PatientRecord buffer{};
    platform::RecordFile f(file::Patient, data::bytesOf(buffer));
    f.setDirectory(dir.path());
    ASSERT_EQ(f.open(), errc::Ok);
    ASSERT_TRUE(data::setText(buffer.LNAME, QStringLiteral("ÉMILE"), "PAT:LNAME"));
    EXPECT_EQ(f.get(file::Patient.keyIndex("PAT:LNAMEKEY")), errc::Ok);
}

TEST_F(FileCheckTest, FilesThatAreNotOursOrNotThisFileAreDamaged)
{
    QFile text(dir.file("Item.db"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(5000, 'x'));
    text.close();
    FileCheck c = platform::checkRecordFile(file::Item, dir.file("Item.db"));
    EXPECT_EQ(c.state, FileCheck::State::Damaged);
    EXPECT_TRUE(c.problems.value(0).startsWith("not a record file of this program")) << c.problems.value(0).toStdString();

    // A bad copy: the patients' file under the claims' name.
    makePatients(dir.path(), 3);
    QFile::remove(dir.file("Invoice.db"));
    ASSERT_TRUE(QFile::copy(patients(), dir.file("Invoice.db")));
    c = platform::checkRecordFile(file::Invoice, dir.file("Invoice.db"));
    EXPECT_EQ(c.state, FileCheck::State::Damaged);
    EXPECT_TRUE(c.problems.contains("holds the records of Patient, not of Invoice"));
    EXPECT_TRUE(c.problems.contains("record length 148, the dictionary says 510"));
}

TEST_F(FileCheckTest, ValuesThatDoNotFitTheirFieldsAreListed)
{
    makePatients(dir.path(), 3);
    ASSERT_EQ(test::execSql(patients(), "UPDATE \"Patient\" SET \"LNAME\" = 'Abcdefghijklmnopqrstuvwxyz12345', "
                                        "\"LNAME_fold\" = 'ABCDEFGHIJKLMNOPQRSTUVWXYZ12345' WHERE rid = 1; "
                                        "UPDATE \"Patient\" SET \"PAT\" = 123456, \"BDATE\" = '20240230', "
                                        "\"SSN\" = '12-45' WHERE rid = 2"),
              "");
    FileCheck c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::Damaged);
    EXPECT_EQ(c.problems, (QStringList{"record 1: PAT:LNAME is 31 characters long, the field holds 28",
                                       "record 2: PAT:PAT 123456 does not fit 5 digits",
                                       "record 2: PAT:BDATE \"20240230\" is not a date",
                                       "record 2: PAT:SSN \"12-45\" is not digits only"}));
}

TEST_F(FileCheckTest, DuplicatesUnderAUniqueKeyCannotBeRebuilt)
{
    makePatients(dir.path(), 3);
    ASSERT_EQ(test::execSql(patients(), "DROP INDEX \"PAT:PATKEY\"; UPDATE \"Patient\" SET \"PAT\" = 1"), "");
    FileCheck c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::Damaged);
    EXPECT_TRUE(c.problems.contains("key PAT:PATKEY is missing"));
    EXPECT_TRUE(c.problems.contains("1 values of the unique key PAT:PATKEY are held by more than one record"));
}

namespace {

QString kestrelBinary()
{
    const QString fromEnv = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR");
    const QString dir = fromEnv.isEmpty() ? QCoreApplication::applicationDirPath() + "/.." : fromEnv;
    return QDir(dir).absoluteFilePath("kestrel");
}

struct Outcome {
    int status = -1;
    QString out;
};

Outcome runKestrel(const QStringList& args)
{
    QProcess p;
    p.start(kestrelBinary(), args);
    Outcome r;
    if (!p.waitForFinished(60000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    return r;
}

} // namespace

TEST_F(FileCheckTest, CheckCommandFindsADamagedIndexAndRebuildRepairsIt)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    const QString data = dir.file("DATA");
    makePatients(data, 300);
    ASSERT_TRUE(test::damagePage(data + "/Patient.db", "PAT:LNAMEKEY"));
    const QString patientLine = QDir::toNativeSeparators(data + "/Patient.db") + ": ";

    Outcome r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 1);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), qsizetype(data::allFiles().size()));
    for (const QString& line : lines) {
        if (line.startsWith(patientLine)) {
            EXPECT_TRUE(line.contains("keys damaged")) << line.toStdString();
            EXPECT_TRUE(line.endsWith("(check --rebuild rebuilds the keys)")) << line.toStdString();
        } else {
            EXPECT_TRUE(line.endsWith(": OK (not created yet; created empty on first use)")) << line.toStdString();
        }
    }

    r = runKestrel({"--root", dir.path(), "check", "--rebuild"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("; keys rebuilt: OK\n")) << r.out.toStdString();

    r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(patientLine + "OK\n")) << r.out.toStdString();

    EXPECT_EQ(runKestrel({"--root", dir.path(), "check", "--fix"}).status, 2);
}

TEST_F(FileCheckTest, AnEmptyFileOrOneCutShortIsReportedAsSuch)
{
    // A copy that stopped before it began.
    QFile empty(dir.file("Payer.db"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    FileCheck c = platform::checkRecordFile(file::Payer, dir.file("Payer.db"));
    EXPECT_EQ(c.state, FileCheck::State::Damaged);
    EXPECT_TRUE(c.problems.value(0).startsWith("empty (0 bytes)")) << c.problems.join(" | ").toStdString();
    EXPECT_EQ(QFileInfo(dir.file("Payer.db")).size(), 0) << "the check wrote to the file";

    // A copy that stopped half way: ours, damaged, not a foreign file.
    makePatients(dir.path(), 3000);
    QFile cut(patients());
    ASSERT_TRUE(cut.resize(cut.size() / 3));
    c = platform::checkRecordFile(file::Patient, patients());
    EXPECT_EQ(c.state, FileCheck::State::Damaged);
    EXPECT_FALSE(c.problems.join(" ").contains("not a record file")) << c.problems.join(" | ").toStdString();
    EXPECT_TRUE(c.problems.join(" ").contains("damaged")) << c.problems.join(" | ").toStdString();
}

TEST_F(FileCheckTest, SeedCommandLeavesADamagedTableAloneAndSaysWhichAndWhy)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    const QString data = dir.file("DATA");
    QDir().mkpath(data);
    QFile empty(data + "/CIQL.db");
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    QProcess p;
    p.start(kestrelBinary(), {"--root", dir.path(), "seed"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(err.contains("CIQL.db: empty (0 bytes)")) << err.toStdString();
    EXPECT_TRUE(err.contains("nothing was added")) << err.toStdString();
    EXPECT_FALSE(err.contains("Press OK")) << err.toStdString();
    EXPECT_EQ(QFileInfo(data + "/CIQL.db").size(), 0);
    EXPECT_FALSE(QFile::exists(data + "/ICD.db")) << "a table was seeded although another is damaged";

    // Once the damaged file is gone the three tables are filled.
    ASSERT_TRUE(QFile::remove(data + "/CIQL.db"));
    p.start(kestrelBinary(), {"--root", dir.path(), "seed"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(data + "/CIQL.db"));
}

TEST_F(FileCheckTest, CheckCommandWithoutADataFolderSaysSoAndFails)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    // A mistyped root, and a root that is a file.
    QFile plain(dir.file("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const QString& root : {dir.file("no-such-root"), dir.file("plain")}) {
        QProcess p;
        p.start(kestrelBinary(), {"--root", root, "check"});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 1) << root.toStdString();
        EXPECT_FALSE(out.contains("OK")) << out.toStdString();
        EXPECT_TRUE(err.contains("nothing was examined")) << err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.file("no-such-root"))) << "the check created the root";
}
