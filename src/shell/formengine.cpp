#include "shell/formengine.h"

#include "data/integrity.h"
#include "data/messages.h"
#include "data/records.h"
#include "platform/fieldvalue.h"
#include "platform/picture.h"
#include "shell/formfiles.h"

#include <cstring>
#include <stdexcept>

namespace kestrel::shell {

using data::Button;
using platform::FieldDef;
using platform::Picture;

namespace {

std::string latin(const QString& s) { return s.toStdString(); }

QString trimmedRight(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}

} // namespace

FormEngine::FormEngine(const FormDefinition& def) : def_(def)
{
    int tab = 0;
    for (const auto& t : def_.tabs) {
        for (const auto& c : t.controls) controls_.push_back(Control{&c, tab, {}, {}});
        ++tab;
    }
    for (const RelatedRecord& r : def_.related) {
        if (r.file.isEmpty()) throw std::invalid_argument("update form relates a record of no file");
        if (!r.privateBuffer) continue;
        const data::FileBuffer* shared = &r.file.buffer();
        auto copy = std::make_unique<PrivateBuffer>();
        copy->bytes.assign(shared->def->recordLength, 0);
        platform::clearRecord(*shared->def, copy->bytes.data());
        copy->buffer = data::FileBuffer{shared->def, copy->bytes.data()};
        private_.push_back(std::move(copy));
    }
}

std::optional<data::FieldRef> FormEngine::fieldRef(const QString& label) const
{
    if (label.isEmpty()) return std::nullopt;
    auto ref = data::findField(latin(label));
    if (!ref) return ref;
    // A privately looked-up file's fields are this form's copy.
    for (const auto& p : private_)
        if (p->buffer.def == ref->file->def) return data::FieldRef{&p->buffer, ref->field};
    return ref;
}

std::optional<data::FieldRef> FormEngine::fieldRef(data::FieldName field) const
{
    return field.isEmpty() ? std::nullopt : fieldRef(field.text());
}

FormEngine::~FormEngine()
{
    // A form torn down without closing (an exception on the way out) still
    // gives its files back and leaves no reserved record behind.
    if (files_ && !closed_) closeForm(Response::Cancelled);
}

int FormEngine::indexOf(const QString& field) const
{
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i].def->field.text().compare(field, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

// ------------------------------------------------------------------ opening

FormEngine::Opening FormEngine::open()
{
    // 1. Take over the request.
    state_ = CallState::takeOver();

    // 2. Use the form's file (and the files its rules read).
    std::vector<data::FileName> uses = def_.alsoUses;
    for (const RelatedRecord& r : def_.related) uses.push_back(r.file);
    files_ = std::make_unique<FormFiles>(def_.file, uses);
    files_->use();

    // The history record starts blank the first time this form opens; later
    // openings keep the last record the form tried to save.
    if (!def_.memory.openedBefore || def_.memory.history.size() != files_->recordLength()) {
        QByteArray blank(files_->recordLength(), '\0');
        platform::clearRecord(files_->def(), reinterpret_cast<unsigned char*>(blank.data()));
        def_.memory.history = blank;
        def_.memory.openedBefore = true;
    }

    if (def_.onOpening) {
        current_ = -1;
        def_.onOpening(*this);
    }

    // 3. Integrity snapshot and the saved record.
    files_->snapshot();
    saved_ = buffer();

    // 4. Insert: prime the record; a numbered form reserves its number now.
    if (state_.localRequest == Request::Insert && def_.numbering) {
        if (!number()) {
            closeForm(Response::Cancelled);
            return Opening::Ended;
        }
    }
    state_.localResponse = Response::Cancelled;

    // 5. Delete: confirm and delete, no window.
    if (state_.localRequest == Request::Delete) {
        deleteRequest();
        closeForm(state_.localResponse);
        return Opening::Ended;
    }
    return Opening::ShowWindow;
}

QString FormEngine::windowTitle() const
{
    if (state_.localRequest == Request::Insert) return def_.insertTitle;
    if (state_.localRequest == Request::Change) return def_.changeTitle;
    return def_.title;
}

void FormEngine::windowOpened()
{
    if (closed_) return;
    redisplay();
    focusFirst();
}

// ------------------------------------------------------- automatic numbering

bool FormEngine::number()
{
    const Numbering& n = *def_.numbering;
    for (;;) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            FormFiles::Highest high = files_->highest(n.key, n.field);
            if (high.error != 0) {
                data::standardMessage(data::MessageNo::RecordRetrievalError, def_.file.text());
                return false;
            }
            setBuffer(saved_);
            QString why;
            if (!files_->setNumber(n.field, high.value + 1, &why)) {
                // The next number does not fit the field: the numbers are used
                // up. Wrapping or cutting it would hand out a number that is
                // taken, so nothing is created.
                files_->reportNumbersUsedUp(why);
                break;
            }
            saved_ = buffer();
            if (files_->add() == 0) {
                placeholder_ = true;
                placeholderPosition_ = files_->position();
                return true;
            }
        }
        if (data::standardMessage(data::MessageNo::AutoIncrementError) != Button::Retry) {
            setBuffer(saved_);
            return false;
        }
    }
}

