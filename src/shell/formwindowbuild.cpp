// The building of a FormWindow from its definition: one factory per kind
// of control (entry, radio group, check box, display, heading) and one for
// the buttons, each making its widget at the place the page layout gives it
// and connecting it to the engine. Kept apart from the window's events.
#include "shell/formwindow.h"

#include "data/records.h"
#include "platform/picture.h"
#include "shell/formengine.h"
#include "shell/helpviewer.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

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

struct FormWindow::Metrics {
    QFontMetrics fm;
    int charW;    // width of a field's character
    int rowH;     // height of an entry line
    int rowStep;  // from one line to the next
};

// Where the control being built goes on its page.
struct FormWindow::Place {
    QWidget* page;
    const Metrics& m;
    int x;
    int y;
    int fieldX;  // where the fields of lines with a prompt begin
    bool beside; // on the line of the control before it
};

FormWindow::Metrics FormWindow::metrics() const
{
    const QFontMetrics fm(font());
    // Codes, numbers and names in capitals are wider than the average
    // character: a field is sized for digits, so a full one still shows whole.
    const int charW = std::max({1, fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('0'))});
    QLineEdit probe;
    const int rowH = std::max(probe.sizeHint().height(), fm.height() + 6);
    return Metrics{fm, charW, rowH, rowH + 6};
}

void FormWindow::build()
{
    const FormDefinition& def = engine_.definition();
    const Metrics m = metrics();
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
        pageSize = pageSize.expandedTo(buildPage(tab, page, m, index));
    }
    for (QWidget* page : pages) page->setMinimumSize(pageSize);
    placeSheetAndButtons(pageSize, makeButtons());
    connect(sheet_, &QTabWidget::currentChanged, this, [this] { engine_.redisplay(); });
    if (def.onWindowBuilt) def.onWindowBuilt(*this);
}

QSize FormWindow::buildPage(const FormTab& tab, QWidget* page, const Metrics& m, int& index)
{
    int promptW = 0;
    for (const FormControl& c : tab.controls)
        if ((c.kind == FormControl::Kind::Entry || c.kind == FormControl::Kind::Display) && !c.besidePrevious)
            promptW = std::max(promptW, m.fm.horizontalAdvance(c.prompt));
    Place at{page, m, kMargin, kMargin - m.rowStep, kMargin + (promptW > 0 ? promptW + kGap : 0), false};

    int right = kMargin;  // right edge of the control before, on its line
    int lineBottom = kMargin;
    int widest = 0;
    for (const FormControl& c : tab.controls) {
        at.beside = c.besidePrevious && index > 0;
        if (at.beside) {
            at.x = right + kGap;
        } else {
            at.x = kMargin;
            at.y = std::max(at.y + m.rowStep, lineBottom + 6);
        }
        QWidget* w = makeControl(c, index, at);
        widgets_[std::size_t(index)] = w;
        if (w) {
            right = w->geometry().right();
            lineBottom = std::max(lineBottom, w->geometry().bottom());
            widest = std::max(widest, right);
        }
        ++index;
    }
    return QSize(widest + kMargin, lineBottom + kMargin);
}

QWidget* FormWindow::makeControl(const FormControl& c, int index, const Place& at)
{
    switch (c.kind) {
    case FormControl::Kind::Heading: return makeHeading(c, at);
    case FormControl::Kind::Entry: return makeEntry(c, index, at);
    case FormControl::Kind::Display: return makeDisplay(c, at);
    case FormControl::Kind::Check: return makeCheck(c, index, at);
    case FormControl::Kind::Radio: return makeRadios(c, index, at);
    }
    return nullptr;
}

int FormWindow::placePrompt(const FormControl& c, const Place& at)
{
    // A line without a prompt continues the field above it and lines up
    // with the fields.
    if (c.prompt.isEmpty()) return at.beside ? at.x : at.fieldX;
    auto* label = new QLabel(c.prompt, at.page);
    label->setGeometry(at.x, at.y, at.m.fm.horizontalAdvance(c.prompt) + 4, at.m.rowH);
    keepTextAtTop(label, at.m.rowH);
    return at.beside ? at.x + label->width() + 4 : at.fieldX;
}

QWidget* FormWindow::makeHeading(const FormControl& c, const Place& at)
{
    auto* label = new QLabel(c.prompt, at.page);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setGeometry(at.x, at.y, QFontMetrics(bold).horizontalAdvance(c.prompt) + 8, at.m.rowH);
    keepTextAtTop(label, at.m.rowH);
    return label;
}

QWidget* FormWindow::makeEntry(const FormControl& c, int index, const Place& at)
{
    const int x = placePrompt(c, at);
    auto* edit = new QLineEdit(at.page);
    edit->setMaxLength(entryLimit(c));
    edit->setGeometry(x, at.y, at.m.charW * std::min(pictureWidth(c.picture), kWidestField) + 14, at.m.rowH);
    if (!c.tooltip.isEmpty()) edit->setToolTip(c.tooltip);
    edit->setAccessibleName(c.prompt.isEmpty() ? c.field.text() : c.prompt);
    edit->installEventFilter(this);
    if (c.onLookup) edit->setContextMenuPolicy(Qt::NoContextMenu);
    connect(edit, &QLineEdit::textEdited, this, [this, index](const QString& t) { engine_.type(index, t); });
    connect(edit, &QLineEdit::editingFinished, this, [this, index] {
        if (!refreshing_) engine_.leave(index);
    });
    return edit;
}

