#pragma once
// An update form declared as data. Every table's add/change form is one
// FormDefinition: its titles, help topic, buttons, tab(s) and, on each tab,
// the controls in order (prompts with entry fields, radio groups, check
// boxes, display-only fields, headings), plus the few rules that make the
// form its own (what accepting or entering a field does, what F12 opens).
// The form engine (formengine.h) and the Qt window (formwindow.h) are the
// same for every form; only these declarations differ.
//
// A definition is written to read like the table it comes from:
//
//   FormDefinition def{
//       .file = "CPT48",
//       .title = "CPT/HCPCS Code Editor",
//       .insertTitle = "Record Will Be Added",
//       .changeTitle = "Record Will Be Changed",
//       .helpTopic = "ProcedureCodeManagerEditor",
//       .buttons = {"&Save", "&Cancel", "Help"},
//       .tabs = {{"", {
//           entry("CPT/HCPCS Code", "CPT:CPTCODE", "@s7").ditto().accepting(closeIfBlank),
//           entry("Description", "CPT:CPTDESCRIPTION", "@s48").ditto(),
//       }}},
//       .duplicateKey = {"CPT:CPTCODEKEY", "CPT:CPTCODEkey"},
//   };
//
// Field names are full labels ("CPT:CPTCODE") of any file's shared buffer,
// checked against the dictionary by the compiler (data/names.h);
// pictures are display pictures (platform/picture.h): what is typed is
// stored in the field's own form (a date typed as mm/dd/yyyy is stored as
// yyyymmdd, an SSN typed with dashes as its nine digits).

#include "data/names.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace kestrel::shell {

class FormContext;
class FormWindow;

// What a field rule decides.
enum class Verdict {
    Go,              // carry on
    Reject,          // refuse the value: beep, the field keeps the focus
    CloseCancelled,  // close the form at once with the response Cancelled, writing nothing
    Stay,            // put the focus back into the field and stop, without a beep
                     // (a lookup the user cancelled); stops Save's pass too
};

// Accepting a field (left after a change, or tested by Save's accept-all
// pass, after the value has been stored in the buffer) and entering a field
// (it receives the focus).
using FieldRule = std::function<Verdict(FormContext&)>;
// F12 or the right mouse button in a field: usually opens a lookup.
using LookupRule = std::function<void(FormContext&)>;
// Hooks on the form as a whole.
using FormHook = std::function<void(FormContext&)>;

// One button of a radio group: its text, the code stored in the group's
// field, and the text stored in the companion field (if the group has one).
struct RadioChoice {
    QString text;
    QString value;
    QString companionText;
};

struct FormControl {
    enum class Kind {
        Entry,    // prompt + entry field with a picture
        Radio,    // radio group storing a code per button
        Check,    // check box storing an on or off letter
        Display,  // display-only field (of this or another file, or computed)
        Heading,  // a heading string over the controls that follow
    };

    Kind kind = Kind::Entry;
    QString prompt;    // entry/display prompt, radio group title, check box text, heading text
    data::FieldName field;  // empty for a computed display or a heading
    QString picture;   // display picture (entry and display fields)
    QString tooltip;
    bool offersDitto = false;
    bool besidePrevious = false;  // on the same line as the control before it
    std::vector<RadioChoice> choices;
    data::FieldName companionField;  // radio: receives the chosen button's companion text
    QString onLetter, offLetter;  // check box
    std::function<QString()> computed;  // display: text computed on every redisplay
    FieldRule onAccepting;
    FieldRule onEntering;
    LookupRule onLookup;

    // Chainable refinements, so a definition line reads like a table row.
    FormControl tip(const QString& text) const;
    FormControl ditto() const;
    FormControl beside() const;
    FormControl accepting(FieldRule rule) const;
    FormControl entering(FieldRule rule) const;
    FormControl lookup(LookupRule rule) const;
    FormControl companion(data::FieldName field) const;

    bool isInput() const { return kind == Kind::Entry || kind == Kind::Radio || kind == Kind::Check; }
};

// "Prompt" FIELD @picture: an entry field.
FormControl entry(const QString& prompt, data::FieldName field, const QString& picture);
// A radio group: title, field, and the buttons with the code each stores.
FormControl radios(const QString& title, data::FieldName field, std::vector<RadioChoice> choices);
// A check box storing `on` when marked and `off` when not.
FormControl checkBox(const QString& text, data::FieldName field, const QString& on,
                     const QString& off = QStringLiteral(" "));