// ------------------------------------------------------------- delete request

void FormEngine::deleteRequest()
{
    if (data::standardMessage(data::MessageNo::ConfirmDelete) != Button::Ok) {
        state_.localResponse = Response::Cancelled;
        return;
    }
    for (;;) {
        waitCursor(true);
        const bool ok = files_->remove();
        waitCursor(false);
        if (ok) {
            state_.localResponse = Response::Completed;
            return;
        }
        if (data::standardMessage(data::MessageNo::RecordDeleteError) != Button::Yes) {
            state_.localResponse = Response::Cancelled;
            return;
        }
    }
}

// -------------------------------------------------------------------- fields

QString FormEngine::displayFor(const FormControl& c) const
{
    if (c.kind == FormControl::Kind::Display && c.computed) {
        QString t = c.computed();
        if (!c.picture.isEmpty()) {
            if (auto p = Picture::parse(QStringView(c.picture)))
                t = p->format(platform::FieldValue(t.toStdString()));
        }
        return t;
    }
    auto ref = fieldRef(c.field);
    if (!ref) return {};
    auto value = platform::readField(*ref->field, ref->record());
    if (c.picture.isEmpty()) return data::fieldText(*ref->field, ref->record());
    auto p = Picture::parse(QStringView(c.picture));
    if (!p) return data::fieldText(*ref->field, ref->record());
    return trimmedRight(p->format(value));
}

void FormEngine::redisplay()
{
    // Save's accept-all pass reads the controls as the user left them.
    if (acceptAll_) return;
    lookUpRelated();
    if (def_.onRedisplay) {
        const int was = current_;
        def_.onRedisplay(*this);
        current_ = was;
    }
    for (auto& c : controls_) {
        if (c.def->kind == FormControl::Kind::Entry || c.def->kind == FormControl::Kind::Display) {
            // Text typed but not accepted (a refused value on its way to
            // being corrected) stays while the value under it is unchanged;
            // a value a rule or lookup stored replaces it.
            const QString now = displayFor(*c.def);
            if (c.def->kind == FormControl::Kind::Display || now != c.shown) c.text = now;
            c.shown = now;
        }
    }
    if (host_) host_->refresh();
}

void FormEngine::lookUpRelated()
{
    for (const RelatedRecord& r : def_.related) {
        for (const auto& [keyField, formField] : r.match) set(keyField.text(), text(formField.text()));
        const data::FileBuffer* shared = &r.file.buffer();
        unsigned char* bytes = shared->bytes;
        for (const auto& p : private_)
            if (p->buffer.def == shared->def) bytes = p->bytes.data();
        files_->lookUp(r.file, r.key, bytes);
    }
}

QString FormEngine::controlText(int index) const { return controls_[std::size_t(index)].text; }

int FormEngine::chosen(int index) const
{
    const FormControl& c = control(index);
    if (c.kind != FormControl::Kind::Radio) return -1;
    const QString value = text(c.field.text()).trimmed();
    for (std::size_t k = 0; k < c.choices.size(); ++k)
        if (c.choices[k].value.trimmed().compare(value, Qt::CaseInsensitive) == 0) return int(k);
    return -1;
}

bool FormEngine::isChecked(int index) const
{
    const FormControl& c = control(index);
    if (c.kind != FormControl::Kind::Check) return false;
    return text(c.field.text()).trimmed().compare(c.onLetter.trimmed(), Qt::CaseInsensitive) == 0 &&
           !c.onLetter.trimmed().isEmpty();
}

void FormEngine::type(int index, const QString& text)
{
    if (closed_) return;
    controls_[std::size_t(index)].text = text;
}

bool FormEngine::leave(int index)
{
    if (closed_) return false;
    const Control& c = controls_[std::size_t(index)];
    if (c.def->kind != FormControl::Kind::Entry || c.text == c.shown) return true;
    return accept(index);
}

