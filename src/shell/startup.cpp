#include "shell/startup.h"

#include "shell/callprotocol.h"
#include "shell/helpviewer.h"

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
    return frame;
}

} // namespace kestrel::shell
