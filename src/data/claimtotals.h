#pragma once
// Claim totals and balances: the stored money figures of a claim and of a
// patient, and the rules that recompute them from the lines.
//
//   INV:TFEE      sum of ITM:FEE over the claim's service lines
//   INV:TPAY      sum of ITM:FEE over the claim's transaction lines (<= 0)
//   INV:TADJ      sum of ITM:ADJ over the claim's transaction lines (<= 0)
//   INV:BDUE      INV:TFEE + INV:TADJ + INV:TPAY, as the claim holds them
//   PAT:NOWBALAN  sum of the stored INV:BDUE of the patient's claims
//
// A transaction line is a line whose ITM:CPT names one of the five
// transaction codes; the codes are compared as numbers, the way the filter
// expressions compare them ("00003", "000003" and "3" are the same code).
// A service line is any other line whose charge is at least 0.00: a
// negative charge is never a service and never counts anywhere.
//
// All sums are exact decimals with two places. Each window writes only the
// figures it owns (the claim form INV:TFEE, the receivables window INV:TPAY
// and INV:TADJ, both INV:BDUE; the account windows PAT:NOWBALAN), so these
// functions compute and the callers store.

#include "platform/decimal.h"

#include <optional>
#include <string_view>

namespace kestrel::data {

struct InvoiceRecord;
struct ItemRecord;

// The five transaction codes of the receivables lines.
enum class TransactionCode : int {
    PrimaryPayment = 1,  // "00001"
    OtherPayment = 2,    // "00002"
    CashPayment = 3,     // "00003"
    Refund = 4,          // "00004"
    WriteOff = 5,        // "00005"
};

// The transaction code that a line's ITM:CPT names, if any.
std::optional<TransactionCode> transactionCode(std::string_view cpt);
bool isTransactionLine(std::string_view cpt);
// Counts in the claim's charges and in its service list.
bool isServiceLine(std::string_view cpt, const platform::Decimal& fee);

// Money with the two places every stored figure has.
platform::Decimal money(const platform::Decimal& d);

// The running sums over one claim's lines.
struct ClaimFigures {
    platform::Decimal charges = platform::Decimal::fromUnits(0, 2);      // -> INV:TFEE
    platform::Decimal payments = platform::Decimal::fromUnits(0, 2);     // -> INV:TPAY
    platform::Decimal adjustments = platform::Decimal::fromUnits(0, 2);  // -> INV:TADJ

    void add(const ItemRecord& line);
};

// INV:BDUE from the figures the claim holds now.
platform::Decimal balanceDue(const InvoiceRecord& claim);
void setBalanceDue(InvoiceRecord& claim);

// Walks the lines of the claim now in the INV buffer (ITM:INVPATPRVKEY) and
// sums them. The ITM buffer is left as it was. A read error other than the
// end of the file shows message 35 for "Item" and gives nothing. The caller
// uses the Item file.
std::optional<ClaimFigures> sumClaimLines();

// The sum of the stored INV:BDUE of every claim of the patient now in the
// PAT buffer (INV:PATPRVINVKEY). The INV buffer is left as it was. A read
// error shows message 35 for "Invoice" and gives nothing. The caller uses
// the Invoice file.
std::optional<platform::Decimal> patientBalance();

} // namespace kestrel::data
