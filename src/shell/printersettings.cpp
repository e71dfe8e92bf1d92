#include "shell/printersettings.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace kestrel::shell {

PrinterSettings::PrinterSettings() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
}

PrinterSettings::~PrinterSettings() = default;

QPrinter& PrinterSettings::printer()
{
    return *printer_;
}

bool PrinterSettings::setUp(QWidget* parent)
{
    // The print dialog is the one that lets the user pick the printer as well
    // as paper and orientation; here it only chooses, so it says OK, not Print,
    // and offers none of the choices that belong to one print run.
    QPrintDialog dialog(printer_.get(), parent);
    dialog.setWindowTitle(QStringLiteral("Printer Setup"));
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    for (auto* box : dialog.findChildren<QDialogButtonBox*>()) {
        QPushButton* ok = box->button(QDialogButtonBox::Ok);
        if (!ok)
            continue;
        ok->setText(QStringLiteral("OK"));
        if (alignment_) {
            QPushButton* align = box->addButton(QStringLiteral("&Alignment ..."), QDialogButtonBox::ActionRole);
            QObject::connect(align, &QPushButton::clicked, &dialog, [this, &dialog] { alignment_(&dialog); });
        }
    }
    return dialog.exec() == QDialog::Accepted;
}

void PrinterSettings::setAlignment(std::function<void(QWidget*)> open)
{
    alignment_ = std::move(open);
}

} // namespace kestrel::shell
