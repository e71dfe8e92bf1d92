#pragma once
// Print alignment for pre-printed claim forms: how far the data of the
// variants for pre-printed forms is moved (mils, right and down positive) so
// that it lands in the boxes of the forms in the user's printer. The form
// drawing of the blank-paper variants is never moved. Kept in the INI file.

#include <QDialog>
#include <QPoint>
#include <QString>

class QSpinBox;

namespace kestrel::shell {
class PrinterSettings;
}

namespace kestrel::reports {

// Offsets beyond half an inch would move data into the neighbouring boxes.
inline constexpr int MaxClaimOffset = 500;

// The offset kept in the INI file at `iniPath`; (0, 0) when none is kept or
// the kept values are not whole numbers; clamped to +-MaxClaimOffset.
QPoint claimFormOffset(const QString& iniPath);
// Keeps the offset; false with the reason in *error when the file cannot be written.
bool saveClaimFormOffset(const QString& iniPath, const QPoint& offset, QString* error = nullptr);

// "Claim Form Alignment": the two offsets, "&Test Print" (one page: the drawn
// form with a sample claim moved by the offsets being edited), OK keeps them.
class AlignmentDialog : public QDialog {
    Q_OBJECT
public:
    AlignmentDialog(const QString& iniPath, shell::PrinterSettings& printer, QWidget* parent = nullptr);
    QPoint offset() const;
    QSpinBox* horizontal() const { return horizontal_; }
    QSpinBox* vertical() const { return vertical_; }

public slots:
    void accept() override;  // keeps the offsets; stays open when they cannot be written
    void testPrint();

private:
    QString iniPath_;
    shell::PrinterSettings& printer_;
    QSpinBox* horizontal_;
    QSpinBox* vertical_;
};

} // namespace kestrel::reports