QWidget* FormWindow::makeDisplay(const FormControl& c, const Place& at)
{
    const int x = placePrompt(c, at);
    auto* label = new QLabel(at.page);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    const int chars = c.picture.isEmpty() ? 20 : pictureWidth(c.picture);
    label->setGeometry(x, at.y, at.m.charW * std::min(chars, kWidestField) + 14, at.m.rowH);
    if (!c.tooltip.isEmpty()) label->setToolTip(c.tooltip);
    return label;
}

QWidget* FormWindow::makeCheck(const FormControl& c, int index, const Place& at)
{
    auto* box = new QCheckBox(c.prompt, at.page);
    box->adjustSize();
    box->setGeometry(at.beside ? at.x : std::max(at.x, at.fieldX), at.y, box->sizeHint().width() + 4, at.m.rowH);
    if (!c.tooltip.isEmpty()) box->setToolTip(c.tooltip);
    box->installEventFilter(this);
    connect(box, &QCheckBox::clicked, this, [this, index](bool on) { engine_.check(index, on); });
    return box;
}

QWidget* FormWindow::makeRadios(const FormControl& c, int index, const Place& at)
{
    auto* group = new QGroupBox(c.prompt, at.page);
    auto* buttons = new QButtonGroup(group);
    const int n = int(c.choices.size());
    // Up to three buttons stand in a row, more in a column.
    const bool across = n <= 3;
    const int rowH = at.m.rowH;
    const int top = at.m.fm.height() + 8;
    int colW = 0;
    for (int k = 0; k < n; ++k) {
        auto* r = new QRadioButton(c.choices[std::size_t(k)].text, group);
        r->installEventFilter(this);
        colW = std::max(colW, r->sizeHint().width() + 8);
        buttons->addButton(r, k);
    }
    int gx = 10;
    for (int k = 0; k < n; ++k) {
        if (across) {
            buttons->button(k)->setGeometry(gx, top, colW, rowH);
            gx += colW + kGap;
        } else {
            buttons->button(k)->setGeometry(10, top + k * rowH, colW, rowH);
        }
    }
    const int gw = std::max(across ? gx + 4 : colW + 24, at.m.fm.horizontalAdvance(c.prompt) + 30);
    group->setGeometry(at.x, at.y, gw, top + (across ? rowH : n * rowH) + 8);
    if (!c.tooltip.isEmpty()) group->setToolTip(c.tooltip);
    connect(buttons, &QButtonGroup::idClicked, this, [this, index](int k) { engine_.choose(index, k); });
    groups_[std::size_t(index)] = buttons;
    return group;
}

QSize FormWindow::makeButtons()
{
    // The buttons, in the definition's order: "Help" shows the help topic;
    // of the others the last one cancels and the rest save.
    const QStringList& texts = engine_.definition().buttons;
    int cancelAt = -1;
    for (int k = 0; k < texts.size(); ++k)
        if (texts[k] != QLatin1String("Help")) cancelAt = k;
    QSize row(0, 0);
    for (int k = 0; k < texts.size(); ++k) {
        auto* b = new QPushButton(texts[k], this);
        b->setAutoDefault(false);
        b->setDefault(false);
        b->resize(b->sizeHint().expandedTo(QSize(80, 0)));
        row = QSize(row.width() + b->width() + kGap, std::max(row.height(), b->height()));
        buttons_.push_back(b);
        if (texts[k] == QLatin1String("Help")) {
            connect(b, &QPushButton::clicked, this, [this] {
                if (!engine_.definition().helpTopic.isEmpty()) help::show(engine_.definition().helpTopic, this);
            });
        } else if (k == cancelAt) {
            cancel_ = b;
            connect(b, &QPushButton::clicked, this, [this] { engine_.close(CloseBy::Button); });
        } else {
            save_ = b;
            connect(b, &QPushButton::clicked, this, [this] { engine_.save(); });
        }
    }
    return row;
}

void FormWindow::placeSheetAndButtons(QSize pageSize, QSize buttonRow)
{
    const QSize sheetSize =
        sheet_->sizeHint().expandedTo(pageSize + QSize(8, sheet_->tabBar()->sizeHint().height() + 8));
    const int width = std::max(sheetSize.width(), buttonRow.width()) + 2 * kMargin;
    sheet_->setGeometry(kMargin, kMargin, width - 2 * kMargin, sheetSize.height());
    // The buttons stand in a row at the right, under the sheet.
    int bx = width - kMargin - buttonRow.width() + kGap;
    const int by = kMargin + sheetSize.height() + kGap;
    for (QPushButton* b : buttons_) {
        b->move(bx, by);
        bx += b->width() + kGap;
    }
    resize(width, by + buttonRow.height() + kMargin);
}

} // namespace kestrel::shell
