// The account statement, history and outstanding statement, read from real
// record files and compared, page by page, with the placed texts checked in
// under expected/ (set KESTREL_WRITE_EXPECTED=1 to rewrite them after a
// deliberate change of the layout, and read the difference before committing).
#include "reports/statement.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "reports/layoutwriter.h"
#include "reports/previewwindow.h"
#include "support/previewexit.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using namespace kestrel;
using namespace kestrel::reports;
using platform::Decimal;

const QDate PrintedOn(2026, 12, 8);

Decimal cents(long long c) { return Decimal::fromUnits(c, 2); }

struct Line {
    const char* dos;
    const char* cpt;
    const char* pointer;
    long long fee, adj = 0;
    const char* description = "";
};

void addLines(long long prv, long long pat, long long inv, const std::vector<Line>& lines)
{
    for (const Line& l : lines)
        test::addRecord(data::file::Item, [&] {
            data::ITM.PRV.set(prv);
            data::ITM.PAT.set(pat);
            data::ITM.INV.set(inv);
            data::ITM.DOSF.set(l.dos);
            data::ITM.CPT.set(l.cpt);
            data::ITM.DXL.set(l.pointer);
            data::ITM.DES.set(l.description);
            data::ITM.POS.set("11");
            data::ITM.FEE.set(cents(l.fee));
            data::ITM.ADJ.set(cents(l.adj));
        });
}

void addClaim(long long prv, long long pat, long long inv, const char* date, long long due = 0)
{
    test::addRecord(data::file::Invoice, [&] {
        data::INV.PRV.set(prv);
        data::INV.PAT.set(pat);
        data::INV.INV.set(inv);
        data::INV.DATE.set(date);
        data::INV.BDUE.set(cents(due));
        data::INV.DX1.set("J06.9");
        data::INV.DX2.set("R05");
        data::INV.DX12.set("Z00.00");
    });
}

void addPatient(long long pat, const char* name, long long balance)
{
    test::addPatient(pat, name, [&] {
        data::PAT.ADD1.set("4 Oak Lane");
        data::PAT.ADD2.set("Springfield");
        data::PAT.ADD3.set("IL");
        data::PAT.ADD4.set("62702");
        data::PAT.NOWBALAN.set(cents(balance));
    });
}

void addProvider(long long prv, const char* name)
{
    test::addProvider(prv, name, [] {
        data::PRV.GNAME.set("Lee Family Practice");
        data::PRV.BADD1.set("12 Elm Street");
        data::PRV.BADD2.set("Springfield IL 62701");
        data::PRV.BPAREACODE.set("217");
        data::PRV.BPHONE.set("555-0100");
        data::PRV.BFAREACODE.set("217");
        data::PRV.BFAX.set("555-0101");
    });
}

// Beside this file; a relative __FILE__ is relative to the build directory,
// the parent of the test executable's.
QDir expectedDir()
{
    const QString source = QStringLiteral(__FILE__);
    const QFileInfo here = QFileInfo(source).isAbsolute()
                               ? QFileInfo(source)
                               : QFileInfo(QCoreApplication::applicationDirPath() + "/../" + source);
    return QDir(here.dir().filePath("expected"));
}

class Statements : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data::setDataDirectory(dir.path()));
        data::clearAllBuffers();
    }

    std::vector<Page> render(StatementKind kind, qint64 claim = 0, qint64 patient = 0)
    {
        PageList pages;
        ReportRun run(pages);
        renderStatement({kind, dir.path(), claim, patient, PrintedOn}, run);
        return std::move(pages.pages);
    }

    // Compares the layout lines with expected/<name>.csv.
    void expectLayout(const std::vector<Page>& pages, const QString& name)
    {
        QString actual;
        QTextStream out(&actual);
        writeLayout(pages, out);
        out.flush();
        const QString path = expectedDir().filePath(name + ".csv");
        QFile file(path);
        if (qEnvironmentVariableIsSet("KESTREL_WRITE_EXPECTED")) {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(actual.toUtf8());
            return;
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QStringList want = QString::fromUtf8(file.readAll()).split('\n');
        const QStringList got = actual.split('\n');
        for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i)
            ASSERT_EQ(got.value(i).toStdString(), want.value(i).toStdString()) << name.toStdString() << " line " << i + 1;
    }

    test::TempDir dir;
    test::ScriptedMessages messages;
};

