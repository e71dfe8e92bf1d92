#pragma once
// The browse engine: everything a browse window does, with no widget in
// sight. One BrowseEngine runs one opening of one BrowseDefinition against a
// BrowseHost (the Qt window, or a headless host in tests).
//
// The list never holds the file: the queue holds exactly one page, as many
// entries as the host's list can show, and every entry carries the view
// position of its record, so scrolling reads only the records that come into
// view and re-reading is exact even among duplicate keys.
//
// Life of a browse:
//   open()           takes over CallRequest (4 is Select mode), uses the file,
//                    sets up &Select. The window is then shown.
//   windowOpened()   first Refresh (first fill), focus on the list.
//   tabChanged(), windowActivated(), windowResized()
//                    Refresh, re-running the sort selection as needed.
//   scroll(), thumbDragged(), characterTyped(), newSelection(), rightClick(),
//   keyPressed()     what the user does in the list.
//   buttonPressed(i) a button's own code: re-read the highlighted record,
//                    then Select, Add/Change/Delete (the update form through
//                    the definition's callable), Help, Close or the owner's.
//   close()          the window goes away: releases the files and hands the
//                    response back in CallResponse (1 only after Select).
//
// Failures: a read error other than end of file while filling or building
// the thumb table shows "Record Retrieval Error" (35) with the file's label
// and closes the browse with the response Cancelled; a filter or view that
// cannot be set shows "View Open Error" (36) and the browse goes on without
// filter and range.

#include "platform/fieldvalue.h"
#include "platform/recorddef.h"
#include "shell/browsedefinition.h"
#include "shell/browsehost.h"
#include "shell/browsethumb.h"
#include "shell/callprotocol.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::platform {
class RecordFile;
class View;
class FilterExpression;
} // namespace kestrel::platform

namespace kestrel::data {
class FileUse;
}

namespace kestrel::shell {

// One row of the page: the queue fields' bytes end to end, and the view
// position (512 characters) of the record.
struct BrowseEntry {
    std::string values;
    std::string position;
};

enum class ScrollEvent { RowUp, RowDown, PageUp, PageDown, Top, Bottom };
// Keys and mouse actions on the list that press buttons.
enum class ListKey { Insert, Delete, CtrlEnter, DoubleClick };

class BrowseEngine {
public:
    // The definition must outlive the engine.
    explicit BrowseEngine(const BrowseDefinition& def);
    ~BrowseEngine();
    BrowseEngine(const BrowseEngine&) = delete;
    BrowseEngine& operator=(const BrowseEngine&) = delete;

    void attach(BrowseHost* host) { host_ = host; }
    const BrowseDefinition& definition() const { return def_; }
    const platform::FileDef& file() const { return *fileDef_; }

    // ---- opening and refreshing
    // Open steps 1, 2 and 4: take over the request, use the files, set up
    // &Select. The host shows the window afterwards.
    void open();
    // Open for a list embedded in another window (a tab of an update form):
    // that window has taken the request over, so the list runs with request
    // 0 and its close hands nothing back in CallResponse.
    void openEmbedded();
    bool isOpen() const { return opened_; }
    // The window reports that it is open: the first Refresh, then the focus
    // goes to the list. Only the first call counts.
    void windowOpened();
    // Refresh: sort selection, the thumb, redisplay. Nothing while the owning
    // window runs an accept-all pass.
    void refresh();
    // The window gained focus or was resized: Refresh with the sort selection
    // forced to rebuild around the highlighted record.
    void windowActivated();
    void windowResized() { windowActivated(); }
    // The sheet's tab was selected, changed or accepted (1-based).
    void tabChanged(int tab);
    int tab() const { return tab_; }
    // The owning window's accept-all pass suspends Refresh.
    void setAcceptAllPass(bool running) { acceptAll_ = running; }

    // ---- the list
    void scroll(ScrollEvent event);
    // New selection: from the list (highlight moved) or posted by the engine.
    void newSelection();
    // Right mouse button on the list: the popup menu.
    void rightClick();
    // A printable character typed in the list: the step locator.
    void characterTyped(char cp1252Character);
    // The user dragged the thumb to `position` (0..100).
    void thumbDragged(int position);
    // Insert, Delete, Ctrl+Enter and double click press their buttons.
    void keyPressed(ListKey key);

    // ---- buttons
    // Button `index` of the definition was pressed (by mouse, key or menu).
    void buttonPressed(int index);
    // Whether button `index` is shown and enabled now.
    bool buttonEnabled(int index) const;
    bool buttonVisible(int index) const;
    int buttonIndex(BrowseRole role) const;  // -1 when the browse has none

    // ---- closing
    // Close (button, Select, or the window being closed). Idempotent.
    void close();
    bool closed() const { return closed_; }

    // Get record: re-reads the highlighted record from the file with
    // change-watching armed (before every button's action).
    void getRecord();

