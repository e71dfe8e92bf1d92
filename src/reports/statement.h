#pragma once
// The account statement of one claim ("invoice"), the account history of one
// patient ("history") and the outstanding statement of every patient whose
// stored balance is above zero ("outstanding"): the reading side. Each reads
// the claims with their provider, patient and lines, and hands every line to
// a StatementPrinter (statementlayout.h).
//
//   invoice      INV:INVKEY order, filter "INV:INV = NUMBER"; every line of
//                the claim, services and receivables alike
//   history      INV:PATPRVDATEKEY order, filter
//                "INV:PAT = PAT:PAT AND (INV:PAT=IDPAT)"
//   outstanding  INV:PATPRVDATEKEY order, filter "pat:nowbalan >0" (the
//                claim's patient, so a patient whose balance is not above
//                zero is left out even when a single claim still has a
//                balance due)
//
// A claim's lines come in date-of-service order (ITM:INVPATPRVKEY); a claim
// without lines prints one line with its number alone; a provider or patient
// not found prints blank. Nothing to print (no such claim, no claims of the
// patient, nobody owing) gives no pages, so no preview.
//
// Reports run on a worker thread: they read through record files and
// buffers of their own, from values copied on the caller's thread at the
// start, and ask the GUI thread to show any message.

#include "reports/reportrunner.h"
#include "reports/statementlayout.h"

#include <QDate>
#include <QString>

#include <optional>

class QWidget;

namespace kestrel::shell {
class MainWindow;
}

namespace kestrel::reports {

struct StatementRequest {
    StatementKind kind = StatementKind::Invoice;
    QString dataDir;      // where the record files are
    qint64 claim = 0;     // invoice: the claim (NUMBER)
    qint64 patient = 0;   // history: the patient (IDPAT)
    QDate today;          // the date of printing in every page footer
};

// Reads and renders into run.pages(), on any thread. A read that fails
// shows message 35 (for "Provider") and ends the run as at the end of the
// records: the pages so far are kept. Returns early once run.cancelled().
void renderStatement(const StatementRequest& request, ReportRun& run);

// "invoice", "history", "outstanding"; nullopt for any other name.
std::optional<StatementKind> statementKind(const QString& name);

// Makes the three printable by name (`kestrel print invoice --claim N`).
void registerStatementReports();

// Starts one from a window, on the GUI thread, and returns at once: the
// report renders behind "Generating Report" and goes to the preview and, on
// Print, to the printer chosen in "&Printer Setup ...". `claim` (invoice) or
// `patient` (history) 0 takes the one in the INV or PAT record buffer now.
// Nothing is started (nullptr) for an unknown name.
ReportRunner* startStatement(const QString& name, qint64 claim, qint64 patient, QWidget* parent);

// "&Account Statement ......": the outstanding statement.
void connectStatementMenu(shell::MainWindow& frame);

} // namespace kestrel::reports
