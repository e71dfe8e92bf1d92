// The Confirm Backup and Confirm Reload windows and the watched command
// process behind them. The command here is a small shell script that notes
// each run in a file and fails when told to, so that what was started (and
// what was not) can be read back.
#include "data/file_access.h"
#include "managers/backupwindows.h"
#include "platform/rootdir.h"
#include "support/guiactions.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace kestrel;

class BackupWindows : public ::testing::Test {
protected:
    // `script` runs with the command's name ("backup", "reload") as $1.
    void useScript(const QString& script)
    {
        managers::setBackupCommand({"/bin/sh", {"-c", script, "sh"}});
    }
    QString trace() const
    {
        QFile f(dir.file("trace"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // Every started command has ended and been reported.
    static bool allEnded() { return QCoreApplication::instance()->findChildren<QProcess*>().isEmpty(); }
    static QMessageBox* shownMessage()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
        return nullptr;
    }
    void TearDown() override
    {
        EXPECT_TRUE(QTest::qWaitFor(allEnded, 20000));
        while (QMessageBox* box = shownMessage()) box->close();
        test::settle();
    }

    test::TempDir dir;
};

QStringList labels(QWidget* w)
{
    QStringList out;
    for (auto* l : w->findChildren<QLabel*>())
        if (!l->text().isEmpty()) out << l->text();
    return out;
}

QPushButton* button(QWidget* w, const QString& text)
{
    for (auto* b : w->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

TEST_F(BackupWindows, EachWindowShowsItsTextAndStartsItsCommandOnlyOnOk)
{
    useScript("echo \"$1\" >> '" + dir.file("trace") + "'");
    struct Case {
        bool (*confirm)(QWidget*);
        const char* title;
        QStringList texts;
        const char* command;
    };
    const Case cases[] = {
        {managers::confirmBackup, "Confirm Backup",
         {"You've selected to backup the data files.", "Select OK to confirm your request."}, "backup"},
        {managers::confirmReload, "Confirm Reload",
         {"You've selected to load the backup files", "to the data directory.", "Select OK to confirm your request.",
          "Warning:", "If confirmed, it will reload the backup data to", "the data directory"},
         "reload"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        // Cancel, then Esc: nothing is started.
        for (bool escape : {false, true}) {
            test::whenModal([&](QWidget* w) {
                EXPECT_EQ(w->windowTitle(), c.title);
                EXPECT_EQ(labels(w), c.texts);
                auto* picture = w->findChild<QLabel*>("picture");
                EXPECT_TRUE(picture && !picture->pixmap().isNull());
                ASSERT_NE(button(w, "&OK"), nullptr);
                if (escape) {
                    QTest::keyClick(w, Qt::Key_Escape);
                } else {
                    w->grab().save(QStringLiteral("/tmp/backup-%1.png").arg(c.command));
                    button(w, "&Cancel")->click();
                }
            });
            EXPECT_FALSE(c.confirm(nullptr));
            EXPECT_TRUE(allEnded()) << "a command was started";
        }
        test::whenModal([](QWidget* w) { button(w, "&OK")->click(); });
        EXPECT_TRUE(c.confirm(nullptr));
        EXPECT_TRUE(QTest::qWaitFor(allEnded, 20000));
    }
    EXPECT_EQ(trace(), "backup\nreload\n");
    EXPECT_EQ(shownMessage(), nullptr) << "a command that succeeded was reported";
}

TEST_F(BackupWindows, AFailedCommandIsReportedWithItsReason)
{
    useScript("echo 'kestrel backup: copying' >&2; echo 'The disk is full' >&2; exit 1");
    QWidget owner;
    managers::startBackup(&owner);
    ASSERT_TRUE(QTest::qWaitFor([] { return shownMessage() != nullptr; }, 20000));
    QMessageBox* box = shownMessage();
    EXPECT_EQ(box->windowTitle(), "Backup files");
    EXPECT_TRUE(box->text().startsWith("The backup of the data files failed.")) << box->text().toStdString();
    EXPECT_TRUE(box->text().endsWith("Why: The disk is full")) << box->text().toStdString();
    box->close();
    test::settle();

    // A process killed on its way is not a success either.
    useScript("kill -9 $$");
    managers::startReload(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return shownMessage() != nullptr; }, 20000));
    EXPECT_TRUE(shownMessage()->text().contains("the reload process was ended before it finished"))
        << shownMessage()->text().toStdString();
    shownMessage()->close();
    test::settle();

    managers::setBackupCommand({dir.file("no-such-program"), {}});
    managers::startBackup(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return shownMessage() != nullptr; }, 20000));
    EXPECT_TRUE(shownMessage()->text().contains("could not be started")) << shownMessage()->text().toStdString();
}

TEST_F(BackupWindows, TheProgramsOwnCommandsRunFromTheWindows)
{
    test::ScriptedMessages messages;
    const platform::RootDir root(dir.path());
    ASSERT_TRUE(root.ensureExists());
    managers::setBackupCommand(
        {qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QCoreApplication::applicationDirPath() + "/..") + "/kestrel",
         {"--root", root.path()}});

    managers::startReload(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return shownMessage() != nullptr; }, 30000));
    const QString text = shownMessage()->text();
    EXPECT_TRUE(text.contains("Why: There is no backup to reload")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("nothing in the data folder was changed.")) << text.toStdString();
    shownMessage()->close();

    ASSERT_TRUE(data::setDataDirectory(root.dataDir()));
    test::addPatient(1);
    data::setDataDirectory(QString());
    managers::startBackup(nullptr);
    EXPECT_TRUE(QTest::qWaitFor(allEnded, 30000));
    EXPECT_EQ(shownMessage(), nullptr);
    EXPECT_EQ(QDir(root.backupDir()).entryList(QDir::Files), QStringList{"Patient.db"});
}

} // namespace
