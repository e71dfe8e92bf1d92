#include "shell/qtmessageservice.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <cstdlib>

namespace kestrel::shell {

using data::Button;

namespace {

constexpr std::pair<Button, QMessageBox::StandardButton> buttonMap[] = {
    {Button::Ok, QMessageBox::Ok},         {Button::Yes, QMessageBox::Yes},
    {Button::No, QMessageBox::No},         {Button::Retry, QMessageBox::Retry},
    {Button::Cancel, QMessageBox::Cancel},
};

QMessageBox::StandardButton toQt(Button b)
{
    for (auto [ours, qt] : buttonMap)
        if (ours == b) return qt;
    return QMessageBox::NoButton;
}

Button fromQt(int qt)
{
    for (auto [ours, q] : buttonMap)
        if (q == qt) return ours;
    return Button::None;
}

// Runs `f` on the GUI thread and waits for it.
template <typename F>
void onGuiThread(F&& f)
{
    QObject* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(app, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

// Procedures run on threads of their own and may still be working when a
// message ends the program: running static destructors under them could
// crash and turn the exit status into a signal. Stored data is safe without
// them, since an open transaction is rolled back by the next open.
void leaveProcess(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}

// A box is as wide as its text and buttons need, which for a short text
// ("Invalid File!") leaves too little room for the title: the window manager
// then cuts the title down to a few letters. A spacer across the box's
// layout keeps it wide enough for the whole title.
void fitTitle(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    const int wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarExtras;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

QtMessageService::QtMessageService(void (*exitFn)(int)) : exit_(exitFn ? exitFn : &leaveProcess) {}

std::unique_ptr<QMessageBox> QtMessageService::makeBox(const data::Message& m, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(m.title);
    box->setText(m.text);
    box->setTextFormat(Qt::PlainText);
    box->setIcon(m.def->icon == data::Icon::Exclamation ? QMessageBox::Warning
                                                         : QMessageBox::Information);
    QMessageBox::StandardButtons set;
    for (auto [ours, qt] : buttonMap)
        if (m.def->buttons & int(ours)) set |= qt;
    box->setStandardButtons(set);
    box->setDefaultButton(toQt(m.def->defaultButton));
    fitTitle(*box);
    return box;
}

Button QtMessageService::presentHere(const data::Message& m)
{
    auto box = makeBox(m, QApplication::activeWindow());
    const int result = box->exec();
    Button b = fromQt(result);
    // A box closed without a button (window manager close with no escape
    // button) counts as its default answer.
    if (b == Button::None || !(m.def->buttons & int(b))) b = m.def->defaultButton;
    return b;
}

Button QtMessageService::present(const data::Message& m)
{
    Button answer = Button::None;
    onGuiThread([&] { answer = presentHere(m); });
    return answer;
}

void QtMessageService::endProgram(const data::Message& m, const QString& finalText)
{
    onGuiThread([&] {
        QMessageBox box(QMessageBox::Critical, m.title, finalText, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        fitTitle(box);
        box.exec();
    });
    exit_(EXIT_FAILURE);
}

} // namespace kestrel::shell
