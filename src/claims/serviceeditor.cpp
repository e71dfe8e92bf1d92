#include "claims/serviceeditor.h"

#include "claims/lookups.h"
#include "data/records.h"
#include "managers/cptbrowse.h"
#include "managers/rendering.h"
#include "shell/callprotocol.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::claims {

using namespace shell;

namespace {

// The INI file of the editor now running (the rendering lookup's geometry).
QString& runningIniFile()
{
    static QString ini;
    return ini;
}

// What F12 or a lookup starts from: what the user has typed so far, else
// the field's value.
QString startingValue(FormContext& f)
{
    const QString typed = f.typedText().trimmed();
    return typed.isEmpty() ? f.text(f.currentField()) : typed;
}

// ------------------------------------------------------------- field rules

// A line without a date of service is no line.
Verdict closeWithoutDate(FormContext& f)
{
    return f.isBlank(QStringLiteral("ITM:DOSF")) ? Verdict::CloseCancelled : Verdict::Go;
}

// Most lines are one day: an empty to-date takes the from-date.
Verdict toDateFromFromDate(FormContext& f)
{
    if (f.isBlank(QStringLiteral("ITM:DOST"))) f.set(QStringLiteral("ITM:DOST"), f.text(QStringLiteral("ITM:DOSF")));
    return Verdict::Go;
}

// A code that is not on file opens the code browse; cancelling it keeps
// the code as typed, with the focus in the field.
Verdict procedureCodeOnFile(FormContext& f)
{
    if (f.isBlank(QStringLiteral("ITM:CPT"))) return Verdict::Go;
    f.set(QStringLiteral("CPT:CPTCODE"), f.text(QStringLiteral("ITM:CPT")));
    if (!lookUp(data::file::CPT48, "CPT:CPTCODEKEY", false)) {
        CallRequest = Request::Select;
        if (managers::selectCpt(QApplication::activeWindow()) != Response::Completed) return Verdict::Stay;
        f.set(QStringLiteral("ITM:CPT"), f.text(QStringLiteral("CPT:CPTCODE")));
    }
    f.redisplay();
    return Verdict::Go;
}

// F12: the browse opens on the code; the description is cleared so that it
// takes the chosen code's description when it is next entered.
void chooseProcedureCode(FormContext& f)
{
    f.set(QStringLiteral("ITM:DES"), QString());
    f.set(QStringLiteral("CPT:CPTCODE"), startingValue(f));
    CallRequest = Request::Select;
    if (managers::selectCpt(QApplication::activeWindow()) == Response::Completed)
        f.set(QStringLiteral("ITM:CPT"), f.text(QStringLiteral("CPT:CPTCODE")));
}

// The description of the code last looked up, unless one was typed.
Verdict describeFromCode(FormContext& f)
{
    if (f.isBlank(QStringLiteral("ITM:DES")))
        f.set(QStringLiteral("ITM:DES"), f.text(QStringLiteral("CPT:CPTDESCRIPTION")));
    return Verdict::Go;
}

// Accepting the description ends a line that has no procedure code.
Verdict describedLineNeedsACode(FormContext& f)
{
    describeFromCode(f);
    return f.isBlank(QStringLiteral("ITM:CPT")) ? Verdict::CloseCancelled : Verdict::Go;
}

Response selectRenderingHere()
{
    CallRequest = Request::Select;
    return managers::selectRendering(runningIniFile(), QApplication::activeWindow());
}

// A rendering provider not on file opens the rendering browse; cancelling
// it keeps the identifier as typed, with the focus in the field. Save's
// pass takes the identifier as it stands.
Verdict renderingOnFile(FormContext& f)
{
    if (f.isBlank(QStringLiteral("ITM:F24J")) || f.acceptingAll()) return Verdict::Go;
    f.set(QStringLiteral("REN:F24J"), f.text(QStringLiteral("ITM:F24J")));
    if (!lookUp(data::file::Rendering, "REN:F24JKEY", false)) {
        if (selectRenderingHere() != Response::Completed) return Verdict::Stay;
        f.set(QStringLiteral("ITM:F24J"), f.text(QStringLiteral("REN:F24J")));
    }
    f.redisplay();
    return Verdict::Go;
}

void chooseRendering(FormContext& f)
{
    f.set(QStringLiteral("REN:F24J"), startingValue(f));
    if (selectRenderingHere() == Response::Completed) f.set(QStringLiteral("ITM:F24J"), f.text(QStringLiteral("REN:F24J")));
}

// --------------------------------------------------------------- the form

// The line belongs to the claim's provider and patient, whatever it held.
void takeTheClaimsOwners(FormContext& f)
{
    f.set(QStringLiteral("ITM:PRV"), f.text(QStringLiteral("INV:PRV")));
    f.set(QStringLiteral("ITM:PAT"), f.text(QStringLiteral("INV:PAT")));
}

// The rendering provider and the claim's provider named by the line, blank
// when not on file.
void showRelated(FormContext& f)
{
    f.set(QStringLiteral("REN:F24J"), f.text(QStringLiteral("ITM:F24J")));
    lookUp(data::file::Rendering, "REN:F24JKEY");
    f.set(QStringLiteral("PRV:PRV"), f.text(QStringLiteral("ITM:PRV")));
    lookUp(data::file::Provider, "PRV:PRVKEY");
}

// The claim's twelve diagnoses for reference, upper row A, C, E ... K and
// lower row B, D, F ... L.
std::vector<FormControl> diagnosisRows()
{
    std::vector<FormControl> rows{heading("F21. Diagnosis or Nature of Illness or Injury. Relate A-L to service line below:")};
    for (int row = 0; row < 2; ++row) {
        for (int k = row; k < 12; k += 2) {
            const QString letter = QString(QChar(u'A' + k)) + QLatin1Char('.');
            FormControl c = shown(letter, data::FieldName::named(QStringLiteral("INV:DX%1").arg(k + 1).toStdString()), QStringLiteral("@s8"));
            rows.push_back(k == row ? c : c.beside());
        }
    }
    return rows;
}

std::vector<FormControl> lineFields()
{
    return {
        entry("Date of Service (From)", "ITM:DOSF", "@d2").tip("Date of service.").ditto().accepting(closeWithoutDate),
        entry("Date of Service (To)", "ITM:DOST", "@d2").ditto().entering(toDateFromFromDate),
        entry("Place of Service", "ITM:POS", "@s2").ditto(),
        entry("EMG", "ITM:EMG", "@s2").tip("EMG").ditto(),
        entry(" CPT/HCPCS", "ITM:CPT", "@s7")
            .tip("Use mouse right button/F12key to select the procedure code.")
            .ditto()
            .accepting(procedureCodeOnFile)
            .lookup(chooseProcedureCode),
        heading("Enter item description if different."),
        entry("Description", "ITM:DES", "@s60")
            .tip("Procedure code description..")
            .ditto()
            .entering(describeFromCode)
            .accepting(describedLineNeedsACode),
        entry("Modifiers 1, 2, 3, 4", "ITM:MOD1", "@s2").tip("Procedure code modifiers").ditto(),
        entry("", "ITM:MOD2", "@s2").tip("Procedure code modifiers").ditto().beside(),
        entry("", "ITM:MOD3", "@s2").tip("Procedure code modifiers").ditto().beside(),
        entry("", "ITM:MOD4", "@s2").tip("Procedure code modifiers").ditto().beside(),
        entry("Diagnosis Pointer", "ITM:DXL", "@s4").ditto(),
        entry(" $ Charges", "ITM:FEE", "@n-11.2").tip("Maximum amount of $999,999.99").ditto(),
        entry("Days or Units", "ITM:QTY", "@s3").tip("Quantiy or number of units.").ditto(),
        heading("EPSDT Family Plan"),
        entry("Shaded", "ITM:EPSDTS", "@s2").ditto(),
        entry("Unshaded", "ITM:EPSDTU", "@s1").ditto().beside(),
        entry("Rendering Provider ID#", "ITM:F24J", "@s10")
            .tip("Use mouse right button/ F12key to select the redering provider.")
            .ditto()
            .accepting(renderingOnFile)
            .lookup(chooseRendering),
        shown("Rendering MD", "REN:F24JNAME", "@s40"),
        shown("Qualifier ID", "REN:F24JQ", "@s2"),
        shown("NNPI Nnumber", "REN:F24JNNPI", "@s11"),
    };
}

std::vector<FormControl> editorControls()
{
    std::vector<FormControl> all = diagnosisRows();
    for (FormControl& c : lineFields()) all.push_back(std::move(c));
    return all;
}

} // namespace

const FormDefinition& serviceEditor()
{
    static const FormDefinition def{
        .file = "Item",
        .title = "Service Editor",
        .insertTitle = "Record will be added",
        .changeTitle = "Record will be changed",
        .helpTopic = kServiceEditorHelp,
        .buttons = {"&Save", "&Cancel", "Help"},
        .tabs = {{"Service", editorControls()}},
        .alsoUses = {"CPT48", "ICD48", "Invoice", "Patient", "Provider", "Rendering"},
        .onOpening = takeTheClaimsOwners,
        .onRedisplay = showRelated,
    };
    return def;
}

Response runServiceEditor(const QString& iniFile, QWidget* parent)
{
    const QString before = runningIniFile();
    runningIniFile() = iniFile;
    const Response response = runForm(serviceEditor(), parent);
    runningIniFile() = before;
    return response;
}

} // namespace kestrel::claims
