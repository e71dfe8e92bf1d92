#pragma once
// The managers' items of the frame's menu. Each library above the shell
// connects its own items (the shell cannot call upward); the executable only
// calls each library's connectMenu once the frame is up.

namespace kestrel::shell {
class MainWindow;
}

namespace kestrel::managers {

// "&Managers": the provider, patient, CPT/HCPCS, diagnostic code and
// insurance plan name browsers, each a new child window of the frame;
// "&Backup/Reload Utilities": the Confirm Backup and Confirm Reload windows
// (the executable names the command they run: setBackupCommand).
void connectMenu(shell::MainWindow& frame);

} // namespace kestrel::managers
