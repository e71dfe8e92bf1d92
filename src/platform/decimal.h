#pragma once
// Exact decimal numbers for money and record numbers. No binary floating
// point ever touches a stored figure: a Decimal is a whole number of units
// of 10^-places, and every operation that would not fit throws.

#include <compare>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrel::platform {

class Decimal {
public:
    constexpr Decimal() = default;
    constexpr Decimal(std::int64_t whole) : units_(whole), places_(0) {}

    static constexpr Decimal fromUnits(std::int64_t units, int places) {
        Decimal d;
        d.units_ = units;
        d.places_ = places;
        return d;
    }

    // Reads "-15.50", "7", "+3.", ".25", " 1,234.56 " (thousands commas
    // allowed, surrounding blanks ignored). Anything else: nullopt.
    static std::optional<Decimal> parse(std::string_view text);

    // The runtime's conversion of a text to a number: the leading number of
    // the text (after blanks), else 0. "12AB" -> 12, "AB" -> 0, "000" -> 0.
    static Decimal leadingNumber(std::string_view text);

    constexpr std::int64_t units() const { return units_; }
    constexpr int places() const { return places_; }
    constexpr bool isZero() const { return units_ == 0; }
    constexpr bool isNegative() const { return units_ < 0; }

    // Same value with the given number of places. More places is exact;
    // fewer rounds half away from zero. Throws std::overflow_error.
    Decimal rescaled(int places) const;
    // Whole part, truncated toward zero.
    std::int64_t truncated() const;
    // Number of digits of the absolute value's whole part (0 for |x| < 1).
    int wholeDigits() const;

    // "-15.50", "7", "0.05": plain, no separators, all places shown.
    std::string toString() const;

    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, std::int64_t k);
    Decimal operator-() const;
    Decimal& operator+=(const Decimal& b) { return *this = *this + b; }
    Decimal& operator-=(const Decimal& b) { return *this = *this - b; }

    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);
    friend bool operator==(const Decimal& a, const Decimal& b) {
        return (a <=> b) == std::strong_ordering::equal;
    }

private:
    std::int64_t units_ = 0;
    int places_ = 0;
};

} // namespace kestrel::platform
