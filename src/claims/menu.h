#pragma once
// The claims' items of the frame's menu (see managers/menu.h for why each
// library connects its own).

namespace kestrel::shell {
class MainWindow;
}

namespace kestrel::claims {

// "&Invoice Browser ...": the patient account browser, a new child window
// of the frame each time, working on the frame's root.
void connectMenu(shell::MainWindow& frame);

} // namespace kestrel::claims
