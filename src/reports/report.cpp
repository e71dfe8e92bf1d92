#include "reports/report.h"

namespace kestrel::reports {

TextControl& Band::control(const QString& name)
{
    for (TextControl& c : controls)
        if (c.name == name)
            return c;
    Q_ASSERT_X(false, "Band::control", qPrintable(name));
    static thread_local TextControl scratch;
    scratch = TextControl();
    scratch.hidden = true;
    return scratch;
}

const TextControl* Band::find(const QString& name) const
{
    for (const TextControl& c : controls)
        if (c.name == name)
            return &c;
    return nullptr;
}

void Band::clearTexts()
{
    for (TextControl& c : controls)
        c.text.clear();
}

Report::Report(ReportLayout layout, PageSink& sink) : layout_(std::move(layout)), sink_(sink) {}

void Report::place(const Band& band, int top)
{
    for (const PlacedBox& b : band.boxes) {
        PlacedBox moved = b;
        moved.rect.translate(0, top);
        page_->boxes.push_back(moved);
    }
    for (const PlacedRule& r : band.rules) {
        PlacedRule moved = r;
        moved.y1 += top;
        moved.y2 += top;
        page_->rules.push_back(moved);
    }
    for (const TextControl& c : band.controls) {
        if (c.hidden || c.text.isEmpty())
            continue;
        PlacedText t;
        t.x = c.x;
        t.y = top + c.y;
        t.width = c.width;
        t.text = c.text;
        t.font = c.font;
        t.align = c.align;
        page_->texts.push_back(std::move(t));
    }
}

void Report::openPage()
{
    page_.emplace();
    page_->background = layout_.formPainter;
    place(layout_.form, 0);
    place(layout_.pageHeader, layout_.pageHeaderTop);
    nextDetailTop_ = layout_.detailTop;
    detailsOnPage_ = 0;
}

void Report::closePage()
{
    if (!page_)
        return;
    if (pageClosing)
        pageClosing(pagesClosed_ + 1);
    place(layout_.pageFooter, layout_.pageFooterTop);
    ++pagesClosed_;
    Page finished = std::move(*page_);
    page_.reset();
    sink_.addPage(std::move(finished));
}

void Report::printDetail(const Band& detail, const QVariant& groupKey)
{
    const bool groupChanged = groupKey.isValid() && lastGroup_.isValid() && groupKey != lastGroup_;
    if (groupKey.isValid())
        lastGroup_ = groupKey;
    const bool full = page_ && detailsOnPage_ > 0 && nextDetailTop_ + detail.height > layout_.detailBottom;
    if (page_ && (breakPending_ || groupChanged || full))
        closePage();
    breakPending_ = false;
    if (!page_)
        openPage();
    place(detail, nextDetailTop_);
    nextDetailTop_ += detail.height;
    ++detailsOnPage_;
}

void Report::breakPage()
{
    breakPending_ = true;
}

void Report::finish()
{
    closePage();
}

} // namespace kestrel::reports
