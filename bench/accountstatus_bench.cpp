// The "Accounts Current Status Browser" over a practice of 2,000 claims and
// one of 200,000 claims (four lines each: 8,000 and 800,000 lines), built
// once through the record layer and reused (--data DIR, default
// /tmp/kestrel-bench-status):
//   open   the real window, offscreen, from its construction until its three
//          lists are filled and its three totals shown (its files opened
//          and checked as any procedure opens them); the first open of the
//          process and the median of four more
//   raw    the same three sums with the same filters in plain SQLite on the
//          same files: the claims total, the first claim of the claims order,
//          its service lines and its other lines (median of five)
//   move   Down in the claims list 50 times, each until the two linked lists
//          are filled again for the new claim
// Each size runs in processes of its own, so that each peak memory is its
// own. Goals: open within 2x of raw; a move at 200,000 claims within 1.5x of
// a move at 2,000.
// Run by hand: build/bench/accountstatus_bench [--data DIR] (not a test).
#include "receivables/accountstatus.h"
#include "data/claimtotals.h"
#include "data/file_access.h"
#include "data/records.h"
#include "platform/picture.h"
#include "platform/recordfile.h"
#include "platform/rootdir.h"
#include "platform/transaction.h"
#include "shell/browselist.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QKeyEvent>
#include <QTableView>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

using namespace kestrel;
namespace status = kestrel::receivables;  // where the window lives

namespace {

constexpr int kLinesPerClaim = 4;
constexpr int kClaimsPerPatient = 10;
constexpr int kProviders = 4;
constexpr int kRuns = 5;    // opens and raw sums measured; the median is shown
constexpr int kMoves = 50;
constexpr int kWarmUp = 20;  // claims of the practice that warms Qt up

double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return -1;
}

// CPU time of the process so far: the machine is shared, so wall time also
// measures the neighbours.
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall and CPU time of one action.
struct Time {
    double wall = 0, cpu = 0;
};

Time timed(const std::function<void()>& action)
{
    QElapsedTimer t;
    const double cpu = cpuSeconds();
    t.start();
    action();
    return {t.nsecsElapsed() / 1e9, cpuSeconds() - cpu};
}

Time median(std::vector<Time> v)
{
    std::sort(v.begin(), v.end(), [](const Time& a, const Time& b) { return a.wall < b.wall; });
    return v[v.size() / 2];
}

platform::Decimal cents(long long c) { return platform::Decimal::fromUnits(c, 2); }

// ------------------------------------------------------------- the practice

template <class Record>
void add(platform::RecordFile& f, Record& buffer, const std::function<void(Record&)>& fill)
{
    platform::clearRecord(f.def(), data::bytesOf(buffer));
    fill(buffer);
    if (f.add() != platform::errc::Ok) {
        std::fprintf(stderr, "cannot add to %s: %s\n", f.def().label, f.errorText().c_str());
        std::exit(1);
    }
}

std::string insuredId(long long pat) { return QStringLiteral("%1").arg(pat, 11, 10, QLatin1Char('0')).toStdString(); }

// One file written in one transaction.
void writeFile(const QString& dir, const platform::FileDef& def, unsigned char* buffer,
               const std::function<void(platform::RecordFile&)>& fill)
{
    platform::RecordFile f(def, buffer);
    f.setDirectory(dir);
    f.create();
    f.open();
    platform::Transaction t({&f});
    t.start();
    fill(f);
    t.commit();
}

// The claim's lines by its kind (claim number modulo 10):
//   0-2  paid off: two services, the primary's payment and its write-off
//   3-6  part paid: three services and a payment
//   7    three services and a free one (a zero charge), nothing paid
//   8    three services and a refund ("00004", stored negative)
//   9    no primary insurance: four services, nothing paid
std::vector<data::ItemRecord> linesOf(long long c, const data::InvoiceRecord& inv)
{
    const int kind = int(c % 10);
    std::vector<data::ItemRecord> lines;
    auto line = [&](const char* cpt, long long fee, const char* des) {
        data::ItemRecord r;
        platform::clearRecord(data::file::Item, data::bytesOf(r));
        r.PRV.set(inv.PRV.asInt());
        r.PAT.set(inv.PAT.asInt());
        r.INV.set(c);
        r.DOSF.set(inv.DATE.view());
        r.CPT.set(cpt);
        r.DES.set(des);
        r.FEE.set(cents(fee));
        r.QTY.set("1");
        r.POS.set("11");
        lines.push_back(r);
        return &lines.back();
    };
    static const char* const codes[] = {"99213", "99214", "36415", "81002"};
    const int services = kind <= 2 ? 2 : 3;
    for (int s = 0; s < services; ++s) line(codes[s], 4000 + 1000 * ((c + s) % 7), "OFFICE VISIT");
    long long charges = 0;
    for (const auto& l : lines) charges += l.FEE.value().units();
    if (kind <= 2) {
        line("00001", -(charges * 7 / 10), "BLUE CROSS")->EXP.set("CHK" + std::to_string(c));
        line("00005", 0, "Write off")->ADJ.set(cents(-(charges - charges * 7 / 10)));
    } else if (kind <= 6) {
        line("00001", -(charges / 2), "BLUE CROSS")->ALW.set(cents(charges * 8 / 10));
    } else if (kind == 7) {
        line("99211", 0, "NO CHARGE VISIT");
    } else if (kind == 8) {
        line("00004", -1500, "Refund");
    } else {
        line("97110", 2500, "THERAPEUTIC EXERCISE");
    }
    return lines;
}

