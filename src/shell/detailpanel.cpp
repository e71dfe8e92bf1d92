#include "shell/detailpanel.h"

#include "data/records.h"
#include "platform/picture.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>

#include <algorithm>

namespace kestrel::shell {

namespace {

constexpr int kGap = 6;          // between a row's boxes, and between groups
constexpr int kRowGap = 4;       // between rows
constexpr int kWidestBox = 48;   // characters: a longer picture shows its start
constexpr int kGroupIndent = 10; // a group's lines from its frame

QString trimmedRight(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}

int pictureChars(const QString& picture)
{
    const auto p = platform::Picture::parse(QStringView(picture));
    return p ? std::max(1, p->width()) : 10;
}

bool isQueueField(const QString& field) { return field.startsWith(QLatin1String("BRW1::"), Qt::CaseInsensitive); }

DetailLine line(DetailLine::Kind kind, QString prompt, QString field = {}, QString picture = {})
{
    DetailLine l;
    l.kind = kind;
    l.prompt = std::move(prompt);
    l.field = std::move(field);
    l.picture = std::move(picture);
    return l;
}

} // namespace

DetailLine detail(QString prompt, QString field, QString picture)
{
    return line(DetailLine::Kind::Value, std::move(prompt), std::move(field), std::move(picture));
}

DetailLine detailComputed(QString prompt, QString name, QString picture,
                          std::function<std::string()> compute)
{
    DetailLine l = detail(std::move(prompt), std::move(name), std::move(picture));
    l.compute = std::move(compute);
    return l;
}

DetailLine detailMark(QString text, QString field, QString mark)
{
    return line(DetailLine::Kind::Mark, std::move(text), std::move(field), std::move(mark));
}

DetailLine detailLocator(QString field, int chars) { return detailLocator({}, std::move(field), chars); }

DetailLine detailLocator(QString prompt, QString field, int chars)
{
    return line(DetailLine::Kind::Locator, std::move(prompt), std::move(field), QStringLiteral("@s%1").arg(chars));
}

DetailLine detailHeading(QString text) { return line(DetailLine::Kind::Heading, std::move(text)); }

DetailLine detailGroup(QString title) { return line(DetailLine::Kind::Group, std::move(title)); }

// ----------------------------------------------------------------- layout

// Places the lines by hand, top to bottom, in the panel or in the group
// box of the moment.
class DetailPanel::Builder {
public:
    explicit Builder(DetailPanel& panel) : panel_(panel), fm_(panel.font())
    {
        const QLineEdit probe;
        rowH_ = std::max(probe.sizeHint().height() - 2, fm_.height() + 6);
        charW_ = std::max(fm_.horizontalAdvance(QLatin1Char('N')), fm_.horizontalAdvance(QLatin1Char('0')));
    }

    void build(const std::vector<DetailLine>& lines)
    {
        promptW_ = promptColumn(lines);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const DetailLine& l = lines[i];
            switch (l.kind) {
            case DetailLine::Kind::Group:
                closeGroup();
                openGroup(l.prompt);
                break;
            case DetailLine::Kind::Heading: heading(l.prompt); break;
            case DetailLine::Kind::Value: value(l); break;
            case DetailLine::Kind::Mark: mark(l); break;
            case DetailLine::Kind::Locator: locator(l); break;
            }
        }
        closeGroup();
        // The groups stand one under the other, as wide as the widest.
        int width = 0;
        for (QGroupBox* g : groups_) width = std::max(width, g->width());
        for (QGroupBox* g : groups_) g->resize(width, g->height());
        panel_.resize(rightOf(&panel_) + 2, y_);
    }

private:
    // One prompt column for the whole panel, so the boxes of its groups
    // line up: as wide as the widest prompt that begins a row.
    int promptColumn(const std::vector<DetailLine>& lines) const
    {
        int widest = 0;
        for (const DetailLine& l : lines)
            if (l.kind == DetailLine::Kind::Value && !l.besidePrevious && !l.prompt.isEmpty())
                widest = std::max(widest, fm_.horizontalAdvance(l.prompt));
        return widest ? widest + kGap : 0;
    }

