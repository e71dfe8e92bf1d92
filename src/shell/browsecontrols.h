#pragma once
// What a browse shows on screen, shared by the browse window and the browse
// lists that live inside other windows: the page as a table (the engine's
// queue is its model), the thumb scroll bar and the browse's buttons, and
// the list's keys and mouse turned into the engine's events.
//
// The list never scrolls by itself: arrow and page keys, Home/End, the
// wheel and the scroll bar's arrows and groove become the engine's scroll
// events, and dragging the thumb is a thumb locate. Insert, Delete,
// Ctrl+Enter, a double click and the right-button menu press the buttons (a
// posted click), so every path runs the button's own code. A printable
// character typed in the list is the step locator.
//
// The owner places the controls and answers the BrowseHost calls about them
// through the functions of the same name here.

#include "shell/browsedefinition.h"
#include "shell/browseengine.h"

#include <QObject>

#include <vector>

class QPushButton;
class QScrollBar;
class QTableView;
class QWidget;

namespace kestrel::shell {

class BrowsePageModel;

class BrowseControls final : public QObject {
public:
    // The list, the thumb and then the buttons, in that order, as children
    // of `parent`. Until setLive(true) the list's keys and mouse are Qt's
    // own and a highlight moved there is no new selection.
    BrowseControls(BrowseEngine& engine, const BrowseDefinition& def, QWidget* parent);
    void setLive(bool live) { live_ = live; }

    QTableView* list() const { return list_; }
    QScrollBar* thumb() const { return thumb_; }
    const std::vector<QPushButton*>& buttons() const { return buttons_; }
    QPushButton* button(int index) const;
    QPushButton* button(BrowseRole role) const;
    // The columns side by side, each as wide as its picture and header need.
    int columnsWidth() const { return columnsWidth_; }
    // Columns wider together than `room` would push the last ones (the
    // amounts, as a rule) out of sight in a list without a horizontal scroll
    // bar: text columns widened for their picture give that width back,
    // right to left, down to their designed width, and show their values cut
    // short instead.
    void fitColumns(int room);
    int rowHeight() const;

    // BrowseHost, for the list, the thumb and the buttons.
    int currentRow() const;
    void setCurrentRow(int row);
    void setScrollBarVisible(bool visible);
    void setThumb(int position);
    void setChangeDeleteEnabled(bool enabled);
    void setSelectButton(bool shown, bool isDefault);
    void pressButton(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildList(const BrowseDefinition& def, QWidget* parent);
    int sizeColumns();
    void buildThumb(QWidget* parent);
    void buildButtons(const BrowseDefinition& def, QWidget* parent);
    void thumbAction(int action);
    bool listKey(QKeyEvent* event);
    bool listMouse(QEvent* event);
    void showHighlight();

    BrowseEngine& engine_;
    QTableView* list_ = nullptr;
    BrowsePageModel* model_ = nullptr;
    QScrollBar* thumb_ = nullptr;
    std::vector<QPushButton*> buttons_;
    // Each column's width as designed (or its header's) and as its picture
    // needs; only text may be narrowed to fit.
    struct Column {
        int designed;
        int full;
        bool text;
    };
    std::vector<Column> columns_;
    int columnsWidth_ = 0;
    bool live_ = false;
    bool settingRow_ = false;  // the engine moves the highlight: no new selection
};

} // namespace kestrel::shell
