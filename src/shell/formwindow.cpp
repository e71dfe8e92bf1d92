#include "shell/formwindow.h"

#include "data/records.h"
#include "platform/picture.h"
#include "shell/formengine.h"
#include "shell/helpviewer.h"
#include "shell/resizeradapter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace kestrel::shell {

namespace {

constexpr int kMargin = 10;
constexpr int kGap = 8;
// Entry fields wider than this many characters scroll rather than stretch
// the window past a screen's width (descriptions of 128 characters).
constexpr int kWidestField = 52;

int pictureWidth(const QString& picture)
{
    auto p = platform::Picture::parse(QStringView(picture));
    return p ? std::max(1, p->width()) : 10;
}

// Characters an entry box takes. A plain text picture wider than its field
// would let the user type what the field cannot hold and be refused only on
// leaving, so the box stops at the field's width. Pictures that reformat
// what is typed (dates, patterns, numbers) and text pictures over number
// fields keep their own width: the typed form differs from the stored one.
int entryLimit(const FormControl& c)
{
    const int chars = pictureWidth(c.picture);
    auto p = platform::Picture::parse(QStringView(c.picture));
    if (!p || p->kind() != platform::Picture::Kind::Text || c.field.isEmpty()) return chars;
    const platform::FieldDef& field = c.field.def();
    if (field.kind == platform::FieldKind::Packed) return chars;
    return std::max(1, std::min(chars, field.size));
}

// A prompt or heading shows its text where a centred line of a row would
// stand, but from the top of its box: the resizer makes the box taller with
// the window while the entry beside it keeps its height, and centred text
// would sink below the field it names.
void keepTextAtTop(QLabel* label, int rowH)
{
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setContentsMargins(0, std::max(0, (rowH - label->fontMetrics().height()) / 2), 0, 0);
}

} // namespace

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

int runForm(const FormDefinition& def, QWidget* parent)
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
    if (engine_.host() == this) engine_.attach(nullptr);
    while (waitDepth_-- > 0) QApplication::restoreOverrideCursor();
}

