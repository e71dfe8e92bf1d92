#include "platform/decimal.h"

#include <cctype>

namespace kestrel::platform {

namespace {

constexpr std::int64_t kPow10[] = {
    1LL, 10LL, 100LL, 1000LL, 10000LL, 100000LL, 1000000LL, 10000000LL, 100000000LL,
    1000000000LL, 10000000000LL, 100000000000LL, 1000000000000LL, 10000000000000LL,
    100000000000000LL, 1000000000000000LL, 10000000000000000LL, 100000000000000000LL,
    1000000000000000000LL};
constexpr int kMaxPlaces = 18;

[[noreturn]] void overflow() { throw std::overflow_error("number too large"); }

std::int64_t mul(std::int64_t a, std::int64_t b)
{
    std::int64_t r;
    if (__builtin_mul_overflow(a, b, &r)) overflow();
    return r;
}
std::int64_t add(std::int64_t a, std::int64_t b)
{
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r)) overflow();
    return r;
}
std::int64_t sub(std::int64_t a, std::int64_t b)
{
    std::int64_t r;
    if (__builtin_sub_overflow(a, b, &r)) overflow();
    return r;
}

// Brings both to the larger number of places.
void align(const Decimal& a, const Decimal& b, std::int64_t& ua, std::int64_t& ub, int& places)
{
    places = std::max(a.places(), b.places());
    ua = mul(a.units(), kPow10[places - a.places()]);
    ub = mul(b.units(), kPow10[places - b.places()]);
}

} // namespace

std::optional<Decimal> Decimal::parse(std::string_view text)
{
    std::size_t i = 0, n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
    if (i == n) return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t units = 0;
    int places = 0;
    bool point = false, anyDigit = false;
    // Thousands commas must group whole digits by three ("1,234"), so that
    // "1,50" is refused rather than read as 150.
    bool grouped = false;
    int groupDigits = 0;
    try {
        for (; i < n; ++i) {
            char c = text[i];
            if (c >= '0' && c <= '9') {
                anyDigit = true;
                units = add(mul(units, 10), c - '0');
                if (point && ++places > kMaxPlaces) return std::nullopt;
                if (!point) ++groupDigits;
            } else if (c == '.' && !point) {
                if (grouped && groupDigits != 3) return std::nullopt;
                point = true;
            } else if (c == ',' && !point && anyDigit) {
                if (grouped ? groupDigits != 3 : groupDigits > 3) return std::nullopt;
                grouped = true;
                groupDigits = 0;
            } else {
                return std::nullopt;
            }
        }
    } catch (const std::overflow_error&) {
        return std::nullopt;
    }
    if (!anyDigit || (grouped && !point && groupDigits != 3)) return std::nullopt;
    return fromUnits(negative ? -units : units, places);
}

Decimal Decimal::leadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool point = false;
    std::size_t end = i;
    bool anyDigit = false;
    for (; end < text.size(); ++end) {
        char c = text[end];
        if (c >= '0' && c <= '9') anyDigit = true;
        else if (c == '.' && !point) point = true;
        else break;
    }
    if (!anyDigit) return Decimal(0);
    auto d = parse(text.substr(start, end - start));
    return d ? *d : Decimal(0);
}

Decimal Decimal::rescaled(int places) const
{
    if (places < 0 || places > kMaxPlaces) overflow();
    if (places >= places_) return fromUnits(mul(units_, kPow10[places - places_]), places);
    std::int64_t div = kPow10[places_ - places];
    std::int64_t q = units_ / div, r = units_ % div;
    if (r < 0) r = -r;
    if (r * 2 >= div) q += units_ < 0 ? -1 : 1;
    return fromUnits(q, places);
}

std::int64_t Decimal::truncated() const { return units_ / kPow10[places_]; }

int Decimal::wholeDigits() const
{
    std::int64_t w = truncated();
    if (w < 0) w = -w;
    int n = 0;
    while (w) {
        ++n;
        w /= 10;
    }
    return n;
}

std::string Decimal::toString() const
{
    std::int64_t u = units_;
    bool negative = u < 0;
    // Work with unsigned to allow the most negative value.
    std::uint64_t a = negative ? std::uint64_t(0) - std::uint64_t(u) : std::uint64_t(u);
    // Digits from the right, with the point after `places_` of them.
    char buf[48];
    int at = int(sizeof buf);
    int written = 0;
    do {
        if (places_ > 0 && written == places_) buf[--at] = '.';
        buf[--at] = char('0' + a % 10);
        a /= 10;
        ++written;
    } while (a != 0 || written <= places_);
    if (negative) buf[--at] = '-';
    return std::string(buf + at, sizeof buf - std::size_t(at));
}

Decimal operator+(const Decimal& a, const Decimal& b)
{
    std::int64_t ua, ub;
    int p;
    align(a, b, ua, ub, p);
    return Decimal::fromUnits(add(ua, ub), p);
}

Decimal operator-(const Decimal& a, const Decimal& b)
{
    std::int64_t ua, ub;
    int p;
    align(a, b, ua, ub, p);
    return Decimal::fromUnits(sub(ua, ub), p);
}

Decimal operator*(const Decimal& a, std::int64_t k) { return Decimal::fromUnits(mul(a.units(), k), a.places()); }

Decimal Decimal::operator-() const { return fromUnits(sub(0, units_), places_); }

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b)
{
    // Compare without overflow: whole parts first, then the fractions.
    std::int64_t wa = a.truncated(), wb = b.truncated();
    if (wa != wb) return wa <=> wb;
    int p = std::max(a.places(), b.places());
    std::int64_t fa = (a.units() - wa * kPow10[a.places()]) * kPow10[p - a.places()];
    std::int64_t fb = (b.units() - wb * kPow10[b.places()]) * kPow10[p - b.places()];
    return fa <=> fb;
}

} // namespace kestrel::platform
