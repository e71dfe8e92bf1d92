#include "shell/listunderfields.h"

#include "shell/browselist.h"
#include "shell/formwindow.h"

#include <QLabel>
#include <QTabWidget>

#include <algorithm>

namespace kestrel::shell {

ListUnderFields::ListUnderFields(FormWindow& window, int pageWidth)
    : window_(window),
      page_(window.sheet()->widget(0)),
      rowHeight_(window.fontMetrics().height() + 8),
      width_(std::max(page_->minimumWidth(), pageWidth) - 2 * kMargin)
{
    for (QWidget* child : page_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        top_ = std::max(top_, child->geometry().bottom());
}

void ListUnderFields::keepBelow(int y) { top_ = std::max(top_, y); }

BrowseList* ListUnderFields::placeList(const BrowseDefinition& def)
{
    const int listH = rowHeight_ * (kListRows + 3);
    const QRect whole(kMargin, top_ + 12, width_, listH + kGap + rowHeight_);
    auto* list = new BrowseList(def, &window_);
    list->placeOnTab(window_.sheet(), 0, whole);  // grows the window for the sum's row too
    list->setGeometry(whole.left(), whole.top(), whole.width(), listH);
    list_ = list->geometry();
    return list;
}

QLabel* ListUnderFields::addSum(const QString& name, int sumWidth)
{
    auto* sum = new QLabel(page_);
    sum->setObjectName(name);
    sum->setFrameShape(QFrame::Panel);
    sum->setFrameShadow(QFrame::Sunken);
    sum->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    sum->setGeometry(list_.right() - sumWidth, list_.bottom() + 1 + kGap, sumWidth, rowHeight_);
    return sum;
}

} // namespace kestrel::shell
