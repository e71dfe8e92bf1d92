#pragma once
// The frame's menu as the program wires it: each library above the shell
// connects its own items (the shell cannot call upward), and this is the one
// place that calls them all. The executable, the screenshot tool and the
// menu test share it, so a library left out here is left out everywhere
// and the menu test sees it.

namespace kestrel::shell {
class MainWindow;
}

namespace kestrel::app {

// Connects every item of the bar that starts a window or a report. The
// backup and reload commands are named separately (managers::setBackupCommand).
void connectFrameMenu(shell::MainWindow& frame);

} // namespace kestrel::app
