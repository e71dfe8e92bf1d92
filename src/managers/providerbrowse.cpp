#include "managers/providerbrowse.h"

#include "data/records.h"
#include "managers/providerform.h"
#include "shell/detailpanel.h"

#include <QApplication>

namespace kestrel::managers {

using namespace shell;

namespace {

void callProviderForm() { runProviderForm(QApplication::activeWindow()); }

// Every field of the highlighted provider, from the list entry alone: the
// copy-back has put the entry's fields into PRV, and the billing block is
// headed by the entry's own BRW1::MAILTO. Nothing in it can be edited.
BrowsePanel providerPanel()
{
    auto phones = [](const char* area, const char* phone, const char* farea, const char* fax) {
        return std::vector<DetailLine>{
            detail("Telephone number", area, "@p(###)p"),
            detail("", phone, "@s9").beside(),
            detail("Fax number", farea, "@p(###)p"),
            detail("", fax, "@s9").beside(),
        };
    };
    std::vector<DetailLine> lines{
        detailGroup("Billing address"),
        detail("", "BRW1::MAILTO", "@s29"),
        detail("", "PRV:BADD1", "@s29"),
        detail("", "PRV:BADD2", "@s29"),
    };
    for (DetailLine& l : phones("PRV:BPAREACODE", "PRV:BPHONE", "PRV:BFAREACODE", "PRV:BFAX")) lines.push_back(l);
    lines.push_back(detailGroup("Physical address"));
    lines.push_back(detail("", "PRV:PADD1", "@s29"));
    lines.push_back(detail("", "PRV:PADD2", "@s29"));
    for (DetailLine& l : phones("PRV:PAREACODE", "PRV:PHONE", "PRV:FAREACODE", "PRV:FAX")) lines.push_back(l);
    for (DetailLine l : {
             detailGroup("Identification"),
             detail("EIN", "PRV:EIN", "@s15"),
             detail("SSN", "PRV:SSN", "@s15"),
             detail("License", "PRV:LIC", "@s10"),
             detail("ID Qualifier", "PRV:F33B1", "@s2").tip("NNPI qualifier"),
             detail("NPI", "PRV:F33A", "@s10").tip("NPI number"),
             detail("NNPI", "PRV:F33B2", "@s17").tip("NNPI number"),
             detailGroup(""),
             detailMark(" Is mark, if SSN is the Federal Tax I.D. Number.", "PRV:TIDX", "S"),
             detailMark(" Mark, if billing under the group name.", "PRV:GIDX", "G"),
         })
        lines.push_back(std::move(l));
    return DetailPanel::make(std::move(lines));
}

} // namespace

// The editor stores "G" when the provider bills under the group name and
// "I" when not, so only "G" means the group: an "I" (a provider whose mark
// was cleared) must not head the bill with the group's name.
std::string providerMailTo()
{
    const auto mark = data::PRV.GIDX.trimmed();
    const bool underGroup = mark == "G" || mark == "g";
    return std::string(underGroup ? data::PRV.GNAME.view() : data::PRV.PNAME.view());
}

const BrowseDefinition& providerBrowse()
{
    static const BrowseDefinition def{
        .file = "Provider",
        .title = "Provider of Service Browser",
        .heading = "PROVIDER MANAGER",
        .listTip = "Provider browser ...",
        .format = "150L(4)|F~Provider Name~@s29@16C|F~MD#~@n03@",
        // The whole record, so the detail panel needs nothing but the entry.
        .queue = {"PRV:PNAME", "PRV:PRV", "PRV:PADD1", "PRV:PADD2", "PRV:PAREACODE", "PRV:PHONE",
                  "PRV:FAREACODE", "PRV:FAX", "PRV:EIN", "PRV:SSN", "PRV:LIC", "PRV:BPAREACODE",
                  "PRV:BPHONE", "PRV:BADD1", "PRV:BADD2", "PRV:BFAREACODE", "PRV:BFAX", "PRV:GNAME",
                  computed("MAILTO", 29, providerMailTo), "PRV:F33A", "PRV:F33B1", "PRV:F33B2",
                  "PRV:TIDX", "PRV:GIDX"},
        .orders = {{"PRV:LNAMEKEY"}},
        // Claims and payments name their provider: providers are never deleted.
        .buttons = {"&Select", "&Add", "&Change", BrowseButton("&Delete").doesNothing(), "&Close", "Help"},
        .helpTopic = "ProviderManager",
        .updateForm = callProviderForm,
    };
    return def;
}

const BrowseDefinition& providerLookup()
{
    static const BrowseDefinition def{
        .file = "Provider",
        .title = "MDN Browser",
        .listTip = "Provider browser ...",
        .format = "128L(4)|F@s29@22C|@n03@",
        .queue = {"PRV:PNAME", "PRV:PRV"},
        // By number: the thumb table interpolates numbers, and the step
        // locator puts the typed digit's value into PRV:PRV.
        .orders = {{"PRV:PRVKEY"}},
        .buttons = {"&Select", "&Close"},
        .helpTopic = "LookPROVIDER",
    };
    return def;
}

QMdiSubWindow* openProviderManager(QMdiArea* area)
{
    return BrowseWindow::openInMdi(providerBrowse(), area, providerPanel());
}

shell::Response selectProvider(QWidget* parent)
{
    return BrowseWindow::runModal(providerLookup(), parent ? parent : QApplication::activeWindow());
}

} // namespace kestrel::managers
