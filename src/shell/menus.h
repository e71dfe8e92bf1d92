#pragma once
// The main frame's menu bar, as a declaration: read top to bottom it is the
// bar, menu by menu. Every item has a stable id by which the executable
// connects it to the procedure it starts (MainWindow::setProcedure).
//
// Menu titles are kept whole, leading and trailing blanks and the closing "|"
// included: shown in the bar, the "|" is the line that separates one menu
// title from the next.

#include <span>

namespace kestrel::shell {

enum class MenuItem {
    None,  // titles and separators
    InvoiceBrowser,
    PaymentBrowser,
    PrinterSetup,
    Exit,
    CurrentAccountStatus,
    CurrentCarrierStatus,
    ProviderManager,
    PatientManager,
    CptManager,
    IcdManager,
    InsuranceNameManager,
    AccountStatement,
    ClaimInBlankForm,
    ClaimInCms1500Form,
    BackupFiles,
    ReloadBackupFiles,
    Booklet,
};

struct MenuEntry {
    enum Kind { Menu, Item, Separator };
    Kind kind;
    const char* text = "";
    const char* tip = "";   // empty: no tip
    MenuItem id = MenuItem::None;
};

// The whole bar, in order: a Menu entry opens a menu; the Items and
// Separators after it belong to it.
std::span<const MenuEntry> menuBarDeclaration();

} // namespace kestrel::shell
