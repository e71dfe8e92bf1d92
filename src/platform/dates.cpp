#include "platform/dates.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kestrel::platform::dates {

namespace {

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// Days from civil (Howard Hinnant's algorithm), relative to 1970-01-01.
long fromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = unsigned((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + long(doe) - 719468;
}

Ymd toCivil(long z)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long y = long(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {int(y + (m <= 2)), int(m), int(d)};
}

// Day 1 is 0001-01-01.
const long kEpochShift = 1 - fromCivil(1, 1, 1);

bool allBlank(std::string_view s)
{
    for (char c : s)
        if (c != ' ') return false;
    return true;
}

bool readInt(std::string_view s, int& out)
{
    if (s.empty()) return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

} // namespace

bool isValid(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

long dayFromYmd(const Ymd& d) { return fromCivil(d.year, d.month, d.day) + kEpochShift; }

Ymd ymdFromDay(long day) { return toCivil(day - kEpochShift); }

std::optional<long> dayFromStored(std::string_view s)
{
    if (allBlank(s)) return 0L;
    if (s.size() != 8) return std::nullopt;
    int y, m, d;
    if (!readInt(s.substr(0, 4), y) || !readInt(s.substr(4, 2), m) || !readInt(s.substr(6, 2), d))
        return std::nullopt;
    if (!isValid(y, m, d)) return std::nullopt;
    return dayFromYmd({y, m, d});
}

std::string storedFromDay(long day)
{
    if (day <= 0) return std::string(8, ' ');
    Ymd d = ymdFromDay(day);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
    return buf;
}

std::optional<long> dayFromMdy(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return 0L;
    auto s1 = text.find('/');
    if (s1 == std::string_view::npos) return std::nullopt;
    auto s2 = text.find('/', s1 + 1);
    if (s2 == std::string_view::npos) return std::nullopt;
    int m, d, y;
    auto ms = text.substr(0, s1), ds = text.substr(s1 + 1, s2 - s1 - 1), ys = text.substr(s2 + 1);
    if (ms.size() > 2 || ds.size() > 2 || ys.size() != 4) return std::nullopt;
    if (!readInt(ms, m) || !readInt(ds, d) || !readInt(ys, y)) return std::nullopt;
    if (!isValid(y, m, d)) return std::nullopt;
    return dayFromYmd({y, m, d});
}

std::string mdyFromDay(long day)
{
    if (day <= 0) return {};
    Ymd d = ymdFromDay(day);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.month, d.day, d.year);
    return buf;
}

long today()
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return dayFromYmd({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday});
}

} // namespace kestrel::platform::dates
