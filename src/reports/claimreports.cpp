#include "reports/claimreports.h"

#include "data/messages.h"
#include "platform/recordfile.h"
#include "reports/claimalignment.h"
#include "reports/claimform.h"
#include "reports/cms1500form.h"
#include "reports/progress.h"
#include "reports/reportregistry.h"

#include <mutex>

namespace kestrel::reports {

namespace {

using platform::RecordFile;
namespace errc = platform::errc;

constexpr ClaimVariant Variants[] = {
    {"cms1", Plan::Primary, false, true}, {"cms1a", Plan::Primary, false, false},
    {"cms2", Plan::Other, false, true},   {"cms2a", Plan::Other, false, false},
    {"cms3", Plan::Primary, true, true},  {"cms3a", Plan::Primary, true, false},
};

// Thrown inside a run when a read fails with more than end of file; the
// selection then ends as at its end.
struct ReadFailed {
    ReadFailure failure;
};

ReadFailure failureOf(const RecordFile& f)
{
    return {QString::fromLatin1(f.def().label), f.error(), QString::fromStdString(f.errorText()), f.driverCode(),
            QString::fromStdString(f.driverMessage())};
}

// One record file read through a handle and a buffer of the run's own.
template <class Record>
class OwnFile {
public:
    OwnFile(const platform::FileDef& def, const QString& dir) : file_(def, data::bytesOf(rec))
    {
        file_.setDirectory(dir);
        const int rc = file_.open();
        if (rc == errc::FileNotFound)
            return;  // no such file yet: nothing is found in it
        if (rc != errc::Ok && rc != errc::AlreadyOpen)
            throw ReadFailed{failureOf(file_)};
        open_ = true;
        clear();
    }
    ~OwnFile()
    {
        if (open_) {
            file_.send("QUICKSCAN=off");
            file_.close();
        }
    }

    void clear() { platform::clearRecord(file_.def(), data::bytesOf(rec)); }
    bool isOpen() const { return open_; }
    RecordFile& file() { return file_; }

    // Fetches the record whose key `keyLabel` holds what `setKey` puts in the
    // buffer; a record that is not found leaves the buffer cleared.
    template <class SetKey>
    bool fetch(const char* keyLabel, SetKey setKey)
    {
        clear();
        if (!open_)
            return false;
        setKey(rec);
        const int rc = file_.get(file_.def().keyIndex(keyLabel));
        if (rc == errc::Ok)
            return true;
        if (rc != errc::NoRecord)
            throw ReadFailed{failureOf(file_)};
        clear();
        return false;
    }
    // The next record of the walk; false at its end.
    bool next()
    {
        const int rc = file_.next();
        if (rc == errc::Ok)
            return true;
        if (rc != errc::NoRecord)
            throw ReadFailed{failureOf(file_)};
        return false;
    }

    Record rec{};

private:
    RecordFile file_;
    bool open_ = false;
};

bool isZeroId(const data::Digits<11>& id)
{
    return id.trimmed().find_first_not_of('0') == std::string_view::npos;
}

// The files of one run, each with its own buffer.
struct RunFiles {
    explicit RunFiles(const QString& dir)
        : inv(data::file::Invoice, dir), itm(data::file::Item, dir), pat(data::file::Patient, dir),
          prv(data::file::Provider, dir), in1(data::file::Insured1, dir), in2(data::file::Insured2, dir),
          payer(data::file::Payer, dir), ref(data::file::Referring, dir), ren(data::file::Rendering, dir),
          fac(data::file::Facility, dir)
    {
    }
    OwnFile<data::InvoiceRecord> inv;
    OwnFile<data::ItemRecord> itm;
    OwnFile<data::PatientRecord> pat;
    OwnFile<data::ProviderRecord> prv;
    OwnFile<data::Insured1Record> in1;
    OwnFile<data::Insured2Record> in2;
    OwnFile<data::PayerRecord> payer;
    OwnFile<data::ReferringRecord> ref;
    OwnFile<data::RenderingRecord> ren;
    OwnFile<data::FacilityRecord> fac;

    void quickScan()
    {
        for (RecordFile* f : {&inv.file(), &itm.file(), &pat.file(), &prv.file(), &in1.file(), &in2.file(),
                              &payer.file(), &ref.file(), &ren.file(), &fac.file()})
            if (f->isOpen())
                f->send("QUICKSCAN=on");
    }