// Charges and receivables with their running totals; the pointers' codes;
// a long claim over two pages with its number on lines 1 and 39 only.
TEST_F(Statements, InvoiceStatementOfAClaim)
{
    addProvider(3, "Dr Ann Lee");
    addPatient(5, "Doe, Jane", 3000);
    addClaim(3, 5, 7, "20240105");
    addLines(3, 5, 7,
             {{"20240105", "99213", "2", 10000, 0, "Office visit, established patient, level three"},
              {"20240210", "00001", "B", -6000, -1000, "Primary payment"},
              {"20240211", "00005", "Z", 0, 0, "Write-off"}});
    expectLayout(render(StatementKind::Invoice, 7), "statement-invoice");

    addClaim(3, 5, 8, "20240301");
    std::vector<Line> many;
    std::vector<std::string> dates;
    for (int i = 0; i < 40; ++i)
        dates.push_back(QDate(2024, 3, 1).addDays(i).toString("yyyyMMdd").toStdString());
    for (int i = 0; i < 40; ++i)
        many.push_back({dates[size_t(i)].c_str(), "97110", "1", 100});
    addLines(3, 5, 8, many);
    expectLayout(render(StatementKind::Invoice, 8), "statement-long");

    addClaim(3, 5, 9, "20240401");  // no lines: one line with the number alone
    const std::vector<Page> bare = render(StatementKind::Invoice, 9);
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(std::count_if(bare[0].texts.begin(), bare[0].texts.end(),
                            [](const PlacedText& t) { return t.y == StatementDetailTop; }),
              1);
    EXPECT_TRUE(render(StatementKind::Invoice, 99).empty());  // no such claim
    EXPECT_TRUE(messages.shown().empty());
}

// Two providers of one patient make two groups; the outstanding statement
// leaves out a patient whose balance is not above zero, restarts its totals
// for each patient and gives each patient a page of its own.
TEST_F(Statements, HistoryAndOutstandingGroups)
{
    addProvider(1, "Dr One");
    addProvider(2, "Dr Two");
    addPatient(1, "Able, Ann", 7500);
    addPatient(2, "Baker, Bob", 0);
    addPatient(3, "Cole, Cy", 1500);
    addClaim(1, 1, 1, "20240101", 4500);
    addLines(1, 1, 1, {{"20240101", "99213", "1", 8000}, {"20240110", "00001", "", -3000, -500}});
    addClaim(2, 1, 2, "20240201", 2000);
    addLines(2, 1, 2, {{"20240201", "99214", "2", 2000}});
    addClaim(1, 2, 3, "20240301", 2000);  // a balance due, but the patient owes nothing
    addLines(1, 2, 3, {{"20240301", "99212", "1", 2000}});
    addClaim(1, 3, 4, "20240115", 1500);
    addLines(1, 3, 4, {{"20240115", "99212", "A", 1500}});
    addClaim(1, 1, 5, "20240120", 1000);
    addLines(1, 1, 5, {{"20240120", "99211", "L", 1000}});

    expectLayout(render(StatementKind::History, 0, 1), "statement-history");
    expectLayout(render(StatementKind::Outstanding), "statement-outstanding");
    EXPECT_TRUE(render(StatementKind::History, 0, 4).empty());  // a patient without claims
    EXPECT_TRUE(messages.shown().empty());
}

// A read that fails midway: message 35 for "Provider", and the pages so far
// still go out.
TEST_F(Statements, AFailedReadIsReportedAndEndsTheRun)
{
    addProvider(1, "Dr One");
    addPatient(1, "Able, Ann", 100);
    addClaim(1, 1, 1, "20240101", 100);
    addLines(1, 1, 1, {{"20240101", "99213", "1", 100}});
    addClaim(1, 1, 2, "20240102", 100);
    addLines(1, 1, 2, {{"20240102", "99213", "1", 100}});
    platform::faults::failOn(platform::faults::Operation::Read, "Item", 3, platform::errc::DriverError);
    const std::vector<Page> pages = render(StatementKind::History, 0, 1);
    platform::faults::clear();
    ASSERT_EQ(messages.numbers(), std::vector<int>{35});
    EXPECT_TRUE(messages.shown()[0].text.contains("Provider")) << messages.shown()[0].text.toStdString();
    ASSERT_EQ(pages.size(), 1u);
}

// From a window: the history of the patient in the PAT buffer renders on a
// worker and reaches the preview.
TEST_F(Statements, StartedFromAWindowReachesThePreview)
{
    addProvider(1, "Dr One");
    addProvider(2, "Dr Two");
    addPatient(1, "Able, Ann", 100);
    addClaim(1, 1, 1, "20240101", 100);
    addLines(1, 1, 1, {{"20240101", "99213", "1", 100}});
    addClaim(2, 1, 2, "20240102", 100);
    data::PAT.PAT.set(1);
    int shownPages = 0;
    test::exitNextPreview([&](PreviewWindow& p) { shownPages = p.state().pageCount(); });
    EXPECT_EQ(startStatement("balance", 0, 0, nullptr), nullptr);
    ASSERT_NE(startStatement("history", 0, 0, nullptr), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownPages != 0; }, 20000));
    EXPECT_EQ(shownPages, 2);  // one provider a page
}

} // namespace
