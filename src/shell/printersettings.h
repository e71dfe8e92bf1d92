#pragma once
// The printer the user chose with "&Printer Setup ...", kept for the rest of
// the session. One object, made at start-up and handed to whoever prints.

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace kestrel::shell {

class PrinterSettings {
public:
    PrinterSettings();
    ~PrinterSettings();
    PrinterSettings(const PrinterSettings&) = delete;
    PrinterSettings& operator=(const PrinterSettings&) = delete;

    // The kept printer, with every choice made in the set-up dialog.
    QPrinter& printer();

    // Shows the printer set-up dialog on the kept printer (modal). True when
    // the user confirmed; cancelling leaves the printer as it was.
    bool setUp(QWidget* parent);

    // Offers "&Alignment ..." in the set-up dialog, opening what `open` shows
    // (the claim form alignment, which lives above the shell) over it.
    void setAlignment(std::function<void(QWidget* parent)> open);

private:
    std::unique_ptr<QPrinter> printer_;
    std::function<void(QWidget*)> alignment_;
};

} // namespace kestrel::shell
