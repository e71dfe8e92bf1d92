#include "shell/startup.h"

#include "data/demopractice.h"
#include "data/messages.h"
#include "platform/inifile.h"
#include "shell/callprotocol.h"
#include "shell/helpviewer.h"
#include "shell/runtimelog.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kestrel::shell {

std::unique_ptr<MainWindow> startUp(const platform::RootDir& root, PrinterSettings& printer,
                                    const StartUpSteps& steps)
{
    if (steps.clearRecordBuffers)
        steps.clearRecordBuffers();
    clearCallProtocol();

    help::setUp(root.helpDir());

    auto frame = std::make_unique<MainWindow>(root, printer);
    frame->restoreSavedGeometry();
    frame->show();
    closeOnTermination(frame.get());
    if (runtimelog::isActive())
        qInfo("frame open, root %s", qPrintable(platform::RootDir::nativePath(root.path())));
    // Asked from the event loop, so that a termination signal while the
    // question is open still ends the program; not once the frame is closing.
    if (steps.offerSamplePractice)
        QTimer::singleShot(0, frame.get(), [root, shown = frame.get()] {
            if (shown->isVisible()) offerSamplePractice(root);
        });
    return frame;
}

bool offerSamplePractice(const platform::RootDir& root)
{
    const QString section = QString::fromLatin1(kStartSection), key = QString::fromLatin1(kSamplePracticeKey);
    {
        const platform::IniFile ini(root.iniFile());
        if (ini.contains(section, key)) return false;
    }
    if (!data::dataDirectoryIsEmpty()) return false;
    const data::Button answer = data::messageService().ask(
        QStringLiteral("Sample Practice"),
        QStringLiteral("There are no records yet. Open a sample practice?\n\n"
                       "It holds made-up providers, patients, codes and claims to try the program with."));
    platform::IniFile ini(root.iniFile());
    ini.setValue(section, key, answer == data::Button::Yes ? QStringLiteral("Yes") : QStringLiteral("No"));
    QString error;
    if (!ini.sync(&error)) qWarning("%s", qPrintable(error));
    if (answer != data::Button::Yes) return false;
    const data::DemoLoad load = data::loadDemoPractice();
    for (const QString& p : load.problems) qWarning("sample practice: %s", qPrintable(p));
    return load.result == data::DemoLoad::Result::Loaded;
}

namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGHUP};
int terminationPipe[2] = {-1, -1};

extern "C" void onTermination(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(terminationPipe[1], &byte, 1);
}

void setTerminationHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kTerminationSignals)
        ::sigaction(s, &action, nullptr);
}

} // namespace

void closeOnTermination(QWidget* frame)
{
    if (terminationPipe[0] < 0 && ::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Termination signals will end the program without its closing steps");
        return;
    }
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, frame);
    QObject::connect(notifier, &QSocketNotifier::activated, frame, [frame] {
        char bytes[16];
        while (::read(terminationPipe[0], bytes, sizeof bytes) > 0) {
        }
        // A message box left open answers as its Escape would, so that the
        // frame's closing steps are not kept waiting behind it.
        while (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (!box->close()) break;
        }
        frame->close();
    });
    QObject::connect(notifier, &QObject::destroyed, [] { setTerminationHandler(SIG_DFL); });
    setTerminationHandler(onTermination);
}

} // namespace kestrel::shell
