#pragma once
// What one opening of the claim form keeps besides the record buffers: the
// claim total of its service list, the number a new claim reserved, and the
// running engine and list.

#include "data/records.h"
#include "platform/decimal.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace kestrel::shell {
class BrowseList;
class FormEngine;
class FormWindow;
} // namespace kestrel::shell

namespace kestrel::claims {

struct ClaimSession {
    QString iniFile;
    platform::Decimal total = platform::Decimal::fromUnits(0, 2);
    long long reserved = 0;  // the number a new claim holds, 0 for a change
    // Where the lines a new claim added lie in the Item file: the claim
    // number can be changed before the claim is saved, and lines added then
    // carry the new number.
    std::vector<std::string> addedLines;
    shell::FormEngine* engine = nullptr;
    shell::BrowseList* list = nullptr;
    std::function<void()> showTotal;  // shows the claim total under the list
};

// The session of the claim form now open (null when none is).
ClaimSession* claimSession();
void setClaimSession(ClaimSession* session);

// The service list of the claim form: the claim's service lines in date
// order on page `tab` of the form, with Add, Change and Delete calling the
// service line editor; it follows the claim key at the form's refresh and
// keeps the session's claim total. For the form's onWindowBuilt.
shell::BrowseList* addServiceList(shell::FormWindow& window, int tab, const QRect& place);

// A new claim abandoned: its placeholder, every line already added under
// its number and the lines at `addedLines` (added under a number typed over
// it) are deleted in one transaction. False (reported) on failure.
bool abandonNewClaim(long long number, const std::vector<std::string>& addedLines = {});

} // namespace kestrel::claims