    static int rightOf(const QWidget* container)
    {
        int right = 0;
        for (const QWidget* c : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            right = std::max(right, c->geometry().right() + 1);
        return right;
    }

    QWidget* container() const { return group_ ? static_cast<QWidget*>(group_) : &panel_; }
    int& y() { return group_ ? groupY_ : y_; }

    void openGroup(const QString& title)
    {
        if (title.isEmpty()) return;  // an untitled group ends the one before
        group_ = new QGroupBox(title, &panel_);
        group_->move(0, y_);
        groups_.push_back(group_);
        groupY_ = fm_.height() + 10;  // below the title
        left_ = kGroupIndent;
        rowBoxX_ = -1;
    }

    void closeGroup()
    {
        if (!group_) return;
        group_->resize(rightOf(group_) + 12, groupY_ + kRowGap);
        y_ = group_->geometry().bottom() + 1 + kGap;
        group_ = nullptr;
        left_ = 0;
        rowBoxX_ = -1;
    }

    QLabel* label(const QString& text, int x, int width)
    {
        auto* l = new QLabel(text, container());
        l->setGeometry(x, rowY_, width, rowH_);
        return l;
    }

    void heading(const QString& text)
    {
        auto* h = new QLabel(text, container());
        QFont bold = h->font();
        bold.setBold(true);
        h->setFont(bold);
        h->adjustSize();
        h->move(left_, y());
        y() += h->height() + kRowGap;
        rowBoxX_ = -1;
    }

    // A row begins with its prompt in the prompt column; a line without a
    // prompt continues the line above, its box under that line's box.
    void value(const DetailLine& l)
    {
        int x = lastRight_ + kGap;
        if (!l.besidePrevious || rowBoxX_ < 0) {
            rowY_ = y();
            y() += rowH_ + kRowGap;
            if (!l.prompt.isEmpty()) label(l.prompt, left_, promptW_ - kGap);
            x = l.prompt.isEmpty() && rowBoxX_ >= 0 ? rowBoxX_ : left_ + (l.prompt.isEmpty() ? 0 : promptW_);
            rowBoxX_ = x;
        } else if (!l.prompt.isEmpty()) {
            const int w = fm_.horizontalAdvance(l.prompt) + 4;
            label(l.prompt, x, w);
            x += w + kGap;
        }
        auto* box = new QLabel(container());
        box->setFrameShape(QFrame::Panel);
        box->setFrameShadow(QFrame::Sunken);
        box->setTextFormat(Qt::PlainText);
        box->setGeometry(x, rowY_, charW_ * std::min(pictureChars(l.picture), kWidestBox) + 12, rowH_);
        box->setAccessibleName(l.prompt.isEmpty() ? l.field : l.prompt);
        if (!l.tooltip.isEmpty()) box->setToolTip(l.tooltip);
        lastRight_ = box->geometry().right() + 1;
        panel_.shown_.push_back({l, box});
    }

    // The check boxes show the stored mark; they are not a way to change it.
    void mark(const DetailLine& l)
    {
        auto* box = new QCheckBox(l.prompt, container());
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->setFocusPolicy(Qt::NoFocus);
        box->adjustSize();
        box->move(left_ + 4, y());
        if (!l.tooltip.isEmpty()) box->setToolTip(l.tooltip);
        y() += box->height() + 2;
        rowBoxX_ = -1;
        panel_.shown_.push_back({l, box});
    }

    void locator(const DetailLine& l)
    {
        auto* edit = new QLineEdit(container());
        const int chars = pictureChars(l.picture);
        int limit = chars;
        if (auto ref = data::findField(l.field.toStdString())) limit = std::min(chars, ref->field->size);
        // Shown `chars` wide, but it takes no more than the field holds: the
        // rest would be cut off the value the list is located on.
        edit->setMaxLength(limit);
        int x = left_;
        if (!l.prompt.isEmpty()) {
            auto* prompt = new QLabel(l.prompt, container());
            prompt->adjustSize();
            prompt->move(x, y() + (rowH_ + 2 - prompt->height()) / 2);
            x += prompt->width() + kGap;
        }
        edit->setGeometry(x, y(), charW_ * chars + 14, rowH_ + 2);
        edit->setAccessibleName(l.field);
        if (!l.tooltip.isEmpty()) edit->setToolTip(l.tooltip);
        y() += rowH_ + 2 + kGap + kRowGap;
        rowBoxX_ = -1;
        panel_.locator_ = edit;
        panel_.locatorField_ = l.field;
        panel_.shown_.push_back({l, edit});
        QObject::connect(edit, &QLineEdit::editingFinished, &panel_, &DetailPanel::locatorAccepted);
    }

    DetailPanel& panel_;
    const QFontMetrics fm_;
    int rowH_ = 0;
    int charW_ = 0;
    QGroupBox* group_ = nullptr;
    std::vector<QGroupBox*> groups_;
    int y_ = 0;         // in the panel
    int groupY_ = 0;    // in the group box
    int left_ = 0;
    int promptW_ = 0;
    int rowY_ = 0;      // the row being filled
    int rowBoxX_ = -1;  // where its first box stands (-1: no row to continue)
    int lastRight_ = 0;
};

// ------------------------------------------------------------------ panel

DetailPanel::DetailPanel(std::vector<DetailLine> lines, QWidget* parent) : QWidget(parent)
{
    Builder(*this).build(lines);
}

BrowsePanel DetailPanel::make(std::vector<DetailLine> lines, BrowsePanel::Placement placement)
{
    auto* panel = new DetailPanel(std::move(lines));
    return BrowsePanel{panel, [panel] { panel->fill(); }, placement};
}

QString DetailPanel::textOf(const DetailLine& line)
{
    platform::FieldValue value;
    if (line.compute) {
        value = platform::FieldValue(line.compute());
    } else if (auto ref = data::findField(line.field.toStdString())) {
        value = platform::readField(*ref->field, ref->record());
    } else {
        return {};
    }
    const auto picture = platform::Picture::parse(QStringView(line.picture));
    return trimmedRight(picture ? picture->format(value) : QString());
}

QString DetailPanel::valueText(const DetailLine& line) const
{
    if (!isQueueField(line.field)) return textOf(line);
    // A field of the browse's queue, from the highlighted entry.
    auto* window = qobject_cast<BrowseWindow*>(parentWidget());
    if (!window) return {};
    BrowseEngine& engine = window->engine();
    const int field = engine.queueFieldIndex(line.field);
    if (engine.highlighted() < 1 || field < 0) return {};
    const auto picture = platform::Picture::parse(QStringView(line.picture));
    return picture ? trimmedRight(picture->format(engine.value(engine.highlighted(), field))) : QString();
}

void DetailPanel::fill()
{
    for (const Shown& s : shown_) {
        switch (s.line.kind) {
        case DetailLine::Kind::Value: static_cast<QLabel*>(s.widget)->setText(valueText(s.line)); break;
        case DetailLine::Kind::Mark: {
            const auto ref = data::findField(s.line.field.toStdString());
            const QString stored = ref ? data::fieldText(*ref->field, ref->record()).trimmed() : QString();
            static_cast<QCheckBox*>(s.widget)->setChecked(stored.compare(s.line.picture, Qt::CaseInsensitive) == 0);
            break;
        }
        case DetailLine::Kind::Locator:
            // Text the user is typing stays until it is accepted.
            if (!(locator_->hasFocus() && locator_->isModified())) {
                const auto ref = data::findField(s.line.field.toStdString());
                locator_->setText(ref ? data::fieldText(*ref->field, ref->record()) : QString());
                locator_->setCursorPosition(0);
            }
            break;
        case DetailLine::Kind::Heading:
        case DetailLine::Kind::Group: break;
        }
    }
}

void DetailPanel::locatorAccepted()
{
    if (!locator_->isModified()) return;  // left without typing: no locate
    locator_->setModified(false);
    const QString typed = locator_->text();
    if (typed.trimmed().isEmpty()) return;
    auto* window = qobject_cast<BrowseWindow*>(parentWidget());
    const auto ref = data::findField(locatorField_.toStdString());
    if (!window || !ref) return;
    QString why;
    if (!data::setFieldText(*ref->field, ref->record(), typed, &why)) {
        // A character the file cannot hold: say so and leave the text to mend.
        QApplication::beep();
        QToolTip::showText(locator_->mapToGlobal(QPoint(0, locator_->height())), why, locator_);
        locator_->setModified(true);
        return;
    }
    window->engine().locateOnBuffer();
    window->focusList();
}

const DetailPanel::Shown* DetailPanel::find(const QString& field) const
{
    for (const Shown& s : shown_)
        if (s.line.field.compare(field, Qt::CaseInsensitive) == 0) return &s;
    return nullptr;
}

QString DetailPanel::shownText(const QString& field) const
{
    const Shown* s = find(field);
    if (!s) return {};
    if (auto* label = qobject_cast<QLabel*>(s->widget)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(s->widget)) return edit->text();
    return {};
}

QCheckBox* DetailPanel::mark(const QString& field) const
{
    const Shown* s = find(field);
    return s ? qobject_cast<QCheckBox*>(s->widget) : nullptr;
}

} // namespace kestrel::shell