    // The records related to the claim in inv.rec, fetched again by their
    // keys; those not found print blank. The carrier block is the payer of
    // the plan the form is for.
    ClaimRecords related(Plan plan)
    {
        const data::InvoiceRecord& c = inv.rec;
        ClaimRecords r;
        r.inv = c;
        ref.fetch("REF:F17IDREF", [&](auto& b) { b.F17ID = c.F17ID; });
        prv.fetch("PRV:PRVKEY", [&](auto& b) { b.PRV = c.PRV; });
        pat.fetch("PAT:PATKEY", [&](auto& b) { b.PAT.set(c.PAT.value()); });
        in1.fetch("IN1:INS1IDKEY", [&](auto& b) { b.INS1ID = c.PRIMARY; });
        in2.fetch("IN2:INS2IDKEY", [&](auto& b) { b.INS2ID = c.SECONDARY; });
        const auto& carrier = plan == Plan::Other ? in2.rec.INS2CARNAME : in1.rec.INS1CARNAME;
        payer.fetch("HIC:NAMEKEY", [&](auto& b) { b.HICNAME.set(carrier.trimmed()); });
        fac.fetch("FAC:FACILITYIDKEY", [&](auto& b) { b.FACILITYID.set(c.F32.view()); });
        r.ref = ref.rec;
        r.prv = prv.rec;
        r.pat = pat.rec;
        r.in1 = in1.rec;
        r.payer = payer.rec;
        r.in2 = in2.rec;
        r.fac = fac.rec;
        return r;
    }

    // The claim's printable service lines in order of their date of service.
    // *anyLine tells whether it had Item records at all (receivables included).
    std::vector<ServiceLine> lines(bool* anyLine)
    {
        std::vector<ServiceLine> out;
        *anyLine = false;
        if (!itm.isOpen())
            return out;
        const data::InvoiceRecord& c = inv.rec;
        itm.clear();
        itm.rec.PRV = c.PRV;
        itm.rec.PAT.set(c.PAT.value());
        itm.rec.INV.set(c.INV.value());
        if (const int rc = itm.file().set(itm.file().def().keyIndex("ITM:INVPATPRVKEY")); rc != errc::Ok)
            throw ReadFailed{failureOf(itm.file())};
        while (itm.next()) {
            const data::ItemRecord& i = itm.rec;
            if (i.PRV.value() != c.PRV.value() || i.PAT.value() != c.PAT.value() || i.INV.value() != c.INV.value())
                break;
            *anyLine = true;
            if (isTransactionCode(i.CPT.toQString()))
                continue;
            out.push_back(serviceLine(i));
        }
        return out;
    }

