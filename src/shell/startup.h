#pragma once
// Start-up of the program, in order: the record buffers and the call codes
// are cleared, the help pages are set up, the frame opens at the place saved
// for it. No record file is opened here; every procedure opens what it uses.

#include "shell/mainwindow.h"

#include <functional>
#include <memory>

namespace kestrel::shell {

struct StartUpSteps {
    // Clears the record buffers of every file. Set by the executable, which
    // links the data library's registry.
    std::function<void()> clearRecordBuffers;
};

// Runs the start-up steps and returns the frame, shown. The caller runs the
// event loop.
std::unique_ptr<MainWindow> startUp(const platform::RootDir& root, PrinterSettings& printer,
                                    const StartUpSteps& steps);

} // namespace kestrel::shell
