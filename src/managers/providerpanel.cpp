#include "managers/providerpanel.h"

#include "data/records.h"
#include "managers/providerbrowse.h"
#include "platform/picture.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace kestrel::managers {

namespace {

constexpr const char* kMailTo = "BRW1::MAILTO";
constexpr int kGap = 6;

int pictureChars(const QString& picture)
{
    return std::max(1, platform::Picture::from(picture.toStdString()).width());
}

QString trimmedRight(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) --n;
    s.truncate(n);
    return s;
}

// The check boxes show the stored mark; they are not a way to change it.
QCheckBox* markBox(const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setAttribute(Qt::WA_TransparentForMouseEvents);
    box->setFocusPolicy(Qt::NoFocus);
    box->adjustSize();
    return box;
}

} // namespace

ProviderPanel::ProviderPanel(QWidget* parent) : QWidget(parent)
{
    const QFontMetrics fm(font());
    QLineEdit probe;
    const int rowH = std::max(probe.sizeHint().height() - 2, fm.height() + 6);
    const int step = rowH + 4;
    const int top = fm.height() + 10;  // below a group's title
    const int promptW = std::max({fm.horizontalAdvance(QStringLiteral("Telephone number")),
                                  fm.horizontalAdvance(QStringLiteral("ID Qualifier"))}) + kGap;

    // A group of address lines, then the telephone and fax lines.
    auto addressGroup = [&](const QString& title, const std::vector<QString>& lines, const char* area,
                            const char* phone, const char* farea, const char* fax, int y) {
        auto* g = new QGroupBox(title, this);
        int gy = top;
        for (const QString& f : lines) {
            display(g, f, QStringLiteral("@s29"), 10, gy);
            gy += step;
        }
        auto phoneLine = [&](const QString& prompt, const char* a, const char* p) {
            auto* l = new QLabel(prompt, g);
            l->setGeometry(10, gy, promptW, rowH);
            QLabel* al = display(g, QString::fromLatin1(a), QStringLiteral("@p(###)p"), 10 + promptW, gy);
            display(g, QString::fromLatin1(p), QStringLiteral("@s9"), al->geometry().right() + kGap, gy);
            gy += step;
        };
        phoneLine(QStringLiteral("Telephone number"), area, phone);
        phoneLine(QStringLiteral("Fax number"), farea, fax);
        int right = 0;
        for (QWidget* c : g->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            right = std::max(right, c->geometry().right());
        g->setGeometry(0, y, right + 12, gy + 4);
        return g;
    };

    QGroupBox* billing = addressGroup(QStringLiteral("Billing address"),
                                      {QString::fromLatin1(kMailTo), QStringLiteral("PRV:BADD1"),
                                       QStringLiteral("PRV:BADD2")},
                                      "PRV:BPAREACODE", "PRV:BPHONE", "PRV:BFAREACODE", "PRV:BFAX", 0);
    QGroupBox* physical = addressGroup(QStringLiteral("Physical address"),
                                       {QStringLiteral("PRV:PADD1"), QStringLiteral("PRV:PADD2")},
                                       "PRV:PAREACODE", "PRV:PHONE", "PRV:FAREACODE", "PRV:FAX",
                                       billing->geometry().bottom() + kGap);

    auto* ident = new QGroupBox(QStringLiteral("Identification"), this);
    struct IdLine {
        const char* prompt;
        const char* field;
        const char* picture;
        const char* tip;
    };
    static const IdLine idLines[] = {
        {"EIN", "PRV:EIN", "@s15", nullptr},
        {"SSN", "PRV:SSN", "@s15", nullptr},
        {"License", "PRV:LIC", "@s10", nullptr},
        {"ID Qualifier", "PRV:F33B1", "@s2", "NNPI qualifier"},
        {"NPI", "PRV:F33A", "@s10", "NPI number"},
        {"NNPI", "PRV:F33B2", "@s17", "NNPI number"},
    };
    int gy = top;
    for (const IdLine& line : idLines) {
        auto* l = new QLabel(QString::fromLatin1(line.prompt), ident);
        l->setGeometry(10, gy, promptW, rowH);
        display(ident, QString::fromLatin1(line.field), QString::fromLatin1(line.picture), 10 + promptW, gy,
                line.tip ? QString::fromLatin1(line.tip) : QString());
        gy += step;
    }
    int identRight = 0;
    for (QWidget* c : ident->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        identRight = std::max(identRight, c->geometry().right());
    const int width = std::max({billing->width(), physical->width(), identRight + 12});
    billing->resize(width, billing->height());
    physical->resize(width, physical->height());
    ident->setGeometry(0, physical->geometry().bottom() + kGap, width, gy + 4);

    taxId_ = markBox(QStringLiteral(" Is mark, if SSN is the Federal Tax I.D. Number."), this);
    taxId_->move(4, ident->geometry().bottom() + kGap);
    group_ = markBox(QStringLiteral(" Mark, if billing under the group name."), this);
    group_->move(4, taxId_->geometry().bottom() + 2);

    resize(std::max({width, taxId_->geometry().right(), group_->geometry().right()}) + 2,
           group_->geometry().bottom() + 2);
}

shell::BrowsePanel ProviderPanel::make()
{
    auto* panel = new ProviderPanel;
    return shell::BrowsePanel{panel, [panel] { panel->fill(); }};
}

QLabel* ProviderPanel::display(QWidget* parent, const QString& name, const QString& picture, int x, int y,
                               const QString& tip)
{
    const QFontMetrics fm(font());
    QLineEdit probe;
    const int rowH = std::max(probe.sizeHint().height() - 2, fm.height() + 6);
    auto* label = new QLabel(parent);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    // Sized for names in capitals: a display field cannot scroll, so what
    // it holds must fit.
    label->setGeometry(x, y, fm.horizontalAdvance(QLatin1Char('N')) * pictureChars(picture) + 12, rowH);
    label->setAccessibleName(name);
    if (!tip.isEmpty()) label->setToolTip(tip);
    fields_[name] = Shown{label, picture};
    return label;
}

void ProviderPanel::fill()
{
    // The heading of the billing block is the entry's own computed field.
    std::string mailTo;  // Windows-1252, as the entry holds it
    if (auto* window = qobject_cast<shell::BrowseWindow*>(parentWidget())) {
        shell::BrowseEngine& engine = window->engine();
        const int field = engine.queueFieldIndex(QString::fromLatin1(kMailTo));
        if (engine.highlighted() >= 1 && field >= 0) {
            const auto v = engine.value(engine.highlighted(), field);
            if (const auto* s = std::get_if<std::string>(&v)) mailTo = *s;
        }
    } else {
        mailTo = providerMailTo();
    }

    for (auto& [name, shown] : fields_) {
        const auto picture = platform::Picture::from(shown.picture.toStdString());
        if (name == QLatin1String(kMailTo)) {
            shown.label->setText(trimmedRight(picture.format(platform::FieldValue(mailTo))));
            continue;
        }
        auto ref = data::findField(name.toStdString());
        if (!ref) continue;
        shown.label->setText(trimmedRight(picture.format(platform::readField(*ref->field, ref->record()))));
    }
    taxId_->setChecked(data::PRV.TIDX.trimmed() == "S" || data::PRV.TIDX.trimmed() == "s");
    group_->setChecked(data::PRV.GIDX.trimmed() == "G" || data::PRV.GIDX.trimmed() == "g");
}

QString ProviderPanel::shownText(const QString& name) const
{
    auto it = fields_.find(name);
    return it == fields_.end() ? QString() : it->second.label->text();
}

} // namespace kestrel::managers
