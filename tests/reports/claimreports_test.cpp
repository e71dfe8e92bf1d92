// The claim form procedures over real record files: whole layouts compared
// with checked-in files (tests/reports/expected), the single-claim and batch
// selections, the alignment offset, a failed read, and the runs started from
// a window (no preview when nothing prints, Cancel, the preview with Exit).
#include "reports/claimalignment.h"
#include "reports/claimprint.h"
#include "reports/claimreports.h"
#include "reports/layoutwriter.h"
#include "reports/previewwindow.h"
#include "shell/callprotocol.h"
#include "shell/printersettings.h"

#include "support/previewexit.h"
#include "support/guiactions.h"
#include "support/records.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::reports;
using test::addRecord;

namespace {

const QDate Today(2026, 12, 8);

platform::Decimal money(const char* text) { return *platform::Decimal::parse(text); }

// A practice with one provider, patient 7 and the records a claim refers to:
//  1: seven service lines and a payment; every header box filled; 11d both,
//     SSN, outside lab "Y" without a lab charge; line 3's rendering missing
//  2: no lines; plan code "9", no other plan, neither 11d, EIN, a lab charge;
//     nothing due
//  3: only receivables lines       4: no primary insured
//  5: one line, a credit balance (prints in the batch)
class ClaimReports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data::setDataDirectory(dir.path()));
        data::clearAllBuffers();
        addPractice();
        addClaim(1, "11", "21", "700.00", [] {
            data::INV.F11DY.set("Y");
            data::INV.F11DN.set("N");
            data::INV.F25X.set("SSN");
            data::INV.OUTLAB.set("Y");
            data::INV.F10A.set("Y");
            data::INV.F27.set("Y");
            data::INV.F13.set("Y");
        });
        const char* fees[] = {"100.00", "25.50", "40.00", "1234.56", "0.00", "60.00", "75.25"};
        for (int i = 0; i < 7; ++i)
            addLine(1, QString("202401%1").arg(i + 10).toStdString(), i == 6 ? "99215" : "9921" + std::to_string(i),
                    fees[i], i == 2 ? "9999999999" : "1112223330");
        addLine(1, "20240301", "00001", "-50.00", "1112223330");
        addClaim(2, "12", "0", "0.00", [] {
            data::INV.F25X.set("EIN");
            data::INV.OUTLAB.set("N");
            data::INV.LABCHARGE.set(money("12.50"));
            data::INV.AUTHSIGN.set("N");
        });
        addClaim(3, "11", "0", "-5.00");
        addLine(3, "20240105", "00002", "-5.00", "");
        addClaim(4, "0", "0", "50.00");
        addLine(4, "20240105", "99213", "50.00", "");
        addClaim(5, "11", "0", "-20.00");
        addLine(5, "20240201", "99212", "45.00", "1112223330");
    }
    void TearDown() override { data::setDataDirectory({}); }

    void addPractice()
    {
        addRecord(data::file::Provider, [] {
            data::PRV.PRV.set(1);
            data::PRV.PNAME.set("WELBY MARCUS MD");
            data::PRV.GIDX.set("G");
            data::PRV.GNAME.set("WELBY GROUP PRACTICE");
            data::PRV.BADD1.set("1 CLINIC WAY");
            data::PRV.BADD2.set("SPRINGFIELD IL 62701");
            data::PRV.BPAREACODE.set("217");
            data::PRV.BPHONE.set("5550100");
            data::PRV.F33A.set("1234567893");
            data::PRV.F33B1.set("ZZ");
            data::PRV.F33B2.set("207Q00000X");
        });
        test::addPatient(7, "DOE, JANE", [] {
            data::PAT.BDATE.set("19800704");
            data::PAT.SEX.set("F");
            data::PAT.ADD1.set("12 ELM ST");
            data::PAT.ADD2.set("SPRINGFIELD");
            data::PAT.ADD3.set("IL");
            data::PAT.ADD4.set("62701");
            data::PAT.HAREA.set("217");
            data::PAT.HPHON.set("5550123");
        });
        addInsured1("00000000011", "1", "MEDICARE PART B");
        addInsured1("00000000012", "9", "NO SUCH PAYER");
        addRecord(data::file::Insured2, [] {
            data::IN2.INS2ID.set("00000000021");
            data::IN2.INS2PLAN.set("3");
            data::IN2.INS2PATREL2INS.set("2");
            data::IN2.INS2NAME.set("DOE, JOHN");
            data::IN2.INS2POLICY.set("TRI555");
            data::IN2.INS2F9B.set("F9B TEXT");
            data::IN2.INS2F9C.set("F9C TEXT");
            data::IN2.INS2CARNAME.set("TRICARE EAST");
            data::IN2.INS2SEX.set("M");
        });
        for (const char* name : {"MEDICARE PART B", "TRICARE EAST"})
            addRecord(data::file::Payer, [name] {
                data::HIC.HICNAME.set(name);
                data::HIC.HICADD1.set("PO BOX 6000");
                data::HIC.HICADD3.set("SPRINGFIELD IL 62704");
            });
        addRecord(data::file::Referring, [] {
            data::REF.F17ID.set("R1");
            data::REF.F17Q.set("DN");
            data::REF.F17R.set("SMITH JOHN");
            data::REF.F17AQ.set("0B");
            data::REF.F17A.set("LIC778");
            data::REF.F17B.set("1457382910");
        });
        addRecord(data::file::Facility, [] {
            data::FAC.FACILITYID.set("00000000031");
            data::FAC.FACILTYNAME.set("SPRINGFIELD CLINIC");
            data::FAC.FACILITYADD1.set("2 HOSPITAL DR");
            data::FAC.FACILITYADD2.set("SPRINGFIELD IL 62702");
            data::FAC.FACILITYNPI.set("1987654321");
            data::FAC.FACILITYQLN.set("ZZ");
            data::FAC.FACILITYNNPI.set("FAC77");
        });
        addRecord(data::file::Rendering, [] {
            data::REN.F24J.set("1112223330");
            data::REN.F24JNAME.set("NURSE ANN");
            data::REN.F24JQ.set("1C");
            data::REN.F24JNNPI.set("RN4411");
        });
    }
    void addInsured1(const char* id, const char* plan, const char* payer)
    {
        addRecord(data::file::Insured1, [&] {
            data::IN1.INS1ID.set(id);
            data::IN1.INS1PLAN.set(plan);
            data::IN1.INS1PATREL2INS.set("1");
            data::IN1.INS1IDNO.set("1EG4TE5MK72");
            data::IN1.INS1NAME.set("DOE, JANE");
            data::IN1.INS1ADD1.set("12 ELM ST");
            data::IN1.INS1POLICY.set("GRP100");
            data::IN1.INS1DOB.set("19800704");
            data::IN1.INS1SEX.set("F");
            data::IN1.INS1CARNAME.set(payer);
            data::IN1.INS1F11B.set("Y4");
            data::IN1.INS1F11B1.set("CLAIM123");
        });
    }
    void addClaim(long long inv, const char* primary, const char* secondary, const char* due,
                  const test::Fill& more = {})
    {
        addRecord(data::file::Invoice, [&] {
            data::INV.PRV.set(1);
            data::INV.PAT.set(7);
            data::INV.INV.set(inv);
            data::INV.PRIMARY.set(std::string(11 - std::strlen(primary), '0') + primary);
            data::INV.SECONDARY.set(std::string(11 - std::strlen(secondary), '0') + secondary);
            data::INV.BDUE.set(money(due));
            data::INV.F17ID.set("R1");
            data::INV.F32.set("00000000031");
            data::INV.F19.set("CLAIM " + std::to_string(inv));
            data::INV.AUTHSIGN.set("SIGNATURE ON FILE");
            data::INV.AUTHDATE.set("20240102");
            data::INV.F14A.set("20231231");
            data::INV.F14Q.set("431");
            data::INV.DX1.set("E119");
            data::INV.DX5.set("I10");
            data::INV.F21IND.set("0");
            if (more) more();
        });
    }
    void addLine(long long inv, const std::string& dos, const std::string& cpt, const char* fee, const char* rendering)
    {
        addRecord(data::file::Item, [&] {
            data::ITM.PRV.set(1);
            data::ITM.PAT.set(7);
            data::ITM.INV.set(inv);
            data::ITM.DOSF.set(dos);
            data::ITM.DOST.set(dos);
            data::ITM.POS.set("11");
            data::ITM.CPT.set(cpt);
            data::ITM.MOD1.set("25");
            data::ITM.DES.set("LINE " + cpt);
            data::ITM.DXL.set("ABCDE");
            data::ITM.FEE.set(money(fee));
            data::ITM.QTY.set("1");
            data::ITM.F24J.set(rendering);
        });
    }

    ClaimRunSettings settings(QPoint offset = {}) const { return {dir.path(), Today, offset, {}}; }

    // The pages one procedure prints, as the caller at entry would start it.
    std::vector<Page> print(const char* name, qint64 claim, QPoint offset = {})
    {
        const ClaimVariant* v = claimVariant(name);
        PageList pages;
        ReportRun run(pages);
        ClaimEntry entry;
        if (v->batch)
            printClaims(*v, nullptr, settings(offset), run);
        else if (readClaimEntry(dir.path(), claim, &entry) && entryAllowsPrinting(*v, entry))
            printClaims(*v, &entry, settings(offset), run);
        return std::move(pages.pages);
    }

    test::TempDir dir;
};

