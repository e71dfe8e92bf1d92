#include "shell/startup.h"

#include "shell/callprotocol.h"
#include "shell/helpviewer.h"
#include "shell/runtimelog.h"

#include <QSocketNotifier>

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
    return frame;
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
        frame->close();
    });
    QObject::connect(notifier, &QObject::destroyed, [] { setTerminationHandler(SIG_DFL); });
    setTerminationHandler(onTermination);
}

} // namespace kestrel::shell
