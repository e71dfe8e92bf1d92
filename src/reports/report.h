#pragma once
// The report engine: bands of controls laid out in mils on a US Letter
// portrait page, filled by a report procedure row by row and cut into pages.
//
// A report has
//  - a form band: drawn on every page first (a background painter, e.g. a
//    claim form, and controls at fixed places on the page);
//  - a page header, printed at the top of each new page with the values its
//    controls hold when the row that opens the page is printed;
//  - a detail area between two heights, in which detail bands stack down;
//  - a page footer, printed at its place on each page as the page closes
//    (pageClosing lets the procedure fill it, e.g. with a page total).
// A detail band that no longer fits in the detail area closes the page and
// opens the next; a group break (a change of the group key, or breakPage())
// starts a new page before the next detail band.
//
// Controls are anchored at their top-left corner relative to their band's
// top; one with a width is clipped at it; a hidden control is not printed.
// The engine uses no window and may run on any thread.

#include "reports/page.h"
#include "reports/pagesink.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

namespace kestrel::reports {

struct TextControl {
    QString name;              // how the procedure finds it ("PAT:LNAME", "Box28")
    int x = 0, y = 0;          // top-left, mils, from the band's top
    int width = 0;             // 0: as wide as its text; else clipped
    QFont font = defaultReportFont();
    Qt::Alignment align = Qt::AlignLeft;
    bool hidden = false;
    QString text;              // the value it prints
};

struct Band {
    int height = 0;            // mils
    std::vector<TextControl> controls;
    std::vector<PlacedRule> rules;  // relative to the band's top
    std::vector<PlacedBox> boxes;   // likewise

    // The control of that name; a missing name is a programming error (asserts,
    // then answers a scratch control so a release build prints nothing for it).
    TextControl& control(const QString& name);
    const TextControl* find(const QString& name) const;
    void setText(const QString& name, const QString& text) { control(name).text = text; }
    void clearTexts();
};

struct ReportLayout {
    std::function<void(QPainter&)> formPainter;  // drawn under every page; may be empty
    Band form;                                   // fixed on every page (its top is the page's top)
    Band pageHeader;
    int pageHeaderTop = 0;
    int detailTop = 0, detailBottom = PageHeight;  // the detail area, mils from the page's top
    Band pageFooter;
    int pageFooterTop = PageHeight;
};

class Report {
public:
    Report(ReportLayout layout, PageSink& sink);

    ReportLayout& layout() { return layout_; }
    Band& form() { return layout_.form; }
    Band& header() { return layout_.pageHeader; }
    Band& footer() { return layout_.pageFooter; }

    // Called as each page closes, before its footer is placed; the argument
    // is the number of the closing page (from 1).
    std::function<void(int page)> pageClosing;

    // Prints one detail band, opening a page first when none is open, when
    // the group key differs from the last one given, or when the band does
    // not fit below the bands already on the page.
    void printDetail(const Band& detail, const QVariant& groupKey = {});
    // The next detail band starts a new page.
    void breakPage();
    // Closes the last page. Nothing is sent when no detail was printed.
    void finish();

    int pagesClosed() const { return pagesClosed_; }
    int detailsOnPage() const { return detailsOnPage_; }

private:
    void openPage();
    void closePage();
    void place(const Band& band, int top);

    ReportLayout layout_;
    PageSink& sink_;
    std::optional<Page> page_;
    int nextDetailTop_ = 0;
    int detailsOnPage_ = 0;
    int pagesClosed_ = 0;
    bool breakPending_ = false;
    QVariant lastGroup_;
};

} // namespace kestrel::reports
