#pragma once
// The first page of a form that shows a list of related records under its
// fields (a patient's claims, a claim's transactions), with a boxed sum
// under the list at its right. For FormDefinition::onWindowBuilt:
//
//   ListUnderFields page(window, 840);        // the page at least this wide
//   page.keepBelow(bottomOfMyButtons);        // controls placed beside the fields
//   BrowseList* list = page.placeList(def);   // under everything on the page
//   QLabel* sum = page.addSum("accountBalance", 200);
//   list->start();
//
// The page, its sheet and the window grow to hold the list and the sum.

#include <QRect>

class QLabel;
class QString;
class QWidget;

namespace kestrel::shell {

class BrowseList;
class FormWindow;
struct BrowseDefinition;

class ListUnderFields {
public:
    static constexpr int kMargin = 10;    // from the page's edges
    static constexpr int kGap = 6;        // between the list and its sum
    static constexpr int kListRows = 10;  // rows the list shows at its designed size

    ListUnderFields(FormWindow& window, int pageWidth);

    // One line of the page: a field, a button, the sum.
    int rowHeight() const { return rowHeight_; }
    // The page's width less its margins, from kMargin.
    int width() const { return width_; }
    // The list goes under `y` too (controls placed beside the fields).
    void keepBelow(int y);

    // The list of `def` (which must outlive it), a child of the window on its
    // first page, under everything placed there, with room under it for the
    // sum. Not started.
    BrowseList* placeList(const BrowseDefinition& def);
    // The boxed sum under the list at its right, named `name`, empty.
    QLabel* addSum(const QString& name, int sumWidth);

private:
    FormWindow& window_;
    QWidget* page_;
    int rowHeight_;
    int width_;
    int top_ = 0;
    QRect list_;
};

} // namespace kestrel::shell
