// The Confirm Backup and Confirm Reload windows and the watched process
// behind them, running the program's own commands on a fresh root.
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

// Every command started has ended and been reported.
bool allEnded() { return QCoreApplication::instance()->findChildren<QProcess*>().isEmpty(); }

QMessageBox* shownMessage()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

// The text of the next message shown, which must carry `title`; closed.
QString nextMessage(const char* title)
{
    if (!QTest::qWaitFor([] { return shownMessage() != nullptr; }, 30000)) return "no message";
    QMessageBox* box = shownMessage();
    EXPECT_EQ(box->windowTitle(), title);
    const QString text = box->text();
    box->close();
    test::settle();
    return text;
}

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

TEST(BackupWindows, CancelRunsNothingOkRunsTheCommandAndOnlyFailuresAreReported)
{
    test::TempDir dir;
    test::ScriptedMessages messages;
    const platform::RootDir root(dir.path());
    ASSERT_TRUE(root.ensureExists());
    managers::setBackupCommand(
        {qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QCoreApplication::applicationDirPath() + "/..") + "/kestrel",
         {"--root", root.path()}});
    managers::startReload(nullptr);
    EXPECT_EQ(nextMessage("Reload backup files"),
              "The reload of the backup files failed.\n\nWhy: There is no backup to reload: " + root.backupDir() +
                  " holds no record file; nothing in the data folder was changed.");
    ASSERT_TRUE(data::setDataDirectory(root.dataDir()));
    test::addPatient(1);
    data::setDataDirectory(QString());

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
        for (bool escape : {false, true}) {
            test::whenModal([&](QWidget* w) {
                EXPECT_EQ(w->windowTitle(), c.title);
                EXPECT_EQ(labels(w), c.texts);
                auto* picture = w->findChild<QLabel*>("picture");
                EXPECT_TRUE(picture && !picture->pixmap().isNull());
                ASSERT_NE(button(w, "&OK"), nullptr);
                w->grab().save(QStringLiteral("/tmp/backup-%1.png").arg(c.command));
                if (escape)
                    QTest::keyClick(w, Qt::Key_Escape);
                else
                    button(w, "&Cancel")->click();
            });
            EXPECT_FALSE(c.confirm(nullptr));
            EXPECT_TRUE(allEnded()) << "a command was started";
        }
        test::whenModal([](QWidget* w) { button(w, "&OK")->click(); });
        EXPECT_TRUE(c.confirm(nullptr));
        EXPECT_FALSE(allEnded()) << "the window waited for its command";
        EXPECT_TRUE(QTest::qWaitFor(allEnded, 30000));
        EXPECT_EQ(shownMessage(), nullptr) << "a command that succeeded was reported";
    }
    EXPECT_EQ(QDir(root.backupDir()).entryList(QDir::Files), QStringList{"Patient.db"});
    QFile log(root.backupLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString done = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(done.contains(" backup: done\n") && done.contains(" reload: done\n")) << done.toStdString();

    // No command set (a test executable that never said): nothing starts.
    managers::setBackupCommand({});
    managers::startBackup(nullptr);
    EXPECT_TRUE(allEnded());

    // A process killed on its way, and a program that is not there.
    managers::setBackupCommand({"/bin/sh", {"-c", "kill -9 $$", "sh"}});
    managers::startBackup(nullptr);
    EXPECT_TRUE(nextMessage("Backup files").endsWith("Why: the backup process was ended before it finished."));
    managers::setBackupCommand({dir.file("no-such-program"), {}});
    managers::startReload(nullptr);
    EXPECT_TRUE(nextMessage("Reload backup files").contains("could not be started"));
    EXPECT_TRUE(QTest::qWaitFor(allEnded, 30000));
}

} // namespace
