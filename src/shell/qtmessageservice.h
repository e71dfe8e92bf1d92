#pragma once
// Standard messages as Qt message boxes: the title, text, icon (information
// or exclamation), buttons and default button of the message's row. A
// message that ends the program shows its final text in a box of its own and
// then leaves the process with a non-zero status.

#include "data/messages.h"

class QWidget;

namespace kestrel::shell {

// Room a title bar takes besides its text (icon, buttons, margins): a box is
// at least its title's width plus this, so its title is never cut short.
inline constexpr int kTitleBarExtras = 140;

class QtMessageService : public data::MessageService {
public:
    // `exitFn` leaves the process (by default at once, without running static
    // destructors under the procedures' threads; tests pass their own).
    explicit QtMessageService(void (*exitFn)(int) = nullptr);

    // The box for a message, not yet shown; also what present() executes.
    static std::unique_ptr<class QMessageBox> makeBox(const data::Message& m, QWidget* parent);

protected:
    // Boxes are widgets and live on the GUI thread: a procedure running on a
    // thread of its own has its message shown there and waits for the answer.
    data::Button present(const data::Message& m) override;
    void endProgram(const data::Message& m, const QString& finalText) override;

private:
    data::Button presentHere(const data::Message& m);
    void (*exit_)(int);
};

} // namespace kestrel::shell
