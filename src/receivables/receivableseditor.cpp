#include "receivables/receivableseditor.h"

#include "data/claimtotals.h"
#include "data/records.h"
#include "managers/payer.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>

namespace kestrel::receivables {

using namespace shell;
using data::TransactionCode;

namespace {

// The button text of each code and the text a refund or write-off is
// issued by or to.
struct CodeChoice {
    const char* code;
    const char* text;
};
constexpr CodeChoice kCodes[] = {
    {"00001", " 00001 - Primary insurance or program payment"},
    {"00002", " 00002 - Other insurance or program payment"},
    {"00003", " 00003 - Other/Cash payment"},
    {"00004", " 00004 - Refund"},
    {"00005", " 00005 - Write off"},
};
constexpr const char* kRefundText = "Refund";
constexpr const char* kWriteOffText = "Write off";

std::optional<TransactionCode> lineCode(FormContext& f)
{
    return data::transactionCode(f.text(QStringLiteral("ITM:CPT")).toStdString());
}

// A credit typed as a positive amount is stored negative.
bool negatePositive(FormContext& f, const QString& field)
{
    const platform::Decimal d = f.number(field);
    if (d.isNegative() || d.isZero()) return false;
    f.set(field, QString::fromStdString((-d).toString()));
    f.redisplay();
    return true;
}

// A line without a date is no line.
Verdict closeWithoutDate(FormContext& f)
{
    return f.isBlank(QStringLiteral("ITM:DOSF")) ? Verdict::CloseCancelled : Verdict::Go;
}

Verdict amountIsCredit(FormContext& f)
{
    if (lineCode(f)) negatePositive(f, QStringLiteral("ITM:FEE"));
    return Verdict::Go;
}

Verdict adjustmentIsCredit(FormContext& f)
{
    negatePositive(f, QStringLiteral("ITM:ADJ"));
    return Verdict::Go;
}

// Refunds and write-offs name themselves, whatever the field held.
Verdict defaultIssuer(FormContext& f)
{
    const auto code = lineCode(f);
    if (code == TransactionCode::Refund) f.set(QStringLiteral("ITM:DES"), QLatin1String(kRefundText));
    if (code == TransactionCode::WriteOff) f.set(QStringLiteral("ITM:DES"), QLatin1String(kWriteOffText));
    if (code == TransactionCode::Refund || code == TransactionCode::WriteOff) f.redisplay();
    return Verdict::Go;
}

// F12: the plan browse opens at the name typed so far; a chosen plan's name
// is the payer.
void choosePayer(FormContext& f)
{
    const QString typed = f.typedText().trimmed();
    f.set(QStringLiteral("HIC:HICNAME"), typed.isEmpty() ? f.text(QStringLiteral("ITM:DES")) : typed);
    CallRequest = Request::Select;
    if (managers::selectPayer(QApplication::activeWindow()) == Response::Completed)
        f.set(QStringLiteral("ITM:DES"), f.text(QStringLiteral("HIC:HICNAME")));
}

// The line belongs to the claim's provider and patient.
void takeTheClaimsOwners(FormContext& f)
{
    f.set(QStringLiteral("ITM:PRV"), f.text(QStringLiteral("INV:PRV")));
    f.set(QStringLiteral("ITM:PAT"), f.text(QStringLiteral("INV:PAT")));
}

std::vector<RadioChoice> codeChoices()
{
    std::vector<RadioChoice> out;
    for (const CodeChoice& c : kCodes) out.push_back({QLatin1String(c.text), QLatin1String(c.code), {}});
    return out;
}

std::vector<FormControl> editorControls()
{
    return {
        radios("Transaction Codes", "ITM:CPT", codeChoices()).ditto(),
        entry("Date", "ITM:DOSF", "@d2").ditto().accepting(closeWithoutDate),
        entry("$ Amount", "ITM:FEE", "@N-14.2").ditto().accepting(amountIsCredit),
        entry("Check/Claim reference number", "ITM:EXP", "@s24").ditto(),
        entry("Issued by/to:", "ITM:DES", "@s32")
            .tip("Use mouse right button/ F12key to select payor.")
            .ditto()
            .entering(defaultIssuer)
            .lookup(choosePayer),
        heading("Plan benefit and deductions"),
        entry("$ Allowed", "ITM:ALW", "@n-14.2").tip("Enter the allowable amount.").ditto(),
        entry("$ Deduct/Copay", "ITM:DED", "@n-14.2").tip("Enter the deductible amount.").ditto(),
        entry("$ Denial", "ITM:NONCOV", "@n-14.2").tip("Enter the denied/not covered amount.").ditto(),
        entry("$ Adjustment", "ITM:ADJ", "@n-14.2")
            .tip("Compute and enter the adjustable amount.")
            .ditto()
            .entering(adjustmentIsCredit)
            .accepting(adjustmentIsCredit),
    };
}

} // namespace

const FormDefinition& receivablesEditor()
{
    static const FormDefinition def{
        .file = "Item",
        .title = "Receivables Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = kReceivablesEditorHelp,
        .buttons = {"&Save", "&Close", "Help"},
        .tabs = {{"", editorControls()}},
        .alsoUses = {"Payer"},
        .onOpening = takeTheClaimsOwners,
    };
    return def;
}

Response runReceivablesEditor(QWidget* parent) { return runForm(receivablesEditor(), parent); }

} // namespace kestrel::receivables
