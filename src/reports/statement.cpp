#include "reports/statement.h"

#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "platform/fieldvalue.h"
#include "platform/filterexpression.h"
#include "platform/recordfile.h"
#include "platform/view.h"
#include "reports/previewwindow.h"
#include "reports/progress.h"
#include "reports/reportregistry.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"

#include <QCoreApplication>
#include <QThread>

#include <tuple>

namespace kestrel::reports {

namespace {

using platform::errc::NoRecord;
using platform::errc::Ok;
namespace file = data::file;

constexpr const char* InvoiceFilter = "INV:INV = NUMBER";
constexpr const char* HistoryFilter = "INV:PAT = PAT:PAT AND (INV:PAT=IDPAT)";
constexpr const char* OutstandingFilter = "pat:nowbalan >0";

template <class Record>
unsigned char* bytes(Record& r) { return reinterpret_cast<unsigned char*>(&r); }

// Shows a standard message on the GUI thread; a run without a GUI thread of
// its own (the command line) shows it at once.
void tell(data::MessageNo number, const QString& text1, const data::ErrorRecord& error = {})
{
    auto show = [=] {
        if (error.code != 0)
            data::saveError(error);
        data::standardMessage(number, text1);
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        show();
    else
        QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
}

data::ErrorRecord errorOf(const platform::RecordFile& f)
{
    return {f.error(), QString::fromStdString(f.errorText()), f.driverCode(), QString::fromStdString(f.driverMessage())};
}

// The four files on handles and buffers of this run alone.
class StatementSource {
public:
    StatementSource(const StatementRequest& request, ReportRun& run) : request_(request), run_(run)
    {
        for (platform::RecordFile* f : {&invoices_, &items_, &patients_, &providers_}) {
            platform::clearRecord(f->def(), f->buffer());
            f->setDirectory(request.dataDir);
        }
    }

    void run();

private:
    bool open(platform::RecordFile& file, bool& present);
    // Fetches the claim's provider and patient (cleared when not found).
    bool join();
    // Prints the lines of the claim in the buffer; false to stop the run.
    bool printClaim(StatementPrinter& printer);
    bool failed(const platform::RecordFile& file);
    std::optional<platform::FilterExpression> compileFilter();

    const StatementRequest& request_;
    ReportRun& run_;
    data::InvoiceRecord inv_;
    data::ItemRecord itm_;
    data::PatientRecord pat_;
    data::ProviderRecord prv_;
    platform::RecordFile invoices_{file::Invoice, bytes(inv_)};
    platform::RecordFile items_{file::Item, bytes(itm_)};
    platform::RecordFile patients_{file::Patient, bytes(pat_)};
    platform::RecordFile providers_{file::Provider, bytes(prv_)};
    bool hasItems_ = false, hasPatients_ = false, hasProviders_ = false;
    bool failed_ = false;
    std::optional<qint64> heldProvider_, heldPatient_;  // what the buffers hold (join)
    platform::FieldValue number_, idpat_;
};

// A missing file has no records; any other failure to open ends the run.
bool StatementSource::open(platform::RecordFile& file, bool& present)
{
    const int rc = file.open();
    present = rc == Ok || rc == platform::errc::AlreadyOpen;
    if (present || rc == platform::errc::FileNotFound)
        return true;
    tell(data::MessageNo::RecordRetrievalError, QString::fromLatin1(file.def().label.data(), int(file.def().label.size())),
         errorOf(file));
    return false;
}

bool StatementSource::failed(const platform::RecordFile& file)
{
    failed_ = true;
    tell(data::MessageNo::RecordRetrievalError, QStringLiteral("Provider"), errorOf(file));
    return false;
}

bool StatementSource::join()
{
    // The claims come in provider and patient order: a provider or patient
    // read (or found missing) for the claim before is still in its buffer.
    const auto fetch = [this](platform::RecordFile& file, bool present, const char* key,
                              std::optional<qint64>& held, qint64 number, auto& keyField) {
        if (held == number) return true;
        held.reset();
        keyField.set(platform::Decimal(number));
        const int rc = present ? file.get(file.def().keyIndex(key)) : NoRecord;
        if (rc == NoRecord)
            platform::clearRecord(file.def(), file.buffer());
        if (rc != Ok && rc != NoRecord)
            return failed(file);
        held = number;
        return true;
    };
    return fetch(providers_, hasProviders_, "PRV:PRVKEY", heldProvider_, inv_.PRV.asInt(), prv_.PRV) &&
           fetch(patients_, hasPatients_, "PAT:PATKEY", heldPatient_, inv_.PAT.asInt(), pat_.PAT);
}

bool StatementSource::printClaim(StatementPrinter& printer)
{
    bool any = false;
    if (hasItems_) {
        platform::clearRecord(file::Item, bytes(itm_));
        itm_.PRV.set(inv_.PRV.value());
        itm_.PAT.set(inv_.PAT.value());
        itm_.INV.set(inv_.INV.value());
        int rc = items_.set(file::Item.keyIndex("ITM:INVPATPRVKEY"));
        while (rc == Ok && (rc = items_.next()) == Ok) {
            if (itm_.PRV.value() != inv_.PRV.value() || itm_.PAT.value() != inv_.PAT.value() ||
                itm_.INV.value() != inv_.INV.value())
                break;
            any = true;
            printer.print(inv_, pat_, prv_, &itm_);
            run_.setProgress(ProgressMeter::ofRows(printer.lines()));
            if (run_.cancelled())
                return false;
        }
        if (rc != Ok && rc != NoRecord)
            return failed(items_);
    }
    if (!any)
        printer.print(inv_, pat_, prv_, nullptr);
    return !run_.cancelled();
}

std::optional<platform::FilterExpression> StatementSource::compileFilter()
{
    platform::FilterNames names;
    names.bindFile(file::Invoice, bytes(inv_));
    names.bindFile(file::Item, bytes(itm_));
    names.bindFile(file::Patient, bytes(pat_));
    names.bindFile(file::Provider, bytes(prv_));
    number_ = platform::Decimal(request_.claim);
    idpat_ = platform::Decimal(request_.patient);
    names.bind("NUMBER", platform::FilterBinding::variable(&number_));
    names.bind("IDPAT", platform::FilterBinding::variable(&idpat_));
    const char* text = request_.kind == StatementKind::Invoice   ? InvoiceFilter
                       : request_.kind == StatementKind::History ? HistoryFilter
                                                                 : OutstandingFilter;
    return platform::FilterExpression::compile(text, names.resolver());
}

void StatementSource::run()
{
    bool hasInvoices = false;
    if (!open(invoices_, hasInvoices) || !open(items_, hasItems_) || !open(patients_, hasPatients_) ||
        !open(providers_, hasProviders_) || !hasInvoices)
        return;
    std::optional<platform::FilterExpression> filter = compileFilter();
    if (!filter) {
        tell(data::MessageNo::ViewOpenError, {});  // read on without the filter
        filter.emplace();
    }
    const bool single = request_.kind == StatementKind::Invoice;
    platform::View view(invoices_);
    view.setOrder(file::Invoice.keyIndex(single ? "INV:INVKEY" : "INV:PATPRVDATEKEY"));
    // The filter names the claim's patient: fetch it (and the provider) first.
    // After a failed read the record is taken, so the loop below stops at once.
    // A history wants one patient's claims: the others are passed over
    // before their patient and provider are read.
    const bool onePatient = request_.kind == StatementKind::History;
    view.setFilter([this, &filter, onePatient] {
        if (failed_) return true;
        if (onePatient && inv_.PAT.asInt() != request_.patient) return false;
        return join() && filter->evaluate();
    });
    int rc = Ok;
    if (single) {
        inv_.INV.set(platform::Decimal(request_.claim));
        view.setRange(1);
        rc = view.set();
    } else {
        rc = view.setToStart();
    }
    StatementPrinter printer(request_.kind, request_.today, run_.pages());
    while (rc == Ok && (rc = view.next()) == Ok && !failed_) {
        if (!printClaim(printer))
            break;
    }
    if (rc != Ok && rc != NoRecord && !failed_)
        failed(invoices_);
    if (!run_.cancelled())
        printer.finish();
}

} // namespace

void renderStatement(const StatementRequest& request, ReportRun& run)
{
    StatementSource(request, run).run();
}

std::optional<StatementKind> statementKind(const QString& name)
{
    if (name == QLatin1String("invoice")) return StatementKind::Invoice;
    if (name == QLatin1String("history")) return StatementKind::History;
    if (name == QLatin1String("outstanding")) return StatementKind::Outstanding;
    return std::nullopt;
}

void registerStatementReports()
{
    const std::tuple<const char*, const char*, StatementKind> reports[] = {
        {"invoice", "the account statement of one claim (--claim N)", StatementKind::Invoice},
        {"history", "the account history of one patient (--patient N)", StatementKind::History},
        {"outstanding", "every line of every patient with a balance above zero", StatementKind::Outstanding},
    };
    for (const auto& [name, summary, kind] : reports) {
        registerReport({QString::fromLatin1(name), QString::fromLatin1(summary),
                        [kind](const ReportArguments& args, ReportRun& run) {
                            renderStatement({kind, args.root.dataDir(), args.claim, args.patient, QDate::currentDate()},
                                            run);
                        }});
    }
}

ReportRunner* startStatement(const QString& name, qint64 claim, qint64 patient, QWidget* parent)
{
    const std::optional<StatementKind> kind = statementKind(name);
    if (!kind)
        return nullptr;
    // Copied here, on the GUI thread: the worker never touches the buffers.
    const StatementRequest request{*kind, data::dataDirectory(), claim != 0 ? claim : data::INV.INV.asInt(),
                                   patient != 0 ? patient : data::PAT.PAT.asInt(), QDate::currentDate()};
    return runReport([request](ReportRun& run) { renderStatement(request, run); }, shell::printerSettingsFor(parent),
                     parent);
}

void connectStatementMenu(shell::MainWindow& frame)
{
    frame.setProcedure(shell::MenuItem::AccountStatement,
                       [&frame] { startStatement(QStringLiteral("outstanding"), 0, 0, &frame); });
}

} // namespace kestrel::reports
