#pragma once
// What one opening of the claim form keeps besides the record buffers: the
// claim total of its service list, the claim key the list was last filled
// for, the patient shown (read into a buffer of its own, so that the
// caller's Patient record stays as the caller left it), the number a new
// claim reserved, and the running engine and list.

#include "data/records.h"
#include "platform/decimal.h"

#include <QString>

#include <functional>

namespace kestrel::shell {
class BrowseWindow;
class FormEngine;
} // namespace kestrel::shell

namespace kestrel::claims {

struct ClaimKey {
    long long inv = -1, pat = -1, prv = -1;
    bool operator==(const ClaimKey&) const = default;
};

struct ClaimSession {
    QString iniFile;
    platform::Decimal total = platform::Decimal::fromUnits(0, 2);
    ClaimKey listedKey;
    data::PatientRecord patient{};
    long long reserved = 0;  // the number a new claim holds, 0 for a change
    shell::FormEngine* engine = nullptr;
    shell::BrowseWindow* list = nullptr;
    std::function<void()> showTotal;  // shows the claim total under the list
};

// The session of the claim form now open (null when none is).
ClaimSession* claimSession();
void setClaimSession(ClaimSession* session);

ClaimKey currentClaimKey();

// The service list of the claim form: the claim's service lines in date
// order on the given page of the form, with Add, Change and Delete calling
// the service line editor.
shell::BrowseWindow* addServiceList(QWidget* page, const QRect& place);
// Brings the list up to date with the claim in the INV buffer: rebuilt from
// the start of the claim's lines, with the total recomputed, when the claim
// key changed since it was last filled.
void followClaimKey();
// The claim total: the sum of the charges of the claim's service lines.
// A read error shows message 35 for "Item" and closes the form.
void recomputeTotal();

// A new claim abandoned: its placeholder and every line already added under
// its number are deleted in one transaction. False (reported) on failure.
bool abandonNewClaim(long long number);

} // namespace kestrel::claims
