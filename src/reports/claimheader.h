#pragma once
// The header boxes of the claim form (every box but 24, 28 and 29), placed
// from copies of one claim's records. Related records that were not found
// are passed cleared, so their boxes print blank.

#include "data/records.h"
#include "reports/page.h"

#include <QDate>

#include <vector>

namespace kestrel::reports {

struct ClaimRecords {
    data::InvoiceRecord inv{};
    data::PatientRecord pat{};
    data::ProviderRecord prv{};
    data::Insured1Record in1{};
    data::Insured2Record in2{};
    data::PayerRecord payer{};
    data::ReferringRecord ref{};
    data::FacilityRecord fac{};
};

// Which insurance drives the carrier block and the marks of boxes 1, 6 and
// the sex of 11a: the primary, or the other plan.
enum class Plan { Primary, Other };

std::vector<PlacedText> claimHeader(const ClaimRecords& r, Plan plan, const QDate& today);

} // namespace kestrel::reports
