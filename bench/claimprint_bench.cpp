// `kestrel print cms3 --pdf` over 1,000 and 10,000 billable claims (two
// service lines each, built once under /tmp/kestrel-bench-claims and reused),
// against bare QPainter -> QPdfWriter drawing the same page content in the
// same run: the drawn form and the same texts at the same places, with no
// record reading and no page model.
// Goals: at least 0.8x the bare throughput; peak memory flat as the batch
// grows and under 100 MB (pages are streamed into the file, never all held).
// Run by hand: build/bench/claimprint_bench (not a test).
#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/rootdir.h"
#include "platform/transaction.h"
#include "reports/claimreports.h"
#include "reports/cms1500form.h"
#include "reports/pagesink.h"
#include "reports/reportregistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>

#include <cstdio>

#include <sys/resource.h>

using namespace kestrel;

namespace {

const QString BenchRoot = QStringLiteral("/tmp/kestrel-bench-claims");

// Peak resident memory of the process so far, in MB (VmHWM).
double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return -1;
}

// CPU time of the process so far (user and system): the machine is shared,
// so wall time alone also measures the neighbours.
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <class Record>
void add(platform::RecordFile& f, Record& buffer, const std::function<void(Record&)>& fill)
{
    platform::clearRecord(f.def(), data::bytesOf(buffer));
    fill(buffer);
    if (f.add() != platform::errc::Ok)
        std::fprintf(stderr, "cannot add to %s\n", f.def().label);
}

// A root with `claims` billable claims of one patient, each with two lines.
QString buildRoot(int claims)
{
    const QString root = BenchRoot + QStringLiteral("/%1").arg(claims);
    const QString dir = platform::RootDir(root).dataDir();
    if (QFile::exists(dir + QStringLiteral("/Invoice.db")))
        return root;
    QDir().mkpath(dir);
    data::InvoiceRecord inv;
    data::ItemRecord itm;
    data::Insured1Record in1;
    data::PatientRecord pat;
    platform::RecordFile fi(data::file::Invoice, data::bytesOf(inv)), ft(data::file::Item, data::bytesOf(itm)),
        f1(data::file::Insured1, data::bytesOf(in1)), fp(data::file::Patient, data::bytesOf(pat));
    for (platform::RecordFile* f : {&fi, &ft, &f1, &fp}) {
        f->setDirectory(dir);
        f->create();
        f->open();
    }
    platform::Transaction t({&fi, &ft, &f1, &fp});
    t.start();
    add<data::PatientRecord>(fp, pat, [](auto& r) {
        r.PAT.set(7);
        r.LNAME.set("DOE, JANE");
        r.BDATE.set("19800704");
        r.SEX.set("F");
        r.ADD1.set("12 ELM ST");
    });
    add<data::Insured1Record>(f1, in1, [](auto& r) {
        r.INS1ID.set("00000000011");
        r.INS1PLAN.set("1");
        r.INS1PATREL2INS.set("1");
        r.INS1IDNO.set("1EG4TE5MK72");
        r.INS1NAME.set("DOE, JANE");
    });
    for (int c = 1; c <= claims; ++c) {
        add<data::InvoiceRecord>(fi, inv, [c](auto& r) {
            r.PRV.set(1);
            r.PAT.set(7);
            r.INV.set(c);
            r.PRIMARY.set("00000000011");
            r.BDUE.set(platform::Decimal::fromUnits(12550, 2));
            r.F19.set("BENCH CLAIM " + std::to_string(c));
            r.DX1.set("E119");
        });
        for (int l = 0; l < 2; ++l)
            add<data::ItemRecord>(ft, itm, [c, l](auto& r) {
                r.PRV.set(1);
                r.PAT.set(7);
                r.INV.set(c);
                r.DOSF.set(l ? "20240110" : "20240109");
                r.CPT.set(l ? "99213" : "99214");
                r.DES.set("OFFICE VISIT");
                r.FEE.set(platform::Decimal::fromUnits(l ? 5000 : 7550, 2));
                r.QTY.set("1");
            });
    }
    t.commit();
    return root;
}

// Keeps the first pages printed, for the bare drawing to repeat.
class Sample : public reports::PageSink {
public:
    void addPage(reports::Page&& page) override
    {
        if (pages.size() < 16)
            pages.push_back(std::move(page));
    }
    std::vector<reports::Page> pages;
};

