#include "shell/formwindow.h"

#include "shell/formengine.h"
#include "shell/helpviewer.h"
#include "shell/resizeradapter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace kestrel::shell {

// ---------------------------------------------------------------- runForm

namespace {

// The only window side a form has before its window opens (and a Delete
// request, which never opens one): the wait cursor.
class CursorOnlyHost final : public FormHost {
public:
    ~CursorOnlyHost() override
    {
        while (depth_-- > 0) QApplication::restoreOverrideCursor();
    }
    void refresh() override {}
    void focusControl(int) override {}
    void rejected(int, const QString&) override {}
    void closeWindow() override {}
    void setWaitCursor(bool on) override
    {
        if (on) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            ++depth_;
        } else if (depth_ > 0) {
            QApplication::restoreOverrideCursor();
            --depth_;
        }
    }

private:
    int depth_ = 0;
};

} // namespace

Response runForm(const FormDefinition& def, QWidget* parent)
{
    FormEngine engine(def);
    CursorOnlyHost cursor;
    engine.attach(&cursor);
    if (engine.open() == FormEngine::Opening::Ended) return CallResponse;
    {
        FormWindow window(engine, parent);
        window.exec();
        // However the window went away, the form is closed now.
        engine.attach(nullptr);
        engine.cancel();
    }
    return CallResponse;
}

// -------------------------------------------------------------- FormWindow

FormWindow::FormWindow(FormEngine& engine, QWidget* parent) : QDialog(parent), engine_(engine)
{
    setWindowTitle(engine_.windowTitle());
    setModal(true);
    build();
    engine_.attach(this);

    // Step 7: a form that was open before reopens where the user left it.
    const FormMemory& memory = engine_.definition().memory;
    if (memory.position) move(*memory.position);
}

FormWindow::~FormWindow()
{
    // Taking the window down moves the focus out of the field that has it,
    // and the field then reports that it was left; by then only the base
    // classes are alive. Nothing of the controls reaches this window or the
    // engine any more.
    for (QObject* child : findChildren<QObject*>()) {
        child->removeEventFilter(this);
        QObject::disconnect(child, nullptr, this, nullptr);
    }
    if (engine_.host() == this) engine_.attach(nullptr);
    while (waitDepth_-- > 0) QApplication::restoreOverrideCursor();
}

// ------------------------------------------------------------- lookups

QLineEdit* FormWindow::entryOf(const QString& field) const
{
    for (int i = 0; i < engine_.controlCount(); ++i)
        if (engine_.control(i).kind == FormControl::Kind::Entry &&
            engine_.control(i).field.text().compare(field, Qt::CaseInsensitive) == 0)
            return qobject_cast<QLineEdit*>(widgets_[std::size_t(i)]);
    return nullptr;
}

QPushButton* FormWindow::button(const QString& text) const
{
    for (QPushButton* b : buttons_)
        if (b->text() == text) return b;
    return nullptr;
}

int FormWindow::indexOfWidget(const QObject* w) const
{
    for (std::size_t i = 0; i < widgets_.size(); ++i) {
        if (widgets_[i] == w) return int(i);
        if (groups_[i])
            for (QAbstractButton* b : groups_[i]->buttons())
                if (b == w) return int(i);
    }
    return -1;
}

// ------------------------------------------------------------------- host

void FormWindow::refresh()
{
    refreshing_ = true;
    for (int i = 0; i < engine_.controlCount(); ++i) {
        QWidget* w = widgets_[std::size_t(i)];
        switch (engine_.control(i).kind) {
        case FormControl::Kind::Entry:
            if (auto* e = qobject_cast<QLineEdit*>(w); e && e->text() != engine_.controlText(i)) {
                e->setText(engine_.controlText(i));
                e->setCursorPosition(0);
            }
            break;
        case FormControl::Kind::Display:
            if (auto* l = qobject_cast<QLabel*>(w)) l->setText(engine_.controlText(i));
            break;
        case FormControl::Kind::Check:
            if (auto* b = qobject_cast<QCheckBox*>(w)) b->setChecked(engine_.isChecked(i));
            break;
        case FormControl::Kind::Radio:
            if (QButtonGroup* g = groups_[std::size_t(i)]) {
                const int k = engine_.chosen(i);
                if (k >= 0) {
                    g->button(k)->setChecked(true);
                } else {
                    // No code stored: no button is marked.
                    g->setExclusive(false);
                    for (QAbstractButton* b : g->buttons()) b->setChecked(false);
                    g->setExclusive(true);
                }
            }
            break;
        case FormControl::Kind::Heading:
            break;
        }
    }
    refreshing_ = false;
}

