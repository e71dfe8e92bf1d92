#pragma once
// The CMS-1500 (02/12) claim form drawn as vector graphics: rules, boxes,
// shaded service-line halves, titles and small print in the form's red
// dropout ink, and the two-dimensional code area in black (a placeholder
// pattern, not a readable code). Used as the background of the claim form
// pages printed on blank paper.

class QPainter;

namespace kestrel::reports {

// Paints the whole form into a painter whose coordinates are mils from the
// paper's corner (8500 x 11000). Leaves the painter's state as it found it.
void drawCms1500Form(QPainter& painter);

} // namespace kestrel::reports
