#include "reports/claimprint.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/rootdir.h"
#include "reports/claimalignment.h"
#include "reports/claimreports.h"
#include "reports/previewwindow.h"
#include "shell/mainwindow.h"
#include "shell/menus.h"
#include "shell/printersettings.h"

#include <QCoreApplication>
#include <QDir>

namespace kestrel::reports {

namespace {

QString iniFileFor(QWidget* parent)
{
    if (shell::MainWindow* frame = shell::frameOf(parent))
        return frame->root().iniFile();
    QDir root(data::dataDirectory());
    root.cdUp();
    return platform::RootDir(root.path()).iniFile();
}

bool sameId(const data::Digits<11>& a, const data::Digits<11>& b) { return a.view() == b.view(); }

// The claim as the caller holds it: the buffers where they hold this claim
// and its records, the stored records otherwise.
bool entryFor(qint64 claim, ClaimEntry* entry)
{
    const bool stored = readClaimEntry(data::dataDirectory(), claim, entry);
    if (data::INV.INV.asInt() != claim)
        return stored;
    const data::InvoiceRecord& inv = data::INV;
    entry->inv = inv;
    if (data::PAT.PAT.value() == inv.PAT.value()) entry->pat = data::PAT;
    if (data::PRV.PRV.value() == inv.PRV.value()) entry->prv = data::PRV;
    if (sameId(data::IN1.INS1ID, inv.PRIMARY)) entry->in1 = data::IN1;
    if (sameId(data::IN2.INS2ID, inv.SECONDARY)) entry->in2 = data::IN2;
    return true;
}

} // namespace

ReportRunner* startClaimReport(const QString& name, qint64 claim, QWidget* parent)
{
    const ClaimVariant* variant = claimVariant(name);
    if (!variant)
        return nullptr;
    auto entry = std::make_shared<ClaimEntry>();
    if (!variant->batch && !(entryFor(claim, entry.get()) && entryAllowsPrinting(*variant, *entry)))
        return nullptr;
    ClaimRunSettings settings{data::dataDirectory(), QDate::currentDate(),
                              variant->drawForm ? QPoint() : claimFormOffset(iniFileFor(parent)), {}};
    // The record retrieval message is shown on the GUI thread before the
    // pages go to the preview; the worker waits for it.
    settings.readFailed = [](const ReadFailure& failure) {
        QMetaObject::invokeMethod(qApp, [failure] { showReadFailure(failure); }, Qt::BlockingQueuedConnection);
    };
    return runReport([variant, entry, settings](ReportRun& run) { printClaims(*variant, entry.get(), settings, run); },
                     shell::printerSettingsFor(parent), parent);
}

void connectMenu(shell::MainWindow& frame)
{
    using shell::MenuItem;
    frame.setProcedure(MenuItem::ClaimInBlankForm, [&frame] { startClaimReport(QStringLiteral("cms3"), 0, &frame); });
    frame.setProcedure(MenuItem::ClaimInCms1500Form,
                       [&frame] { startClaimReport(QStringLiteral("cms3a"), 0, &frame); });
    frame.printerSettings().setAlignment([&frame](QWidget* parent) {
        AlignmentDialog(frame.root().iniFile(), frame.printerSettings(), parent).exec();
    });
}

} // namespace kestrel::reports
