// Examination of record files on disk, and the `kestrel check` command.
#include "data/records.h"
#include "platform/fieldvalue.h"
#include "platform/filecheck.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "support/sqlitedamage.h"
#include "support/kestrelprocess.h"
#include "support/tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // Creates Patient.db in `folder` (when missing) and adds patients
    // first..n.
    void makePatients(const QString& folder, int n, int first = 1)
    {
        QDir().mkpath(folder);
        data::PatientRecord buffer{};
        platform::RecordFile f(file::Patient, data::bytesOf(buffer));
        f.setDirectory(folder);
        ASSERT_EQ(f.create(), errc::Ok);
        ASSERT_EQ(f.open(), errc::Ok);
        platform::Transaction t{&f};
        ASSERT_EQ(t.start(), errc::Ok);
        for (int i = first; i <= n; ++i) {
            data::clearRecord(file::Patient, data::bytesOf(buffer));
            buffer.PAT.set(i);
            buffer.LNAME.set("Name " + std::to_string(1000 - i));
            buffer.BDATE.set("19800101");
            ASSERT_EQ(f.add(), errc::Ok);
        }
        ASSERT_EQ(t.commit(), errc::Ok);
    }
    QString patients() const { return dir.file("Patient.db"); }

    // Adds a record with these field values (the others empty) to the file
    // of `def` in `folder`, creating it when missing.
    void addRecord(const QString& folder, const platform::FileDef& def,
                   std::initializer_list<std::pair<std::string_view, long long>> numbers, std::string_view name = {})
    {
        QDir().mkpath(folder);
        std::vector<unsigned char> buffer(std::size_t(def.recordLength));
        platform::clearRecord(def, buffer.data());
        for (const auto& [label, value] : numbers)
            ASSERT_TRUE(platform::writeField(*def.field(label), buffer.data(), platform::Decimal::fromUnits(value, 0)));
        // The first text field, for a record that holds more than numbers.
        for (const auto& f : def.fields)
            if (!name.empty() && f.kind == platform::FieldKind::Text) {
                ASSERT_TRUE(platform::writeField(f, buffer.data(), std::string(name)));
                break;
            }
        platform::RecordFile f(def, buffer.data());
        f.setDirectory(folder);
        ASSERT_EQ(f.create(), errc::Ok);
        ASSERT_EQ(f.open(), errc::Ok);
        ASSERT_EQ(f.add(), errc::Ok);
    }

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

using test::kestrelBinary;
using test::Outcome;
using test::runKestrel;