// A root with `claims` claims under /path/claims; built once.
QString buildRoot(const QString& base, int claims)
{
    const QString root = base + QStringLiteral("/%1").arg(claims);
    const QString dir = platform::RootDir(root).dataDir();
    if (QFile::exists(root + QStringLiteral("/complete"))) return root;
    QDir(root).removeRecursively();
    QDir().mkpath(dir);
    std::fprintf(stderr, "building %d claims in %s ...\n", claims, qPrintable(root));
    const int patients = claims / kClaimsPerPatient;

    data::ProviderRecord prv;
    writeFile(dir, data::file::Provider, data::bytesOf(prv), [&](platform::RecordFile& f) {
        for (int p = 1; p <= kProviders; ++p)
            add<data::ProviderRecord>(f, prv, [p](auto& r) {
                r.PRV.set(p);
                r.PNAME.set("PROVIDER " + std::to_string(p));
            });
    });
    data::PatientRecord pat;
    writeFile(dir, data::file::Patient, data::bytesOf(pat), [&](platform::RecordFile& f) {
        for (int p = 1; p <= patients; ++p)
            add<data::PatientRecord>(f, pat, [p](auto& r) {
                r.PAT.set(p);
                r.LNAME.set("PATIENT " + std::to_string(p));
                r.ADD1.set(std::to_string(p) + " ELM ST");
                r.ADD2.set("SPRINGFIELD");
                r.ADD3.set("IL");
                r.ADD4.set("62701");
                r.HAREA.set("217");
                r.HPHON.set("5550100");
            });
    });
    data::Insured1Record in1;
    writeFile(dir, data::file::Insured1, data::bytesOf(in1), [&](platform::RecordFile& f) {
        for (int p = 1; p <= patients; ++p)
            add<data::Insured1Record>(f, in1, [p](auto& r) {
                r.INS1ID.set(insuredId(p));
                r.INS1NAME.set("PATIENT " + std::to_string(p));
                r.INS1CARNAME.set("BLUE CROSS");
            });
    });
    data::Insured2Record in2;
    writeFile(dir, data::file::Insured2, data::bytesOf(in2), [&](platform::RecordFile& f) {
        for (int p = 1; p <= patients; p += 3)
            add<data::Insured2Record>(f, in2, [p](auto& r) {
                r.INS2ID.set(insuredId(p));
                r.INS2NAME.set("PATIENT " + std::to_string(p));
                r.INS2CARNAME.set("MEDICARE");
            });
    });

    // Claims and lines together: the claim's figures come from its lines.
    data::InvoiceRecord inv;
    data::ItemRecord itm;
    platform::RecordFile fi(data::file::Invoice, data::bytesOf(inv)), ft(data::file::Item, data::bytesOf(itm));
    for (platform::RecordFile* f : {&fi, &ft}) {
        f->setDirectory(dir);
        f->create();
        f->open();
    }
    platform::Transaction t({&fi, &ft});
    t.start();
    for (long long c = 1; c <= claims; ++c) {
        const long long p = (c - 1) / kClaimsPerPatient + 1;
        data::InvoiceRecord claim;
        platform::clearRecord(data::file::Invoice, data::bytesOf(claim));
        claim.PRV.set(p % kProviders + 1);
        claim.PAT.set(p);
        claim.INV.set(c);
        claim.DATE.set(QDate(2020, 1, 1).addDays(c % 1500).toString("yyyyMMdd").toStdString());
        if (c % 10 != 9) claim.PRIMARY.set(insuredId(p));
        if (p % 3 == 1) claim.SECONDARY.set(insuredId(p));
        claim.DX1.set("E11.9");
        claim.DX2.set("I10");
        data::ClaimFigures figures;
        const std::vector<data::ItemRecord> lines = linesOf(c, claim);
        for (const data::ItemRecord& l : lines) {
            figures.add(l);
            itm = l;
            if (ft.add() != platform::errc::Ok) std::exit(1);
        }
        claim.TFEE.set(figures.charges);
        claim.TPAY.set(figures.payments);
        claim.TADJ.set(figures.adjustments);
        data::setBalanceDue(claim);
        inv = claim;
        if (fi.add() != platform::errc::Ok) std::exit(1);
    }
    t.commit();
    QFile(root + QStringLiteral("/complete")).open(QIODevice::WriteOnly);
    return root;
}