    // Locate on the key values in the record buffer (first record at or
    // after them): for owners' locator fields.
    void locateOnBuffer();

    // Calls another procedure as the update buttons call the update form,
    // for buttons of the owner's own (&Open): CallRequest takes `request`,
    // the view is closed while `procedure` runs, and afterwards the page is
    // rebuilt on the record the procedure left current (Completed Insert or
    // Change) or on the current page, afterCall runs, then the thumb table,
    // a new selection and a Refresh.
    void call(Request request, const std::function<void()>& procedure);

    // Whole-view walk: reads every record of the active order's view (its
    // range and filter, as the list shows them) from its start, on a walk of
    // its own, and sums the number fields named (of the browsed file), each
    // from 0, exactly, with two places. The record buffer is left as it was.
    // A read error other than end of file shows "Record Retrieval Error"
    // (35) with the file's label, closes the browse and gives nothing.
    static constexpr int kSumPlaces = 2;
    std::optional<std::vector<platform::Decimal>> sumView(const QStringList& fields);

    // ---- state, for the window and tests
    bool selectMode() const { return call_.entryRequest == Request::Select; }
    Request localRequest() const { return call_.localRequest; }
    Response localResponse() const { return call_.localResponse; }
    int entryCount() const { return int(queue_.size()); }
    int highlighted() const { return highlighted_; }
    int activeOrder() const { return order_; }
    int thumb() const { return thumb_; }
    bool scrollBarVisible() const { return scrollBarVisible_; }
    bool changeDeleteEnabled() const { return changeDeleteEnabled_; }
    const BrowseEntry& entry(int row) const { return queue_[std::size_t(row - 1)]; }
    // Queue field `field` (0-based, definition order) of row `row` (1-based).
    platform::FieldValue value(int row, int field) const;
    // The field description of a queue field within an entry's bytes.
    const platform::FieldDef& queueFieldDef(int field) const { return queueDefs_[std::size_t(field)]; }
    // BRWn::NAME of a queue field; -1 when there is none.
    int queueFieldIndex(const QString& name) const;
    QString queueFieldName(int field) const;
    const ThumbTable& thumbTable() const;
    // The menu text the popup would show now.
    QString popupText() const;
    // The record file (for owners that read related records).
    platform::RecordFile& recordFile() const { return *file_; }

private:
    struct Order;

    // Algorithms, named as the browse behaviour describes them.
    void sortSelection();
    bool resetSort();
    int fill(int count, bool forward);
    void rebuild(int mode);
    void locate(int mode);
    void copyBack(int row);
    void buildThumbTable();
    void callUpdateForm(Request request);
    void select();
    void stepLocate(char typed);
    void afterScroll(ScrollEvent event, int asked, int read);

    bool openView();
    bool configureView(platform::View& view);
    void closeView();
    void limitRange(Order& o) const;
    void primeRangeFields();
    void clearKeyAfterLocator();
    void primeRange();
    bool rangeChanged() const;
    void saveRange();
    void retrievalError();
    void postNewSelection();
    void setChangeDelete(bool enabled);
    void highlight(int row);
    BrowseEntry makeEntry() const;
    int pageSize() const;
    Order& active();
    const Order* activeOrder_() const;
    const platform::FieldDef* firstKeyField() const;
    char firstCharacter() const;
    void primeLocator(char typed);

    const BrowseDefinition& def_;
    BrowseHost* host_ = nullptr;
    const platform::FileDef* fileDef_ = nullptr;
    unsigned char* buffer_ = nullptr;
    platform::RecordFile* file_ = nullptr;
    std::unique_ptr<platform::View> view_;
    std::vector<std::unique_ptr<Order>> orders_;
    std::vector<platform::FieldDef> queueDefs_;  // offsets within an entry's bytes
    std::vector<const platform::FieldDef*> queueSources_;  // copied: the buffer field
    std::vector<unsigned char*> queueBuffers_;            // copied: its buffer
    QStringList queueNames_;                               // BRWn::...
    int entryWidth_ = 0;

    CallState call_;
    std::vector<BrowseEntry> queue_;
    int highlighted_ = 0;
    int order_ = 0;
    int tab_ = 1;
    bool addingEnabled_ = true;
    int resetMode_ = 0;
    int locateMode_ = 0;
    bool forcedRefresh_ = false;
    bool selectionPosted_ = false;
    int thumb_ = 0;
    bool scrollBarVisible_ = false;
    bool changeDeleteEnabled_ = false;
    bool acceptAll_ = false;
    bool formRunning_ = false;  // the update form owns the record buffer
    bool opened_ = false;
    bool windowOpened_ = false;
    std::unique_ptr<data::FileUse> use_;
    bool closed_ = false;
    bool embedded_ = false;
};

} // namespace kestrel::shell
