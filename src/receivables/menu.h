#pragma once
// The receivables' items of the frame's menu (see managers/menu.h for why
// each library connects its own).

namespace kestrel::shell {
class MainWindow;
}

namespace kestrel::receivables {

// "&Payment Browser ...": the payment account browser, a new child window
// of the frame each time, working on the frame's root.
void connectMenu(shell::MainWindow& frame);

} // namespace kestrel::receivables