void FormWindow::focusControl(int index)
{
    if (index < 0 || index >= int(widgets_.size())) return;
    const int tab = engine_.tabOf(index);
    if (sheet_->currentIndex() != tab) sheet_->setCurrentIndex(tab);
    QWidget* w = widgets_[std::size_t(index)];
    if (QButtonGroup* g = groups_[std::size_t(index)]) {
        QAbstractButton* b = g->checkedButton() ? g->checkedButton() : g->buttons().value(0);
        w = b;
    }
    if (!w) return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
}

void FormWindow::rejected(int index, const QString& why)
{
    QApplication::beep();
    lastRefusal_ = why;
    QWidget* w = (index >= 0 && index < int(widgets_.size())) ? widgets_[std::size_t(index)] : nullptr;
    if (!w) return;
    // The focus may be on its way elsewhere (the field was left): bring it
    // back once that move is over. The reason is shown only then, since a
    // tip closes itself on every change of focus.
    QTimer::singleShot(0, this, [this, index, why] {
        if (engine_.isClosed()) return;
        focusControl(index);
        QWidget* field = widgets_[std::size_t(index)];
        if (!why.isEmpty() && field)
            QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), why, field);
    });
}

void FormWindow::closeWindow()
{
    done(static_cast<int>(engine_.response()));
}

void FormWindow::setWaitCursor(bool on)
{
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++waitDepth_;
    } else if (waitDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --waitDepth_;
    }
}

// ----------------------------------------------------------------- events

bool FormWindow::isDittoKey(const QKeyEvent* e)
{
    // Ctrl with the apostrophe key (virtual key DE hex), as message 38 names
    // it, or with the grave-accent key (virtual key C0 hex), the patient and
    // provider editors' own: both recall in every form, so the key a user
    // was told about always works.
    if (!(e->modifiers() & Qt::ControlModifier)) return false;
    return e->key() == Qt::Key_Apostrophe || e->nativeVirtualKey() == 0xDE || e->key() == Qt::Key_QuoteLeft ||
           e->nativeVirtualKey() == 0xC0;
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event)
{
    const int index = indexOfWidget(watched);
    if (index < 0 || engine_.isClosed()) return QDialog::eventFilter(watched, event);
    const FormControl& c = engine_.control(index);
    switch (event->type()) {
    case QEvent::FocusIn:
        engine_.enter(index);
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (c.offersDitto && isDittoKey(key)) {
            engine_.ditto(index);
            return true;
        }
        if (c.onLookup && key->key() == Qt::Key_F12) {
            engine_.lookup(index);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress:
        if (c.onLookup && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
            engine_.lookup(index);
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void FormWindow::keyPressEvent(QKeyEvent* event)
{
    // F1, the help key, does what the Help button does.
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (QPushButton* help = button(QStringLiteral("Help"))) {
            help->click();
            return;
        }
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        !engine_.definition().escapeCloses) {
        // Esc does not close this form; on its Close button it chooses Close.
        if (cancel_ && focusWidget() == cancel_) engine_.close(CloseBy::Escape);
        return;
    }
    QDialog::keyPressEvent(event);
}

void FormWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // Step 6: the opening size is the smallest; the controls follow resizes.
    ResizerAdapter::attach(this);
    // Step 7: the first opening records where the window came up.
    FormMemory& memory = engine_.definition().memory;
    if (!memory.position) memory.position = pos();
    QTimer::singleShot(0, this, [this] { engine_.windowOpened(); });
}

void FormWindow::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    if (shownOnce_ && isVisible()) engine_.definition().memory.position = pos();
}

void FormWindow::hideEvent(QHideEvent* event)
{
    // The place read at the first showing may predate the window manager's
    // frame; the place at closing is the true one.
    if (shownOnce_) engine_.definition().memory.position = pos();
    QDialog::hideEvent(event);
}

void FormWindow::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (shownOnce_ && !engine_.isClosed()) engine_.redisplay();
}

void FormWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && shownOnce_ && !engine_.isClosed())
        engine_.redisplay();
}

void FormWindow::closeEvent(QCloseEvent* event)
{
    engine_.cancel();
    QDialog::closeEvent(event);
}

void FormWindow::reject()
{
    // Escape and the window's close button: Cancel.
    if (!engine_.isClosed()) {
        engine_.cancel();
        return;  // cancel() took the window down through closeWindow()
    }
    QDialog::reject();
}

} // namespace kestrel::shell
