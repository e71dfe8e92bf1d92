#include "managers/fieldpanel.h"

#include "data/records.h"
#include "platform/picture.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace kestrel::managers {

QString FieldPanel::textOf(const PanelLine& line)
{
    auto ref = data::findField(line.field.toStdString());
    if (!ref) return {};
    const auto value = platform::readField(*ref->field, ref->record());
    QString text;
    if (auto p = platform::Picture::parse(QStringView(line.picture)))
        text = p->format(value);
    else
        text = data::fieldText(*ref->field, ref->record());
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' ')) --n;
    return text.left(n);
}

shell::BrowsePanel FieldPanel::make(std::vector<PanelLine> lines, const QString& heading)
{
    auto* widget = new QWidget;
    auto* grid = new QGridLayout(widget);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);

    // Boxes sized for their picture's width in capitals or digits (names,
    // addresses and phone numbers are mostly both): the font's average
    // character is narrower, and a full telephone number would be clipped.
    const QFontMetrics fm(widget->font());
    const int charW = std::max({1, fm.averageCharWidth(), fm.horizontalAdvance(QLatin1Char('N')),
                                fm.horizontalAdvance(QLatin1Char('0'))});
    int row = 0;
    if (!heading.isEmpty()) {
        auto* h = new QLabel(heading, widget);
        QFont bold = h->font();
        bold.setBold(true);
        h->setFont(bold);
        grid->addWidget(h, row++, 0, 1, 2);
    }

    // Each line: the prompt in column 0 and the value box in column 1; a
    // line beside the one before it joins that row's value box.
    auto shared = std::make_shared<std::vector<std::pair<PanelLine, QLabel*>>>();
    QHBoxLayout* rowBox = nullptr;
    for (PanelLine& line : lines) {
        auto* value = new QLabel(widget);
        value->setFrameShape(QFrame::Panel);
        value->setFrameShadow(QFrame::Sunken);
        value->setTextFormat(Qt::PlainText);
        int chars = 10;
        if (auto p = platform::Picture::parse(QStringView(line.picture))) chars = std::max(1, p->width());
        value->setFixedWidth(charW * std::min(chars, 48) + 2 * value->frameWidth() + 8);
        value->setAccessibleName(line.prompt.isEmpty() ? line.field : line.prompt);
        if (line.beside && rowBox) {
            if (!line.prompt.isEmpty()) rowBox->addWidget(new QLabel(line.prompt, widget));
            rowBox->addWidget(value);
        } else {
            if (rowBox) rowBox->addStretch(1);
            if (!line.prompt.isEmpty()) grid->addWidget(new QLabel(line.prompt, widget), row, 0);
            rowBox = new QHBoxLayout;
            rowBox->setSpacing(6);
            rowBox->addWidget(value);
            grid->addLayout(rowBox, row++, 1);
        }
        shared->emplace_back(std::move(line), value);
    }
    if (rowBox) rowBox->addStretch(1);
    widget->adjustSize();

    shell::BrowsePanel panel;
    panel.widget = widget;
    panel.fill = [shared] {
        for (auto& [line, label] : *shared) label->setText(textOf(line));
    };
    return panel;
}

} // namespace kestrel::managers