void FormWindow::build()
{
    const FormDefinition& def = engine_.definition();
    const QFontMetrics fm(font());
    // Codes, numbers and names in capitals are wider than the average
    // character: a field is sized for digits, so a full one still shows whole.
    const int charW = std::max({1, fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0'))});
    QLineEdit probe;
    const int rowH = std::max(probe.sizeHint().height(), fm.height() + 6);
    const int rowStep = rowH + 6;

    // The sheet: a tab bar over one page per tab.
    sheet_ = new QTabWidget(this);
    sheet_->setDocumentMode(false);
    widgets_.assign(std::size_t(engine_.controlCount()), nullptr);
    groups_.assign(std::size_t(engine_.controlCount()), nullptr);

    int index = 0;
    QSize pageSize(0, 0);
    std::vector<QWidget*> pages;
    for (const FormTab& tab : def.tabs) {
        auto* page = new QWidget;
        pages.push_back(page);
        sheet_->addTab(page, tab.text);

        int promptW = 0;
        for (const FormControl& c : tab.controls)
            if ((c.kind == FormControl::Kind::Entry || c.kind == FormControl::Kind::Display) && !c.besidePrevious)
                promptW = std::max(promptW, fm.horizontalAdvance(c.prompt));
        const int fieldX = kMargin + (promptW > 0 ? promptW + kGap : 0);

        int y = kMargin - rowStep;
        int right = kMargin;     // right edge of the control before, on its line
        int lineBottom = kMargin;
        int widest = 0;
        for (const FormControl& c : tab.controls) {
            const bool beside = c.besidePrevious && index > 0;
            int x = kMargin;
            if (beside) {
                x = right + kGap;
            } else {
                y = std::max(y + rowStep, lineBottom + 6);
            }
            auto placePrompt = [&](int at) {
                // A line without a prompt continues the field above it and
                // lines up with the fields.
                if (c.prompt.isEmpty()) return beside ? at : fieldX;
                auto* label = new QLabel(c.prompt, page);
                label->setGeometry(at, y, fm.horizontalAdvance(c.prompt) + 4, rowH);
                keepTextAtTop(label, rowH);
                return beside ? at + label->width() + 4 : fieldX;
            };
            QWidget* w = nullptr;
            switch (c.kind) {
            case FormControl::Kind::Heading: {
                auto* label = new QLabel(c.prompt, page);
                QFont bold = label->font();
                bold.setBold(true);
                label->setFont(bold);
                label->setGeometry(x, y, QFontMetrics(bold).horizontalAdvance(c.prompt) + 8, rowH);
                keepTextAtTop(label, rowH);
                w = label;
                break;
            }
            case FormControl::Kind::Entry: {
                const int at = placePrompt(x);
                auto* edit = new QLineEdit(page);
                const int chars = pictureWidth(c.picture);
                edit->setMaxLength(entryLimit(c));
                edit->setGeometry(at, y, charW * std::min(chars, kWidestField) + 14, rowH);
                if (!c.tooltip.isEmpty()) edit->setToolTip(c.tooltip);
                edit->setAccessibleName(c.prompt.isEmpty() ? c.field.text() : c.prompt);
                edit->installEventFilter(this);
                if (c.onLookup) edit->setContextMenuPolicy(Qt::NoContextMenu);
                const int i = index;
                connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& t) { engine_.type(i, t); });
                connect(edit, &QLineEdit::editingFinished, this, [this, i] {
                    if (!refreshing_) engine_.leave(i);
                });
                w = edit;
                break;
            }
            case FormControl::Kind::Display: {
                const int at = placePrompt(x);
                auto* label = new QLabel(page);
                label->setFrameShape(QFrame::Panel);
                label->setFrameShadow(QFrame::Sunken);
                const int chars = c.picture.isEmpty() ? 20 : pictureWidth(c.picture);
                label->setGeometry(at, y, charW * std::min(chars, kWidestField) + 14, rowH);
                if (!c.tooltip.isEmpty()) label->setToolTip(c.tooltip);
                w = label;
                break;
            }
            case FormControl::Kind::Check: {
                auto* box = new QCheckBox(c.prompt, page);
                box->adjustSize();
                box->setGeometry(beside ? x : std::max(x, fieldX), y, box->sizeHint().width() + 4, rowH);
                if (!c.tooltip.isEmpty()) box->setToolTip(c.tooltip);
                box->installEventFilter(this);
                const int i = index;
                connect(box, &QCheckBox::clicked, this, [this, i](bool on) { engine_.check(i, on); });
                w = box;
                break;
            }
            case FormControl::Kind::Radio: {
                auto* group = new QGroupBox(c.prompt, page);
                auto* buttons = new QButtonGroup(group);
                const int n = int(c.choices.size());
                const bool across = n <= 3;
                int gx = 10, gy = fm.height() + 8, gw = 0;
                int colW = 0;
                std::vector<QRadioButton*> radios;
                for (int k = 0; k < n; ++k) {
                    auto* r = new QRadioButton(c.choices[std::size_t(k)].text, group);
                    r->installEventFilter(this);
                    colW = std::max(colW, r->sizeHint().width() + 8);
                    radios.push_back(r);
                    buttons->addButton(r, k);
                }
                for (int k = 0; k < n; ++k) {
                    QRadioButton* r = radios[std::size_t(k)];
                    if (across) {
                        r->setGeometry(gx, gy, colW, rowH);
                        gx += colW + kGap;
                    } else {
                        r->setGeometry(10, gy + k * rowH, colW, rowH);
                    }
                }
                gw = across ? gx + 4 : colW + 24;
                gw = std::max(gw, fm.horizontalAdvance(c.prompt) + 30);
                const int gh = gy + (across ? rowH : n * rowH) + 8;
                group->setGeometry(x, y, gw, gh);
                if (!c.tooltip.isEmpty()) group->setToolTip(c.tooltip);
                const int i = index;
                connect(buttons, &QButtonGroup::idClicked, this, [this, i](int k) { engine_.choose(i, k); });
                groups_[std::size_t(index)] = buttons;
                w = group;
                break;
            }
            }
            widgets_[std::size_t(index)] = w;
            if (w) {
                right = w->geometry().right();
                lineBottom = std::max(lineBottom, w->geometry().bottom());
                widest = std::max(widest, right);
            }
            ++index;
        }
        pageSize = pageSize.expandedTo(QSize(widest + kMargin, lineBottom + kMargin));
    }
    for (QWidget* page : pages) page->setMinimumSize(pageSize);

    // The buttons, in the definition's order: "Help" shows the help topic;
    // of the others the last one cancels and the rest save.
    int cancelAt = -1;
    for (int k = 0; k < def.buttons.size(); ++k)
        if (def.buttons[k] != QLatin1String("Help")) cancelAt = k;
    int buttonsW = 0, buttonH = 0;
    for (int k = 0; k < def.buttons.size(); ++k) {
        const QString& text = def.buttons[k];
        auto* b = new QPushButton(text, this);
        b->setAutoDefault(false);
        b->setDefault(false);
        const QSize hint = b->sizeHint().expandedTo(QSize(80, 0));
        b->resize(hint);
        buttonsW += hint.width() + kGap;
        buttonH = std::max(buttonH, hint.height());
        buttons_.push_back(b);
        if (text == QLatin1String("Help")) {
            connect(b, &QPushButton::clicked, this, [this] {
                if (!engine_.definition().helpTopic.isEmpty()) help::show(engine_.definition().helpTopic, this);
            });
        } else if (k == cancelAt) {
            cancel_ = b;
            connect(b, &QPushButton::clicked, this, [this] { engine_.cancel(); });
        } else {
            save_ = b;
            connect(b, &QPushButton::clicked, this, [this] { engine_.save(); });
        }
    }

    const QSize sheetSize = sheet_->sizeHint().expandedTo(pageSize + QSize(8, sheet_->tabBar()->sizeHint().height() + 8));
    const int width = std::max(sheetSize.width(), buttonsW) + 2 * kMargin;
    sheet_->setGeometry(kMargin, kMargin, width - 2 * kMargin, sheetSize.height());
    int bx = width - kMargin - buttonsW + kGap;
    const int by = kMargin + sheetSize.height() + kGap;
    for (QPushButton* b : buttons_) {
        b->move(bx, by);
        bx += b->width() + kGap;
    }
    resize(width, by + buttonH + kMargin);
    connect(sheet_, &QTabWidget::currentChanged, this, [this] { engine_.redisplay(); });
    if (def.onWindowBuilt) def.onWindowBuilt(*this);
}

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
    done(engine_.response());
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

bool FormWindow::isDittoKey(const QKeyEvent* e) const
{
    if (!(e->modifiers() & Qt::ControlModifier)) return false;
    switch (engine_.definition().dittoKey) {
    case DittoKey::Apostrophe:
        return e->key() == Qt::Key_Apostrophe || e->nativeVirtualKey() == 0xDE;
    case DittoKey::Grave:
        return e->key() == Qt::Key_QuoteLeft || e->nativeVirtualKey() == 0xC0;
    }
    return false;
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