// The line of `out` about the file at `path`.
QString lineOf(const QString& out, const QString& path)
{
    for (const QString& line : out.split('\n'))
        if (line.startsWith(QDir::toNativeSeparators(path) + ": ")) return line;
    return {};
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

TEST_F(FileCheckTest, KeysNamingRecordsTheTableLostAreDamagedDataRebuiltOnlyWithTheLossAccepted)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    // 3,300 patients of which a bad copy put back the page of records that
    // held 3,268 of them: the keys name 3,300.
    const QString data = dir.file("DATA"), path = data + "/Patient.db";
    makePatients(data, 3268);
    QFile image(path);
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    const QByteArray before = image.readAll();
    image.close();
    makePatients(data, 3300, 3269);
    ASSERT_GT(test::putBackOldRecordPages(path, before), 0);
    const long long rows = test::queryNumber(path, "SELECT COUNT(*) FROM Patient NOT INDEXED");
    ASSERT_GT(rows, 3000);
    ASSERT_LT(rows, 3300);
    const QString named = QStringLiteral("records lost: its keys name %1 records the file no longer holds "
                                         "(PAT:PATKEY 3269, 3270, 3271")
                              .arg(3300 - rows);
    auto patientLine = [&](const QString& out) { return lineOf(out, path); };

    // The driver: open finds keys and records disagreeing, build refuses.
    {
        data::PatientRecord buffer{};
        platform::RecordFile f(file::Patient, data::bytesOf(buffer));
        f.setDirectory(data);
        EXPECT_EQ(f.open(), errc::InvalidKeyFile);
        EXPECT_EQ(f.build(), errc::InvalidFile);
        EXPECT_TRUE(QString::fromStdString(f.driverMessage()).contains("PAT:PATKEY 3269, 3270")) << f.driverMessage();
    }

    Outcome r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(patientLine(r.out).contains(named)) << r.out.toStdString();
    EXPECT_FALSE(patientLine(r.out).contains("keys damaged")) << r.out.toStdString();

    // --rebuild alone leaves the file as it is and says why.
    r = runKestrel({"--root", dir.path(), "check", "--rebuild"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(patientLine(r.out).contains("not rebuilt: rebuilding the keys would lose these")) << r.out.toStdString();
    EXPECT_EQ(test::queryNumber(path, "SELECT COUNT(*) FROM Patient INDEXED BY \"PAT:PATKEY\" WHERE NOT (PAT = 0)"),
              3300);
    EXPECT_EQ(runKestrel({"--root", dir.path(), "check", "--accept-loss"}).status, 2);

    // Agreed: rebuilt, the loss said once more, and never "OK".
    r = runKestrel({"--root", dir.path(), "check", "--rebuild", "--accept-loss"});
    EXPECT_EQ(r.status, 1);
    const QString line = patientLine(r.out);
    EXPECT_TRUE(line.contains(named)) << line.toStdString();
    EXPECT_TRUE(line.contains(QStringLiteral("keys rebuilt without the %1 lost records, which are gone for good")
                                  .arg(3300 - rows)))
        << line.toStdString();
    EXPECT_FALSE(line.contains("OK")) << line.toStdString();

    r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_EQ(patientLine(r.out), QDir::toNativeSeparators(path) + ": OK");
    EXPECT_EQ(test::queryNumber(path, "SELECT COUNT(*) FROM Patient INDEXED BY \"PAT:PATKEY\" WHERE NOT (PAT = 0)"),
              rows);
}

TEST_F(FileCheckTest, CheckAfterACrashRollsTheInterruptedWriteBackAndSaysSo)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    const QString data = dir.file("DATA"), path = data + "/Patient.db";
    makePatients(data, 2000);
    // The file and its journal as a crash left them: copied while a write
    // that has already spilled changed pages into the file is under way.
    const QString live = dir.file("live/Patient.db");
    QDir().mkpath(dir.file("live"));
    ASSERT_TRUE(QFile::copy(path, live));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(live).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA cache_size=2; BEGIN; UPDATE Patient SET LNAME = 'Crash', LNAME_fold = 'CRASH'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::copy(live, path));
    ASSERT_TRUE(QFile::copy(live + "-journal", path + "-journal"));
    sqlite3_close(db);
    // A read-only look cannot roll it back.
    EXPECT_EQ(test::queryNumber(path, "SELECT COUNT(*) FROM Patient"), -1);

    Outcome r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_EQ(lineOf(r.out, path),
              QDir::toNativeSeparators(path) + ": OK (a write interrupted by a crash was rolled back first)");
    EXPECT_FALSE(QFile::exists(path + "-journal"));
    EXPECT_EQ(test::queryNumber(path, "SELECT COUNT(*) FROM Patient WHERE LNAME = 'Crash'"), 0);
    EXPECT_EQ(test::queryNumber(path, "SELECT COUNT(*) FROM Patient"), 2000);

    // Said once: the next check finds nothing to roll back.
    r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(lineOf(r.out, path), QDir::toNativeSeparators(path) + ": OK");
}

TEST_F(FileCheckTest, AnUnreadableDataFolderOrFileIsAnErrorNotAMissingFile)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    const QString data = dir.file("DATA");
    makePatients(data, 3);
    // A link that loops cannot be read by anyone, root included.
    const QString loop = data + "/Invoice.db";
    ASSERT_TRUE(QFile::link("Invoice.db", loop));
    Outcome r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(lineOf(r.out, loop).contains(": cannot be read (")) << r.out.toStdString();
    EXPECT_EQ(lineOf(r.out, data + "/Patient.db"), QDir::toNativeSeparators(data + "/Patient.db") + ": OK");
    {
        // Nor does the program take it for a missing file to create anew.
        std::vector<unsigned char> buffer(std::size_t(file::Invoice.recordLength));
        platform::RecordFile f(file::Invoice, buffer.data());
        f.setDirectory(data);
        EXPECT_EQ(f.open(), errc::DriverError);
    }
    ASSERT_TRUE(QFile::remove(loop));

    // Permission bits, tried by a user they bind (not root). An unreadable
    // file, then an unreadable folder.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(data).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(data + "/Patient.db").constData(), 0), 0);
    r = runKestrel({"--root", dir.path(), "check"}, test::Permissions::Bound);
    if (r.status == test::kCannotDropOverride) GTEST_SKIP() << "running as root without the right to give up its override";
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(lineOf(r.out, data + "/Patient.db").contains(": cannot be read (Permission denied)"))
        << r.out.toStdString() << r.err.toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(data).constData(), 0), 0);
    r = runKestrel({"--root", dir.path(), "check"}, test::Permissions::Bound);
    ::chmod(QFile::encodeName(data).constData(), 0700);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("cannot be read (Permission denied): nothing was examined")) << r.err.toStdString();
}