// -------------------------------------------------------------- raw SQLite

struct RawSums {
    long long claims = 0, services = 0, payments = 0;  // in cents
};

long long single(sqlite3* db, const char* sql, std::vector<long long> args = {})
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(db));
        std::exit(1);
    }
    for (std::size_t i = 0; i < args.size(); ++i) sqlite3_bind_int64(st, int(i + 1), args[i]);
    const long long v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : 0;
    sqlite3_finalize(st);
    return v;
}

// The three totals of the window, as a developer would write them on the
// bare files: packed decimals are integers in cents, codes compared as
// their leading number, the claims order and the lines of a claim read
// through their indexes (a partial index serves only a query that repeats
// its condition).
#define kLinesOfClaim \
    "NOT (PRV = 0 AND PAT = 0 AND INV = 0 AND DOSF = '') AND PRV = ?1 AND PAT = ?2 AND INV = ?3"

RawSums rawSums(const QString& dir)
{
    sqlite3 *inv = nullptr, *itm = nullptr;
    sqlite3_open_v2(qPrintable(dir + "/Invoice.db"), &inv, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_open_v2(qPrintable(dir + "/Item.db"), &itm, SQLITE_OPEN_READONLY, nullptr);
    RawSums s;
    s.claims = single(inv, "SELECT SUM(BDUE) FROM Invoice WHERE BDUE > 0");
    sqlite3_stmt* first = nullptr;
    sqlite3_prepare_v2(inv,
                       "SELECT PRV, PAT, INV FROM Invoice WHERE BDUE > 0 ORDER BY PRV, PAT, DATE, tiebreak LIMIT 1",
                       -1, &first, nullptr);
    if (sqlite3_step(first) == SQLITE_ROW) {
        const std::vector<long long> claim{sqlite3_column_int64(first, 0), sqlite3_column_int64(first, 1),
                                           sqlite3_column_int64(first, 2)};
        s.services = single(itm,
                            "SELECT SUM(FEE) FROM Item WHERE " kLinesOfClaim
                            " AND FEE > 0 AND CAST(CPT AS INTEGER) <> 4",
                            claim);
        s.payments = single(itm,
                            "SELECT SUM(FEE) FROM Item WHERE " kLinesOfClaim
                            " AND (FEE <= 0 OR CAST(CPT AS INTEGER) = 4)",
                            claim);
    }
    sqlite3_finalize(first);
    sqlite3_close(inv);
    sqlite3_close(itm);
    return s;
}

// ---------------------------------------------------------------- window

// Events are delivered until `done`; no sleeping between checks.
void until(const std::function<bool()>& done)
{
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

QString cents2(long long c) { return platform::Picture::from("@n-26.2").format(cents(c)); }

// The window is open when every total is shown and the line lists follow
// the highlighted claim.
bool filled(const status::AccountStatusWindow& w)
{
    return !w.shown("TOTAL1").isEmpty() && !w.shown("TOTAL2").isEmpty() && !w.shown("TOTAL3").isEmpty() &&
           !w.shown("ITM:INV").isEmpty();
}

QString highlightedClaim(const status::AccountStatusWindow& w)
{
    const auto& e = w.claims()->engine();
    return platform::Picture::from("@n07").format(e.value(e.highlighted(), 2));
}

// Child process: prints "what wall cpu peakMB" lines.
int child(const QString& what, const QString& root)
{
    const QString dir = platform::RootDir(root).dataDir();
    if (what == QLatin1String("--raw")) {
        std::vector<Time> runs;
        RawSums s;
        for (int i = 0; i < kRuns; ++i) runs.push_back(timed([&] { s = rawSums(dir); }));
        const Time m = median(runs);
        std::printf("raw %f %f %f\n", m.wall, m.cpu, peakMb());
        std::printf("sums %s|%s|%s\n", qPrintable(cents2(s.claims).trimmed()), qPrintable(cents2(s.services).trimmed()),
                    qPrintable(cents2(s.payments).trimmed()));
        return 0;
    }
    // A running program has drawn windows and lists before: Qt's first use
    // of its fonts, glyphs and styles is paid here, on a small practice.
    data::setDataDirectory(platform::RootDir(QFileInfo(root).dir().filePath(QString::number(kWarmUp))).dataDir());
    {
        status::AccountStatusWindow warm(status::StatusKind::CurrentAccounts);
        warm.show();
        until([&] { return filled(warm); });
        for (int tab = 0; tab < 3; ++tab) {
            warm.sheet()->setCurrentIndex(tab);
            warm.grab();
        }
    }
    data::setDataDirectory(dir);
    std::vector<Time> opens;
    std::unique_ptr<status::AccountStatusWindow> w;
    for (int i = 0; i < kRuns; ++i) {
        w.reset();
        opens.push_back(timed([&] {
            w = std::make_unique<status::AccountStatusWindow>(status::StatusKind::CurrentAccounts);
            w->show();
            until([&] { return filled(*w); });
        }));
    }
    // The first open of the files in the process, then the others: the
    // files' open check comes once while they stay unchanged.
    const Time first = opens.front();
    const Time open = median({opens.begin() + 1, opens.end()});
    std::printf("first %f %f %f\n", first.wall, first.cpu, peakMb());
    std::printf("open %f %f %f\n", open.wall, open.cpu, peakMb());
    std::printf("sums %s|%s|%s\n", qPrintable(w->shown("TOTAL1")), qPrintable(w->shown("TOTAL2")),
                qPrintable(w->shown("TOTAL3")));
    w->grab().save(QStringLiteral("/tmp/bench-status-%1.png").arg(QDir(root).dirName()));

    QTableView* list = w->claims()->list();
    const Time moves = timed([&] {
        for (int i = 0; i < kMoves; ++i) {
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QCoreApplication::sendEvent(list, &down);
            const QString claim = highlightedClaim(*w);
            until([&] { return w->shown("ITM:INV") == claim && filled(*w); });
        }
    });
    std::printf("move %f %f %f\n", moves.wall / kMoves, moves.cpu / kMoves, peakMb());
    std::printf("at %s\n", qPrintable(highlightedClaim(*w)));
    return 0;
}

struct Figures {
    Time time;
    double peak = 0;
    QString sums;
};

std::map<QString, Figures> measure(const QStringList& args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    std::map<QString, Figures> out;
    if (p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(args.join(' ')), p.readAllStandardError().constData());
        return out;
    }
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> v = line.split(' ');
        if (v.size() == 4) out[QString::fromLatin1(v[0])] = {{v[1].toDouble(), v[2].toDouble()}, v[3].toDouble(), {}};
        else if (v.size() == 2) out[QString::fromLatin1(v[0])].sums = QString::fromLatin1(v[1]);
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && (args[1] == QLatin1String("--raw") || args[1] == QLatin1String("--window")))
        return child(args[1], args[2]);
    QString base = QStringLiteral("/tmp/kestrel-bench-status");
    if (args.size() == 3 && args[1] == QLatin1String("--data")) base = args[2];
    buildRoot(base, kWarmUp);
    const QStringList roots = {buildRoot(base, 2000), buildRoot(base, 200000)};

    std::map<QString, Figures> moveAt;
    for (const QString& root : roots) {
        auto raw = measure({QStringLiteral("--raw"), root});
        auto win = measure({QStringLiteral("--window"), root});
        const Figures &r = raw["raw"], &f = win["first"], &o = win["open"], &m = win["move"];
        moveAt[root] = m;
        std::printf("%s claims (%d lines):\n", qPrintable(QDir(root).dirName()),
                    QDir(root).dirName().toInt() * kLinesPerClaim);
        for (auto [what, x] : {std::pair{"open window, first    ", &f}, {"open window, again    ", &o},
                               {"raw SQLite (3 sums)   ", &r}})
            std::printf("  %s : %8.1f ms wall %8.1f ms CPU, peak %6.1f MB\n", what, x->time.wall * 1e3,
                        x->time.cpu * 1e3, x->peak);
        std::printf("  open / raw             : first %.2fx wall %.2fx CPU, again %.2fx wall %.2fx CPU (goal <= 2x)\n",
                    f.time.wall / r.time.wall, f.time.cpu / r.time.cpu, o.time.wall / r.time.wall,
                    o.time.cpu / r.time.cpu);
        std::printf("  totals window | raw    : %s | %s%s\n", qPrintable(win["sums"].sums), qPrintable(raw["sums"].sums),
                    win["sums"].sums == raw["sums"].sums ? "" : "   MISMATCH");
        std::printf("  move (Down, lists refilled): %6.2f ms wall %6.2f ms CPU per move, peak %6.1f MB\n",
                    m.time.wall * 1e3, m.time.cpu * 1e3, m.peak);
    }
    const Figures &small = moveAt[roots[0]], &large = moveAt[roots[1]];
    std::printf("move at 200,000 / at 2,000: %.2fx wall %.2fx CPU (goal <= 1.5x)\n", large.time.wall / small.time.wall,
                large.time.cpu / small.time.cpu);
    return 0;
}
