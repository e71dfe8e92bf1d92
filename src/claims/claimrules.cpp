#include "claims/claimrules.h"

#include "claims/lookups.h"
#include "data/records.h"
#include "managers/auth.h"
#include "managers/codetables.h"
#include "managers/facility.h"
#include "managers/insured.h"
#include "managers/providerbrowse.h"
#include "managers/referring.h"
#include "shell/callprotocol.h"

#include <QApplication>

namespace kestrel::claims::rules {

using shell::FormContext;
using shell::Verdict;

namespace {

QWidget* active() { return QApplication::activeWindow(); }

// What F12 starts from: what has been typed so far, else the field's value.
QString startingValue(FormContext& f)
{
    const QString typed = f.typedText().trimmed();
    return typed.isEmpty() ? f.text(f.currentField()) : typed;
}

// Calls a lookup browse in select mode; true when a record was chosen.
bool select(shell::Response (*browse)(QWidget*))
{
    shell::CallRequest = shell::Request::Select;
    return browse(active()) == shell::Response::Completed;
}

bool providerOnFile(FormContext& f)
{
    f.set(QStringLiteral("PRV:PRV"), f.text(QStringLiteral("INV:PRV")));
    return lookUp(data::file::Provider, "PRV:PRVKEY");
}

struct Table {
    const platform::FileDef* file;
    const char* key;
    const char* codeField;
    shell::Response (*browse)(QWidget*);
};

Table tableOf(CodeTable t)
{
    switch (t) {
    case CodeTable::Box14Qualifier:
        return {&data::file::CIQL, "CIQ:CIKEY", "CIQ:CICODE", managers::selectBox14Qualifier};
    case CodeTable::Box15Qualifier:
        return {&data::file::OIQL, "OIQ:OICODEKEY", "OIQ:OICODE", managers::selectBox15Qualifier};
    case CodeTable::IcdEdition:
        return {&data::file::ICD, "ICDM:ICDVKEY", "ICDM:ICDV", managers::selectIcdEdition};
    case CodeTable::Diagnosis:
        break;
    }
    return {&data::file::ICD48, "ICD:ICDCODEKEY", "ICD:ICDCODE", managers::selectIcd};
}

shell::Response selectProviderHere(QWidget* parent) { return managers::selectProvider(parent); }

} // namespace

// -------------------------------------------------------------- provider

// Entering the provider field (as soon as the form opens): a claim has a
// provider on file or it is not entered at all.
Verdict providerOnEntry(FormContext& f)
{
    if (!providerOnFile(f) && select(selectProviderHere))
        f.set(QStringLiteral("INV:PRV"), f.text(QStringLiteral("PRV:PRV")));
    f.redisplay();
    f.set(QStringLiteral("INV:PRV"), f.text(QStringLiteral("PRV:PRV")));
    return f.number(QStringLiteral("INV:PRV")).isZero() ? Verdict::CloseCancelled : Verdict::Go;
}

Verdict providerNeedsADate(FormContext& f)
{
    return f.isBlank(QStringLiteral("INV:DATE")) ? Verdict::CloseCancelled : Verdict::Go;
}

void chooseProvider(FormContext& f)
{
    if (select(selectProviderHere)) f.set(QStringLiteral("INV:PRV"), f.text(QStringLiteral("PRV:PRV")));
}

Verdict dateNeedsAProvider(FormContext& f)
{
    return f.number(QStringLiteral("INV:PRV")).isZero() ? Verdict::CloseCancelled : Verdict::Go;
}

Verdict taxNumberFromProvider(FormContext& f)
{
    if (!f.isBlank(QStringLiteral("INV:F25TIN"))) return Verdict::Go;
    providerOnFile(f);
    const bool ssn = f.text(QStringLiteral("PRV:TIDX")).trimmed() == QLatin1String("S");
    f.set(QStringLiteral("INV:F25TIN"), f.text(ssn ? QStringLiteral("PRV:SSN") : QStringLiteral("PRV:EIN")));
    f.set(QStringLiteral("INV:F25X"), ssn ? QStringLiteral("SSN") : QStringLiteral("EIN"));
    f.redisplay();
    return Verdict::Go;
}

// ------------------------------------------------------------ code fields

shell::FieldRule codeOnFile(CodeTable table)
{
    return [table](FormContext& f) {
        // The edition indicator is not checked by Save's pass.
        if (table == CodeTable::IcdEdition && f.acceptingAll()) return Verdict::Go;
        const QString field = f.currentField();
        if (f.isBlank(field)) return Verdict::Go;
        const Table t = tableOf(table);
        f.set(QLatin1String(t.codeField), f.text(field));
        if (!lookUp(*t.file, t.key, false)) {
            if (!select(t.browse)) return Verdict::Stay;
            f.set(field, f.text(QLatin1String(t.codeField)));
        }
        f.redisplay();
        return Verdict::Go;
    };
}

shell::LookupRule chooseCode(CodeTable table)
{
    return [table](FormContext& f) {
        const Table t = tableOf(table);
        f.set(QLatin1String(t.codeField), startingValue(f));
        if (select(t.browse)) f.set(f.currentField(), f.text(QLatin1String(t.codeField)));
    };
}

// --------------------------------------------------------- accident boxes

Verdict autoAccidentUnmarked(FormContext& f)
{
    if (f.text(QStringLiteral("INV:F10B")) == QLatin1String("N")) f.set(QStringLiteral("INV:F10BPLACE"), QString());
    return Verdict::Go;
}

// A marked auto accident names its state; without one it is unmarked.
Verdict accidentState(FormContext& f)
{
    f.redisplay();
    if (f.isBlank(QStringLiteral("INV:F10BPLACE"))) f.set(QStringLiteral("INV:F10B"), QStringLiteral("N"));
    return Verdict::Go;
}

// The short description of box 19 belongs to the other accident.
Verdict otherAccidentUnmarked(FormContext& f)
{
    if (f.isBlank(QStringLiteral("INV:F10C"))) f.set(QStringLiteral("INV:F19"), QString());
    return Verdict::Go;
}

// ------------------------------------------------------------------ box 12

Verdict releaseUnmarked(FormContext& f)
{
    if (f.text(QStringLiteral("INV:F12")) == QLatin1String("N")) {
        f.set(QStringLiteral("INV:AUTHDATE"), QString());
        f.set(QStringLiteral("INV:AUTHSIGN"), QString());
    }
    return Verdict::Go;
}

// The release is marked exactly when a signature date is on the claim.
Verdict signatureDate(FormContext& f)
{
    f.redisplay();
    f.set(QStringLiteral("INV:F12"), f.isBlank(QStringLiteral("INV:AUTHDATE")) ? QStringLiteral("N") : QStringLiteral("Y"));
    return Verdict::Go;
}

void chooseSignature(FormContext& f)
{
    f.set(QStringLiteral("AUT:AUTHDATE"), f.text(QStringLiteral("INV:AUTHDATE")));
    f.set(QStringLiteral("AUT:AUTHSIGN"), f.text(QStringLiteral("INV:AUTHSIGN")));
    if (!select(managers::selectAuth)) return;
    f.set(QStringLiteral("INV:AUTHDATE"), f.text(QStringLiteral("AUT:AUTHDATE")));
    f.set(QStringLiteral("INV:AUTHSIGN"), f.text(QStringLiteral("AUT:AUTHSIGN")));
}

// ----------------------------------------------------- parties of the claim

void chooseReferring(FormContext& f)
{
    f.set(QStringLiteral("REF:F17ID"), startingValue(f));
    if (select(managers::selectReferring)) f.set(QStringLiteral("INV:F17ID"), f.text(QStringLiteral("REF:F17ID")));
}

void chooseFacility(FormContext& f)
{
    f.set(QStringLiteral("FAC:FACILITYID"), startingValue(f));
    if (select(managers::selectFacility))
        f.set(QStringLiteral("INV:F32"), f.text(QStringLiteral("FAC:FACILITYID")));
}

// Box 11d follows the two insured: no primary, no other plan and no mark;
// a primary alone "No"; a primary and another "Yes".
Verdict primaryInsured(FormContext& f)
{
    const bool primary = f.number(QStringLiteral("INV:PRIMARY")) > platform::Decimal(0);
    if (f.number(QStringLiteral("INV:PRIMARY")).isZero()) {
        f.set(QStringLiteral("INV:SECONDARY"), QString());
        f.set(QStringLiteral("INV:F11DY"), QString());
        f.set(QStringLiteral("INV:F11DN"), QString());
    }
    const bool secondary = f.number(QStringLiteral("INV:SECONDARY")) > platform::Decimal(0);
    if (primary && !secondary) {
        f.set(QStringLiteral("INV:F11DN"), QStringLiteral("N"));
        f.set(QStringLiteral("INV:F11DY"), QString());
    } else if (primary && secondary) {
        f.set(QStringLiteral("INV:F11DN"), QString());
        f.set(QStringLiteral("INV:F11DY"), QStringLiteral("Y"));
    }
    f.redisplay();
    return Verdict::Go;
}

void choosePrimary(FormContext& f)
{
    if (select(managers::selectInsured)) f.set(QStringLiteral("INV:PRIMARY"), f.text(QStringLiteral("IN1:INS1ID")));
}

void chooseSecondary(FormContext& f)
{
    if (select(managers::selectOtherInsured))
        f.set(QStringLiteral("INV:SECONDARY"), f.text(QStringLiteral("IN2:INS2ID")));
}

Verdict showAgain(FormContext& f)
{
    f.redisplay();
    return Verdict::Go;
}

} // namespace kestrel::claims::rules
