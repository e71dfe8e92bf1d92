#pragma once
// Moving and stretching a window's controls when the window is resized.
//
// This unit knows nothing of widgets: it holds the window's designed
// rectangle and the list of its controls, each with the designed rectangle
// and the positional and resize strategies its kind gets, and turns a new
// window size into each control's rectangle. ResizerAdapter applies it to a
// real window.
//
// Every control scales with the window unless its strategy says otherwise:
// buttons keep their size and their distance from the nearer side of the
// window, check boxes and radio buttons keep their size, entry fields and
// one-line display-only fields keep their height.

#include <QRect>
#include <QSize>
#include <optional>
#include <vector>

namespace kestrel::shell {

enum class ControlKind {
    Button,
    CheckBox,
    RadioButton,
    Entry,        // entry field (text, date)
    ComboBox,     // also drop-down combo
    SpinBox,
    DisplayText,  // display-only text (a label)
    DisplayField, // display-only field of one line (a boxed value): keeps its height
    Other,        // lists, groups, images, tabs ...
};

// Positional strategy bits.
enum PositionBits : unsigned {
    LockLeft = 1,
    FixRight = 2,
    FixLeft = 4,
    FixCentreH = 8,
    FixNearestH = 16,
    LockTop = 256,
    FixBottom = 512,
    FixTop = 1024,
    FixCentreV = 2048,
    FixNearestV = 4096,
};

// Resize strategy bits.
enum ResizeBits : unsigned {
    LockWidth = 1,
    LockHeight = 2,
};

struct ResizerControl {
    int number = 0;          // order in the window; the list is kept sorted by it
    ControlKind kind = ControlKind::Other;
    unsigned positional = 0; // PositionBits
    unsigned resize = 0;     // ResizeBits
    QRect initial;           // designed rectangle, in window coordinates
};

struct ControlPlacement {
    int number = 0;
    QRect rect;
    // A display-only text designed 1 unit wide is sized to its own text.
    bool naturalWidth = false;
};

class Resizer {
public:
    // The strategies a control kind gets when the window opens.
    static unsigned positionalFor(ControlKind kind);
    static unsigned resizeFor(ControlKind kind);
    static ResizerControl control(int number, ControlKind kind, const QRect& initial);

    Resizer(const QRect& initialWindow, std::vector<ResizerControl> controls);

    const QRect& initialWindow() const { return initial_; }
    const std::vector<ResizerControl>& controls() const { return controls_; }

    // The window now has `size`. Returns every control's new rectangle, in
    // control order, or nothing when neither width nor height changed since
    // the last layout (a move lays out nothing).
    std::optional<std::vector<ControlPlacement>> resize(const QSize& size);

    // Scale factor new/initial kept to 4 decimal places; exposed for tests.
    static double factor(int current, int initial);

private:
    QRect initial_;
    QSize previous_;
    std::vector<ResizerControl> controls_;
};

} // namespace kestrel::shell
