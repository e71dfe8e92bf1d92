#pragma once
// The product's own pictures, drawn in code: the icon (a kestrel on a tile)
// and the background picture of the frame's client area.

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace kestrel::shell::artwork {

QIcon productIcon();
// The background picture drawn for exactly `size`, so it fills the area.
QPixmap background(const QSize& size);

} // namespace kestrel::shell::artwork
