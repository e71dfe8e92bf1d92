// Standard messages as real Qt message boxes, answered by clicking.
#include "shell/qtmessageservice.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kestrel;
using data::Button;

namespace {

struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    int width = 0;       // of the box as shown
    int titleWidth = 0;  // of its title's text
};

// Waits for the next message box (the one showing `text`, when given),
// records what it shows and answers it with `press` (a click, or a key press
// when `key` is given).
void answerNextBox(SeenBox* seen, QMessageBox::StandardButton press, int key = 0, const QString& text = {})
{
    // A timer that polls until the box is there and then goes away (a
    // function that re-armed itself through a shared pointer to itself
    // would own itself and never be freed).
    auto* poll = new QTimer(qApp);  // freed with the application at the latest
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || (!text.isEmpty() && box->text() != text)) return;
        poll->stop();
        poll->deleteLater();
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        seen->defaultButton = box->standardButton(box->defaultButton());
        seen->width = box->width();
        seen->titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle());
        if (key)
            QTest::keyClick(box, Qt::Key(key));
        else
            box->button(press)->click();
    });
    poll->start();
}

int exitStatus = -1;
void recordExit(int status) { exitStatus = status; }

} // namespace

TEST(QtMessageService, ShowsTitleTextIconButtonsAndDefaultAndReturnsTheClick)
{
    shell::QtMessageService service(&recordExit);
    SeenBox seen;
    answerNextBox(&seen, QMessageBox::Ok);
    EXPECT_EQ(service.show(32), Button::Ok);
    EXPECT_EQ(seen.title, "Confirm Delete");
    EXPECT_EQ(seen.text, "You've selected to delete the highlighted record.  Press OK to confirm "
                         "deletion of this record.");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(seen.defaultButton, QMessageBox::Cancel);

    answerNextBox(&seen, QMessageBox::No);
    EXPECT_EQ(service.show(16), Button::No);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

    answerNextBox(&seen, QMessageBox::Retry);
    EXPECT_EQ(service.show(25), Button::Retry);
    EXPECT_EQ(seen.buttons, QMessageBox::Retry | QMessageBox::Cancel);
}

TEST(QtMessageService, EnterTakesTheDefaultButton)
{
    shell::QtMessageService service(&recordExit);
    SeenBox seen;
    answerNextBox(&seen, QMessageBox::NoButton, Qt::Key_Return);
    EXPECT_EQ(service.show(18), Button::Cancel);
}

TEST(QtMessageService, EndingMessageShowsTheFinalTextAndExitsNonZero)
{
    shell::QtMessageService service(&recordExit);
    SeenBox first, final;
    answerNextBox(&first, QMessageBox::No);
    // The final box appears once the first is closed.
    answerNextBox(&final, QMessageBox::Ok, 0, "Invalid Key!");
    exitStatus = -1;
    EXPECT_THROW(service.show(2, "/data/ICD48.db"), data::ProgramEnded);
    EXPECT_EQ(first.text, "/data/ICD48.db key file is invalid.  Do you want to rebuild the key?");
    EXPECT_EQ(final.text, "Invalid Key!");
    EXPECT_EQ(exitStatus, 1);
    // A box with a short text is still wide enough to show its whole title
    // beside the title bar's icon and buttons.
    EXPECT_EQ(final.title, "Invalid Key");
    EXPECT_GE(final.width, final.titleWidth + shell::kTitleBarExtras);
}

TEST(QtMessageService, MessageFromAWorkerThreadIsShownOnTheGuiThread)
{
    shell::QtMessageService service(&recordExit);
    SeenBox seen;
    QThread* boxThread = nullptr;
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, *poll);
            return;
        }
        boxThread = box->thread();
        seen.title = box->windowTitle();
        box->button(QMessageBox::Ok)->click();
    };
    QTimer::singleShot(0, *poll);

    Button answer = Button::None;
    QEventLoop loop;
    QThread* worker = QThread::create([&] { answer = service.show(38); });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;

    EXPECT_EQ(answer, Button::Ok);
    EXPECT_EQ(seen.title, "Record Was Not Updated");
    EXPECT_EQ(boxThread, qApp->thread());
}
