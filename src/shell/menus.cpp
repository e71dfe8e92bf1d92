#include "shell/menus.h"

namespace kestrel::shell {

namespace {

using K = MenuEntry;
using M = MenuItem;

constexpr MenuEntry kMenuBar[] = {
    {K::Menu, "   &Account Menu    |", "Open and Close file "},
    {K::Item, "&Invoice Browser ...", "Open Invoice Account Browser ...", M::InvoiceBrowser},
    {K::Item, "&Payment Browser ...", "Open Invoice Payment Browser", M::PaymentBrowser},
    {K::Separator},
    {K::Item, "&Printer Setup ...", "Do a Printer Setup ...", M::PrinterSetup},
    {K::Separator},
    {K::Item, "E&xit", "Exit this application", M::Exit},

    {K::Menu, "&Account Status    |", "View Account Status"},
    {K::Item, "&Current Account Status ...", "Current Account Outstanding Status.", M::CurrentAccountStatus},
    {K::Separator},
    {K::Item, "&Cuurent Carrier Status", "Current Account Carrier Status.", M::CurrentCarrierStatus},

    {K::Menu, "&Managers    |", ""},
    {K::Item, "Provider Manager", "Add, Change or Delete a Provider Record.", M::ProviderManager},
    {K::Item, "Patient Manager", "Add, Change or Delete a Patient Record.", M::PatientManager},
    {K::Item, "CPT/HCPCS Procedure Code Manager", "Add, Change or Delete a CPT/HCPCS Record.", M::CptManager},
    {K::Item, "ICD-M Diagnostic Code Manager", "Add, Change or Delete a ICD-M Record.", M::IcdManager},
    {K::Item, "Insurance or Program name Manager", "Add, Change or Delete a Insurance or Program Record.",
     M::InsuranceNameManager},

    {K::Menu, "&Print Outstanding    |", "Make a Print"},
    {K::Item, "&Account Statement ......", "Print Account Statement", M::AccountStatement},
    {K::Item, "&Claim in Blank Form", "Print Claim in Blank Form", M::ClaimInBlankForm},
    {K::Item, "&Claim in CMS 1500 Form", "Print Claim in CMS 1500 Form", M::ClaimInCms1500Form},

    {K::Menu, "&Backup/Reload Utilities    |", ""},
    {K::Item, "Backup files", "Make backup copy of all files", M::BackupFiles},
    {K::Item, "Reload backup files", "Reload all backup files", M::ReloadBackupFiles},

    {K::Menu, "&Booklet     |", ""},
    {K::Item, "Open KESbooklet.pdf icon desktop shortcut ...", "", M::Booklet},
};

} // namespace

std::span<const MenuEntry> menuBarDeclaration()
{
    return kMenuBar;
}

} // namespace kestrel::shell
