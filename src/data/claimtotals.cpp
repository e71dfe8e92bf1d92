#include "data/claimtotals.h"

#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "platform/recordfile.h"

#include <QString>

#include <cstring>

namespace kestrel::data {

using platform::Decimal;
namespace errc = platform::errc;

namespace {

constexpr int kMoneyPlaces = 2;

// Keeps a shared buffer as it was while a walk runs through it.
template <typename Record>
class KeptBuffer {
public:
    explicit KeptBuffer(Record& r) : record_(r), kept_(r) {}
    ~KeptBuffer() { std::memcpy(&record_, &kept_, sizeof(Record)); }
    KeptBuffer(const KeptBuffer&) = delete;
    KeptBuffer& operator=(const KeptBuffer&) = delete;

private:
    Record& record_;
    Record kept_;
};

} // namespace

std::optional<TransactionCode> transactionCode(std::string_view cpt)
{
    const Decimal n = Decimal::leadingNumber(cpt);
    for (int code = int(TransactionCode::PrimaryPayment); code <= int(TransactionCode::WriteOff); ++code)
        if (n == Decimal(code)) return TransactionCode(code);
    return std::nullopt;
}

bool isTransactionLine(std::string_view cpt) { return transactionCode(cpt).has_value(); }

bool isServiceLine(std::string_view cpt, const Decimal& fee)
{
    return !isTransactionLine(cpt) && !fee.isNegative();
}

Decimal money(const Decimal& d) { return d.rescaled(kMoneyPlaces); }

void ClaimFigures::add(const ItemRecord& line)
{
    const Decimal fee = line.FEE.value();
    if (isTransactionLine(line.CPT.view())) {
        payments = money(payments + fee);
        adjustments = money(adjustments + line.ADJ.value());
    } else if (isServiceLine(line.CPT.view(), fee)) {
        charges = money(charges + fee);
    }
}

Decimal balanceDue(const InvoiceRecord& claim)
{
    return money(claim.TFEE.value() + claim.TADJ.value() + claim.TPAY.value());
}

void setBalanceDue(InvoiceRecord& claim) { claim.BDUE.set(balanceDue(claim)); }

std::optional<ClaimFigures> sumClaimLines()
{
    const long long prv = INV.PRV.asInt(), pat = INV.PAT.asInt(), inv = INV.INV.asInt();
    KeptBuffer kept(ITM);
    platform::RecordFile& items = recordFile(file::Item);
    clearRecord(file::Item, bytesOf(ITM));
    ITM.PRV.set(Decimal(prv));
    ITM.PAT.set(Decimal(pat));
    ITM.INV.set(Decimal(inv));
    ClaimFigures sums;
    int rc = items.set(file::Item.keyIndex("ITM:INVPATPRVKEY"));
    while (rc == errc::Ok && (rc = items.next()) == errc::Ok) {
        if (ITM.PRV.asInt() != prv || ITM.PAT.asInt() != pat || ITM.INV.asInt() != inv) return sums;
        sums.add(ITM);
    }
    if (rc == errc::NoRecord) return sums;
    standardMessage(MessageNo::RecordRetrievalError, QStringLiteral("Item"));
    return std::nullopt;
}

std::optional<Decimal> patientBalance()
{
    const long long pat = PAT.PAT.asInt();
    KeptBuffer kept(INV);
    platform::RecordFile& claims = recordFile(file::Invoice);
    clearRecord(file::Invoice, bytesOf(INV));
    INV.PAT.set(Decimal(pat));
    Decimal sum = money(Decimal(0));
    int rc = claims.set(file::Invoice.keyIndex("INV:PATPRVINVKEY"));
    while (rc == errc::Ok && (rc = claims.next()) == errc::Ok) {
        if (INV.PAT.asInt() != pat) return sum;
        sum = money(sum + INV.BDUE.value());
    }
    if (rc == errc::NoRecord) return sum;
    standardMessage(MessageNo::RecordRetrievalError, QStringLiteral("Invoice"));
    return std::nullopt;
}

} // namespace kestrel::data
