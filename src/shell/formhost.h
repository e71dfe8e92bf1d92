#pragma once
// The window side of an update form, as the form engine sees it: kept apart
// from the engine so that window headers need not see the engine's types.

#include <QString>

namespace kestrel::shell {

// The window side, as the engine sees it.
class FormHost {
public:
    virtual ~FormHost() = default;
    // Show the engine's current texts and states in every control.
    virtual void refresh() = 0;
    // Put the focus on control `index` (an input control).
    virtual void focusControl(int index) = 0;
    // The control refused what was typed: beep and say why; it keeps the focus.
    virtual void rejected(int index, const QString& why) = 0;
    // The form has closed: take the window down.
    virtual void closeWindow() = 0;
    virtual void setWaitCursor(bool on) = 0;
};

} // namespace kestrel::shell