TEST_F(FileCheckTest, PlaceholdersOfNumberedFilesAreNamedAndRemovedByRebuild)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    const QString data = dir.file("DATA");
    makePatients(data, 3);
    // Inserts whose stations were killed before Save: a patient and a
    // provider with their number only, a claim with its number and patient.
    addRecord(data, file::Patient, {{"PAT:PAT", 4}});
    addRecord(data, file::Patient, {{"PAT:PAT", 5}}, "Named");
    addRecord(data, file::Provider, {{"PRV:PRV", 1}}, "Dr One");
    addRecord(data, file::Provider, {{"PRV:PRV", 2}});
    addRecord(data, file::Invoice, {{"INV:INV", 7}, {"INV:PAT", 1}});
    addRecord(data, file::Invoice, {{"INV:INV", 8}, {"INV:PAT", 1}, {"INV:PRV", 1}});
    // Not a numbered file: a record of zeros there is no placeholder.
    addRecord(data, file::Auth, {});

    Outcome r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 1);
    const QString hint = ": placeholders of an Insert never saved (check --rebuild removes them)";
    EXPECT_EQ(lineOf(r.out, data + "/Patient.db"), QDir::toNativeSeparators(data + "/Patient.db") +
                                                       ": OK; 1 records hold nothing but their number (PAT:PAT 4)" +
                                                       hint);
    EXPECT_TRUE(lineOf(r.out, data + "/Provider.dat").endsWith("(PRV:PRV 2)" + hint)) << r.out.toStdString();
    EXPECT_TRUE(lineOf(r.out, data + "/Invoice.db").endsWith("(INV:INV 7)" + hint)) << r.out.toStdString();
    EXPECT_EQ(lineOf(r.out, data + "/Auth.db"), QDir::toNativeSeparators(data + "/Auth.db") + ": OK");

    r = runKestrel({"--root", dir.path(), "check", "--rebuild"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(lineOf(r.out, data + "/Patient.db")
                    .endsWith("; removed 1 placeholders holding nothing but their number (PAT:PAT 4)"))
        << r.out.toStdString();
    EXPECT_EQ(test::queryNumber(data + "/Patient.db", "SELECT COUNT(*) FROM Patient WHERE PAT IN (1, 2, 3, 5)"), 4);
    EXPECT_EQ(test::queryNumber(data + "/Patient.db", "SELECT COUNT(*) FROM Patient"), 4);
    EXPECT_EQ(test::queryNumber(data + "/Provider.dat", "SELECT COUNT(*) FROM Provider"), 1);
    EXPECT_EQ(test::queryNumber(data + "/Invoice.db", "SELECT INV FROM Invoice"), 8);
    EXPECT_EQ(test::queryNumber(data + "/Auth.db", "SELECT COUNT(*) FROM Auth"), 1);

    EXPECT_EQ(runKestrel({"--root", dir.path(), "check"}).status, 0);
}

TEST_F(FileCheckTest, CopiesLeftByAKilledRebuildAreRemovedAtTheNextCheckOrOpen)
{
    ASSERT_TRUE(QFile::exists(kestrelBinary())) << "build the kestrel target first: " << kestrelBinary().toStdString();
    const QString data = dir.file("DATA");
    makePatients(data, 3);
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    auto leave = [&](const QString& name) {
        QFile f(data + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("patient data");
    };
    const QString killed = QStringLiteral("Patient.db.rebuild-%1").arg(dead);
    const QString working = QStringLiteral("Patient.db.rebuild-%1").arg(::getpid());
    leave(killed);
    leave(killed + "-journal");
    leave(working);

    Outcome r = runKestrel({"--root", dir.path(), "check"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(lineOf(r.out, data + "/Patient.db").contains("removed " + killed + ", a copy an interrupted rebuild"))
        << r.out.toStdString();
    EXPECT_FALSE(QFile::exists(data + "/" + killed));
    EXPECT_FALSE(QFile::exists(data + "/" + killed + "-journal"));
    EXPECT_TRUE(QFile::exists(data + "/" + working)) << "the copy of a rebuild still running was removed";

    // The next open does the same, also for a file not created yet.
    const QString created = QStringLiteral("Item.db.new-%1").arg(dead);
    leave(created);
    std::vector<unsigned char> buffer(std::size_t(file::Item.recordLength));
    platform::RecordFile f(file::Item, buffer.data());
    f.setDirectory(data);
    EXPECT_EQ(f.open(), errc::FileNotFound);
    EXPECT_FALSE(QFile::exists(data + "/" + created));
}
