#include "reports/previewstate.h"

#include <algorithm>

namespace kestrel::reports {

QString zoomCaption(Zoom zoom)
{
    switch (zoom) {
    case Zoom::None: return QStringLiteral("No Zoom");
    case Zoom::PageWidth: return QStringLiteral("Zoom (Page Width)");
    case Zoom::Percent50: return QStringLiteral("Zoom (50%)");
    case Zoom::Percent75: return QStringLiteral("Zoom (75%)");
    case Zoom::Percent100: return QStringLiteral("Zoom (100%)");
    case Zoom::Percent200: return QStringLiteral("Zoom (200%)");
    case Zoom::Percent300: return QStringLiteral("Zoom (300%)");
    }
    return {};
}

double zoomFactor(Zoom zoom)
{
    switch (zoom) {
    case Zoom::Percent50: return 0.5;
    case Zoom::Percent75: return 0.75;
    case Zoom::Percent100: return 1.0;
    case Zoom::Percent200: return 2.0;
    case Zoom::Percent300: return 3.0;
    default: return 0.0;
    }
}

ThumbnailGrid ThumbnailGrid::fit(QSize client, int across, int down, double pageRatio)
{
    ThumbnailGrid g;
    g.across = across;
    g.down = down;
    const int horizontalGaps = across * Gap - 1;
    const int verticalGaps = down * Gap - 1;
    g.cellWidth = std::max(1, (client.width() - horizontalGaps) / across);
    g.cellHeight = std::max(1, (client.height() - verticalGaps) / down);
    if (pageRatio > double(g.cellHeight) / g.cellWidth)
        g.cellWidth = std::max(1, int(g.cellHeight / pageRatio));
    else
        g.cellHeight = std::max(1, int(g.cellWidth * pageRatio));
    return g;
}

QRect ThumbnailGrid::cell(int k) const
{
    const int column = (k - 1) % across, row = (k - 1) / across;
    return QRect(1 + column * (cellWidth + Gap), 1 + row * (cellHeight + Gap), cellWidth, cellHeight);
}

int ThumbnailGrid::cellAt(QPoint point) const
{
    for (int k = 1; k <= across * down; ++k)
        if (cell(k).contains(point))
            return k;
    return 0;
}

PreviewState::PreviewState(int pageCount) : count_(std::max(1, pageCount))
{
    refresh();
}

int PreviewState::lastShown() const
{
    return std::min(count_, current_ + shown() - 1);
}

QString PreviewState::pageText() const
{
    if (shown() == 1 || current_ == count_)
        return QStringLiteral("Page %1 of %2").arg(current_).arg(count_);
    return QStringLiteral("Pages %1-%2 of %3").arg(current_).arg(lastShown()).arg(count_);
}

void PreviewState::next()
{
    if (zoom_ == Zoom::None) {
        if (current_ + shown() <= count_)
            current_ += shown();
    } else if (current_ < count_) {
        ++current_;
    }
    refresh();
}

void PreviewState::previous()
{
    if (zoom_ == Zoom::None)
        current_ = std::max(1, current_ - shown());
    else if (current_ > 1)
        --current_;
    refresh();
}

void PreviewState::setPage(int page)
{
    current_ = std::clamp(page, 1, count_);
    refresh();
}

void PreviewState::setGrid(int across, int down)
{
    across_ = std::clamp(across, 1, MaxGrid);
    down_ = std::clamp(down, 1, MaxGrid);
    zoom_ = Zoom::None;
    refresh();
}

void PreviewState::setZoom(Zoom zoom)
{
    zoom_ = zoom;
    refresh();
}

void PreviewState::openCell(int k)
{
    if (k < 1 || k > shown() || current_ + k - 1 > count_)
        return;
    current_ += k - 1;
    zoom_ = Zoom::PageWidth;
    refresh();
}

void PreviewState::refresh()
{
    if (zoom_ != Zoom::None || count_ == 1)
        return;
    previousEnabled_ = current_ > 1;
    nextEnabled_ = count_ >= current_ + shown();
}

} // namespace kestrel::reports
