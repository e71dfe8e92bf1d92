#include "managers/insured.h"

#include "managers/closingrules.h"
#include "data/records.h"
#include "shell/detailpanel.h"
#include "managers/payer.h"
#include "shell/callprotocol.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::managers {

using namespace shell;

namespace {

// The two coverages differ only in their prefix, their field numbering and
// a few texts; this says which is meant.
struct Coverage {
    QString prefix;  // "IN1"
    QString digit;   // "1": IN1:INS1NAME
    // The plan the editor's plan name names, as last looked up: its address
    // lines are shown under the name. Kept apart from the Payer buffer,
    // which the plan browser opened from the editor shows.
    mutable data::PayerRecord plan{};

    // Labels put together here are looked up when the definitions are built.
    // "NAME" -> "IN1:INS1NAME"
    data::FieldName field(const char* name) const { return named<data::FieldName>(":INS" + digit + name); }
    // "LNAMEKEY" -> "IN1:INS1LNAMEKEY"
    data::KeyName key(const char* name) const { return named<data::KeyName>(":INS" + digit + name); }
    // "PLAN" -> "IN1:PLAN"
    data::FieldName own(const char* name) const { return named<data::FieldName>(QStringLiteral(":") + QLatin1String(name)); }
    data::FileName file() const { return data::FileName::named(("Insured" + digit).toStdString()); }

