#pragma once
// The update form engine: everything an add/change/delete form does, with no
// widget in sight. One FormEngine runs one opening of one FormDefinition:
//
//   open()        takes over CallRequest (1 Insert, 2 Change, 3 Delete), uses
//                 the file, saves the record for comparison, numbers a new
//                 record (placeholder add) and carries out a Delete request
//                 entirely (confirmation, delete, retry) without a window.
//                 Returns ShowWindow when a window is wanted.
//   attach(host)  the window (or a test) that shows the controls.
//   windowOpened() redisplays and puts the focus on the first field.
//   type/leave/accept/enter/choose/check/ditto/lookup
//                 what the user does in the controls.
//   save()        onSaving, check boxes written, accept-all pass, then add
//                 (Insert) or update (Change).
//   close(by)     the last button: cancel(), or for a form whose Close saves,
//                 onClosing, onSaving and the save without the pass.
//   cancel()      closes Cancelled, writing nothing.
//
// Closing (by a rule, Save, Cancel or the window being closed) deletes the
// placeholder of a cancelled numbered Insert, releases the files and stores
// the response in CallResponse: 1 Completed when the file was written, 2
// Cancelled otherwise. On Completed the record buffer holds the record as
// written.
//
// The controls the engine knows are the definition's controls, flattened
// over the tabs in order and numbered from 0 (headings included); the
// input controls (entry, radio, check) are visited in that order by Save's
// accept-all pass.

#include "data/records.h"
#include "platform/decimal.h"
#include "shell/callprotocol.h"
#include "shell/formdefinition.h"
#include "shell/formhost.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>


namespace kestrel::shell {

class FormFiles;

// What a field rule may do while the form runs.
class FormContext {
public:
    virtual ~FormContext() = default;

    // The form's request: Request::Insert or Request::Change.
    virtual Request request() const = 0;
    // The field of any file's buffer, by full label, as text (text without
    // trailing blanks, dates mm/dd/yyyy, decimals with their places).
    virtual QString text(const QString& field) const = 0;
    virtual bool isBlank(const QString& field) const = 0;
    // The runtime's conversion of the field's text to a number: the leading
    // number of the text, 0 for a blank or non-numeric text. Packed fields
    // give their value.
    virtual platform::Decimal number(const QString& field) const = 0;
    // Stores text into a field (cut to its width; converted to its kind).
    // False, with nothing changed, when the field cannot take it.
    virtual bool set(const QString& field, const QString& text) = 0;
    // The label of the field whose rule is running, and the text now in its
    // control (for a lookup: what the user has typed so far).
    virtual QString currentField() const = 0;
    virtual QString typedText() const = 0;
    // Shows the buffer's values in every control again.
    virtual void redisplay() = 0;
    // Save's accept-all pass is running (rules that call lookups skip them).
    virtual bool acceptingAll() const = 0;
};

// How the last button was chosen.
enum class CloseBy { Button, Escape };

class FormEngine final : public FormContext {
public:
    enum class Opening {
        ShowWindow,  // Insert or Change: open the window
        Ended,       // the form has already closed (Delete, numbering gave up)
    };

    explicit FormEngine(const FormDefinition& def);
    ~FormEngine() override;
    FormEngine(const FormEngine&) = delete;
    FormEngine& operator=(const FormEngine&) = delete;

    // Open steps 1 to 5.
    Opening open();
    // The host may be attached before open(): a Delete request, which has
    // no window, then still shows the wait cursor while it deletes.
    void attach(FormHost* host) { host_ = host; }
    FormHost* host() const { return host_; }
    // Insert title, Change title, otherwise the design title.
    QString windowTitle() const;
    // Step 10: the window reports that it is open.
    void windowOpened();

    const FormDefinition& definition() const { return def_; }
    int controlCount() const { return int(controls_.size()); }
    const FormControl& control(int index) const { return *controls_[std::size_t(index)].def; }
    int tabOf(int index) const { return controls_[std::size_t(index)].tab; }
    // Index of the first control bound to `field`, -1 when none.
    int indexOf(const QString& field) const;

    // Entry and display controls: the text the control shows (for an entry,
    // what has been typed since the last redisplay).
    QString controlText(int index) const;
    // Radio: the chosen button (-1 none). Check box: marked or not.
    int chosen(int index) const;
    bool isChecked(int index) const;

    // The user typed into an entry field (not yet accepted).
    void type(int index, const QString& text);
    // The user left an entry field: accepted when its text changed.
    // False when the form refused the value or closed.
    bool leave(int index);
    // Accepts the field as it stands: its picture, then its rule. False when
    // refused (the host is told) or when the form closed.
    bool accept(int index);
    // The control received the focus.
    void enter(int index);
    void choose(int index, int choice);
    void check(int index, bool on);
    // The ditto key in a field that offers it: the field's value from the
    // history record, other fields untouched.
    void ditto(int index);
    // F12 or the right mouse button in a field with a lookup.
    void lookup(int index);

    void save();
    void close(CloseBy by);
    void cancel();

    bool isClosed() const { return closed_; }
    Response response() const { return state_.localResponse; }
    // The record as the form opened it (after numbering).
    const QByteArray& savedRecord() const { return saved_; }

    // FormContext
    Request request() const override { return state_.localRequest; }
    QString text(const QString& field) const override;
    bool isBlank(const QString& field) const override;
    platform::Decimal number(const QString& field) const override;
    bool set(const QString& field, const QString& text) override;
    QString currentField() const override;
    QString typedText() const override;
    void redisplay() override;
    bool acceptingAll() const override { return acceptAll_; }

private:
    struct Control {
        const FormControl* def;
        int tab;
        QString text;  // entry/display: shown or typed text
        QString shown; // entry: the text last displayed
    };

    bool number();
    void deleteRequest();
    void completed();
    void insertRecord();
    void changeRecord();
    bool runRule(const FieldRule& rule, int index);
    void writeCheckBoxes();
    void lookUpRelated();
    std::optional<data::FieldRef> fieldRef(const QString& label) const;
    std::optional<data::FieldRef> fieldRef(data::FieldName field) const;
    void refuse(int index, const QString& why);
    void focusFirst();
    void closeForm(Response response);
    bool acceptPendingEdits();
    QByteArray buffer() const;
    void setBuffer(const QByteArray& bytes);
    QString displayFor(const FormControl& c) const;
    void waitCursor(bool on);

    const FormDefinition& def_;
    CallState state_;
    FormHost* host_ = nullptr;
    std::unique_ptr<FormFiles> files_;
    std::vector<Control> controls_;
    QByteArray saved_;
    int current_ = -1;         // control whose rule or event is being handled
    bool acceptAll_ = false;   // Save's accept-all pass under way
    bool closed_ = false;
    bool placeholder_ = false; // a numbered Insert's reserved record exists
    std::string placeholderPosition_;
    // The copies of the buffers of privately looked-up files.
    struct PrivateBuffer {
        std::vector<unsigned char> bytes;
        data::FileBuffer buffer;
    };
    std::vector<std::unique_ptr<PrivateBuffer>> private_;
};

} // namespace kestrel::shell