bool FormEngine::accept(int index)
{
    if (closed_) return false;
    Control& c = controls_[std::size_t(index)];
    const FormControl& d = *c.def;
    current_ = index;

    // An entry whose text is still what was displayed holds the buffer's
    // value already: only its rule runs.
    if (d.kind == FormControl::Kind::Entry && c.text != c.shown) {
        auto ref = fieldRef(d.field);
        if (!ref) return runRule(d.onAccepting, index);
        QString why;
        std::optional<platform::FieldValue> value;
        if (auto p = Picture::parse(QStringView(d.picture), &why))
            value = p->input(c.text, ref->field, &why);
        if (!value) {
            refuse(index, why);
            return false;
        }
        std::string err;
        if (!platform::writeField(*ref->field, ref->record(), *value, &err)) {
            refuse(index, QString::fromStdString(err));
            return false;
        }
        // The control now shows the value as stored (a date typed as 1/5/2024
        // reads 01/05/2024), so leaving it again is no change.
        c.text = displayFor(d);
        c.shown = c.text;
        if (!acceptAll_ && host_) host_->refresh();
    }
    return runRule(d.onAccepting, index);
}

bool FormEngine::runRule(const FieldRule& rule, int index)
{
    if (!rule) return true;
    current_ = index;
    switch (rule(*this)) {
    case Verdict::Go:
        return !closed_;
    case Verdict::Reject:
        refuse(index, {});
        return false;
    case Verdict::CloseCancelled:
        closeForm(Response::Cancelled);
        return false;
    case Verdict::Stay:
        if (host_) host_->focusControl(index);
        return false;
    }
    return true;
}

void FormEngine::refuse(int index, const QString& why)
{
    if (host_) {
        host_->rejected(index, why);
        host_->focusControl(index);
    }
}

void FormEngine::enter(int index)
{
    if (closed_) return;
    const FormControl& d = control(index);
    if (d.onEntering && runRule(d.onEntering, index) && !acceptAll_) redisplay();
}

void FormEngine::choose(int index, int choice)
{
    if (closed_) return;
    const FormControl& d = control(index);
    if (d.kind != FormControl::Kind::Radio || choice < 0 || choice >= int(d.choices.size())) return;
    const RadioChoice& r = d.choices[std::size_t(choice)];
    set(d.field.text(), r.value);
    if (!d.companionField.isEmpty()) set(d.companionField.text(), r.companionText);
    if (accept(index)) redisplay();
}

void FormEngine::check(int index, bool on)
{
    if (closed_) return;
    const FormControl& d = control(index);
    if (d.kind != FormControl::Kind::Check) return;
    set(d.field.text(), on ? d.onLetter : d.offLetter);
    if (accept(index)) redisplay();
}

void FormEngine::ditto(int index)
{
    if (closed_) return;
    const FormControl& d = control(index);
    if (!d.offersDitto) return;
    auto ref = fieldRef(d.field);
    if (!ref || ref->file->def != &files_->def()) return;
    const auto* history = reinterpret_cast<const unsigned char*>(def_.memory.history.constData());
    std::memcpy(ref->record() + ref->field->offset, history + ref->field->offset, std::size_t(ref->field->size));
    Control& c = controls_[std::size_t(index)];
    c.text = displayFor(d);
    c.shown = c.text;
    if (host_) host_->refresh();
}

void FormEngine::lookup(int index)
{
    if (closed_) return;
    const FormControl& d = control(index);
    if (!d.onLookup) return;
    current_ = index;
    d.onLookup(*this);
    if (!closed_) redisplay();
}

void FormEngine::focusFirst()
{
    if (!host_) return;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].def->isInput()) {
            host_->focusControl(int(i));
            return;
        }
    }
}

// ---------------------------------------------------------------------- save

// Text typed into a field but not yet accepted (Save or Close pressed from the
// keyboard leaves the focus in the field) is accepted first, as leaving the
// field would: the rules that follow see what the user sees. False when it
// was refused (the focus is back on it) or its rule closed the form.
bool FormEngine::acceptPendingEdits()
{
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (!leave(int(i))) return false;
    return !closed_;
}

void FormEngine::save()
{
    if (closed_ || !acceptPendingEdits()) return;
    current_ = -1;
    if (def_.onSaving) def_.onSaving(*this);
    writeCheckBoxes();
    if (state_.localRequest == Request::Insert || state_.localRequest == Request::Change) {
        acceptAll_ = true;
        for (std::size_t i = 0; i < controls_.size(); ++i) {
            if (!controls_[i].def->isInput()) continue;
            if (!accept(int(i))) {
                acceptAll_ = false;
                return;  // refused (focus is on the field) or closed by its rule
            }
        }
        acceptAll_ = false;
    }
    completed();
}

