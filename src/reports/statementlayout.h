#pragma once
// The page of the account statement, the account history and the outstanding
// statement: the provider's letterhead and the patient's address over ruled
// columns, one line per line of a claim, and the totals of charges and
// payments, adjustments and balance. Widget-free; the reading of the records
// is the procedures' (statement.h), which hand each line here as copies.
//
// The statement of one claim carries running totals in every page footer
// (never reset, so the last page holds the claim's totals). The history and
// the outstanding statement group their lines (by provider; by provider and
// patient) and close each group with its own totals; every group opens a new
// page, so the letterhead and address above always belong to its lines.

#include "data/records.h"
#include "platform/decimal.h"
#include "reports/report.h"

#include <QDate>
#include <QString>

namespace kestrel::reports {

enum class StatementKind { Invoice, History, Outstanding };

// Geometry in mils on the portrait page.
inline constexpr int StatementLineHeight = 167;
inline constexpr int StatementHeaderHeight = 3510;
inline constexpr int StatementDetailTop = 3677, StatementDetailHeight = 6333;  // room for 37 lines
inline constexpr int StatementFooterTop = 9323, StatementFooterHeight = 1000;
// The claim number column repeats the number after this many lines.
inline constexpr int ClaimNumberRepeat = 38;

// "Invoice Statement", "Account History", "Outstanding Statement".
QString statementTitle(StatementKind kind);

// The patient's city line: the statement of a claim separates town and state
// with two blanks, the other two with ", ". At most 36 characters.
QString cityLine(StatementKind kind, const data::PatientRecord& pat);

// The diagnosis code a line's pointer names: its first character "1" to "4"
// or a letter "A" to "L" (either case) picks INV:DX1 ... INV:DX12 of the
// claim; anything else (blank included) names none and prints blank.
QString diagnosisFor(const QString& pointer, const data::InvoiceRecord& claim);

// Whether a line shows its claim number: on the first line after a restart
// (a new claim, provider or patient) and again every 38 lines after it.
class ClaimNumberColumn {
public:
    bool show(bool restart);

private:
    int counter_ = 0;
};

// Prints one report's lines into pages. Give it every line in order, then
// finish(). Records not found are passed cleared.
class StatementPrinter {
public:
    StatementPrinter(StatementKind kind, const QDate& today, PageSink& sink);

    // One line of a claim; `item` null for a claim without lines, which
    // prints a line with its claim number alone.
    void print(const data::InvoiceRecord& inv, const data::PatientRecord& pat, const data::ProviderRecord& prv,
               const data::ItemRecord* item);
    // Closes the last group and the last page.
    void finish();
    int lines() const { return lines_; }

private:
    struct Totals {
        platform::Decimal fee = platform::Decimal::fromUnits(0, 2);
        platform::Decimal adj = platform::Decimal::fromUnits(0, 2);
    };
    void fillHeader(const data::PatientRecord& pat, const data::ProviderRecord& prv);
    void fillDetail(const data::InvoiceRecord& inv, const data::ItemRecord* item, bool showNumber);
    void closeGroup();
    void fillTotals(Band& band, const Totals& totals);

    StatementKind kind_;
    QDate today_;
    Report report_;
    Band detail_;
    Band groupFooter_;
    Totals running_;  // the statement of a claim: every line so far
    Totals group_;    // the others: the lines of the open group
    QString groupKey_;
    bool started_ = false;
    qint64 lastClaim_ = 0, lastProvider_ = 0, lastPatient_ = 0;
    ClaimNumberColumn numberColumn_;
    int lines_ = 0;
};

} // namespace kestrel::reports