QString layout(const std::vector<Page>& pages)
{
    QString out;
    for (size_t i = 0; i < pages.size(); ++i)
        out += layoutLines(pages[i], int(i + 1));
    return out;
}

// Compares with the checked-in file line by line, naming the first difference.
void expectLayout(const QString& actual, const char* file)
{
    const QString path = QStringLiteral(KESTREL_EXPECTED_DIR "/") + file;
    QFile f(path);
    if (qEnvironmentVariableIsSet("KESTREL_UPDATE_EXPECTED")) {
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(actual.toUtf8());
        return;
    }
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QStringList want = QString::fromUtf8(f.readAll()).split('\n');
    const QStringList got = actual.split('\n');
    for (qsizetype i = 0; i < std::min(want.size(), got.size()); ++i)
        ASSERT_EQ(got[i], want[i]) << file << " line " << i + 1;
    EXPECT_EQ(got.size(), want.size()) << file;
}

QString at(const Page& page, int x, int y)
{
    for (const PlacedText& t : page.texts)
        if (t.x == x && t.y == y)
            return t.text;
    return QStringLiteral("<none>");
}

} // namespace

TEST_F(ClaimReports, SingleClaimFormsMatchTheirExpectedLayouts)
{
    // Claim 1 on its primary and on its other plan: two forms each; claim 2
    // without lines: one form, empty box 24, blank box 28.
    QString all;
    for (auto [name, claim] : {std::pair{"cms1", 1}, {"cms2", 1}, {"cms1", 2}}) {
        const std::vector<Page> pages = print(name, claim);
        all += QStringLiteral("# %1 claim %2: %3 page(s)\n").arg(name).arg(claim).arg(pages.size()) + layout(pages);
        for (const Page& p : pages)
            EXPECT_TRUE(p.background) << name;  // the form is drawn on blank paper
    }
    expectLayout(all, "claims-single.csv");
    // To look at: the first form on blank paper and for pre-printed forms.
    for (const char* name : {"cms1", "cms1a"}) {
        QImage image(1275, 1650, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setDotsPerMeterX(5906);  // 150 dpi
        image.setDotsPerMeterY(5906);
        QPainter painter(&image);
        scaleToMils(painter, image);
        paintPage(print(name, 1).front(), painter);
        image.save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/claimform-" + name + ".png");
    }

    EXPECT_TRUE(print("cms1", 3).empty());  // only receivables lines
    EXPECT_TRUE(print("cms1", 4).empty());  // no primary insured
    EXPECT_TRUE(print("cms2", 2).empty());  // no other plan
    EXPECT_TRUE(print("cms1", 99).empty());

    // The marks follow what the caller held at entry, the texts the files.
    ClaimEntry entry;
    ASSERT_TRUE(readClaimEntry(dir.path(), 1, &entry));
    entry.inv.F27.set("N");
    entry.inv.F19.set("NOT PRINTED");
    PageList pages;
    ReportRun run(pages);
    printClaims(*claimVariant("cms1"), &entry, settings(), run);
    ASSERT_EQ(pages.pages.size(), 2u);
    EXPECT_EQ(at(pages.pages[0], 4533, 9469), "X");
    EXPECT_EQ(at(pages.pages[0], 4033, 9469), "<none>");
    EXPECT_EQ(at(pages.pages[0], 333, 6135), "CLAIM 1");
}

TEST_F(ClaimReports, BatchPrintsEveryClaimWithPrimaryAndBalanceOnItsOwnForms)
{
    const std::vector<Page> pages = print("cms3", 0);
    // Claim 1 (two forms) and claim 5 (credit balance); 2 owes nothing,
    // 3 has only receivables lines, 4 no primary insured.
    expectLayout(layout(pages), "claims-batch.csv");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(at(pages[2], 3190, 9448), "00000005");
}

TEST_F(ClaimReports, AlignmentMovesEveryDataItemOfPreprintedFormsAndNeverTheForm)
{
    const QPoint offset(120, -40);
    const std::vector<Page> blank = print("cms1", 1, offset), preprinted = print("cms1a", 1, offset);
    ASSERT_EQ(blank.size(), 2u);
    ASSERT_EQ(preprinted.size(), 2u);
    for (size_t p = 0; p < blank.size(); ++p) {
        EXPECT_FALSE(preprinted[p].background);  // nothing drawn under pre-printed data
        ASSERT_EQ(blank[p].texts.size(), preprinted[p].texts.size());
        for (size_t i = 0; i < blank[p].texts.size(); ++i) {
            const PlacedText &b = blank[p].texts[i], &a = preprinted[p].texts[i];
            EXPECT_EQ(QPoint(a.x, a.y), QPoint(b.x, b.y) + offset) << a.text.toStdString();
        }
    }
    // The test page: the form drawn, the sample claim moved.
    const Page test = alignmentTestPage(offset, Today), still = alignmentTestPage({}, Today);
    EXPECT_TRUE(test.background);
    EXPECT_EQ(at(test, 313 + 120, 1167 - 40), "XXX");
    EXPECT_EQ(at(still, 313, 1167), "XXX");

    // Kept in the INI file, clamped to half an inch.
    const QString ini = dir.file("KESTRI~1.INI");
    EXPECT_EQ(claimFormOffset(ini), QPoint());
    ASSERT_TRUE(saveClaimFormOffset(ini, {-30, 900}));
    EXPECT_EQ(claimFormOffset(ini), QPoint(-30, MaxClaimOffset));

    // The dialog starts from the kept offsets; OK keeps what was typed.
    shell::PrinterSettings printer;
    AlignmentDialog dialog(ini, printer);
    dialog.show();
    EXPECT_EQ(dialog.offset(), QPoint(-30, MaxClaimOffset));
    dialog.horizontal()->setFocus();
    dialog.horizontal()->selectAll();
    QTest::keyClicks(dialog.horizontal(), "75");
    dialog.grab().save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/claimalignment.png");
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(claimFormOffset(ini), QPoint(75, MaxClaimOffset));

    // Reached from "&Printer Setup ...".
    QWidget* openedOver = nullptr;
    printer.setAlignment([&openedOver](QWidget* over) { openedOver = over; });
    test::whenModal([](QWidget* setUp) {
        for (auto* button : setUp->findChildren<QPushButton*>())
            if (button->text() == "&Alignment ...")
                button->click();
        static_cast<QDialog*>(setUp)->reject();
    });
    printer.setUp(nullptr);
    EXPECT_NE(openedOver, nullptr);
}

TEST_F(ClaimReports, FailedReadNamesItsFileAndKeepsThePagesPrinted)
{
    test::ScriptedMessages messages;
    ClaimRunSettings s = settings();
    s.readFailed = showReadFailure;
    PageList pages;
    ReportRun run(pages);
    // The second claim read in full is 5; its patient cannot be read.
    platform::faults::failOn(platform::faults::Operation::Read, "Patient", 2, platform::errc::DriverError);
    printClaims(*claimVariant("cms3"), nullptr, s, run);
    platform::faults::clear();
    EXPECT_EQ(pages.pages.size(), 2u);
    ASSERT_EQ(messages.numbers(), std::vector<int>{35});
    EXPECT_TRUE(messages.shown()[0].text.contains("from the Patient file")) << messages.shown()[0].text.toStdString();
}

TEST_F(ClaimReports, WindowRunsShowThePreviewOnlyWhenSomethingPrints)
{
    // Ends at entry: nothing shown at all.
    EXPECT_EQ(startClaimReport("cms2", 2, nullptr), nullptr);
    EXPECT_EQ(startClaimReport("cms9", 1, nullptr), nullptr);

    // Only receivables lines: the progress window closes, no preview.
    ReportRunner* runner = startClaimReport("cms1a", 3, nullptr);
    ASSERT_NE(runner, nullptr);
    QSignalSpy ended(runner, &ReportRunner::finished);
    ASSERT_TRUE(ended.wait(30000));
    EXPECT_EQ(ended[0][0].value<ReportRunner::Outcome>(), ReportRunner::Outcome::NoPages);

    // Cancel: no preview, nothing printed.
    runner = startClaimReport("cms3", 0, nullptr);
    QPointer<ReportRunner> alive = runner;
    QSignalSpy cancelled(runner, &ReportRunner::finished);
    QTest::mouseClick(runner->progressWindow()->cancelButton(), Qt::LeftButton);
    ASSERT_EQ(cancelled.size(), 1);
    EXPECT_EQ(cancelled[0][0].value<ReportRunner::Outcome>(), ReportRunner::Outcome::Cancelled);
    QTRY_VERIFY_WITH_TIMEOUT(!alive, 30000);  // the worker has let go of the files
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Claim 1 from the buffers a browser left: two pages in the preview; Exit.
    data::INV.INV.set(1);
    int previewPages = 0;
    test::exitNextPreview([&previewPages](PreviewWindow& p) { previewPages = p.state().pageCount(); });
    runner = startClaimReport("cms1", 1, nullptr);
    QSignalSpy shown(runner, &ReportRunner::finished);
    ASSERT_TRUE(shown.wait(30000));
    EXPECT_EQ(previewPages, 2);
    EXPECT_EQ(shell::CallResponse, shell::Response::Cancelled);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