// The same content drawn straight into a PDF: `count` pages cycling through
// the sample, the form and each text at its place.
void drawBare(const std::vector<reports::Page>& sample, int count, const QString& file)
{
    QPdfWriter writer(file);
    reports::preparePdfWriter(writer);
    QPainter painter(&writer);
    const double scale = writer.resolution() / double(reports::MilsPerInch);
    QFont font = reports::defaultReportFont();
    font.setPixelSize(reports::fontHeightMils(font));
    painter.setFont(font);
    const int ascent = QFontMetrics(font, &writer).ascent();
    for (int p = 0; p < count; ++p) {
        if (p > 0)
            writer.newPage();
        painter.save();
        painter.scale(scale, scale);
        reports::drawCms1500Form(painter);
        painter.setPen(Qt::black);
        for (const reports::PlacedText& t : sample[size_t(p) % sample.size()].texts)
            painter.drawText(QPoint(t.x, t.y + ascent), t.text);
        painter.restore();
    }
}

// One measured run in a process of its own, so that its peak memory is its own:
//   --print ROOT       cms3 into a PDF through the registry
//   --bare ROOT PAGES  the bare drawing of PAGES pages of that root's content
// Prints "pages seconds peakMB cpuSeconds" (the bare run's CPU time without
// the reading of its sample).
int child(const QStringList& args)
{
    const QString root = args.value(2);
    const QString pdf = root + QStringLiteral("/out.pdf");
    QElapsedTimer timer;
    if (args.value(1) == QLatin1String("--print")) {
        QString error;
        timer.start();
        const int pages =
            reports::printToPdf(QStringLiteral("cms3"), {platform::RootDir(root), 0}, pdf, {}, nullptr, &error);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (pages <= 0) {
            std::fprintf(stderr, "print failed: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("%d %f %f %f\n", pages, seconds, peakMb(), cpuSeconds());
        return 0;
    }
    Sample sample;
    reports::ReportRun run(sample);
    reports::ClaimRunSettings settings{platform::RootDir(root).dataDir(), QDate::currentDate(), {}, {}};
    reports::printClaims(*reports::claimVariant(QStringLiteral("cms3")), nullptr, settings, run);
    const int pages = args.value(3).toInt();
    const double before = cpuSeconds();
    timer.start();
    drawBare(sample.pages, pages, pdf);
    std::printf("%d %f %f %f\n", pages, timer.nsecsElapsed() / 1e9, peakMb(), cpuSeconds() - before);
    return 0;
}

struct Figures {
    int pages = 0;
    double seconds = 0, peak = 0, cpu = 0;
    double rate() const { return pages / seconds; }
    double cpuRate() const { return pages / cpu; }
};

Figures measure(const QStringList& args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    const QList<QByteArray> v = p.readAllStandardOutput().trimmed().split(' ');
    if (p.exitCode() != 0 || v.size() != 4) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(args.join(' ')), p.readAllStandardError().constData());
        return {};
    }
    return {v[0].toInt(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble()};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    reports::registerClaimReports();
    if (app.arguments().size() > 1)
        return child(app.arguments());
    const QStringList roots = {buildRoot(1000), buildRoot(10000)};
    for (const QString& root : roots) {
        const Figures ours = measure({QStringLiteral("--print"), root});
        const Figures bare = measure({QStringLiteral("--bare"), root, QString::number(ours.pages)});
        std::printf("%s claims, %d pages:\n", qPrintable(QFileInfo(root).fileName()), ours.pages);
        std::printf("  kestrel print cms3 : %7.2f s %6.1f pages/s wall, %7.2f s %6.1f pages/s CPU, peak %5.1f MB\n",
                    ours.seconds, ours.rate(), ours.cpu, ours.cpuRate(), ours.peak);
        std::printf("  bare QPainter->PDF : %7.2f s %6.1f pages/s wall, %7.2f s %6.1f pages/s CPU, peak %5.1f MB\n",
                    bare.seconds, bare.rate(), bare.cpu, bare.cpuRate(), bare.peak);
        std::printf("  throughput ratio   : %.2fx wall, %.2fx CPU (goal >= 0.80x)\n", ours.rate() / bare.rate(),
                    ours.cpuRate() / bare.cpuRate());
    }
    return 0;
}