// A display-only field: shown through its picture, never written by the form.
FormControl shown(const QString& prompt, data::FieldName field, const QString& picture);
// A display-only text computed on every redisplay.
FormControl shownComputed(const QString& prompt, std::function<QString()> compute,
                          const QString& picture = {});
FormControl heading(const QString& text);

struct FormTab {
    QString text;
    std::vector<FormControl> controls;
};

// A record related to the form's, looked up on every redisplay (before the
// form's own onRedisplay) by a key of its file whose fields take the values
// of the form's fields; the record's buffer is cleared when none matches.
// A private lookup reads into a copy of the buffer that only this form sees
// (its controls and rules read and write that copy), so a caller that is
// editing the file's shared buffer, say the patient whose claim this is,
// finds it as it left it.
struct RelatedRecord {
    struct Match {
        data::FieldName keyField;   // "PAT:PAT"
        data::FieldName formField;  // "INV:PAT"
    };

    data::FileName file;  // "Patient"
    data::KeyName key;    // "PAT:PATKEY"
    // Key field <- form field, e.g. {"PAT:PAT", "INV:PAT"}.
    std::vector<Match> match;
    bool privateBuffer = false;

    RelatedRecord keptApart() const
    {
        RelatedRecord r = *this;
        r.privateBuffer = true;
        return r;
    }
};

// The form's unique key as a duplicate-key error names it.
struct DuplicateKey {
    data::KeyName key;  // "CPT:CPTCODEKEY": the key the driver's duplicate test checks
    QString literal;  // "CPT:CPTCODEkey": the name the message shows
};

// Automatic numbering: the number field and the unique key on it.
struct Numbering {
    data::FieldName field;  // "PAT:PAT"
    data::KeyName key;      // "PAT:PATKEY"
};

// What a form procedure keeps for the life of the process (never on disk):
// the last record it tried to save, source of the ditto key, and where the
// user last left its window.
struct FormMemory {
    bool openedBefore = false;
    QByteArray history;
    std::optional<QPoint> position;
};

struct FormDefinition {
    data::FileName file{};  // the file the form adds, changes and deletes ("CPT48")
    QString title{};        // the design title
    QString insertTitle{};  // title while adding ("Record Will Be Added")
    QString changeTitle{};  // title while changing ("Record Will Be Changed")
    QString helpTopic{};    // empty: no help
    // Button texts in order. "Help" shows the help topic; of the others the
    // last is the Cancel button whatever its text, and the rest save.
    QStringList buttons{};
    std::vector<FormTab> tabs{};
    std::optional<DuplicateKey> duplicateKey{};  // none: every failed add is an insert error
    std::optional<Numbering> numbering{};
    std::vector<data::FileName> alsoUses{};  // other files the form keeps open while it runs
    std::vector<RelatedRecord> related{};  // looked up in this order (their files are used too)

    // Save and Close. By default the last button (other than "Help") cancels
    // and Esc cancels too. A form whose last button is `&Close` that saves
    // (closeSaves): Close runs onClosing (CloseCancelled ends the form, any
    // other verdict but Go keeps it open), then onSaving, then saves without
    // Save's accept-all pass; chosen with the mouse or a key other than Esc
    // it then closes, Cancelled when the save failed (a new record's number
    // is given back); chosen with Esc (the Close button having the focus) a
    // failed save leaves the form open. escapeCloses false: Esc elsewhere
    // does nothing and the form stays open (forms it calls keep their own
    // Esc). The window's close box always closes Cancelled, writing nothing.
    bool closeSaves = false;
    bool escapeCloses = true;
    FieldRule onClosing{};
    // Runs first on Save and on Close: sets the fields the form computes
    // (a claim's total and balance due).
    FormHook onSaving{};

    // Runs when the form opens, for every request, before the record is
    // saved for comparison (e.g. a signature takes the claim's patient).
    FormHook onOpening{};
    // Runs on every redisplay, before the controls are refreshed (e.g. to
    // look up the record a field names, for display-only fields).
    FormHook onRedisplay{};
    // Lets a form add widgets of its own to the generated window.
    std::function<void(FormWindow&)> onWindowBuilt{};

    // Per form procedure, for the life of the process. A definition is
    // declared once (a function-local static), so this is exactly the
    // procedure's own memory.
    mutable FormMemory memory{};

    // Controls that take input, in tab order across all tabs: the order of
    // Save's accept-all pass and of focus.
    std::vector<const FormControl*> inputs() const;
};

} // namespace kestrel::shell
