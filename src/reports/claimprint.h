#pragma once
// Starting the claim form procedures from windows and from the frame's menu.

#include <QString>

class QWidget;

namespace kestrel::shell {
class MainWindow;
}

namespace kestrel::reports {

class ReportRunner;

// Starts the claim form procedure `name` ("cms1", "cms1a", "cms2", "cms2a",
// "cms3", "cms3a") from a window on the GUI thread, and returns at once.
// What the single-claim procedures take from the caller is copied here:
// the claim `claim` and its patient, insured records and provider, from the
// record buffers where they hold them, else from the record files. The
// procedure then reads on a worker behind "Generating Report" and shows its
// pages in the preview; Print there prints on the printer chosen in
// "&Printer Setup ...". `claim` is ignored by cms3 and cms3a.
// nullptr, with nothing shown, when the procedure ends at entry: an unknown
// name or claim, a claim without a primary insured, or (cms2, cms2a) without
// another insured.
ReportRunner* startClaimReport(const QString& name, qint64 claim, QWidget* parent);

// "&Claim in Blank Form" (cms3), "&Claim in CMS 1500 Form" (cms3a), and the
// alignment of pre-printed forms, reached from "&Printer Setup ...".
void connectMenu(shell::MainWindow& frame);

} // namespace kestrel::reports
