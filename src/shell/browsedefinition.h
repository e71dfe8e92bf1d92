#pragma once
// A browse window declared as data. Every table's browse is one
// BrowseDefinition: its title, heading and list tip, the list's column format
// and queue fields, its sort orders and the tabs that choose them, its
// buttons, help topic, range and filter, and the few hooks that make a
// browse its own. The browse engine (browseengine.h) and the Qt window
// (browsewindow.h) are the same for every browse; only these declarations
// differ. A definition reads like the table it comes from:
//
//   BrowseDefinition def{
//       .file = "CPT48",
//       .title = "CPT/HCPCS Code Browser",
//       .heading = "CPT/HCPCS PROCEDURE CODE MANAGER",
//       .listTip = "CPT/HCPCS Code Browser ...",
//       .format = "46L(4)|F@s7@80L(4)|F@s128@",
//       .queue = {"CPT:CPTCODE", "CPT:CPTDESCRIPTION"},
//       .orders = {{"CPT:CPTDESCRIPTIONKEY"}, {"CPT:CPTCODEKEY"}},
//       .tabs = {{"CPT/HCPCS", 2}, {"  Description", 1}},
//       .buttons = {"&Select", "&Add", "&Delete", "&Change", "Help", "&Close"},
//       .helpTopic = "CPT/HCPCSCodeBrowser",
//       .updateForm = callCptForm,
//   };
//
// Field and key names are full labels ("CPT:CPTCODE", "CPT:CPTCODEKEY"),
// checked against the dictionary by the compiler (data/names.h); a queue
// field may belong to any file's shared buffer (a view that reads related
// records through onRecordRead).

#include "data/names.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace kestrel::shell {

class BrowseEngine;

// One field of a list queue entry. Copied fields ("CPT:CPTCODE") hold the
// field's bytes as the record was read and are written back into the
// buffer when their entry is highlighted (copy-back); their queue name is
// BRWn:: followed by the label. Computed fields are worked out from the
// buffers when the entry is built and are only shown, never copied back.
struct QueueField {
    QueueField(data::FieldName copied) : field(copied) {}

    data::FieldName field;  // copied: the field
    QString name;      // computed: the name after BRWn:: ("MAILTO")
    int width = 0;     // computed: characters
    // Computed: the value (Windows-1252 bytes, cut or padded to width).
    std::function<std::string()> compute;

    bool isComputed() const { return bool(compute); }
};

// BRWn::NAME, `width` characters, computed from the buffers at every entry.
QueueField computed(const QString& name, int width, std::function<std::string()> compute);

// The queue as a declaration writes it: field labels, checked while
// compiling, with computed fields among them.
class QueueItem {
public:
    consteval QueueItem(const char* fieldLabel) : field_(fieldLabel) {}
    constexpr QueueItem(data::FieldName field) : field_(field) {}
    constexpr QueueItem(const QueueField& computedField) : computed_(&computedField) {}
    QueueField field() const { return computed_ ? *computed_ : QueueField(field_); }

private:
    data::FieldName field_;
    const QueueField* computed_ = nullptr;  // lives as long as the list it is written in
};
struct QueueFields : std::vector<QueueField> {
    QueueFields() = default;
    QueueFields(std::initializer_list<QueueItem> items)
    {
        for (const QueueItem& i : items) push_back(i.field());
    }
};

// One sort order: a key of the file (or file order), with its range limit
// and filter.
struct BrowseOrder {
    BrowseOrder() = default;  // the file's physical order
    BrowseOrder(data::KeyName keyLabel, std::vector<data::FieldName> rangeFields = {}, QString filterText = {})
        : key(keyLabel), range(std::move(rangeFields)), filter(std::move(filterText)) {}

    // Key label; empty: the file's physical order (no step locator, no thumb
    // table: the thumb only shows the top, the middle or the bottom).
    data::KeyName key;
    // Range limit: the parent field of each range variable ("PAT:PAT",
    // "INV:INV"). The variable of parent P in order k is named
    // BRWn::Sortk:Reset:P, for the filter to compare with; it takes the
    // parent's value at every rebuild for a new range, and a parent that
    // no longer equals it rebuilds the list from the start of the range.
    std::vector<data::FieldName> range;
    // View filter, set at every Reset sort and Locate (e.g.
    // "INV:PAT = BRW2::Sort1:Reset:PAT:PAT" or "(AUT:PAT=INV:PAT)").
    QString filter;
    // The field of the browsed file that each range variable limits, in the
    // order of `range` ("ITM:INV" for "INV:INV"). The leading key parts that
    // are among them hold the range in the key (primed at every Reset sort
    // and Locate, the walk stops at the range's end); the others are limited
    // by the filter alone. &Add primes every one of them with its range
    // value. Empty: each range variable limits the key part in its place
    // (the first variable the first part, and so on).
    QStringList rangeFields;

