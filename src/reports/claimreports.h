#pragma once
// The six claim form procedures: cms1, cms1a, cms2, cms2a (the one claim a
// caller chose) and cms3, cms3a (every claim with a primary insured and a
// balance due). Those without "a" print the drawn form under the data, for
// blank paper; those with "a" print the data alone, for pre-printed forms,
// moved by the alignment offset.
//
// A run has two halves:
//  - at entry, on the caller's thread, the single-claim procedures take the
//    claim and the records that decide its marks (ClaimEntry) and check the
//    preconditions; a failed precondition ends the run with nothing shown;
//  - the body (printClaims) reads the record files through handles and
//    buffers of its own, so it may run on a worker thread, and hands each
//    finished page to the run.
// Related records that are missing print blank; receivables lines never
// print; a claim without lines prints one form with an empty box 24.

#include "reports/claimheader.h"
#include "reports/reportrunner.h"

#include <QDate>
#include <QPoint>
#include <QString>

#include <functional>

namespace kestrel::reports {

struct ClaimVariant {
    const char* name;
    Plan plan;       // the insurance of the carrier block and boxes 1, 6, 11a sex
    bool batch;      // every billable claim instead of the caller's one
    bool drawForm;   // blank paper: the form is drawn under the data
};

// The variant of that procedure name, or nullptr.
const ClaimVariant* claimVariant(const QString& name);

// What the single-claim procedures take from the caller at entry: the claim,
// its patient, its insured records and its provider, as the caller holds them.
struct ClaimEntry {
    data::InvoiceRecord inv{};
    data::PatientRecord pat{};
    data::ProviderRecord prv{};
    data::Insured1Record in1{};
    data::Insured2Record in2{};
};

// A ClaimEntry read from the record files in `dataDir` (the command line, or
// a caller that holds no buffers); false when there is no such claim. Records
// of the claim that are missing come back cleared.
bool readClaimEntry(const QString& dataDir, qint64 claim, ClaimEntry* entry);
// False when the procedure must end at once: no primary insured, or, for the
// other-plan procedures, no other insured.
bool entryAllowsPrinting(const ClaimVariant& variant, const ClaimEntry& entry);

// A read that failed with something other than end of file: the label of
// the file and the driver's error, for the record retrieval message.
struct ReadFailure {
    QString fileLabel;
    int code = 0;
    QString text;
    int driverCode = 0;
    QString driverMessage;
};

struct ClaimRunSettings {
    QString dataDir;        // where the record files are
    QDate today;            // box 31
    QPoint offset;          // mils added to every data item in the "a" variants
    std::function<void(const ReadFailure&)> readFailed;  // may be empty
};

// The body: prints the selected claims into run.pages(), one page at a time,
// reporting its percentage and stopping when the run is cancelled. `entry`
// is needed by the single-claim procedures and ignored by the batch ones.
// A failed read ends the selection as its end would (the pages printed so
// far remain) after reporting the file that failed.
void printClaims(const ClaimVariant& variant, const ClaimEntry* entry, const ClaimRunSettings& settings,
                 ReportRun& run);
// The record retrieval message naming the file that failed (the caller's thread).
void showReadFailure(const ReadFailure& failure);

// The one-page alignment test: the drawn form with a sample claim placed
// as the pre-printed variants place it, offset included.
Page alignmentTestPage(const QPoint& offset, const QDate& today);

// Adds the six procedures to the registry of reports printed by name
// (`kestrel print cms3 --pdf FILE`). Safe to call more than once.
void registerClaimReports();

} // namespace kestrel::reports
