#include "managers/providerform.h"

#include "managers/closingrules.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

namespace kestrel::managers {

using namespace shell;

namespace {

// Most providers bill from where they practise: a blank billing field
// offers the physical one, and the user types over it where they differ.
FieldRule takeFromPhysical(const char* physical)
{
    const QString from = QString::fromLatin1(physical);
    return [from](FormContext& f) {
        const QString billing = f.currentField();
        if (f.isBlank(billing) && !f.isBlank(from)) f.set(billing, f.text(from));
        return Verdict::Go;
    };
}

} // namespace

const FormDefinition& providerForm()
{
    static const QString street = QStringLiteral("Street number and name addres/Box number");
    static const FormDefinition def{
        .file = "Provider",
        .title = "Provider Rcord Editor",
        .insertTitle = "Record will be added",
        .changeTitle = "Record will be changed",
        .helpTopic = "UpdatePRV",
        .buttons = {"Help", "&Save", "&Cancel"},
        .tabs = {{"Provider", {
            heading("Provider Information:"),
            entry("Name", "PRV:PNAME", "@s29").ditto().entering(closeIfNotNumbered("PRV:PRV")).accepting(closeIfBlank()),
            entry("Group name", "PRV:GNAME", "@s29").ditto(),
            entry("Physical address", "PRV:PADD1", "@s29").ditto().tip(street),
            entry("", "PRV:PADD2", "@s29").ditto(),
            entry("Telephone number", "PRV:PAREACODE", "@s3").ditto(),
            entry("", "PRV:PHONE", "@s8").ditto().beside(),
            entry("Fax number", "PRV:FAREACODE", "@s3").ditto(),
            entry("", "PRV:FAX", "@s8").ditto().beside(),
            entry("Billing address", "PRV:BADD1", "@s29").ditto().tip(street).entering(takeFromPhysical("PRV:PADD1")),
            entry("", "PRV:BADD2", "@s29").ditto().tip("City/Town/County").entering(takeFromPhysical("PRV:PADD2")),
            entry("Telephone number", "PRV:BPAREACODE", "@s3").ditto().entering(takeFromPhysical("PRV:PAREACODE")),
            entry("", "PRV:BPHONE", "@s8").ditto().beside().entering(takeFromPhysical("PRV:PHONE")),
            entry("Fax number", "PRV:BFAREACODE", "@s3").ditto().entering(takeFromPhysical("PRV:FAREACODE")),
            entry("", "PRV:BFAX", "@s8").ditto().beside().entering(takeFromPhysical("PRV:FAX")),
            heading("Provider Identification:"),
            entry("EIN", "PRV:EIN", "@s15").ditto().tip("Employer Identification Number"),
            entry("SSN", "PRV:SSN", "@s15").ditto().tip("Social Security Number"),
            entry("License", "PRV:LIC", "@s10").ditto().tip("License identification number"),
            entry("NPI", "PRV:F33A", "@s10").ditto().tip("NPI number"),
            entry("ID Qualifier", "PRV:F33B1", "@s2").ditto().tip("NNPI qualifier"),
            entry("NNPI", "PRV:F33B2", "@s17").ditto().tip("NNPI number"),
            checkBox(" Mark, if SSN is the Federal Tax I.D. Number.", "PRV:TIDX", "S", "E"),
            checkBox(" Mark, if billing under the group name.", "PRV:GIDX", "G", "I"),
        }}},
        .duplicateKey = DuplicateKey{"PRV:PRVKEY", "PRV:PRVkey"},
        .numbering = Numbering{"PRV:PRV", "PRV:PRVKEY"},
    };
    return def;
}

shell::Response runProviderForm(QWidget* parent) { return runForm(providerForm(), parent); }

} // namespace kestrel::managers
