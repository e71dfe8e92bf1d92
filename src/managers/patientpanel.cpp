#include "managers/patientpanel.h"

#include "data/records.h"
#include "managers/patientbrowse.h"
#include "platform/picture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>

#include <algorithm>

namespace kestrel::managers {

namespace {

constexpr const char* kCityLine = "CITYLINE";
constexpr int kGap = 6;

QString trimmedRight(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}

int rowHeight(const QWidget* w)
{
    QLineEdit probe;
    return std::max(probe.sizeHint().height() - 2, w->fontMetrics().height() + 6);
}

} // namespace

PatientPanel::PatientPanel(QWidget* parent) : QWidget(parent)
{
    const QFontMetrics fm(font());
    const int rowH = rowHeight(this);
    const int step = rowH + 4;
    const int charW = fm.horizontalAdvance(QLatin1Char('N'));
    int promptW = 0;
    for (const char* p : {"Address", "Home/Cell phone number", "Work phone number", "Date of Birth",
                          "Social Security Number", "Gender Status"})
        promptW = std::max(promptW, fm.horizontalAdvance(QString::fromLatin1(p)));
    const int fieldX = promptW + kGap;

    int y = 0;
    name_ = new QLineEdit(this);
    // Shown 29 wide, but the name holds 28: the box takes no more, since the
    // rest would be cut off the name the list is located on.
    name_->setMaxLength(std::min(29, data::PAT.LNAME.width));
    name_->setGeometry(0, y, charW * 29 + 14, rowH + 2);
    name_->setAccessibleName(QStringLiteral("PAT:LNAME"));
    connect(name_, &QLineEdit::editingFinished, this, &PatientPanel::nameAccepted);
    y += rowH + 2 + kGap + 4;

    auto prompt = [&](const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setGeometry(0, y, promptW, rowH);
    };
    prompt("Address");
    display(QStringLiteral("PAT:ADD1"), QStringLiteral("@s28"), fieldX, y);
    y += step;
    display(QString::fromLatin1(kCityLine), QStringLiteral("@s36"), fieldX, y);
    y += step;
    auto phone = [&](const char* text, const char* area, const char* number) {
        prompt(text);
        QLabel* a = display(QString::fromLatin1(area), QStringLiteral("@p(###)p"), fieldX, y);
        display(QString::fromLatin1(number), QStringLiteral("@s10"), a->geometry().right() + kGap, y);
        y += step;
    };
    phone("Home/Cell phone number", "PAT:HAREA", "PAT:HPHON");
    phone("Work phone number", "PAT:WAREA", "PAT:WPHON");
    prompt("Date of Birth");
    display(QStringLiteral("PAT:BDATE"), QStringLiteral("@D2"), fieldX, y);
    y += step;
    prompt("Social Security Number");
    display(QStringLiteral("PAT:SSN"), QStringLiteral("@P###-##-####P"), fieldX, y);
    y += step;
    prompt("Gender Status");
    display(QStringLiteral("PAT:SEX"), QStringLiteral("@s1"), fieldX, y, QStringLiteral("Male/Female"));
    y += step;

    int right = 0;
    for (QWidget* c : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) right = std::max(right, c->geometry().right());
    resize(right + 2, y);
}

shell::BrowsePanel PatientPanel::make()
{
    auto* panel = new PatientPanel;
    return shell::BrowsePanel{panel, [panel] { panel->fill(); }};
}

QLabel* PatientPanel::display(const QString& name, const QString& picture, int x, int y, const QString& tip)
{
    auto* label = new QLabel(this);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    const int chars = std::max(1, platform::Picture::from(picture.toStdString()).width());
    // Sized for names in capitals: a display field cannot scroll, so what
    // it holds must fit.
    label->setGeometry(x, y, fontMetrics().horizontalAdvance(QLatin1Char('N')) * chars + 12, rowHeight(this));
    label->setAccessibleName(name);
    if (!tip.isEmpty()) label->setToolTip(tip);
    fields_[name] = Shown{label, picture};
    return label;
}

void PatientPanel::fill()
{
    // Text the user is typing into the locator stays until it is accepted.
    if (!(name_->hasFocus() && name_->isModified())) {
        name_->setText(data::PAT.LNAME.toQString());
        name_->setCursorPosition(0);
    }
    for (auto& [name, shown] : fields_) {
        const auto picture = platform::Picture::from(shown.picture.toStdString());
        if (name == QLatin1String(kCityLine)) {
            // Worked out afresh from the record the copy-back has just put in PAT.
            shown.label->setText(trimmedRight(picture.format(platform::FieldValue(patientCityLine()))));
            continue;
        }
        auto ref = data::findField(name.toStdString());
        if (!ref) continue;
        shown.label->setText(trimmedRight(picture.format(platform::readField(*ref->field, ref->record()))));
    }
}

void PatientPanel::nameAccepted()
{
    if (!name_->isModified()) return;  // left without typing: no locate
    name_->setModified(false);
    const QString typed = name_->text();
    if (typed.trimmed().isEmpty()) return;
    auto* window = qobject_cast<shell::BrowseWindow*>(parentWidget());
    if (!window) return;
    QString why;
    if (!data::setText(data::PAT.LNAME, typed, "PAT:LNAME", &why)) {
        // A character the file cannot hold: say so and leave the text to mend.
        QApplication::beep();
        QToolTip::showText(name_->mapToGlobal(QPoint(0, name_->height())), why, name_);
        name_->setModified(true);
        return;
    }
    window->engine().locateOnBuffer();
    window->focusList();
}

QString PatientPanel::shownText(const QString& name) const
{
    if (name.compare(QLatin1String("PAT:LNAME"), Qt::CaseInsensitive) == 0) return name_->text();
    auto it = fields_.find(name);
    return it == fields_.end() ? QString() : it->second.label->text();
}

} // namespace kestrel::managers
