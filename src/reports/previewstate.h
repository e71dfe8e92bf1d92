#pragma once
// What the report preview shows, without the window: the current page, the
// thumbnail grid, the display mode, the paging rules and the status texts.

#include <QRect>
#include <QSize>
#include <QString>

namespace kestrel::reports {

enum class Zoom { None, PageWidth, Percent50, Percent75, Percent100, Percent200, Percent300 };
inline constexpr int ZoomCount = 7;

// "No Zoom", "Zoom (Page Width)", "Zoom (50%)" ...
QString zoomCaption(Zoom zoom);
// The factor on the page's natural size; Page Width and No Zoom answer 0
// (they depend on the window).
double zoomFactor(Zoom zoom);

// The thumbnail cells in a client area: gaps of 3 units between cells, the
// page's proportions kept, cells placed row by row from (1, 1).
struct ThumbnailGrid {
    int across = 1, down = 1;
    int cellWidth = 0, cellHeight = 0;
    static constexpr int Gap = 3;
    static ThumbnailGrid fit(QSize client, int across, int down, double pageRatio);
    // Cell k, from 1 to across x down.
    QRect cell(int k) const;
    // The cell at a point, or 0.
    int cellAt(QPoint point) const;
};

class PreviewState {
public:
    static constexpr int MaxGrid = 10;
    explicit PreviewState(int pageCount);

    int current() const { return current_; }
    int pageCount() const { return count_; }
    int across() const { return across_; }
    int down() const { return down_; }
    Zoom zoom() const { return zoom_; }
    bool nextEnabled() const { return nextEnabled_; }
    bool previousEnabled() const { return previousEnabled_; }
    bool singlePage() const { return count_ == 1; }

    // Pages shown at once: the cells in No Zoom mode, else one.
    int shown() const { return zoom_ == Zoom::None ? across_ * down_ : 1; }
    // The last page in view.
    int lastShown() const;
    // "Page 3 of 10" or "Pages 1-4 of 10".
    QString pageText() const;

    void next();
    void previous();
    // A typed page, held within 1 and the page count.
    void setPage(int page);
    // A changed grid (kept within 1..10) returns to No Zoom.
    void setGrid(int across, int down);
    void setZoom(Zoom zoom);
    // A thumbnail cell clicked: its page at Page Width (nothing for a hidden cell).
    void openCell(int k);
    // Enabling of Next and Previous after each action (No Zoom with several pages only).
    void refresh();

private:
    int count_;
    int current_ = 1;
    int across_ = 1, down_ = 1;
    Zoom zoom_ = Zoom::None;
    bool nextEnabled_ = true, previousEnabled_ = false;
};

} // namespace kestrel::reports