    ServiceLine serviceLine(const data::ItemRecord& i)
    {
        ServiceLine s;
        s.from = QString::fromLatin1(i.DOSF.view().data(), int(i.DOSF.view().size()));
        s.to = QString::fromLatin1(i.DOST.view().data(), int(i.DOST.view().size()));
        s.pos = i.POS.toQString();
        s.emg = i.EMG.toQString();
        s.cpt = i.CPT.toQString();
        s.modifiers = {i.MOD1.toQString(), i.MOD2.toQString(), i.MOD3.toQString(), i.MOD4.toQString()};
        s.description = i.DES.toQString();
        s.pointers = i.DXL.toQString().left(4);
        s.units = i.QTY.toQString();
        s.epsdtShaded = i.EPSDTS.toQString();
        s.epsdtUnit = i.EPSDTU.toQString();
        s.feeCents = i.FEE.value().rescaled(2).units();
        if (ren.fetch("REN:F24JKEY", [&](auto& b) { b.F24J = i.F24J; })) {
            s.renderingQualifier = ren.rec.F24JQ.toQString();
            s.renderingNpi = ren.rec.F24JNNPI.toQString();
            s.renderingId = ren.rec.F24J.toQString();
        }
        return s;
    }
};

// The single-claim procedures decide their marks and the texts of boxes 12,
// 13 and 33 from what the caller held at entry; the printed texts come from
// the records read.
void takeEntryMarks(ClaimRecords& r, const ClaimEntry& e)
{
    r.inv.F10A = e.inv.F10A;
    r.inv.F10B = e.inv.F10B;
    r.inv.F10C = e.inv.F10C;
    r.inv.F11DY = e.inv.F11DY;
    r.inv.F11DN = e.inv.F11DN;
    r.inv.F13 = e.inv.F13;
    r.inv.F25X = e.inv.F25X;
    r.inv.F27 = e.inv.F27;
    r.inv.OUTLAB = e.inv.OUTLAB;
    r.in1.INS1PLAN = e.in1.INS1PLAN;
    r.in1.INS1PATREL2INS = e.in1.INS1PATREL2INS;
    r.in1.INS1SEX = e.in1.INS1SEX;
    r.in2.INS2PLAN = e.in2.INS2PLAN;
    r.in2.INS2PATREL2INS = e.in2.INS2PATREL2INS;
    r.in2.INS2SEX = e.in2.INS2SEX;
    r.pat.SEX = e.pat.SEX;
    r.prv.GIDX = e.prv.GIDX;
    r.prv.GNAME = e.prv.GNAME;
    r.prv.PNAME = e.prv.PNAME;
}

// Sends one claim's pages; false when it printed nothing (only receivables lines).
bool printClaim(RunFiles& files, const ClaimVariant& v, const ClaimEntry* entry, const ClaimRunSettings& s,
                ReportRun& run)
{
    bool anyLine = false;
    const std::vector<ServiceLine> lines = files.lines(&anyLine);
    if (anyLine && lines.empty())
        return false;
    ClaimRecords records = files.related(v.plan);
    if (entry)
        takeEntryMarks(records, *entry);
    std::vector<Page> pages = claimPages(claimHeader(records, v.plan, s.today), lines);
    for (Page& page : pages) {
        if (v.drawForm) {
            page.background = drawCms1500Form;
        } else {
            for (PlacedText& t : page.texts) {
                t.x += s.offset.x();
                t.y += s.offset.y();
            }
        }
        run.pages().addPage(std::move(page));
    }
    return true;
}

void printOne(RunFiles& files, const ClaimVariant& v, const ClaimEntry& entry, const ClaimRunSettings& s,
              ReportRun& run)
{
    if (files.inv.fetch("INV:INVKEY", [&](auto& b) { b.INV = entry.inv.INV; }))
        printClaim(files, v, &entry, s, run);
    run.setProgress(ProgressMeter::ofRows(1));
}

void printBillable(RunFiles& files, const ClaimVariant& v, const ClaimRunSettings& s, ReportRun& run)
{
    if (!files.inv.isOpen())
        return;
    files.quickScan();
    RecordFile& inv = files.inv.file();
    // The claims file's size at the start in records; each claim read adds
    // its record's length to the bytes read.
    qint64 total = 0;
    if (inv.setFileOrder() != errc::Ok)
        throw ReadFailed{failureOf(inv)};
    while (files.inv.next())
        ++total;
    const qint64 length = inv.def().recordLength;
    if (inv.setFileOrder() != errc::Ok)
        throw ReadFailed{failureOf(inv)};
    qint64 read = 0;
    while (!run.cancelled() && files.inv.next()) {
        ++read;
        const data::InvoiceRecord& c = files.inv.rec;
        if (!isZeroId(c.PRIMARY) && !c.BDUE.value().isZero())
            printClaim(files, v, nullptr, s, run);
        run.setProgress(ProgressMeter::ofBytes(read * length, total * length));
    }
}

} // namespace

const ClaimVariant* claimVariant(const QString& name)
{
    for (const ClaimVariant& v : Variants)
        if (name == QLatin1String(v.name))
            return &v;
    return nullptr;
}

bool readClaimEntry(const QString& dataDir, qint64 claim, ClaimEntry* entry)
{
    try {
        RunFiles files(dataDir);
        if (!files.inv.fetch("INV:INVKEY", [&](auto& b) { b.INV.set(platform::Decimal(claim)); }))
            return false;
        const ClaimRecords r = files.related(Plan::Primary);
        *entry = {r.inv, r.pat, r.prv, r.in1, r.in2};
        return true;
    } catch (const ReadFailed&) {
        return false;
    }
}

bool entryAllowsPrinting(const ClaimVariant& v, const ClaimEntry& e)
{
    if (isZeroId(e.inv.PRIMARY))
        return false;
    return !(v.plan == Plan::Other && isZeroId(e.inv.SECONDARY));
}

void printClaims(const ClaimVariant& v, const ClaimEntry* entry, const ClaimRunSettings& s, ReportRun& run)
{
    try {
        RunFiles files(s.dataDir);
        if (v.batch)
            printBillable(files, v, s, run);
        else if (entry)
            printOne(files, v, *entry, s, run);
    } catch (const ReadFailed& failed) {
        if (s.readFailed)
            s.readFailed(failed.failure);
    }
}

Page alignmentTestPage(const QPoint& offset, const QDate& today)
{
    ClaimRecords r;
    for (const auto& [def, bytes] :
         {std::pair{&data::file::Invoice, data::bytesOf(r.inv)}, {&data::file::Patient, data::bytesOf(r.pat)},
          {&data::file::Provider, data::bytesOf(r.prv)}, {&data::file::Insured1, data::bytesOf(r.in1)},
          {&data::file::Insured2, data::bytesOf(r.in2)}, {&data::file::Payer, data::bytesOf(r.payer)},
          {&data::file::Referring, data::bytesOf(r.ref)}, {&data::file::Facility, data::bytesOf(r.fac)}})
        platform::clearRecord(*def, bytes);
    r.payer.HICNAME.set("SAMPLE HEALTH PLAN");
    r.payer.HICADD1.set("PO BOX 1000");
    r.payer.HICADD3.set("ANYTOWN ST 12345");
    r.in1.INS1PLAN.set("5");
    r.in1.INS1PATREL2INS.set("1");
    r.in1.INS1IDNO.set("ABC123456789");
    r.in1.INS1NAME.set("SAMPLE, PAT");
    r.pat.LNAME.set("SAMPLE, PAT");
    r.pat.BDATE.set("19700101");
    r.pat.SEX.set("F");
    r.pat.ADD1.set("1 MAIN STREET");
    r.inv.PAT.set(platform::Decimal(1));
    r.inv.INV.set(platform::Decimal(1));
    r.inv.DX1.set("Z0000");
    r.inv.F25TIN.set("12-3456789");
    r.prv.PNAME.set("SAMPLE PROVIDER MD");
    ServiceLine line;
    line.from = line.to = today.toString(QStringLiteral("yyyyMMdd"));
    line.pos = QStringLiteral("11");
    line.cpt = QStringLiteral("99213");
    line.pointers = QStringLiteral("A");
    line.units = QStringLiteral("1");
    line.description = QStringLiteral("ALIGNMENT TEST");
    line.feeCents = 10000;
    Page page = claimPages(claimHeader(r, Plan::Primary, today), {line}).front();
    for (PlacedText& t : page.texts) {
        t.x += offset.x();
        t.y += offset.y();
    }
    page.background = drawCms1500Form;
    return page;
}

void registerClaimReports()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const ClaimVariant& v : Variants) {
            const QString summary = QStringLiteral("claim form%1, %2%3")
                                        .arg(v.batch ? QStringLiteral("s of every claim with a balance due")
                                                     : QStringLiteral(" of --claim N"),
                                             v.plan == Plan::Other ? QStringLiteral("other plan")
                                                                   : QStringLiteral("primary plan"),
                                             v.drawForm ? QStringLiteral(", form drawn")
                                                        : QStringLiteral(", for pre-printed forms"));
            registerReport({QString::fromLatin1(v.name), summary, [&v](const ReportArguments& a, ReportRun& run) {
                                ClaimRunSettings s{a.root.dataDir(), QDate::currentDate(),
                                                   claimFormOffset(a.root.iniFile()), showReadFailure};
                                if (v.batch) {
                                    printClaims(v, nullptr, s, run);
                                    return;
                                }
                                ClaimEntry entry;
                                if (a.claim > 0 && readClaimEntry(s.dataDir, a.claim, &entry) &&
                                    entryAllowsPrinting(v, entry))
                                    printClaims(v, &entry, s, run);
                            }});
        }
    });
}

void showReadFailure(const ReadFailure& f)
{
    data::saveError({f.code, f.text, f.driverCode, f.driverMessage});
    data::standardMessage(data::MessageNo::RecordRetrievalError, f.fileLabel);
}

} // namespace kestrel::reports
