#include "managers/backupwindows.h"

#include "shell/artwork.h"
#include "shell/helpviewer.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace kestrel::managers {

namespace {

// One line of a confirmation window's text.
struct Line {
    const char* text;
    bool heading = false;    // "Warning:" stands out
    bool gapBefore = false;  // a new paragraph
};

// A confirmation window, as it reads.
struct Confirmation {
    const char* title;
    std::initializer_list<Line> lines;
    const char* helpTopic;
    const char* command;   // the subcommand OK starts
    bool okIsDefault;      // Enter presses OK; a reload over the data asks for a deliberate click
};

const Confirmation kBackup{
    .title = "Confirm Backup",
    .lines = {{"You've selected to backup the data files."},
              {"Select OK to confirm your request.", false, true}},
    .helpTopic = "ConfirmBackup",
    .command = "backup",
    .okIsDefault = true,
};

const Confirmation kReload{
    .title = "Confirm Reload",
    .lines = {{"You've selected to load the backup files"},
              {"to the data directory."},
              {"Select OK to confirm your request.", false, true},
              {"Warning:", true, true},
              {"If confirmed, it will reload the backup data to"},
              {"the data directory"}},
    .helpTopic = "ConfirmReload",
    .command = "reload",
    .okIsDefault = false,
};

// How long a closing program waits for a backup or reload it started: the
// commands give up on a lock after 30 seconds.
constexpr int CommandExitWaitMs = 120'000;

// The picture beside the text, in pixels.
constexpr int PictureSide = 64;

BackupCommand& command()
{
    static BackupCommand c;
    return c;
}

// The window: picture on the left, the text beside it, Cancel and OK under
// it on the right. F1 shows its help page.
class ConfirmWindow final : public QDialog {
public:
    ConfirmWindow(const Confirmation& c, QWidget* parent) : QDialog(parent), topic_(c.helpTopic)
    {
        setWindowTitle(QString::fromLatin1(c.title));
        setModal(true);
        auto* picture = new QLabel;
        picture->setObjectName("picture");
        picture->setPixmap(shell::artwork::productIcon().pixmap(PictureSide, PictureSide));
        picture->setAlignment(Qt::AlignTop);

        auto* text = new QVBoxLayout;
        text->setSpacing(0);
        for (const Line& l : c.lines) {
            if (l.gapBefore) text->addSpacing(fontMetrics().height() / 2 + 2);
            auto* label = new QLabel(QString::fromLatin1(l.text));
            if (l.heading) {
                QFont bold = label->font();
                bold.setBold(true);
                label->setFont(bold);
            }
            text->addWidget(label);
        }
        auto* top = new QHBoxLayout;
        top->addWidget(picture);
        top->addSpacing(12);
        top->addLayout(text, 1);

        auto* cancel = new QPushButton(QStringLiteral("&Cancel"));
        auto* ok = new QPushButton(QStringLiteral("&OK"));
        (c.okIsDefault ? ok : cancel)->setDefault(true);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(cancel);
        buttons->addWidget(ok);

        auto* all = new QVBoxLayout(this);
        all->addLayout(top);
        all->addSpacing(8);
        all->addLayout(buttons);
        all->setSizeConstraint(QLayout::SetFixedSize);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_F1) {
            shell::help::show(topic_, this);
            return;
        }
        QDialog::keyPressEvent(event);
    }

private:
    QString topic_;
};

// Why a finished command failed: its last line on standard error, else how
// it ended.
QString reasonOf(QProcess& p)
{
    const QStringList lines =
        QString::fromLocal8Bit(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    if (p.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("the %1 process was ended before it finished.").arg(p.arguments().constLast());
    if (!lines.isEmpty()) return lines.last().trimmed();
    return QStringLiteral("it ended with status %1.").arg(p.exitCode());
}

void report(const QPointer<QWidget>& parent, const QString& title, const QString& text)
{
    QWidget* over = parent ? parent->window() : QApplication::activeWindow();
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, over);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// Starts `kestrel ... NAME` and watches it until it ends; the process object
// belongs to the application, so that the window that started it may close.
void start(const char* name, const QString& title, const QString& failed, QWidget* parent)
{
    const BackupCommand& c = backupCommand();
    if (c.program.isEmpty()) {
        qWarning("kestrel %s: no command is set, nothing was started", name);
        return;
    }
    auto* p = new QProcess(QCoreApplication::instance());
    p->setStandardOutputFile(QProcess::nullDevice());
    p->setStandardInputFile(QProcess::nullDevice());
    QPointer<QWidget> over(parent);
    QObject::connect(p, &QProcess::finished, p, [p, over, title, failed](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0) report(over, title, failed.arg(reasonOf(*p)));
        p->deleteLater();
    });
    QObject::connect(p, &QProcess::errorOccurred, p, [p, over, title, failed](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;  // the rest end in finished()
        const QString why = QStringLiteral("the program %1 could not be started (%2).");
        report(over, title, failed.arg(why.arg(p->program(), p->errorString())));
        p->deleteLater();
    });
    // A program closing meanwhile lets the command finish: a reload stopped
    // half way would leave the data files partly reloaded.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, p, [p] { p->waitForFinished(CommandExitWaitMs); });
    p->start(c.program, c.arguments + QStringList{QString::fromLatin1(name)});
}

bool confirm(const Confirmation& c, QWidget* parent, void (*run)(QWidget*))
{
    ConfirmWindow window(c, parent);
    if (window.exec() != QDialog::Accepted) return false;
    run(parent);
    return true;
}

} // namespace

void setBackupCommand(BackupCommand c) { command() = std::move(c); }

const BackupCommand& backupCommand() { return command(); }

bool confirmBackup(QWidget* parent) { return confirm(kBackup, parent, startBackup); }

bool confirmReload(QWidget* parent) { return confirm(kReload, parent, startReload); }

void startBackup(QWidget* parent)
{
    start("backup", QStringLiteral("Backup files"),
          QStringLiteral("The backup of the data files failed.\n\nWhy: %1"),
          parent);
}

void startReload(QWidget* parent)
{
    start("reload", QStringLiteral("Reload backup files"),
          QStringLiteral("The reload of the backup files failed.\n\nWhy: %1"), parent);
}

} // namespace kestrel::managers
