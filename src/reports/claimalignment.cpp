#include "reports/claimalignment.h"

#include "platform/inifile.h"
#include "reports/claimreports.h"
#include "reports/previewwindow.h"
#include "shell/helpviewer.h"
#include "shell/printersettings.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrel::reports {

namespace {
const QString Section = QStringLiteral("ClaimForm");
const QString HorizontalKey = QStringLiteral("HorizontalOffset");
const QString VerticalKey = QStringLiteral("VerticalOffset");

int clampOffset(int mils) { return std::clamp(mils, -MaxClaimOffset, MaxClaimOffset); }

QSpinBox* offsetBox(int value)
{
    auto* box = new QSpinBox;
    box->setRange(-MaxClaimOffset, MaxClaimOffset);
    box->setSingleStep(10);
    box->setSuffix(QStringLiteral(" /1000 in"));
    box->setValue(value);
    return box;
}
} // namespace

QPoint claimFormOffset(const QString& iniPath)
{
    const platform::IniFile ini(iniPath);
    return {clampOffset(ini.intValue(Section, HorizontalKey)), clampOffset(ini.intValue(Section, VerticalKey))};
}

bool saveClaimFormOffset(const QString& iniPath, const QPoint& offset, QString* error)
{
    platform::IniFile ini(iniPath);
    ini.setValue(Section, HorizontalKey, clampOffset(offset.x()));
    ini.setValue(Section, VerticalKey, clampOffset(offset.y()));
    return ini.sync(error);
}

AlignmentDialog::AlignmentDialog(const QString& iniPath, shell::PrinterSettings& printer, QWidget* parent)
    : QDialog(parent), iniPath_(iniPath), printer_(printer)
{
    setWindowTitle(QStringLiteral("Claim Form Alignment"));
    const QPoint kept = claimFormOffset(iniPath);
    horizontal_ = offsetBox(kept.x());
    vertical_ = offsetBox(kept.y());
    auto* note = new QLabel(QStringLiteral("Moves the data printed on pre-printed claim forms.\n"
                                           "Right and down are positive; 1000 is one inch."));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Horizontal:"), horizontal_);
    form->addRow(QStringLiteral("&Vertical:"), vertical_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    QPushButton* test = buttons->addButton(QStringLiteral("&Test Print"), QDialogButtonBox::ActionRole);
    connect(test, &QPushButton::clicked, this, &AlignmentDialog::testPrint);
    connect(buttons, &QDialogButtonBox::accepted, this, &AlignmentDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AlignmentDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { shell::help::show(QStringLiteral("ClaimFormAlignment"), this); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QPoint AlignmentDialog::offset() const
{
    return {horizontal_->value(), vertical_->value()};
}

void AlignmentDialog::accept()
{
    QString error;
    if (!saveClaimFormOffset(iniPath_, offset(), &error)) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The offsets were not kept: %1").arg(error));
        return;
    }
    QDialog::accept();
}

void AlignmentDialog::testPrint()
{
    printReport({alignmentTestPage(offset(), QDate::currentDate())}, printer_.printer(), this);
}

} // namespace kestrel::reports
