// Claim totals and balances over real claim files.
#include "data/claimtotals.h"
#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace kestrel;
using data::INV;
using data::ITM;
using data::PAT;
using platform::Decimal;
namespace file = data::file;

namespace {

Decimal money(const char* text) { return *Decimal::parse(text); }

class ClaimTotalsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folderSet);
        data::clearAllBuffers();
    }
    void TearDown() override
    {
        use.release();
        data::setDataDirectory(QString());
    }

    void addClaim(long long pat, long long inv, const char* bdue = "0")
    {
        data::clearRecord(file::Invoice, data::bytesOf(INV));
        INV.PRV.set(1);
        INV.PAT.set(pat);
        INV.INV.set(inv);
        INV.BDUE.set(money(bdue));
        ASSERT_EQ(data::recordFile(file::Invoice).add(), 0);
    }
    void addLine(long long inv, const char* cpt, const char* fee, const char* adj = "0")
    {
        data::clearRecord(file::Item, data::bytesOf(ITM));
        ITM.PRV.set(1);
        ITM.PAT.set(1);
        ITM.INV.set(inv);
        ITM.DOSF.set("20240105");
        ITM.CPT.set(cpt);
        ITM.FEE.set(money(fee));
        ITM.ADJ.set(money(adj));
        ASSERT_EQ(data::recordFile(file::Item).add(), 0);
    }
    data::ClaimFigures sumsOf(long long inv)
    {
        INV.PRV.set(1);
        INV.PAT.set(1);
        INV.INV.set(inv);
        auto sums = data::sumClaimLines();
        EXPECT_TRUE(sums.has_value());
        return sums.value_or(data::ClaimFigures{});
    }

    test::TempDir dir;
    test::ScriptedMessages messages;
    bool folderSet = data::setDataDirectory(dir.path());
    data::FileUse use{&file::Invoice, &file::Item};
};

} // namespace

TEST_F(ClaimTotalsTest, ServiceAndTransactionLinesAreToldApartByTheCodeAsANumber)
{
    using data::TransactionCode;
    EXPECT_EQ(data::transactionCode("00003"), TransactionCode::CashPayment);
    EXPECT_EQ(data::transactionCode("000004 "), TransactionCode::Refund);
    EXPECT_FALSE(data::isTransactionLine("00006"));
    EXPECT_FALSE(data::isTransactionLine("99213"));
    EXPECT_FALSE(data::isTransactionLine("       "));  // a blank code is a service with no code
    EXPECT_TRUE(data::isServiceLine("99213", money("0.00")));
    EXPECT_FALSE(data::isServiceLine("99213", money("-0.01")));
    EXPECT_FALSE(data::isServiceLine("00001", money("5.00")));
}

TEST_F(ClaimTotalsTest, ClaimFiguresAndBalancesFollowTheLines)
{
    // Claim 1: 10.10 + 20.20 + 0.00 of services; a "00003" line and a
    // negative charge are not services.
    addClaim(1, 1);
    addLine(1, "99213", "10.10");
    addLine(1, "99214", "20.20");
    addLine(1, "99215", "0.00");
    addLine(1, "99211", "-3.00");
    addLine(1, "00003", "-20.00", "-5.00");
    // Claim 2: services 80 + 20, payment 70, adjustment 10, refund 5.
    addClaim(1, 2);
    addLine(2, "99213", "80.00");
    addLine(2, "99214", "20.00");
    addLine(2, "00001", "-70.00", "-10.00");
    addLine(2, "00004", "-5.00");
    // A line of another claim of the same patient never counts.
    addLine(3, "99213", "1000.00");

    const data::ClaimFigures one = sumsOf(1);
    EXPECT_EQ(one.charges, money("30.30"));
    EXPECT_EQ(one.payments, money("-20.00"));
    EXPECT_EQ(one.adjustments, money("-5.00"));
    INV.TFEE.set(one.charges);
    INV.TPAY.set(one.payments);
    INV.TADJ.set(one.adjustments);
    data::setBalanceDue(INV);
    EXPECT_EQ(INV.BDUE.value(), money("5.30"));

    const data::ClaimFigures two = sumsOf(2);
    EXPECT_EQ(two.charges, money("100.00"));
    EXPECT_EQ(two.payments, money("-75.00"));
    EXPECT_EQ(two.adjustments, money("-10.00"));
    INV.TFEE.set(two.charges);
    INV.TPAY.set(two.payments);
    INV.TADJ.set(two.adjustments);
    EXPECT_EQ(data::balanceDue(INV), money("15.00"));

    // The walk leaves the line buffer as it found it.
    EXPECT_EQ(ITM.INV.asInt(), 3);
    EXPECT_EQ(ITM.FEE.value(), money("1000.00"));

    // The patient's balance sums the stored balances of the patient's claims
    // only; the claim buffer is left as it was.
    addClaim(1, 10, "5.30");
    addClaim(1, 11, "15.00");
    addClaim(2, 12, "99.99");
    addClaim(1, 13, "-0.45");
    PAT.PAT.set(1);
    EXPECT_EQ(data::patientBalance(), money("19.85"));
    EXPECT_EQ(INV.INV.asInt(), 13);
}
