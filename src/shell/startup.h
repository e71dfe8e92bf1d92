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
    // Offer the sample practice when the data directory is empty
    // (offerSamplePractice), once the frame is open.
    bool offerSamplePractice = false;
};

// Runs the start-up steps and returns the frame, shown, closing on a
// termination signal (closeOnTermination). The caller runs the event loop.
// With the runtime log on, the log notes that the frame is open.
std::unique_ptr<MainWindow> startUp(const platform::RootDir& root, PrinterSettings& printer,
                                    const StartUpSteps& steps);

// The INI section and key that remember the answer to the sample practice
// question: "Yes" or "No".
inline constexpr const char* kStartSection = "Start";
inline constexpr const char* kSamplePracticeKey = "SamplePractice";

// The first start with a data directory holding no record asks, through the
// message service, whether to open the sample practice, and loads it on Yes.
// The answer is kept in the root's INI file, so the question comes once
// whatever the answer; a root that holds records is not asked (nor
// remembered). Uses the data directory set in file_access. True when the
// practice was loaded.
bool offerSamplePractice(const platform::RootDir& root);

// SIGTERM and SIGHUP (the session ends: logout, shutdown) close `frame` as
// E&xit does, so the closing steps run, once the event loop takes the
// signal. The signal handler only writes a byte to a pipe that the loop
// watches. When the frame is gone the signals end the program as before.
void closeOnTermination(QWidget* frame);

} // namespace kestrel::shell
