#pragma once
// Dates. Stored as 8-character text yyyymmdd (all blanks when there is no
// date); computed with as day numbers, where 0 means "no date" and day 1 is
// 01/01/0001 (proleptic Gregorian), so later dates have larger numbers.

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::platform::dates {

struct Ymd {
    int year = 0;
    int month = 0;
    int day = 0;
};

bool isValid(int year, int month, int day);

// yyyymmdd -> day number; blank -> 0; malformed or impossible -> nullopt.
std::optional<long> dayFromStored(std::string_view yyyymmdd);
// Day number -> yyyymmdd; 0 (or less) -> 8 blanks.
std::string storedFromDay(long day);

long dayFromYmd(const Ymd& d);          // caller guarantees validity
Ymd ymdFromDay(long day);               // day > 0

// mm/dd/yyyy (also m/d/yyyy); empty or blank text -> 0; bad -> nullopt.
std::optional<long> dayFromMdy(std::string_view text);
// Day number -> "mm/dd/yyyy", 0 -> "".
std::string mdyFromDay(long day);

// Today's date as a day number (local time).
long today();

} // namespace kestrel::platform::dates