void FormEngine::close(CloseBy by)
{
    if (closed_) return;
    if (!def_.closeSaves) {
        cancel();
        return;
    }
    if (!acceptPendingEdits()) return;
    current_ = -1;
    if (def_.onClosing) {
        const Verdict v = def_.onClosing(*this);
        if (v == Verdict::CloseCancelled) closeForm(Response::Cancelled);
        if (v != Verdict::Go || closed_) return;
    }
    if (def_.onSaving) def_.onSaving(*this);
    writeCheckBoxes();
    completed();  // closes the form when the save succeeded
    if (!closed_ && by == CloseBy::Button) closeForm(Response::Cancelled);
}

void FormEngine::writeCheckBoxes()
{
    // A check box shows "off" for anything but its on letter, so an
    // untouched one is stored as its off letter, not as the blank it found.
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const FormControl& d = *controls_[i].def;
        if (d.kind == FormControl::Kind::Check) set(d.field.text(), isChecked(int(i)) ? d.onLetter : d.offLetter);
    }
}

void FormEngine::completed()
{
    def_.memory.history = buffer();
    if (state_.localRequest == Request::Insert)
        insertRecord();
    else if (state_.localRequest == Request::Change)
        changeRecord();
    else
        closeForm(Response::Completed);
}

void FormEngine::insertRecord()
{
    const int error = placeholder_ ? files_->putOver(placeholderPosition_) : files_->add();
    if (error == 0) {
        placeholder_ = false;
        closeForm(Response::Completed);
        return;
    }
    if (error == 40 && def_.duplicateKey && files_->duplicate(def_.duplicateKey->key))
        data::standardMessage(data::MessageNo::DuplicateKeyError, def_.duplicateKey->literal);
    else
        data::standardMessage(data::MessageNo::RecordInsertError);
    redisplay();
    focusFirst();
}

void FormEngine::changeRecord()
{
    for (;;) {
        state_.localResponse = Response::Cancelled;
        waitCursor(true);
        const int result = buffer() == saved_ ? 0 : files_->update();
        waitCursor(false);
        if (result == 0) {
            closeForm(Response::Completed);
            return;
        }
        if (result == data::UpdateChanged) {
            // The other station's version is in the buffer now; the history
            // record holds what the user tried to save, for the ditto key.
            redisplay();
            focusFirst();
            return;
        }
        if (result == data::UpdateDeleted) {
            // Reported already; nothing is left to write over, so asking to
            // try again would only repeat the failure. The form stays open
            // with what was typed until the user leaves it.
            focusFirst();
            return;
        }
        const Button b = data::standardMessage(data::MessageNo::RecordUpdateError);
        if (b == Button::Yes) continue;
        if (b == Button::No) {
            closeForm(Response::Cancelled);
            return;
        }
        redisplay();
        focusFirst();
        return;
    }
}

void FormEngine::cancel()
{
    if (closed_) return;
    closeForm(Response::Cancelled);
}

// --------------------------------------------------------------------- close

void FormEngine::closeForm(Response response)
{
    if (closed_) return;
    closed_ = true;
    state_.localResponse = response;
    if (files_) {
        if (placeholder_ && state_.entryRequest == Request::Insert && response != Response::Completed) {
            files_->removePlaceholder(placeholderPosition_);
            placeholder_ = false;
        }
        files_->release();
    }
    state_.giveBack();
    if (host_) host_->closeWindow();
}

// ------------------------------------------------------------------ context

QString FormEngine::text(const QString& field) const
{
    auto ref = fieldRef(field);
    return ref ? data::fieldText(*ref->field, ref->record()) : QString();
}

bool FormEngine::isBlank(const QString& field) const
{
    auto ref = fieldRef(field);
    return !ref || platform::fieldIsEmpty(*ref->field, ref->record());
}

platform::Decimal FormEngine::number(const QString& field) const
{
    auto ref = fieldRef(field);
    if (!ref) return platform::Decimal(0);
    auto value = platform::readField(*ref->field, ref->record());
    if (const auto* d = std::get_if<platform::Decimal>(&value)) return *d;
    return platform::Decimal::leadingNumber(std::get<std::string>(value));
}

bool FormEngine::set(const QString& field, const QString& text)
{
    auto ref = fieldRef(field);
    return ref && data::setFieldText(*ref->field, ref->record(), text);
}

QString FormEngine::currentField() const
{
    return current_ >= 0 ? controls_[std::size_t(current_)].def->field.text() : QString();
}

QString FormEngine::typedText() const
{
    return current_ >= 0 ? controls_[std::size_t(current_)].text : QString();
}

// --------------------------------------------------------------------- misc

QByteArray FormEngine::buffer() const { return files_->buffer(); }

void FormEngine::setBuffer(const QByteArray& bytes) { files_->setBuffer(bytes); }

void FormEngine::waitCursor(bool on)
{
    if (host_) host_->setWaitCursor(on);
}

} // namespace kestrel::shell