    template <class Name>
    Name named(const QString& rest) const { return Name::named((prefix + rest).toStdString()); }
};

const Coverage kPrimary{QStringLiteral("IN1"), QStringLiteral("1")};
const Coverage kOther{QStringLiteral("IN2"), QStringLiteral("2")};

// The shown lines of the plan, by the editor that shows them.
QString planLine(const Coverage& c, int line)
{
    const auto& p = c.plan;
    return (line == 1 ? p.HICADD1 : line == 2 ? p.HICADD2 : p.HICADD3).toQString();
}

// The plan names are 28 characters in both coverage files.
constexpr int kPlanNameWidth = 28;

BrowseDefinition browseOf(const Coverage& c, const QString& title, const QString& heading)
{
    return BrowseDefinition{
        .file = c.file(),
        .title = title,
        .heading = heading,
        .listTip = "Healthcare Subscriber Browser ...",
        .format = "116L(2)|M~Insured's Name~@s29@72C|M~Reference Number~@p#########-##p@"
                  "48C|M~Effective~@D2@48C|M~Termination~@D2@",
        // The four columns, then what the lines under the list show.
        .queue = {c.field("NAME"), c.field("ID"), c.field("CARDATE"), c.field("CARTERM"), c.field("IDNO"),
                  c.field("POLICY"), c.field("CARNAME")},
        .orders = {{c.key("LNAMEKEY")}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
    };
}

BrowsePanel panelOf(const Coverage& c)
{
    return DetailPanel::make({
        detail("Insured's Name", c.field("NAME").text(), "@s29"),
        detail("Insured's I.D. number", c.field("IDNO").text(), "@s20"),
        detail("Policy group or FECA number", c.field("POLICY").text(), "@s20"),
        detail("Insurance Plan or Program Name", c.field("CARNAME").text(), "@s29"),
    });
}

// ------------------------------------------------------------ editor rules

// A reference number of zero (blank, or all zeros) or a blank name leaves the
// form (closingrules.h).

// The insured is most often the patient: a blank address or phone field
// takes the patient's when the user enters it (cut or padded to the
// insured's field by the store).
FieldRule fromPatient(const char* patientField)
{
    const QString source = QLatin1String(patientField);
    return [source](FormContext& f) {
        if (f.isBlank(f.currentField())) f.set(f.currentField(), f.text(source));
        return Verdict::Go;
    };
}

// F12 or the right mouse button: the plan browser, opened at the name typed
// so far; the chosen plan's name is kept, cut to the field's width.
LookupRule planLookup()
{
    return [](FormContext& f) {
        const QString field = f.currentField();
        QString start = f.typedText();
        if (start.trimmed().isEmpty()) start = f.text(field);
        data::clearRecord(data::file::Payer, data::bytesOf(data::HIC));
        data::HIC.HICNAME.setQString(start.trimmed());
        CallRequest = Request::Select;
        selectPayer(QApplication::activeWindow());
        if (CallResponse == Response::Completed) f.set(field, data::HIC.HICNAME.toQString());
    };
}

// A plan name typed and accepted shows its plan's address at once.
FieldRule showTheNamedPlan()
{
    return [](FormContext& f) {
        f.redisplay();
        return Verdict::Go;
    };
}

std::vector<RadioChoice> planChoices()
{
    return {
        {" MEDICARE", "1", "MEDICARE"},
        {" MEDICAID", "2", "MEDICAID"},
        {" TRICARE", "3", "TRICARE"},
        {" CHAMPVA", "4", "CHAMPVA"},
        {" GROUP HEALTH PLAN", "5", "GROUP HEALTH PLAN"},
        {" FECA BLK LUNG", "6", "FECA BLK LUNG"},
        {" OTHER", "7", "OTHER"},
    };
}

std::vector<RadioChoice> relationshipChoices()
{
    return {
        {" Self", "1", "Self"},
        {" Spouse", "2", "Spouse"},
        {" Child", "3", "Child"},
        {" Other", "4", "Other"},
    };
}

// The controls both editors share, in their order; `box` is the editor's
// own last group (box 11b, or boxes 9b and 9c).
std::vector<FormControl> editorControls(const Coverage& c, const QString& heading, std::vector<FormControl> box)
{
    std::vector<FormControl> controls{
        shell::heading(heading),
        entry("Reference number (SSN+ 2 digit suffix)", c.field("ID"), "@p#########-##p").accepting(closeIfZero()),
        shell::heading("(Reference number (Insured's I.D. number + suffix)").beside(),
        radios("Insurance Plan Name or Program Name", c.field("PLAN"), planChoices()).companion(c.own("PLAN")),
        radios("Patient Relationship to Insured", c.field("PATREL2INS"), relationshipChoices())
            .companion(c.own("RSHIP"))
            .beside(),
        entry("Insured's I.D. number", c.field("IDNO"), "@s29"),
        entry("Insured's name (Last name, First, MI)", c.field("NAME"), "@s29").accepting(closeIfBlank()),
        radios("", c.field("SEX"), {{" Male", "M", {}}, {" Female", "F", {}}}),
        entry("Insured's date of birth", c.field("DOB"), "@d2"),
        shell::heading("Insured's address (if different, enter address)"),
        entry("", c.field("ADD1"), "@s29").entering(fromPatient("PAT:ADD1")),
        entry("", c.field("ADD2"), "@s23").entering(fromPatient("PAT:ADD2")),
        entry("", c.field("ADD3"), "@s2").entering(fromPatient("PAT:ADD3")).beside(),
        entry("", c.field("ADD4"), "@s10").entering(fromPatient("PAT:ADD4")).beside(),
        shell::heading("Home/Cell phone number (if different, enter phone number)"),
        entry("", c.field("AREACODE"), "@s3").entering(fromPatient("PAT:HAREA")),
        entry("", c.field("HPHONE"), "@s10").entering(fromPatient("PAT:HPHON")).beside(),
        entry("Insured's Policy Group Or FECA Number", c.field("POLICY"), "@s29"),
        entry("Plan Name or Program Name", c.field("CARNAME"), "@s29")
            .tip("Use mouse right button/F12key to browse.")
            .lookup(planLookup())
            .accepting(showTheNamedPlan()),
        shownComputed("", [&c] { return planLine(c, 1); }, "@s29"),
        shownComputed("", [&c] { return planLine(c, 2); }, "@s29"),
        shownComputed("", [&c] { return planLine(c, 3); }, "@s41"),
        entry("Effective date", c.field("CARDATE"), "@D2"),
        entry("Termination date", c.field("CARTERM"), "@D2").beside(),
    };
    for (FormControl& b : box) controls.push_back(std::move(b));
    return controls;
}

// Every redisplay shows the address of the plan the name field names; a
// name with no plan on file shows blank lines.
FormHook showPlanAddress(const Coverage& c)
{
    const QString field = c.field("CARNAME").text();
    return [field, &c](FormContext& f) { findPlanNamed(f.text(field), kPlanNameWidth, &c.plan); };
}

} // namespace

// ------------------------------------------------------------------ browses

const BrowseDefinition& insuredBrowse()
{
    static const BrowseDefinition def = [] {
        BrowseDefinition d = browseOf(kPrimary, "Insurance Plan or Program Name Browser",
                                      "INSURANCE PLAN  or PROGRAM NAME CARRIER");
        d.updateForm = [] { runForm(insuredForm(), QApplication::activeWindow()); };
        return d;
    }();
    return def;
}

const BrowseDefinition& otherInsuredBrowse()
{
    static const BrowseDefinition def = [] {
        BrowseDefinition d = browseOf(kOther, "Insurance Other Plan or Program Name Browser",
                                      "OTHER INSURANCE NAME or PROGRAM NAME CARRIER");
        d.updateForm = [] { runForm(otherInsuredForm(), QApplication::activeWindow()); };
        return d;
    }();
    return def;
}

BrowsePanel insuredPanel() { return panelOf(kPrimary); }
BrowsePanel otherInsuredPanel() { return panelOf(kOther); }

shell::Response selectInsured(QWidget* parent) { return BrowseWindow::runModal(insuredBrowse(), parent, insuredPanel()); }

shell::Response selectOtherInsured(QWidget* parent)
{
    return BrowseWindow::runModal(otherInsuredBrowse(), parent, otherInsuredPanel());
}

// ------------------------------------------------------------------ editors

const FormDefinition& insuredForm()
{
    static const FormDefinition def{
        .file = "Insured1",
        .title = " Insurance Plan Name or Program Name Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "InsuredEditor",
        .buttons = {"&Save", "&Cancel", "Help"},
        .tabs = {{"Coverage", editorControls(kPrimary, "INSURANCE PLAN NAME or PROGRAM NAME COVERAGE", {
            shell::heading("11b Other Claim ID (Designated by NUCC)"),
            entry("F11b", "IN1:INS1F11B", "@s2"),
            entry("F11b1", "IN1:INS1F11B1", "@s29").beside(),
        })}},
        .duplicateKey = DuplicateKey{"IN1:INS1IDKEY", "IN1:INS1IDkey"},
        .alsoUses = {"Payer"},
        .onRedisplay = showPlanAddress(kPrimary),
    };
    return def;
}

const FormDefinition& otherInsuredForm()
{
    static const FormDefinition def{
        .file = "Insured2",
        .title = " Insurance Other Plan Name or Other  Program Name Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "InsuredEditor",
        .buttons = {"&Save", "&Cancel", "Help"},
        .tabs = {{"Coverage", editorControls(kOther, "OTHER INSURANCE PLAN NAME or PROGRAM NAME COVERAGE", {
            shell::heading("9b Reserved for NUCC Use"),
            entry("F9b", "IN2:INS2F9B", "@s29"),
            shell::heading("9c. Reserved for NUCC Use"),
            entry("F9c", "IN2:INS2F9C", "@s29"),
        })}},
        .duplicateKey = DuplicateKey{"IN2:INS2IDKEY", "IN2:INS2IDkey"},
        .alsoUses = {"Payer"},
        .onRedisplay = showPlanAddress(kOther),
    };
    return def;
}

} // namespace kestrel::managers
