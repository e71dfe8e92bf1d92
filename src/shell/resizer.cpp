#include "shell/resizer.h"

#include <algorithm>
#include <cmath>

namespace kestrel::shell {

unsigned Resizer::positionalFor(ControlKind kind)
{
    return kind == ControlKind::Button ? (FixNearestH | FixNearestV) : 0u;
}

unsigned Resizer::resizeFor(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        return LockWidth | LockHeight;
    case ControlKind::Entry:
    case ControlKind::ComboBox:
    case ControlKind::SpinBox:
    case ControlKind::DisplayField:
        return LockHeight;
    case ControlKind::DisplayText:
    case ControlKind::Other:
        return 0;
    }
    return 0;
}

ResizerControl Resizer::control(int number, ControlKind kind, const QRect& initial)
{
    return ResizerControl{number, kind, positionalFor(kind), resizeFor(kind), initial};
}

Resizer::Resizer(const QRect& initialWindow, std::vector<ResizerControl> controls)
    : initial_(initialWindow), previous_(initialWindow.size()), controls_(std::move(controls))
{
    std::stable_sort(controls_.begin(), controls_.end(),
                     [](const ResizerControl& a, const ResizerControl& b) { return a.number < b.number; });
}

double Resizer::factor(int current, int initial)
{
    if (initial <= 0)
        return 1.0;
    return std::round(double(current) / initial * 10000.0) / 10000.0;
}

namespace {

// One axis of the layout. `start`/`extent` are the control's designed left
// and width (or top and height), `window` the designed window extent,
// `current` the window's extent now.
struct Axis {
    int start;
    int extent;
    int window;
    int current;
    double factor;
    bool locked;  // size locked on this axis
};

// Bits of one axis, normalised to the horizontal values.
constexpr unsigned kLockStart = LockLeft, kFixEnd = FixRight, kFixStart = FixLeft,
                   kFixCentre = FixCentreH, kFixNearest = FixNearestH;

void place(const Axis& a, unsigned bits, double& pos, double& extent)
{
    pos = a.start * a.factor;
    extent = a.locked ? a.extent : a.extent * a.factor;

    if (bits & kFixNearest) {
        // The gap to the far edge against the gap to the near edge, in the
        // designed window: the control stays with whichever side is closer.
        const int farGap = a.window - a.start - a.extent;
        bits = (bits & ~kFixNearest) | (farGap < a.start ? kFixEnd : kFixStart);
    }
    if (a.factor == 1.0)
        return;

    const double scale = a.locked ? 1.0 : a.factor;
    if (bits & kLockStart)
        pos = a.start;
    else if (bits & kFixEnd)
        pos = a.current - (a.window - a.start) * scale;
    else if (bits & kFixStart)
        pos = a.start * scale;
    else if (bits & kFixCentre)
        pos = a.current / 2.0 + (a.start - a.window / 2.0) * scale;
}

int toUnits(double v)
{
    return int(std::lround(v));
}

} // namespace

std::optional<std::vector<ControlPlacement>> Resizer::resize(const QSize& size)
{
    if (size == previous_)
        return std::nullopt;
    previous_ = size;

    const double hf = factor(size.width(), initial_.width());
    const double vf = factor(size.height(), initial_.height());

    std::vector<ControlPlacement> out;
    out.reserve(controls_.size());
    for (const ResizerControl& c : controls_) {
        double x = 0, y = 0, w = 0, h = 0;
        place(Axis{c.initial.x(), c.initial.width(), initial_.width(), size.width(), hf,
                   bool(c.resize & LockWidth)},
              c.positional & 0xFFu, x, w);
        place(Axis{c.initial.y(), c.initial.height(), initial_.height(), size.height(), vf,
                   bool(c.resize & LockHeight)},
              (c.positional >> 8) & 0xFFu, y, h);
        ControlPlacement p;
        p.number = c.number;
        p.rect = QRect(toUnits(x), toUnits(y), toUnits(w), toUnits(h));
        p.naturalWidth = c.kind == ControlKind::DisplayText && c.initial.width() == 1;
        out.push_back(p);
    }
    return out;
}

} // namespace kestrel::shell