    // The same order with the fields its range variables limit.
    BrowseOrder limiting(QStringList fields) const
    {
        BrowseOrder o = *this;
        o.rangeFields = std::move(fields);
        return o;
    }

    bool fileOrder() const { return key.isEmpty(); }
};

// A tab of the sheet and the order it chooses (1-based into orders).
struct BrowseTab {
    QString text;
    int order = 1;
};

// What a button does.
enum class BrowseRole { Select, Add, Change, Delete, Help, Close, Custom };

struct BrowseButton {
    // A standard button, known by its text: "&Select", "&Add", "&Change",
    // "&Delete", "Help", "&Close" (accelerators and letter case ignored).
    BrowseButton(const char* text);
    BrowseButton(QString text);

    QString text;
    BrowseRole role = BrowseRole::Custom;
    // Custom buttons (and standard ones whose action the owner replaces):
    // runs after the highlighted record has been re-read.
    std::function<void(BrowseEngine&)> action;
    bool nothing = false;  // pressing it (or its key, or its menu item) does nothing

    // The button is shown and enabled but does nothing (a provider is never
    // deleted; claims are not added from the payment browser).
    BrowseButton doesNothing() const;
};

// A button of the owner's own, e.g. "&Open".
BrowseButton customButton(const QString& text, std::function<void(BrowseEngine&)> action);

// An item of the list's right-button menu and the button it presses.
struct PopupItem {
    enum class Enabled { Always, WithEntries, WithEntriesInSelectMode };

    QString text;      // without '~' ("&Add"); "-" for a separator
    QString button;    // text of the button it presses
    Enabled enabled = Enabled::Always;
};

// The step locator of an order, when the owner's differs from the rule on
// the first character of the first key field.
struct StepLocator {
    // The first character of the highlighted record (in the buffer) that the
    // typed character is compared with, upper-cased.
    std::function<char()> firstCharacter;
    // Puts the typed character into the key for a Locate (clearing the rest).
    std::function<void(char typed)> prime;
};

struct BrowseDefinition {
    data::FileName file{};   // the browsed file ("CPT48")
    int list = 1;          // the n of BRWn::
    QString title{};         // window title
    QString heading{};       // heading string; empty: none
    QString listTip{};
    QString format{};        // list column format; column i shows queue field i
    QueueFields queue{};
    std::vector<BrowseOrder> orders{};  // order 1..n
    // Tabs in order; empty: no sheet (order 1). A tab not listed chooses
    // otherTabsOrder.
    std::vector<BrowseTab> tabs{};
    int otherTabsOrder = 0;  // 0: the order of the first tab
    std::vector<BrowseButton> buttons{};
    QString helpTopic{};
    // In Select mode: &Select is shown; also made the default button.
    bool selectIsDefault = true;
    // The thumb table interpolates numbers when the order's first key field
    // is a number field, texts otherwise.
    bool quickScan = false;  // "QUICKSCAN=on" around every fill of more than one record
    std::vector<data::FileName> alsoUses{};  // other files the browse keeps open while it runs

    // The button that a double click (outside Select mode) and Ctrl+Enter
    // press; empty: &Change.
    QString activateButton{};
    // The menu of the right mouse button; empty: made from the buttons (the
    // update buttons' menu, or a select-only lookup's).
    std::vector<PopupItem> popup{};

    // Calls the file's update form: CallRequest is set (1, 2, 3) and the
    // record is in the buffer; the form leaves CallResponse. Empty: the
    // update buttons return Cancelled.
    std::function<void()> updateForm{};

    // Hooks of the owning window.
    // After every record read by the view, before its entry is built: read
    // the records the view joins into their buffers.
    std::function<void()> onRecordRead{};
    // After every copy-back: compute what the window shows of the record.
    std::function<void()> onCopyBack{};
    // The list was filled afresh from the start of its view: its first fill,
    // and every rebuild for a new range (a child list following its
    // parent). Totals over the view are recomputed here (sumView).
    std::function<void()> onReloaded{};
    // A called update form (or a procedure run through BrowseEngine::call)
    // has returned and the page has been rebuilt on its record; the thumb,
    // the new selection and the Refresh follow. The engine's localRequest()
    // and localResponse() still tell what was asked and how it ended.
    std::function<void()> afterCall{};
    // The highlight moved (a new selection, after its copy-back), or the page
    // was emptied: lists linked to this one refresh here, each limited by
    // the record this one now holds in the buffer.
    std::function<void()> onSelectionMoved{};
    // Step locator replacing the rule on the first key field.
    StepLocator stepLocator{};

    // Derived.
    int orderForTab(int tab) const;            // tab 1-based
    std::vector<PopupItem> popupItems() const;  // popup or the one made from the buttons
    bool hasButton(BrowseRole role) const;
};

} // namespace kestrel::shell
