// Record file driver against raw SQLite on Item-shaped files of 10,000 and
// 1,000,000 records (built once in /tmp/kestrel-bench and reused):
//   PageRead      set ITM:INVPATPRVKEY in the middle, 20 next, then 20 previous
//   RawPageRead   the same rows read with two plain SQLite statements
//   QuickScanWalk the whole file in that key order with QUICKSCAN=on
//   RawScan       the same order with one plain SQLite statement
// Goals: PageRead does not grow with the file and stays within 2x of
// RawPageRead; QuickScanWalk within 2x of RawScan.
#include "platform/dates.h"
#include "platform/fields.h"
#include "platform/fieldvalue.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>

#include <cstring>
#include <random>

using namespace kestrel::platform;

namespace {

constexpr FieldDef kFields[] = {
    {"ITM:PRV", FieldKind::Packed, 2, 0, 0},      {"ITM:PAT", FieldKind::Packed, 4, 0, 2},
    {"ITM:INV", FieldKind::Packed, 4, 0, 6},      {"ITM:DOSF", FieldKind::Date, 8, 0, 10},
    {"ITM:DOST", FieldKind::Date, 8, 0, 18},      {"ITM:POS", FieldKind::Text, 2, 0, 26},
    {"ITM:EMG", FieldKind::Text, 2, 0, 28},       {"ITM:CPT", FieldKind::Text, 7, 0, 30},
    {"ITM:MOD1", FieldKind::Text, 2, 0, 37},      {"ITM:MOD2", FieldKind::Text, 2, 0, 39},
    {"ITM:MOD3", FieldKind::Text, 2, 0, 41},      {"ITM:MOD4", FieldKind::Text, 2, 0, 43},
    {"ITM:DES", FieldKind::Text, 48, 0, 45},      {"ITM:DXL", FieldKind::Text, 8, 0, 93},
    {"ITM:FEE", FieldKind::Packed, 5, 2, 101},    {"ITM:QTY", FieldKind::Text, 3, 0, 106},
    {"ITM:EPSDTS", FieldKind::Text, 2, 0, 109},   {"ITM:EPSDTU", FieldKind::Text, 1, 0, 111},
    {"ITM:NPI", FieldKind::Text, 11, 0, 112},     {"ITM:ALW", FieldKind::Packed, 5, 2, 123},
    {"ITM:ADJ", FieldKind::Packed, 5, 2, 128},    {"ITM:DED", FieldKind::Packed, 5, 2, 133},
    {"ITM:NONCOV", FieldKind::Packed, 5, 2, 138}, {"ITM:COB", FieldKind::Packed, 5, 2, 143},
    {"ITM:EXP", FieldKind::Text, 24, 0, 148},     {"ITM:F24J", FieldKind::Text, 10, 0, 172},
};
constexpr KeyDef kKeys[] = {
    {"ITM:PRVKEY", {"ITM:PRV"}, NoCase | ExcludesEmpty},
    {"ITM:F24JKEY", {"ITM:F24J"}, NoCase | ExcludesEmpty},
    {"ITM:INVDOSKEY", {"ITM:INV", "ITM:DOSF"}, ExcludesEmpty},
    {"ITM:PATPRVDOSKEY", {"ITM:PAT", "ITM:PRV", "ITM:DOSF"}, NoCase | ExcludesEmpty},
    {"ITM:DOSKEY", {"ITM:DOSF"}, NoCase | ExcludesEmpty},
    {"ITM:INVPATPRVKEY", {"ITM:PRV", "ITM:PAT", "ITM:INV", "ITM:DOSF"}, NoCase | ExcludesEmpty},
};
constexpr FileDef kItem{"Item", "ITM", "Item.db", 182, kFields, kKeys};
static_assert(layoutIsConsistent(kItem));
constexpr int kKey = 5;  // ITM:INVPATPRVKEY

const char* kWhere = "NOT (\"PRV\" = 0 AND \"PAT\" = 0 AND \"INV\" = 0 AND \"DOSF\" = '')";

void set(unsigned char* rec, const char* label, FieldValue v)
{
    writeField(*kItem.field(label), rec, v);
}

// The directory of a file with `count` records, built on first use.
QString itemFile(int count)
{
    QString dir = QStringLiteral("/tmp/kestrel-bench/item-%1").arg(count);
    if (QFile::exists(dir + "/complete")) return dir;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    unsigned char rec[182];
    RecordFile file(kItem, rec);
    file.setDirectory(dir);
    file.create();
    file.open();
    std::mt19937 rng(42);
    const int claims = count / 4;
    for (int done = 0; done < count;) {
        Transaction t({&file});
        t.start();
        for (int k = 0; k < 20000 && done < count; ++k, ++done) {
            clearRecord(kItem, rec);
            int claim = int(rng() % unsigned(claims)) + 1;
            set(rec, "ITM:PRV", Decimal(claim % 20 + 1));
            set(rec, "ITM:PAT", Decimal((claim * 7) % 90000 + 1));
            set(rec, "ITM:INV", Decimal(claim));
            int day = int(rng() % 3000);
            std::string date = dates::storedFromDay(dates::dayFromYmd({2015, 1, 1}) + day);
            set(rec, "ITM:DOSF", date);
            set(rec, "ITM:DOST", date);
            set(rec, "ITM:POS", std::string("11"));
            set(rec, "ITM:CPT", std::to_string(99200 + int(rng() % 20)));
            set(rec, "ITM:DES", std::string("OFFICE/OUTPATIENT VISIT EST"));
            set(rec, "ITM:DXL", std::string("A"));
            set(rec, "ITM:FEE", Decimal::fromUnits(std::int64_t(rng() % 50000), 2));
            set(rec, "ITM:QTY", std::string("1"));
            set(rec, "ITM:F24J", std::string("REN") + std::to_string(rng() % 50));
            file.add();
        }
        t.commit();
    }
    file.close();
    QFile marker(dir + "/complete");
    marker.open(QIODevice::WriteOnly);
    return dir;
}

// Key values of the record in the middle of the key order.
std::vector<unsigned char> middle(const QString& dir, int count)
{
    std::vector<unsigned char> rec(182);
    RecordFile file(kItem, rec.data());
    file.setDirectory(dir);
    file.open();
    file.send("QUICKSCAN=on");
    file.set(kKey, RecordFile::Start::AtEnds);
    for (int i = 0; i < count / 2; ++i) file.next();
    return rec;
}

void PageRead(benchmark::State& state)
{
    int count = int(state.range(0));
    QString dir = itemFile(count);
    auto mid = middle(dir, count);
    unsigned char rec[182];
    RecordFile file(kItem, rec);
    file.setDirectory(dir);
    if (file.open()) state.SkipWithError("open failed");
    for (auto _ : state) {
        std::memcpy(rec, mid.data(), sizeof rec);
        file.set(kKey);
        for (int i = 0; i < 20; ++i) file.next();
        for (int i = 0; i < 20; ++i) file.previous();
        benchmark::DoNotOptimize(rec[0]);
    }
}

// Reads every column of a row, as the driver must.
void consume(sqlite3_stmt* st)
{
    int n = sqlite3_column_count(st);
    for (int c = 0; c < n; ++c) {
        if (sqlite3_column_type(st, c) == SQLITE_INTEGER) benchmark::DoNotOptimize(sqlite3_column_int64(st, c));
        else benchmark::DoNotOptimize(sqlite3_column_text(st, c));
    }
}

std::string columns()
{
    std::string s = "rid, version";
    for (const auto& f : kFields) s += ", \"" + std::string(f.name()) + "\"";
    return s;
}

void RawPageRead(benchmark::State& state)
{
    int count = int(state.range(0));
    QString dir = itemFile(count);
    auto mid = middle(dir, count);
    auto value = [&](const char* label) {
        return packed::decode(mid.data() + kItem.field(label)->offset, kItem.field(label)->size, 0).units();
    };
    std::string dos(reinterpret_cast<const char*>(mid.data()) + 10, 8);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(dir + "/Item.db").constData(), &db);
    std::string sel = "SELECT " + columns() + " FROM Item WHERE " + kWhere;
    std::string fwd = sel + " AND (PRV, PAT, INV, DOSF) >= (?, ?, ?, ?) ORDER BY PRV, PAT, INV, DOSF, tiebreak LIMIT 20";
    std::string back = sel +
                       " AND (PRV, PAT, INV, DOSF, tiebreak) < (?, ?, ?, ?, ?) ORDER BY PRV DESC, PAT DESC, INV "
                       "DESC, DOSF DESC, tiebreak DESC LIMIT 20";
    sqlite3_stmt *f = nullptr, *b = nullptr;
    sqlite3_prepare_v2(db, fwd.c_str(), -1, &f, nullptr);
    sqlite3_prepare_v2(db, back.c_str(), -1, &b, nullptr);
    for (auto _ : state) {
        sqlite3_bind_int64(f, 1, value("ITM:PRV"));
        sqlite3_bind_int64(f, 2, value("ITM:PAT"));
        sqlite3_bind_int64(f, 3, value("ITM:INV"));
        sqlite3_bind_text(f, 4, dos.data(), 8, SQLITE_STATIC);
        std::int64_t last[5] = {};
        std::string lastDos;
        while (sqlite3_step(f) == SQLITE_ROW) {
            consume(f);
            for (int c = 0; c < 3; ++c) last[c] = sqlite3_column_int64(f, 2 + c);
            lastDos = reinterpret_cast<const char*>(sqlite3_column_text(f, 5));
            last[4] = sqlite3_column_int64(f, 0);
        }
        sqlite3_reset(f);
        for (int c = 0; c < 3; ++c) sqlite3_bind_int64(b, c + 1, last[c]);
        sqlite3_bind_text(b, 4, lastDos.data(), int(lastDos.size()), SQLITE_STATIC);
        sqlite3_bind_int64(b, 5, last[4]);
        while (sqlite3_step(b) == SQLITE_ROW) consume(b);
        sqlite3_reset(b);
    }
    sqlite3_finalize(f);
    sqlite3_finalize(b);
    sqlite3_close(db);
}

void QuickScanWalk(benchmark::State& state)
{
    int count = int(state.range(0));
    QString dir = itemFile(count);
    unsigned char rec[182];
    RecordFile file(kItem, rec);
    file.setDirectory(dir);
    file.open();
    for (auto _ : state) {
        file.send("QUICKSCAN=on");
        file.set(kKey, RecordFile::Start::AtEnds);
        int n = 0;
        while (file.next() == 0) ++n;
        file.send("QUICKSCAN=off");
        if (n != count) state.SkipWithError("walk missed records");
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void RawScan(benchmark::State& state)
{
    int count = int(state.range(0));
    QString dir = itemFile(count);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(dir + "/Item.db").constData(), &db);
    std::string sql = "SELECT " + columns() + " FROM Item WHERE " + kWhere + " ORDER BY PRV, PAT, INV, DOSF, tiebreak";
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    for (auto _ : state) {
        int n = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            consume(st);
            ++n;
        }
        sqlite3_reset(st);
        if (n != count) state.SkipWithError("scan missed records");
    }
    state.SetItemsProcessed(state.iterations() * count);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

} // namespace

BENCHMARK(PageRead)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(RawPageRead)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(QuickScanWalk)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(RawScan)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
